#include "windowtesting.h"

#include "stylesheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

const QList<trvInterface::PartType> allBoards = {
    trvInterface::Sensor5, trvInterface::Sensor1,  trvInterface::Sensor2,  trvInterface::Sensor3,
    trvInterface::Sensor4, trvInterface::Terminal, trvInterface::Mainboard};

QString boardSuffix(trvInterface::PartType part)
{
    switch (part) {
    case trvInterface::Terminal:
        return "Terminal";
    case trvInterface::Mainboard:
        return "Mainboard";
    default:
        return QString("Sensor%1").arg(int(part));
    }
}

bool applyStyleSheet()
{
    QFile sheet(":/css/stylesheet.css");
    if (!sheet.open(QIODevice::ReadOnly)) {
        return false;
    }
    qApp->setStyleSheet(styleSheetText(sheet.readAll()));
    return true;
}

ModalAnswers::ModalAnswers(QList<Step> answers) : steps(std::move(answers))
{
    connect(&timer, &QTimer::timeout, this, &ModalAnswers::look);
    timer.start(5);
}

void ModalAnswers::look()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == handled) {
        return;
    }
    handled = modal;
    if (steps.isEmpty()) {
        seen << QString("unexpected %1: %2")
                    .arg(modal->metaObject()->className(), modal->windowTitle());
        QMetaObject::invokeMethod(modal, "reject");
        return;
    }
    seen << steps.takeFirst()(modal);
}

ModalAnswers::Step press(QMessageBox::StandardButton button, std::function<void()> before)
{
    return [button, before](QWidget* modal) -> QString {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box || !box->button(button)) {
            QMetaObject::invokeMethod(modal, "reject");
            return QString("no such button in ") + modal->metaObject()->className();
        }
        const QString seen = box->windowTitle() + " | " + box->text();
        if (before) {
            before();
        }
        box->button(button)->click();
        return seen;
    };
}

ModalAnswers::Step pressButton(const QString& text)
{
    return [text](QWidget* modal) -> QString {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* button : box ? box->buttons() : QList<QAbstractButton*>()) {
            chosen = button->text() == text ? button : chosen;
        }
        if (!chosen) {
            QMetaObject::invokeMethod(modal, "reject");
            return "no button \"" + text + "\" in " + modal->metaObject()->className();
        }
        const QString seen = box->windowTitle() + " | " + box->text();
        chosen->click();
        return seen;
    };
}

ModalAnswers::Step typeKey(Qt::Key key)
{
    return [key](QWidget* modal) -> QString {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            QMetaObject::invokeMethod(modal, "reject");
            return QString("not a message box: ") + modal->metaObject()->className();
        }
        const QString seen = box->windowTitle() + " | " + box->text();
        QTest::keyClick(box, key);
        return seen;
    };
}

ModalAnswers::Step choose(const QString& folder, const QStringList& names)
{
    return [folder, names](QWidget* modal) -> QString {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) {
            QMetaObject::invokeMethod(modal, "reject");
            return QString("not a file dialog: ") + modal->metaObject()->className();
        }
        const QString seen = dialog->windowTitle() + " | " + dialog->nameFilters().join(";");
        dialog->setDirectory(folder);
        QStringList quoted;
        for (const QString& name : names) {
            quoted << '"' + name + '"';
        }
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(quoted.join(' '));
        dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open)->click();
        return seen;
    };
}

QStringList answerDialogs(const std::function<void()>& action,
                          const QList<ModalAnswers::Step>& steps)
{
    ModalAnswers answers(steps);
    action();
    if (!answers.allAnswered()) {
        answers.seen << "a dialog did not appear";
    }
    return answers.seen;
}
