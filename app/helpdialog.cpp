#include "helpdialog.h"

#include "updatehistory.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QString paragraph(const QString& text)
{
    return "<p>" + text + "</p>";
}

QString code(const QString& text)
{
    return "<code>" + text.toHtmlEscaped() + "</code>";
}

} // namespace

HelpDialog::HelpDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("helpDialog"));
    setWindowTitle(tr("Help and Licence Information"));

    const QString help =
        "<h2>" + tr("Help").toHtmlEscaped() + "</h2>" +
        paragraph(tr("This tool brings new firmware into the boards of a Tarvo QX40 keyboard "
                     "instrument connected by USB: press Start Update to update every board. "
                     "Under Advanced you can choose boards and load other firmware files.")
                      .toHtmlEscaped()) +
        paragraph(tr("Every update is kept in the update history, %1, with a log of what the "
                     "tool did beside it.")
                      .toHtmlEscaped()
                      .arg(code(QDir::toNativeSeparators(UpdateHistory::defaultFileName())))) +
        paragraph(tr("The same update runs without a window from the command line: %1 (see %2).")
                      .toHtmlEscaped()
                      .arg(code(QStringLiteral("trvloader-cli")),
                           code(QStringLiteral("trvloader-cli --help")))) +
        paragraph(tr("When an update fails again, press \"Report for Support...\" and send the "
                     "report to support.")
                      .toHtmlEscaped());
    const QString linkStyle = "color: rgb(245, 177, 1);";
    const QString qtSection =
        QString("<h2>About Qt</h2>"
                "<p>This program uses Qt version %1.</p>"
                "<p>Qt is a C++ toolkit for cross-platform application development.</p>"
                "<p>This program uses Qt licensed under the GNU LGPL version 3.</p>"
                "<p>Copyright (C) 2016-2020 The Qt Company Ltd and other contributors.</p>"
                "<p>See <a href=\"https://www.qt.io/\" style=\"%2\">www.qt.io</a> for more "
                "information.</p>")
            .arg(QString::fromLatin1(qVersion()), linkStyle);
    const QString hidapiSection =
        QString("<h2>About HIDAPI</h2>"
                "<p>This program uses HIDAPI.</p>"
                "<p>HIDAPI is a multi-platform library which allows an application to interface "
                "USB and Bluetooth HID-Class devices on Windows, Linux, FreeBSD and MAC OS X.</p>"
                "<p>This program uses HIDAPI licensed under a BSD-style license.</p>"
                "<p>Copyright (C) 2009-2013 Alan Ott, Signal 11 Software.</p>"
                "<p>Visit <a href=\"https://github.com/libusb/hidapi\" "
                "style=\"%1\">github.com/libusb/hidapi</a> for more information.</p>")
            .arg(linkStyle);

    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("helpText"));
    text->setOpenExternalLinks(true);
    text->setHtml(help + qtSection + hidapiSection);
    text->setAccessibleName(tr("Help and Licence Information"));
    text->setMinimumSize(480, 280);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* report = buttons->addButton(tr("&Report for Support..."),
                                             QDialogButtonBox::ActionRole);
    report->setObjectName(QStringLiteral("helpReport"));
    report->setAutoDefault(false);
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(report, &QPushButton::clicked, this, [this] {
        reportChosen = true;
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(560, 420);
}

bool HelpDialog::reportAsked() const
{
    return reportChosen;
}
