#pragma once

#include <QDialog>
#include <QString>

class QPushButton;

// Shows the report for support, read-only and selectable, with a button that
// copies all of it to the clipboard for pasting into a support request.
class SupportReportDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SupportReportDialog(const QString& report, QWidget* parent = nullptr);

    QString report() const;

private slots:
    void copyToClipboard();

private:
    QString text;
    QPushButton* copyButton;
};
