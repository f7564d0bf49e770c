#pragma once

// What the window's tests share: the boards in the order of the rows, the
// widgets' names, waiting at the event loop's real pace, and answering the
// window's modal dialogs the way a user would.

#include "trvinterface.h"
#include "waiting.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

// The seven boards in the order of the window's rows.
extern const QList<trvInterface::PartType> allBoards;

// The board's part of its row's widget names, as in "checkSensor5" or "progressMainboard".
QString boardSuffix(trvInterface::PartType part);

// The window's child of that type and name; ends the test program when there is none.
template <typename T> T* child(QWidget& window, const QString& name)
{
    T* widget = window.findChild<T*>(name);
    if (!widget) {
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    }
    return widget;
}

// Gives the application the window's style sheet from the resources; false
// when the sheet cannot be read.
bool applyStyleSheet();


// Answers the modal dialogs the window opens, one step per dialog in the order
// they appear, the way a user would; each step returns what the user was shown.
// A dialog beyond the steps is rejected and noted as unexpected.
class ModalAnswers : public QObject
{
public:
    using Step = std::function<QString(QWidget*)>;

    explicit ModalAnswers(QList<Step> steps);
    bool allAnswered() const { return steps.isEmpty(); }

    QStringList seen; // one entry per dialog

private:
    void look();

    QList<Step> steps;
    QPointer<QWidget> handled;
    QTimer timer;
};

// Presses a button of the message box, after running `before` if given; shows "title | text".
ModalAnswers::Step press(QMessageBox::StandardButton button, std::function<void()> before = {});

// Presses the message box's button that reads text; shows "title | text".
ModalAnswers::Step pressButton(const QString& text);

// Types a key into the message box, as a user who presses Return at a
// question takes its default button; shows "title | text".
ModalAnswers::Step typeKey(Qt::Key key);

// Picks the files in the file dialog and opens them; shows "caption | filter".
ModalAnswers::Step choose(const QString& folder, const QStringList& names);

// Does the action with the steps ready to answer the dialogs it opens; returns
// what each dialog showed, and "a dialog did not appear" when a step was left.
QStringList answerDialogs(const std::function<void()>& action,
                          const QList<ModalAnswers::Step>& steps);
