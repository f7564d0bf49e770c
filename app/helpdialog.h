#pragma once

#include <QDialog>
#include <QString>

class QPushButton;

// The "?" box: a short help (what the tool does, where its history is kept,
// the command line), the licences of the libraries it uses, and the way to
// the report for support, which it can open in every state of the window.
// The text scrolls, so that the box fits small screens.
class HelpDialog : public QDialog
{
    Q_OBJECT

public:
    explicit HelpDialog(QWidget* parent = nullptr);

    // Whether the dialog was left through its "Report for Support..." button.
    bool reportAsked() const;

private:
    bool reportChosen = false;
};
