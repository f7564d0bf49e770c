// The window for a screen reader: each row's widgets named by their board,
// the bars' states in their descriptions, and every action reachable from the
// keyboard in a sensible order. Read in process, through Qt's accessibility
// interfaces, as the desktop's bridge reads them; that the changes are
// announced is seen over AT-SPI (tests/integration/atspi).

#include "boardtable.h"
#include "instrument.h"
#include "trvloader.h"
#include "trvtiming.h"
#include "trvupdater.h"
#include "windowtesting.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

QString accessibleDescription(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Description) : QString();
}

} // namespace

class tst_trvloader_accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void rowsAreNamedByTheirBoard();
    void statesAreDescribed();
    void helpNamedLogoDecorative();
    void keyboardReachesEveryAction();
    void focusIsShown();
    void mnemonicsReachTheMainActions();

private:
    void connectWindow();
    template <typename T> T* widget(const QString& name) { return child<T>(*window, name); }

    QScopedPointer<trvLoader> window;
    trvTiming timing;
};

void tst_trvloader_accessibility::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(applyStyleSheet());
    timing.watchdogTimeout = 40;
    timing.requestTimeout = 100;
}

void tst_trvloader_accessibility::init()
{
    sim::instrument().reset();
}

void tst_trvloader_accessibility::cleanup()
{
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_trvloader_accessibility::connectWindow()
{
    window.reset(new trvLoader(nullptr, timing));
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.data()));
    QVERIFY(waitUntil([&] { return widget<QCheckBox>("checkMainboard")->isEnabled(); }, 2000));
    QVERIFY(waitUntil([&] { return !widget<QLabel>("versionMainboard")->text().isEmpty(); },
                      2000));
}

void tst_trvloader_accessibility::rowsAreNamedByTheirBoard()
{
    sim::instrument().setVersion(sim::Terminal, 12);
    connectWindow();

    for (trvInterface::PartType part : allBoards) {
        const QString suffix = boardSuffix(part);
        const QString row = BoardTable::rowName(part);
        const QString group = BoardTable::groupName(part);
        const QString version =
            part == trvInterface::Terminal ? QStringLiteral("v1.2") : QStringLiteral("v1.0");
        QCOMPARE(accessibleName(widget<QCheckBox>("check" + suffix)), row);
        QCOMPARE(accessibleName(widget<QLabel>("version" + suffix)),
                 row + " installed version: " + version);
        QCOMPARE(accessibleName(widget<QProgressBar>("progress" + suffix)), row + " progress");
        const QString fileLabel =
            part == trvInterface::Mainboard  ? "fileStateMainboard"
            : part == trvInterface::Terminal ? "fileStateTerminal"
                                             : "fileStateSensor";
        QCOMPARE(accessibleName(widget<QLabel>(fileLabel)),
                 group + " firmware file: " + widget<QLabel>(fileLabel)->text());
        const QString load = part == trvInterface::Mainboard  ? "loadMainboard"
                             : part == trvInterface::Terminal ? "loadTerminal"
                                                              : "loadSensor";
        QCOMPARE(accessibleName(widget<QToolButton>(load)), "Load a firmware file for " + group);
    }
    QCOMPARE(accessibleName(widget<QProgressBar>("totalProgress")), QString("Total progress"));

    // A board that stops answering: its version label says so.
    sim::BoardFaults silent;
    silent.silent = true;
    sim::instrument().setFaults(sim::Sensor2, silent);
    sim::instrument().unplug();
    QVERIFY(waitUntil([&] { return !widget<QCheckBox>("checkMainboard")->isEnabled() ||
                                   widget<QLabel>("versionSensor2")->text().isEmpty(); },
                      2000));
    sim::instrument().plug();
    QVERIFY(waitUntil([&] { return widget<QCheckBox>("checkMainboard")->isEnabled(); }, 2000));
    QVERIFY(waitUntil(
        [&] {
            return accessibleName(widget<QLabel>("versionSensor2")) ==
                   "Keys 43-64 installed version: unknown";
        },
        2000));
}

void tst_trvloader_accessibility::statesAreDescribed()
{
    // The control panel refuses its update mode: the step starts and fails.
    sim::BoardFaults notReady;
    notReady.notReady = true;
    sim::instrument().setFaults(sim::Terminal, notReady);
    connectWindow();
    QProgressBar* total = widget<QProgressBar>("totalProgress");
    QCOMPARE(accessibleDescription(total), QString("Ready to start firmware update"));

    QTest::mouseClick(widget<QCheckBox>("advanced"), Qt::LeftButton);
    for (trvInterface::PartType part : allBoards) {
        widget<QCheckBox>("check" + boardSuffix(part))->setChecked(part == trvInterface::Terminal);
    }
    QTest::mouseClick(widget<QPushButton>("startUpdate"), Qt::LeftButton);
    const QString failure = trvUpdater::errorDescription(trvUpdater::StartFailed);
    QVERIFY(waitUntil([&] { return total->format().endsWith(failure); }, 5000));

    // What the bars show is what a screen reader is told, the board included.
    QCOMPARE(accessibleDescription(total), "Control Panel (terminal): " + failure);
    QProgressBar* row = widget<QProgressBar>("progressTerminal");
    QCOMPARE(accessibleDescription(row), row->text());
    QVERIFY2(row->text().startsWith(failure), qPrintable(row->text()));
}

// The "?" button says what it opens; the logo, a link for the mouse to the
// maker's website, is a picture without a name for a reader.
void tst_trvloader_accessibility::helpNamedLogoDecorative()
{
    sim::instrument().unplug();
    window.reset(new trvLoader(nullptr, timing));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));

    QCOMPARE(accessibleName(widget<QToolButton>("frameworkInfo")),
             QString("Help, licences and report for support"));
    auto* logo = widget<QLabel>("logo");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(logo);
    QVERIFY(face);
    QCOMPARE(face->role(), QAccessible::Graphic);
    QCOMPARE(face->text(QAccessible::Name), QString());
    QCOMPARE(face->text(QAccessible::Description), QString());
    QVERIFY(logo->openExternalLinks());
    QVERIFY2(logo->text().contains("<a href=\"https://www.kelmor.example/\""),
             qPrintable(logo->text()));
}

void tst_trvloader_accessibility::keyboardReachesEveryAction()
{
    connectWindow();
    QTest::keyClick(window.data(), Qt::Key_Space); // nothing focused yet: no harm
    widget<QCheckBox>("advanced")->setFocus();
    QTest::keyClick(widget<QCheckBox>("advanced"), Qt::Key_Space);
    QVERIFY(widget<QWidget>("controlWidget")->isVisible());

    const QStringList expected = {
        "advanced",     "startUpdate",  "loadSensor",    "checkSensor5",   "checkSensor1",
        "checkSensor2", "checkSensor3", "checkSensor4",  "loadTerminal",   "checkTerminal",
        "loadMainboard", "checkMainboard", "supportReport", "frameworkInfo"};
    QStringList visited = {QApplication::focusWidget()->objectName()};
    for (int step = 1; step < expected.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, expected);

    // From the keyboard alone: a row is chosen with the space bar.
    QCheckBox* terminal = widget<QCheckBox>("checkTerminal");
    const bool before = terminal->isChecked();
    terminal->setFocus();
    QTest::keyClick(terminal, Qt::Key_Space);
    QCOMPARE(terminal->isChecked(), !before);
}

// Every control the keyboard reaches looks different while it has the focus:
// a user who presses Space sees beforehand what it will press.
void tst_trvloader_accessibility::focusIsShown()
{
    connectWindow();
    QTest::mouseClick(widget<QCheckBox>("advanced"), Qt::LeftButton);
    QVERIFY(widget<QWidget>("controlWidget")->isVisible());
    window->setFocus();

    QStringList focusable;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (control->focusPolicy() & Qt::TabFocus && control->isVisible() &&
            control->isEnabled()) {
            focusable << control->objectName();
        }
    }
    QVERIFY2(focusable.contains("frameworkInfo") && focusable.contains("loadSensor"),
             qPrintable(focusable.join(", ")));
    for (const QString& name : qAsConst(focusable)) {
        QWidget* control = widget<QWidget>(name);
        control->clearFocus();
        QTRY_VERIFY(!control->hasFocus());
        const QImage without = control->grab().toImage();
        control->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(control->hasFocus());
        QVERIFY2(control->grab().toImage() != without, qPrintable(name));
    }
}

// Alt and a letter reach Advanced and the report, in every language without
// two controls on one letter; Start Update has its own.
void tst_trvloader_accessibility::mnemonicsReachTheMainActions()
{
    connectWindow();
    QStringList letters;
    for (const char* name : {"advanced", "startUpdate", "supportReport"}) {
        const QKeySequence mnemonic =
            QKeySequence::mnemonic(widget<QAbstractButton>(name)->text());
        QVERIFY2(!mnemonic.isEmpty(), qPrintable(name));
        QVERIFY2(!letters.contains(mnemonic.toString()), qPrintable(name));
        letters << mnemonic.toString();
    }

    // A mnemonic presses its button as a click that shows, a moment later.
    QTest::keyClick(window.data(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(widget<QCheckBox>("advanced")->isChecked());
    QVERIFY(widget<QWidget>("controlWidget")->isVisible());
    const QStringList seen = answerDialogs(
        [&] {
            QTest::keyClick(window.data(), Qt::Key_R, Qt::AltModifier);
            waitUntil([] { return QApplication::activeModalWidget() != nullptr; }, 2000);
        },
        {[](QWidget* dialog) {
            const QString title = dialog->windowTitle();
            QMetaObject::invokeMethod(dialog, "reject");
            return title;
        }});
    QCOMPARE(seen, QStringList{"Report for Support"});
}

QTEST_MAIN(tst_trvloader_accessibility)
#include "tst_trvloader_accessibility.moc"
