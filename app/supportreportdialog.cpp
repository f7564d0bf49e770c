#include "supportreportdialog.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

SupportReportDialog::SupportReportDialog(const QString& report, QWidget* parent)
    : QDialog(parent), text(report), copyButton(nullptr)
{
    setObjectName(QStringLiteral("supportReportDialog"));
    setWindowTitle(tr("Report for Support"));

    auto* explanation = new QLabel(
        tr("Paste this report into your support request. It stays on this computer until you "
           "send it yourself."),
        this);
    explanation->setWordWrap(true);

    auto* view = new QPlainTextEdit(this);
    view->setObjectName(QStringLiteral("reportText"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setPlainText(text);
    view->setAccessibleName(tr("Report for support"));
    view->setMinimumSize(640, 360);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    copyButton = buttons->addButton(tr("&Copy to Clipboard"), QDialogButtonBox::ActionRole);
    copyButton->setObjectName(QStringLiteral("copyReport"));
    connect(copyButton, &QPushButton::clicked, this, &SupportReportDialog::copyToClipboard);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(view);
    layout->addWidget(buttons);
    copyButton->setFocus();
}

QString SupportReportDialog::report() const
{
    return text;
}

void SupportReportDialog::copyToClipboard()
{
    QGuiApplication::clipboard()->setText(text);
    copyButton->setText(tr("Copied"));
}
