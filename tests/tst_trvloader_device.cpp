// The window on the emulated instrument: connecting and the boards' versions,
// the watchdog, advanced mode, the licence box, and whole updates: the boards
// they take and what the rows show. Short waits throughout; small images
// wherever the built-in images' size is not the point, and one whole update
// of the built-in images.

#include "boardtable.h"
#include "instrument.h"
#include "instrumenthost.h"
#include "polltimer.h"
#include "servicelog.h"
#include "testimage.h"
#include "testtiming.h"
#include "trvinstrument.h"
#include "trvloader.h"
#include "trvtiming.h"
#include "updatehistory.h"
#include "usertexts.h"
#include "windowtesting.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cerrno>

Q_DECLARE_METATYPE(sim::BoardFaults)

namespace {

// Counts how often a widget is enabled or disabled.
class EnableChanges : public QObject
{
public:
    explicit EnableChanges(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::EnabledChange ? 1 : 0;
        return false;
    }

    int count = 0;
};

int versionRequests()
{
    int count = 0;
    for (const QByteArray& message : sim::instrument().messages()) {
        count += message.startsWith('\x01') ? 1 : 0;
    }
    return count;
}

} // namespace

class tst_trvloader_device : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectAsksEveryBoard();
    void onlyAnsweringBoardsEnabled();
    void replyNamingNoBoard_data();
    void replyNamingNoBoard();
    void silentInstrumentIsReopened();
    void unplugAndReplug();
    void advancedModeResizes();
    void helpBox_data();
    void helpBox();

    void simpleModeUpdatesEveryBoard();
    void advancedModeUpdatesCheckedBoards();
    void updateTakesTheChosenBoards_data();
    void updateTakesTheChosenBoards();
    void rowBarReadsTheStateAndTheShareSent();
    void nothingSelected();
    void failureStopsTheUpdate();
    void failureNamesTheRefusingBoard_data();
    void failureNamesTheRefusingBoard();
    void failureStaysShown_data();
    void failureStaysShown();
    void leftOutBoardsNamedAfterSuccess();
    void lateMainboard();
    void restartWaitIsSaid();
    void timeLeftBesideTheBar();
    void noFileLoadingDuringTheUpdate_data();
    void noFileLoadingDuringTheUpdate();
    void closeWhileUpdating();
    void logSaysWhatTheUserDid();
    void questionBeforeUpdate_data();
    void questionBeforeUpdate();
    void startAnsweredAfterAnUnplug_data();
    void startAnsweredAfterAnUnplug();
    void confirmedDowngrade();
    void olderBoardKeptAsItIs();
    void refusedOpenIsExplained();
    void supportReport();
    void interruptedUpdateIsNamed();
    void severalInstrumentsWaitForAChoice();

private:
    // Builds the window with the test's timing.
    void makeWindow();
    // Builds and shows the window and waits until every answering board is enabled.
    void connectWindow(int answeringBoards = 7);
    // The same, with the steps ready for the dialogs it opens meanwhile; what
    // each showed.
    QStringList openWindowAnswering(const QList<ModalAnswers::Step>& steps);
    // Loads small images, at the built-in images' versions, through the load
    // buttons of advanced mode; leaves the mode as it was.
    void useSmallImages();
    QWidget* widget(const QString& name) { return child<QWidget>(*window, name); }
    QProgressBar* bar(const QString& name) { return child<QProgressBar>(*window, name); }
    QCheckBox* box(trvInterface::PartType part)
    {
        return child<QCheckBox>(*window, "check" + boardSuffix(part));
    }
    QString versionLabel(trvInterface::PartType part)
    {
        return child<QLabel>(*window, "version" + boardSuffix(part))->text();
    }
    int enabledBoxes()
    {
        int count = 0;
        for (trvInterface::PartType part : allBoards) {
            count += box(part)->isEnabled() ? 1 : 0;
        }
        return count;
    }
    void clickAdvanced() { QTest::mouseClick(widget("advanced"), Qt::LeftButton); }
    // Presses "Start Update" and waits until the total bar says how it ended.
    QString runUpdate(int timeout);
    // The same, with the window's link ticked at every pass of the event loop:
    // for a long update whose pace is not what the test checks.
    QString runDrivenUpdate(int timeout);

    QScopedPointer<trvLoader> window;
    trvTiming timing;
    QTemporaryDir folder;
};

void tst_trvloader_device::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(applyStyleSheet());
    QVERIFY(folder.isValid());
    const QList<QPair<QByteArray, QByteArray>> images = {
        {"KZENT", "v3.3"}, {"KTERM", "v2.1"}, {"KSENS", "v1.9"}};
    for (const auto& image : images) {
        QFile file(folder.filePath(image.first + ".hex"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(TestImage(image.first, image.second).file()) > 0);
    }
}

void tst_trvloader_device::init()
{
    // Each case starts with no update recorded.
    QFile::remove(UpdateHistory::defaultFileName());
    sim::clearBench();
    sim::instrument().reset();
    // Short waits, where their length is not what a case checks.
    timing = TestTiming::inProcess();
    // Back within the engine's short wait for its return.
    sim::instrument().setMainboardRestartTime(timing.restartWait * 2);
}

void tst_trvloader_device::makeWindow()
{
    window.reset(new trvLoader(nullptr, timing));
}

void tst_trvloader_device::useSmallImages()
{
    const bool advanced = widget("controlWidget")->isVisible();
    if (!advanced) {
        clickAdvanced();
    }
    const QStringList seen =
        answerDialogs([&] { QTest::mouseClick(widget("loadSensor"), Qt::LeftButton); },
                      {choose(folder.path(), {"KZENT.hex", "KTERM.hex", "KSENS.hex"}),
                       press(QMessageBox::Yes), press(QMessageBox::Yes), press(QMessageBox::Yes)});
    QCOMPARE(seen.size(), 4);
    QVERIFY2(child<QLabel>(*window, "fileStateSensor")->text().contains("Byte"),
             qPrintable(child<QLabel>(*window, "fileStateSensor")->text()));
    if (!advanced) {
        clickAdvanced();
    }
}

void tst_trvloader_device::cleanup()
{
    window.reset();
    // Let engines released with deleteLater() go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_trvloader_device::connectWindow(int answeringBoards)
{
    makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.data()));
    QVERIFY(waitUntil([&] { return enabledBoxes() == answeringBoards; }, 2000));
}

QStringList tst_trvloader_device::openWindowAnswering(const QList<ModalAnswers::Step>& steps)
{
    return answerDialogs(
        [&] {
            makeWindow();
            window->show();
            QVERIFY(waitUntil([&] { return enabledBoxes() == 7; }, 2000));
        },
        steps);
}

QString tst_trvloader_device::runUpdate(int timeout)
{
    QTest::mouseClick(widget("startUpdate"), Qt::LeftButton);
    waitUntil([&] { return widget("startUpdate")->isEnabled(); }, timeout);
    return bar("totalProgress")->format();
}

QString tst_trvloader_device::runDrivenUpdate(int timeout)
{
    trvInterface* link = window->findChild<trvInterface*>();
    QTest::mouseClick(widget("startUpdate"), Qt::LeftButton);
    driveUntil([link] { link->polling(); }, [&] { return widget("startUpdate")->isEnabled(); },
               timeout);
    return bar("totalProgress")->format();
}

void tst_trvloader_device::connectAsksEveryBoard()
{
    // Every answer comes late, but well within the watchdog's time: the
    // instrument's own, so that a busy machine leaves room between the two.
    const trvTiming instruments;
    const int latency = instruments.watchdogTimeout / 3;
    sim::instrument().setReplyLatency(latency, latency);
    sim::instrument().setVersion(sim::Terminal, 12);
    window.reset(new trvLoader(nullptr, instruments));
    window->show();

    // Connected: the update area opens at once, the boards only as they answer.
    QVERIFY(waitUntil([&] { return widget("mainControl")->isEnabled(); }, 2000));
    QVERIFY(widget("controlWidget")->isEnabled());
    QCOMPARE(bar("totalProgress")->format(), QString("Ready to start firmware update"));
    QCOMPARE(bar("totalProgress")->value(), 0);
    QCOMPARE(enabledBoxes(), 0);

    QVERIFY(waitUntil([&] { return enabledBoxes() == 7; }, 2000));
    QCOMPARE(versionLabel(trvInterface::Terminal), QString("v1.2"));
    QCOMPARE(versionLabel(trvInterface::Sensor5), QString("v1.0"));
    QCOMPARE(versionLabel(trvInterface::Mainboard), QString("v1.0"));
    QCOMPARE(child<QLabel>(*window, "fileStateSensor")->text(),
             QString("KSENS-v1.9.hex (Feb  9 2016 10:21:05,  89 kB)"));

    // Answered in time: the watchdog leaves the link alone.
    run(instruments.watchdogTimeout + latency);
    QCOMPARE(versionRequests(), 7);
    QCOMPARE(sim::instrument().messages().mid(0, 7),
             QList<QByteArray>({"\x01\x06", "\x01\x01", "\x01\x02", "\x01\x03", "\x01\x04",
                                "\x01\x05", "\x01\x07"}));
}

void tst_trvloader_device::onlyAnsweringBoardsEnabled()
{
    sim::BoardFaults absent;
    absent.absent = true;
    for (sim::Board board :
         {sim::Sensor1, sim::Sensor2, sim::Sensor4, sim::Sensor5, sim::Terminal}) {
        sim::instrument().setFaults(board, absent);
    }
    connectWindow(2);
    run(timing.watchdogTimeout * 3);
    QVERIFY(box(trvInterface::Sensor3)->isEnabled());
    QVERIFY(box(trvInterface::Mainboard)->isEnabled());
    QCOMPARE(enabledBoxes(), 2);
    QCOMPARE(versionLabel(trvInterface::Sensor3), QString("v1.0"));
    QCOMPARE(versionLabel(trvInterface::Sensor1), QString());
    QCOMPARE(versionRequests(), 7);
}

void tst_trvloader_device::replyNamingNoBoard_data()
{
    QTest::addColumn<char>("board");
    QTest::newRow("board 0") << char(0);
    QTest::newRow("board 9") << char(9);
}

// A reply for no board satisfies the watchdog but enables nothing.
void tst_trvloader_device::replyNamingNoBoard()
{
    QFETCH(char, board);
    sim::BoardFaults silent;
    silent.silent = true;
    for (trvInterface::PartType part : allBoards) {
        sim::instrument().setFaults(sim::Board(part), silent);
    }
    sim::instrument().injectReport(QByteArray("\x01") + board + '\x0F');
    makeWindow();
    window->show();
    QVERIFY(waitUntil([&] { return widget("mainControl")->isEnabled(); }, 2000));
    run(timing.watchdogTimeout * 3);
    QCOMPARE(versionRequests(), 7);
    QCOMPARE(enabledBoxes(), 0);
    for (trvInterface::PartType part : allBoards) {
        QCOMPARE(versionLabel(part), QString());
    }
    QVERIFY(widget("mainControl")->isEnabled());
}

void tst_trvloader_device::silentInstrumentIsReopened()
{
    sim::BoardFaults silent;
    silent.silent = true;
    for (trvInterface::PartType part : allBoards) {
        sim::instrument().setFaults(sim::Board(part), silent);
    }
    makeWindow();
    window->show();

    // Each drop disables the update area, each reopen enables it again.
    EnableChanges changes(widget("mainControl"));
    QVERIFY(waitUntil([] { return versionRequests() >= 21; }, 2000));
    QCOMPARE(versionRequests() % 7, 0);
    QVERIFY2(changes.count >= 4, qPrintable(QString::number(changes.count)));
    QCOMPARE(enabledBoxes(), 0);

    // Once a board answers, the link stays.
    sim::instrument().setFaults(sim::Sensor2, sim::BoardFaults());
    QVERIFY(waitUntil([&] { return box(trvInterface::Sensor2)->isEnabled(); }, 2000));
    const int requests = versionRequests();
    run(timing.watchdogTimeout * 3);
    QCOMPARE(versionRequests(), requests);
}

void tst_trvloader_device::unplugAndReplug()
{
    connectWindow();
    QCOMPARE(versionLabel(trvInterface::Sensor1), QString("v1.0"));

    sim::instrument().unplug();
    QVERIFY(waitUntil([&] { return !widget("mainControl")->isEnabled(); }, 2000));
    QVERIFY(!widget("controlWidget")->isEnabled());
    QCOMPARE(bar("totalProgress")->format(), QString("Waiting for USB connection"));
    QCOMPARE(versionLabel(trvInterface::Sensor1), QString("v1.0")); // kept while away

    sim::BoardFaults absent;
    absent.absent = true;
    sim::instrument().setFaults(sim::Sensor1, absent);
    sim::instrument().setVersion(sim::Terminal, 14);
    sim::instrument().plug();
    QVERIFY(waitUntil([&] { return enabledBoxes() == 6; }, 2000));
    QCOMPARE(versionLabel(trvInterface::Terminal), QString("v1.4"));
    QCOMPARE(versionLabel(trvInterface::Sensor1), QString());
    QVERIFY(!box(trvInterface::Sensor1)->isEnabled());
    QCOMPARE(enabledBoxes(), 6);
}

void tst_trvloader_device::advancedModeResizes()
{
    connectWindow();
    const QSize simple = window->size();
    QVERIFY(widget("controlWidget")->isHidden());

    clickAdvanced();
    QVERIFY(widget("controlWidget")->isVisible());
    QTRY_VERIFY(window->height() > simple.height() + 100);

    clickAdvanced();
    QVERIFY(widget("controlWidget")->isHidden());
    QTRY_COMPARE(window->size(), simple);
}

void tst_trvloader_device::helpBox_data()
{
    QTest::addColumn<int>("refusal"); // -1: no instrument
    QTest::newRow("no instrument") << -1;
    QTest::newRow("this user may not open it") << int(EACCES);
    QTest::newRow("another program uses it") << int(EBUSY);
}

// The "?" box says what the tool does, where the history is kept and that
// the command line exists, shows the licences, and opens the report for
// support in every state: also while Advanced is out of reach.
void tst_trvloader_device::helpBox()
{
    QFETCH(int, refusal);
    bool explained = false;
    QList<ModalAnswers::Step> steps;
    if (refusal < 0) {
        sim::instrument().unplug();
    } else {
        sim::instrument().setOpenRefusal(refusal);
        steps << press(QMessageBox::Ok, [&] { explained = true; });
    }
    answerDialogs(
        [&] {
            makeWindow();
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.data()));
            QVERIFY(waitUntil([&] { return refusal < 0 || explained; }, 2000));
        },
        steps);
    QVERIFY(!widget("controlWidget")->isEnabled());
    // Away from the screen's edges, where a box would be moved onto the screen.
    QRect middle = window->frameGeometry();
    middle.moveCenter(window->screen()->availableGeometry().center());
    window->move(middle.topLeft());
    QTRY_COMPARE(window->frameGeometry().topLeft(), middle.topLeft());

    QString help;
    QString report;
    QRect boxPlace;
    const QStringList seen = answerDialogs(
        [&] { QTest::mouseClick(widget("frameworkInfo"), Qt::LeftButton); },
        {[&](QWidget* box) {
             boxPlace = box->frameGeometry();
             help = child<QTextBrowser>(*box, "helpText")->toHtml();
             QTest::mouseClick(child<QPushButton>(*box, "helpReport"), Qt::LeftButton);
             return box->windowTitle();
         },
         [&](QWidget* dialog) {
             report = child<QPlainTextEdit>(*dialog, "reportText")->toPlainText();
             QTest::keyClick(dialog, Qt::Key_Escape);
             return dialog->windowTitle();
         }});
    QCOMPARE(seen, QStringList({"Help and Licence Information", "Report for Support"}));
    for (const QString& part :
         {QString("press Start Update to update every board"),
          QDir::toNativeSeparators(UpdateHistory::defaultFileName()).toHtmlEscaped(),
          QString("trvloader-cli --help"),
          QString("This program uses Qt version %1.").arg(qVersion()),
          QString("This program uses HIDAPI licensed under a BSD-style license."),
          QString("https://github.com/libusb/hidapi")}) {
        QVERIFY2(help.contains(part), qPrintable(part));
    }
    // On the screen, over the middle of the window.
    QVERIFY2(window->screen()->availableGeometry().contains(boxPlace),
             qPrintable(QString("%1 x %2").arg(boxPlace.width()).arg(boxPlace.height())));
    QVERIFY((boxPlace.center() - window->frameGeometry().center()).manhattanLength() < 4);

    QVERIFY2(report.contains("Tool: trvloader"), qPrintable(report));
    QVERIFY2(report.contains("Instrument: "), qPrintable(report));
}

void tst_trvloader_device::simpleModeUpdatesEveryBoard()
{
    connectWindow();
    auto* total = bar("totalProgress");
    auto* panel = bar("progressTerminal");

    // Total and control-panel bar while the control panel, the second of three steps, is sent.
    struct Sample
    {
        int now, max, total;
    };
    QList<Sample> panelAndTotal;
    connect(total, &QProgressBar::valueChanged, [&](int value) {
        if (panel->maximum() > 1 && total->format().startsWith("Control Panel: Transferring")) {
            panelAndTotal << Sample{panel->value(), panel->maximum(), value};
        }
    });
    // Every text the total bar shows while the update runs, the main board's restart included.
    QStringList totalTexts;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, [&] {
        if (totalTexts.isEmpty() || totalTexts.last() != total->format()) {
            totalTexts << total->format();
        }
    });
    sampler.start(1);

    QCOMPARE(runDrivenUpdate(120000), QString("Firmware update successfull"));
    QCOMPARE(total->maximum(), 3000);
    QVERIFY(total->property("done").toBool());
    QVERIFY(!total->property("partial").toBool());
    QVERIFY(!total->property("error").toBool());

    QVERIFY(panelAndTotal.size() > 10);
    bool sawMiddle = false;
    for (const Sample& sample : panelAndTotal) {
        QCOMPARE(sample.total, 1000 + sample.now * 1000 / sample.max);
        sawMiddle = sawMiddle || sample.total == 1500;
    }
    QVERIFY(sawMiddle);

    // The main board's restart looks like the update going on, not like a lost instrument.
    sampler.stop();
    QVERIFY2(totalTexts.contains("Main Board: Process firmware data (Total %p%)"),
             qPrintable(totalTexts.join(", ")));
    QVERIFY2(!totalTexts.contains("Waiting for USB connection"), qPrintable(totalTexts.join(", ")));

    QCOMPARE(sim::instrument().version(sim::Mainboard), 33);
    QCOMPARE(sim::instrument().version(sim::Terminal), 21);
    for (sim::Board sensor :
         {sim::Sensor1, sim::Sensor2, sim::Sensor3, sim::Sensor4, sim::Sensor5}) {
        QCOMPARE(sim::instrument().version(sensor), 19);
    }
    for (trvInterface::PartType part : allBoards) {
        QCOMPARE(bar("progress" + boardSuffix(part))->format(),
                 QString("Firmware update successfull"));
        QVERIFY(bar("progress" + boardSuffix(part))->property("done").toBool());
    }
    // The rows show what the boards report after the update.
    QVERIFY(waitUntil([&] { return versionLabel(trvInterface::Mainboard) == "v3.3"; }, 1000));
    QCOMPARE(versionLabel(trvInterface::Terminal), QString("v2.1"));
    QCOMPARE(versionLabel(trvInterface::Sensor5), QString("v1.9"));
    // Asked again once the update is over, every board can be chosen again.
    QVERIFY(waitUntil([&] { return enabledBoxes() == 7; }, 1000));

    // One record for each step, from the window, for this instrument.
    const QList<HistoryRecord> records = UpdateHistory().records();
    QCOMPARE(records.size(), 3);
    const QList<QStringList> steps = {
        {"sensor5", "sensor1", "sensor2", "sensor3", "sensor4"}, {"terminal"}, {"mainboard"}};
    const QStringList after = {"v1.9", "v2.1", "v3.3"};
    for (int step = 0; step < 3; ++step) {
        QCOMPARE(records[step].boards, steps[step]);
        QCOMPARE(records[step].outcome, HistoryRecord::Updated);
        QCOMPARE(records[step].frontEnd, QString("window"));
        QCOMPARE(records[step].serialNumber, QString(sim::Instrument::defaultSerialNumber));
        QCOMPARE(records[step].image, QString("built-in"));
        QCOMPARE(records[step].versionsBefore.value(steps[step].first()), QString("v1.0"));
        QCOMPARE(records[step].versionsAfter.value(steps[step].first()), after[step]);
    }
}

// Sensor2 and Sensor4 checked, the control panel checked but not answering:
// one step for the two sensor boards.
void tst_trvloader_device::advancedModeUpdatesCheckedBoards()
{
    connectWindow();
    clickAdvanced();
    useSmallImages();
    for (trvInterface::PartType part :
         {trvInterface::Sensor2, trvInterface::Sensor4, trvInterface::Terminal}) {
        QTest::mouseClick(box(part), Qt::LeftButton);
        QVERIFY(box(part)->isChecked());
    }
    // The control panel stops answering; after a reconnect its box is disabled, still checked.
    sim::BoardFaults absent;
    absent.absent = true;
    sim::instrument().setFaults(sim::Terminal, absent);
    sim::instrument().unplug();
    QVERIFY(waitUntil([&] { return !widget("mainControl")->isEnabled(); }, 2000));
    sim::instrument().plug();
    QVERIFY(waitUntil([&] { return enabledBoxes() == 6; }, 2000));
    QVERIFY(box(trvInterface::Terminal)->isChecked());
    sim::instrument().clearLog();

    auto* total = bar("totalProgress");
    QStringList totalTexts;
    connect(total, &QProgressBar::valueChanged, [&] {
        if (totalTexts.isEmpty() || totalTexts.last() != total->format()) {
            totalTexts << total->format();
        }
    });
    QCOMPARE(runUpdate(60000), QString("Firmware update successfull"));
    QCOMPARE(total->maximum(), 1000);
    QCOMPARE(total->value(), 1000);
    QVERIFY2(totalTexts.contains("Sensor Boards: Transferring firmware file (Total %p%)"),
             qPrintable(totalTexts.join(", ")));

    for (trvInterface::PartType part : allBoards) {
        const bool chosen = part == trvInterface::Sensor2 || part == trvInterface::Sensor4;
        QCOMPARE(bar("progress" + boardSuffix(part))->format(),
                 chosen ? QString("Firmware update successfull") : QString());
        QCOMPARE(sim::instrument().updateMessagesReceived(sim::Board(part)) > 0, chosen);
        QCOMPARE(sim::instrument().version(sim::Board(part)), chosen ? 19 : 10);
    }
    QVERIFY(!box(trvInterface::Sensor2)->isChecked());
    QVERIFY(!box(trvInterface::Sensor4)->isChecked());
    QVERIFY(box(trvInterface::Terminal)->isChecked());
    QVERIFY(widget("startUpdate")->isEnabled());
}

void tst_trvloader_device::updateTakesTheChosenBoards_data()
{
    QTest::addColumn<bool>("advanced");
    QTest::addColumn<bool>("answers");   // the control panel, so its box is enabled
    QTest::addColumn<bool>("checked");   // its box
    QTest::addColumn<bool>("connected"); // else the instrument is gone and the table disabled
    QTest::addColumn<QString>("dialog"); // what the user is asked or told, and says yes to
    QTest::addColumn<bool>("updated");   // the control panel

    const QString nothing = "No update selected | No board has been selected for firmware "
                            "update. Please select boards you want to update.";
    QTest::newRow("simple, unchecked") << false << true << false << true << "" << true;
    QTest::newRow("simple, checked") << false << true << true << true << "" << true;
    QTest::newRow("simple, silent")
        << false << false << true << true
        << "Start firmware update | These boards have not answered and will not be updated:\n"
           "Control Panel (terminal)\n\nDo you want to start the update anyway?"
        << false;
    QTest::newRow("advanced, checked") << true << true << true << true << "" << true;
    QTest::newRow("advanced, unchecked") << true << true << false << true << nothing << false;
    QTest::newRow("advanced, silent, checked") << true << false << true << true << nothing << false;
    QTest::newRow("advanced, silent, unchecked")
        << true << false << false << true << nothing << false;
    QTest::newRow("instrument gone") << true << true << true << false << "" << false;
}

// Which boards Start takes, by the control panel's row: in simple mode every
// board that answers, whatever its box; in advanced mode those whose box is
// checked and enabled; none while the instrument is away. The other boards
// answer, unchecked.
void tst_trvloader_device::updateTakesTheChosenBoards()
{
    QFETCH(bool, advanced);
    QFETCH(bool, answers);
    QFETCH(bool, checked);
    QFETCH(bool, connected);
    QFETCH(QString, dialog);
    QFETCH(bool, updated);

    connectWindow();
    clickAdvanced();
    useSmallImages();
    if (checked) {
        QTest::mouseClick(box(trvInterface::Terminal), Qt::LeftButton);
        QVERIFY(box(trvInterface::Terminal)->isChecked());
    }
    if (!answers) {
        sim::BoardFaults absent;
        absent.absent = true;
        sim::instrument().setFaults(sim::Terminal, absent);
        sim::instrument().unplug();
        QVERIFY(waitUntil([&] { return !widget("mainControl")->isEnabled(); }, 2000));
        sim::instrument().plug();
        QVERIFY(waitUntil([&] { return enabledBoxes() == 6; }, 2000));
        QCOMPARE(box(trvInterface::Terminal)->isChecked(), checked);
    }
    if (!advanced) {
        clickAdvanced();
    }
    if (!connected) {
        sim::instrument().unplug();
        QVERIFY(waitUntil([&] { return !widget("controlWidget")->isEnabled(); }, 2000));
    }
    sim::instrument().clearLog();

    QList<ModalAnswers::Step> answer;
    if (!dialog.isEmpty()) {
        answer << (dialog.startsWith("No update") ? press(QMessageBox::Ok)
                                                  : press(QMessageBox::Yes));
    }
    const QStringList seen = answerDialogs(
        [&] {
            QTest::mouseClick(widget("startUpdate"), Qt::LeftButton);
            if (connected) {
                QVERIFY(waitUntil([&] { return widget("startUpdate")->isEnabled(); }, 60000));
            }
        },
        answer);
    QCOMPARE(seen, dialog.isEmpty() ? QStringList() : QStringList{dialog});
    QCOMPARE(sim::instrument().updateMessagesReceived(sim::Terminal) > 0, updated);
    QCOMPARE(sim::instrument().version(sim::Terminal), updated ? 21 : 10);
}

// A row's bar reads its board's state with the share of the image sent so
// far while the update runs, and is blank at the start of an update that
// leaves the board out.
void tst_trvloader_device::rowBarReadsTheStateAndTheShareSent()
{
    // The text of this image is 394 bytes long, and its first five lines
    // 197: half of it has been sent when the fifth line leaves.
    TestImage halves("KSENS", "v1.9");
    halves.longLineBytes = 18;
    QCOMPARE(halves.text().size(), 394);
    QFile file(folder.filePath("halves.hex"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(halves.file()) > 0);
    file.close();

    connectWindow();
    clickAdvanced();
    useSmallImages();
    QCOMPARE(answerDialogs([&] { QTest::mouseClick(widget("loadSensor"), Qt::LeftButton); },
                           {choose(folder.path(), {"halves.hex"}), press(QMessageBox::Yes)})
                 .size(),
             2);
    QTest::mouseClick(box(trvInterface::Sensor3), Qt::LeftButton);

    QProgressBar* row = bar("progressSensor3");
    QStringList readings; // "format | text" at each step of the bar
    connect(row, &QProgressBar::valueChanged,
            [&] { readings << row->format() + " | " + row->text(); });
    QCOMPARE(runUpdate(30000), QString("Firmware update successfull"));
    QVERIFY2(
        readings.contains("Transferring firmware file (%p%) | Transferring firmware file (50%)"),
        qPrintable(readings.join(", ")));
    QCOMPARE(row->format(), QString("Firmware update successfull"));

    // The next update, of the control panel alone, blanks the row.
    QVERIFY(waitUntil([&] { return enabledBoxes() == 7; }, 2000));
    QTest::mouseClick(box(trvInterface::Terminal), Qt::LeftButton);
    QCOMPARE(runUpdate(30000), QString("Firmware update successfull"));
    QCOMPARE(row->format(), QString());
    QCOMPARE(row->text(), QString());
    QCOMPARE(bar("progressTerminal")->format(), QString("Firmware update successfull"));
}

void tst_trvloader_device::nothingSelected()
{
    connectWindow();
    clickAdvanced();
    QCOMPARE(answerDialogs([&] { QTest::mouseClick(widget("startUpdate"), Qt::LeftButton); },
                           {press(QMessageBox::Ok)}),
             QStringList({"No update selected | No board has been selected for firmware "
                          "update. Please select boards you want to update."}));
    QVERIFY(widget("startUpdate")->isEnabled());
    QCOMPARE(sim::instrument().updateMessagesReceived(sim::Mainboard), 0);
}

// The control panel refuses its update mode: the second of three steps fails
// and the main board is never started.
void tst_trvloader_device::failureStopsTheUpdate()
{
    sim::BoardFaults notReady;
    notReady.notReady = true;
    sim::instrument().setFaults(sim::Terminal, notReady);
    connectWindow();
    useSmallImages();

    const QString failure = "Firmware update mode could not be startet";
    QCOMPARE(runUpdate(60000), "Control Panel (terminal): " + failure);
    auto* total = bar("totalProgress");
    QCOMPARE(total->value(), 3000);
    QCOMPARE(total->maximum(), 3000);
    QVERIFY(total->property("error").toBool());
    QVERIFY(!total->property("working").toBool());
    QCOMPARE(bar("progressTerminal")->format(), failure + " (%p%)");
    QVERIFY(bar("progressTerminal")->property("error").toBool());
    QCOMPARE(bar("progressSensor3")->format(), QString("Firmware update successfull"));
    QCOMPARE(bar("progressMainboard")->format(), QString());
    QCOMPARE(bar("progressMainboard")->value(), 0);

    run(timing.requestTimeout * 3);
    QCOMPARE(sim::instrument().updateMessagesReceived(sim::Mainboard), 0);
    QCOMPARE(sim::instrument().version(sim::Mainboard), 10);
}

void tst_trvloader_device::noFileLoadingDuringTheUpdate_data()
{
    QTest::addColumn<bool>("fails");
    QTest::newRow("update succeeds") << false;
    QTest::newRow("update fails") << true;
}

// The images being sent cannot be changed: while the update runs, the main
// board's restart included, the load buttons and the stamping tool's
// shortcuts are inactive; once it has ended, well or not, they work again.
void tst_trvloader_device::noFileLoadingDuringTheUpdate()
{
    QFETCH(bool, fails);
    if (fails) {
        sim::BoardFaults notReady;
        notReady.notReady = true;
        sim::instrument().setFaults(sim::Terminal, notReady);
    }
    connectWindow();
    useSmallImages();
    const QList<QWidget*> loadButtons = {widget("loadMainboard"), widget("loadTerminal"),
                                         widget("loadSensor")};
    const QList<Qt::KeyboardModifiers> shortcuts = {Qt::ControlModifier | Qt::AltModifier,
                                                    Qt::ControlModifier | Qt::ShiftModifier};
    auto openTool = [&](Qt::KeyboardModifiers modifiers, const QList<ModalAnswers::Step>& steps) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.data())) {
            return QStringList{"the window did not become active"};
        }
        return answerDialogs([&] { QTest::keyClick(window.data(), Qt::Key_F8, modifiers); }, steps);
    };

    int samples = 0;
    QStringList activeDuringUpdate;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, [&] {
        if (widget("startUpdate")->isEnabled()) {
            return;
        }
        ++samples;
        for (QWidget* load : loadButtons) {
            if (load->isEnabled()) {
                activeDuringUpdate << load->objectName() + ": " + bar("totalProgress")->format();
            }
        }
    });
    sampler.start(1);
    QTest::mouseClick(widget("startUpdate"), Qt::LeftButton);
    QVERIFY(!widget("startUpdate")->isEnabled());
    clickAdvanced(); // where the load buttons are
    for (Qt::KeyboardModifiers modifiers : shortcuts) {
        QCOMPARE(openTool(modifiers, {}), QStringList());
    }
    QVERIFY(!widget("startUpdate")->isEnabled()); // the keys came while it ran
    QVERIFY(waitUntil([&] { return widget("startUpdate")->isEnabled(); }, 60000));
    sampler.stop();
    QVERIFY(samples > 0);
    QCOMPARE(activeDuringUpdate, QStringList());
    QCOMPARE(bar("totalProgress")->property("error").toBool(), fails);

    for (QWidget* load : loadButtons) {
        QVERIFY2(load->isEnabled(), qPrintable(load->objectName()));
    }
    const ModalAnswers::Step cancel = [](QWidget* modal) {
        const QString title = modal->windowTitle();
        QMetaObject::invokeMethod(modal, "reject");
        return title;
    };
    for (Qt::KeyboardModifiers modifiers : shortcuts) {
        QCOMPARE(openTool(modifiers, {cancel}), QStringList{"Firmware files"});
    }
}

void tst_trvloader_device::closeWhileUpdating()
{
    connectWindow();
    QTest::mouseClick(widget("startUpdate"), Qt::LeftButton);
    QVERIFY(waitUntil([&] { return bar("totalProgress")->value() > 100; }, 10000));

    auto escape = [&] { QTest::keyClick(window.data(), Qt::Key_Escape); };
    QCOMPARE(answerDialogs(escape, {press(QMessageBox::No)}),
             QStringList({"Cancel update | Do you really want to cancel the firmware  update?"}));
    QVERIFY(window->isVisible());
    // Return at the question keeps the update: No is the default.
    QCOMPARE(answerDialogs(escape, {typeKey(Qt::Key_Return)}),
             QStringList({"Cancel update | Do you really want to cancel the firmware  update?"}));
    QVERIFY(window->isVisible());
    const int progress = bar("totalProgress")->value();
    QVERIFY(waitUntil([&] { return bar("totalProgress")->value() > progress + 50; }, 10000));

    const QStringList seen = answerDialogs(escape, {press(QMessageBox::Yes)});
    QVERIFY2(seen.size() == 1 && seen.first().startsWith("Cancel update | "),
             qPrintable(seen.join(", ")));
    QVERIFY(!window->isVisible());
    const HistoryRecord canceled = UpdateHistory().records().value(0);
    QCOMPARE(canceled.outcome, HistoryRecord::Canceled);

    // The next start names the step's boards, and only once.
    window.reset();
    const QStringList told = openWindowAnswering({press(QMessageBox::Ok)});
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().startsWith("Update did not finish | The update of Keys 12-20, "
                                     "Keys 21-42, Keys 43-64, Keys 65-86, Keys 87-108 started"),
             qPrintable(told.first()));
    QVERIFY(told.first().contains(" These boards may need a new update. Running the update "
                                  "again brings the boards back."));
    const QStringList again = answerDialogs(
        [&] {
            sim::instrument().unplug();
            QVERIFY(waitUntil([&] { return enabledBoxes() == 0; }, 2000));
            sim::instrument().plug();
            QVERIFY(waitUntil([&] { return enabledBoxes() == 7; }, 2000));
        },
        {});
    QCOMPARE(again, QStringList());
}

// The log says what the user did, in the order it was done: each start and
// the answer to its question, each close during the update and the answer to
// the cancel question.
void tst_trvloader_device::logSaysWhatTheUserDid()
{
    QFile::remove(ServiceLog::defaultFileName());
    sim::instrument().setVersion(sim::Terminal, 30); // a question before the start
    connectWindow();
    const auto start = [&] { QTest::mouseClick(widget("startUpdate"), Qt::LeftButton); };
    QCOMPARE(answerDialogs(start, {press(QMessageBox::No)}).size(), 1);
    QCOMPARE(answerDialogs(start, {press(QMessageBox::Yes)}).size(), 1);
    QVERIFY(waitUntil([&] { return bar("totalProgress")->value() > 100; }, 10000));
    const auto escape = [&] { QTest::keyClick(window.data(), Qt::Key_Escape); };
    QCOMPARE(answerDialogs(escape, {press(QMessageBox::No)}).size(), 1);
    QCOMPARE(answerDialogs(escape, {press(QMessageBox::Yes)}).size(), 1);
    QVERIFY(!window->isVisible());

    const QString log = ServiceLog().tail(ServiceLog::defaultMaximumSize);
    const QString pressed = "window: Start Update pressed (simple mode) for sensor5, sensor1, "
                            "sensor2, sensor3, sensor4, terminal, mainboard\n";
    const QString closed = "window: Window closed during an update: asked whether to cancel\n";
    int at = 0;
    for (const QString& line :
         {pressed, QString("window: Start question answered No\n"), pressed,
          QString("window: Start question answered Yes\n"), closed,
          QString("window: Cancel question answered No: the update goes on\n"), closed,
          QString("window: Cancel question answered Yes: the update is canceled, the window "
                  "closes\n")}) {
        const int found = log.indexOf(line, at);
        QVERIFY2(found >= 0, qPrintable("not in order: " + line + "\n" + log));
        at = found + line.size();
    }
}

// A silent board, a newer installed version, or nothing new to install: one
// question, whose default (Return) sends nothing at all.
void tst_trvloader_device::questionBeforeUpdate_data()
{
    QTest::addColumn<bool>("advanced");
    QTest::addColumn<QString>("question");

    QTest::newRow("simple, a silent sensor board")
        << false
        << "These boards have not answered and will not be updated:\n"
           "Keys 43-64 (sensor2)\n"
           "Control Panel (terminal)";
    QTest::newRow("simple, a newer control panel")
        << false
        << "These boards run newer firmware than the update would install:\n"
           "Control Panel (terminal): installed v3.0, image v2.1 is older\n"
           "\"Update the Others\" keeps these boards as they are.";
    QTest::newRow("simple, a newer control panel, a current main board")
        << false
        << "These boards run newer firmware than the update would install:\n"
           "Control Panel (terminal): installed v3.0, image v2.1 is older\n"
           "\"Update the Others\" keeps these boards as they are.\n\n"
           "These boards already run the firmware that the update would install; it will be "
           "reinstalled:\n"
           "Main Board (mainboard)";
    QTest::newRow("advanced, a newer control panel alone")
        << true
        << "These boards run newer firmware than the update would install:\n"
           "Control Panel (terminal): installed v3.0, image v2.1 is older";
    QTest::newRow("simple, all current")
        << false
        << "Every board that answered already runs the firmware that the update would "
           "install. The update would install it again.";
}

void tst_trvloader_device::questionBeforeUpdate()
{
    QFETCH(bool, advanced);
    QFETCH(QString, question);
    const QString row = QTest::currentDataTag();
    int answering = 7;
    if (row.contains("silent")) {
        sim::BoardFaults absent;
        absent.absent = true;
        sim::instrument().setFaults(sim::Sensor2, absent);
        sim::instrument().setFaults(sim::Terminal, absent);
        answering = 5;
    }
    if (row.contains("newer")) {
        sim::instrument().setVersion(sim::Terminal, 30);
    }
    if (row.contains("current main board")) {
        sim::instrument().setVersion(sim::Mainboard, 33);
    }
    if (row.contains("all current")) {
        sim::instrument().setVersion(sim::Mainboard, 33);
        sim::instrument().setVersion(sim::Terminal, 21);
        for (sim::Board sensor :
             {sim::Sensor1, sim::Sensor2, sim::Sensor3, sim::Sensor4, sim::Sensor5}) {
            sim::instrument().setVersion(sensor, 19);
        }
    }
    connectWindow(answering);
    if (advanced) {
        clickAdvanced();
        QTest::mouseClick(box(trvInterface::Terminal), Qt::LeftButton);
    }
    const QString ready = bar("totalProgress")->format();

    QCOMPARE(answerDialogs([&] { QTest::mouseClick(widget("startUpdate"), Qt::LeftButton); },
                           {typeKey(Qt::Key_Return)}),
             QStringList({"Start firmware update | " + question +
                          "\n\nDo you want to start the update anyway?"}));
    // An update started in spite of the answer would have sent its first
    // update message by now: its version check is answered or given up
    // within a request's time-out.
    run(timing.requestTimeout * 3);
    for (trvInterface::PartType part : allBoards) {
        QCOMPARE(sim::instrument().updateMessagesReceived(sim::Board(part)), 0);
    }
    QCOMPARE(bar("totalProgress")->format(), ready);
    QVERIFY(widget("startUpdate")->isEnabled());
}

void tst_trvloader_device::startAnsweredAfterAnUnplug_data()
{
    QTest::addColumn<bool>("back"); // plugged in again before the answer
    QTest::newRow("still away") << false;
    QTest::newRow("back before the answer") << true;
}

// The instrument goes while the start question is open: the answer was for a
// plan of that connection, which never starts. Nothing is sent or recorded.
void tst_trvloader_device::startAnsweredAfterAnUnplug()
{
    QFETCH(bool, back);
    sim::instrument().setVersion(sim::Terminal, 30); // a question before the start
    connectWindow();

    const auto unplug = [&] {
        sim::instrument().unplug();
        QVERIFY(waitUntil([&] { return enabledBoxes() == 0; }, 2000));
        if (back) {
            sim::instrument().plug();
            QVERIFY(waitUntil([&] { return enabledBoxes() == 7; }, 2000));
        }
    };
    const QStringList seen =
        answerDialogs([&] { QTest::mouseClick(widget("startUpdate"), Qt::LeftButton); },
                      {press(QMessageBox::Yes, unplug)});
    QCOMPARE(seen.size(), 1);
    QCOMPARE(bar("totalProgress")->format(),
             QString("The instrument was disconnected before the update started: nothing was "
                     "sent."));
    // A started update would have sent its first message within a request's time-out.
    run(timing.requestTimeout * 3);
    for (trvInterface::PartType part : allBoards) {
        QCOMPARE(sim::instrument().updateMessagesReceived(sim::Board(part)), 0);
    }
    QVERIFY(UpdateHistory().records().isEmpty());
    QVERIFY(!window->findChild<trvInstrument*>()->isUpdating());
    QVERIFY(ServiceLog()
                .tail(ServiceLog::defaultMaximumSize)
                .contains("window: Update not started: the instrument was disconnected while the "
                          "question was open\n"));
}

// Asked whether to go back to an older version, the user says yes: only then.
void tst_trvloader_device::confirmedDowngrade()
{
    sim::instrument().setVersion(sim::Terminal, 30);
    connectWindow();
    clickAdvanced();
    useSmallImages();
    QTest::mouseClick(box(trvInterface::Terminal), Qt::LeftButton);

    QString ended;
    const QStringList seen =
        answerDialogs([&] { ended = runUpdate(30000); }, {press(QMessageBox::Yes)});
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.first().contains("installed v3.0, image v2.1 is older"),
             qPrintable(seen.first()));
    QCOMPARE(ended, QString("Firmware update successfull"));
    QCOMPARE(sim::instrument().version(sim::Terminal), 21);
}

// Asked whether to go back to an older version, the user has the other
// boards updated and keeps that one as it is: nothing reaches it.
void tst_trvloader_device::olderBoardKeptAsItIs()
{
    sim::instrument().setVersion(sim::Terminal, 30);
    connectWindow();
    useSmallImages();

    QString ended;
    const QStringList seen =
        answerDialogs([&] { ended = runUpdate(30000); }, {pressButton("Update the Others")});
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.first().contains("installed v3.0, image v2.1 is older"),
             qPrintable(seen.first()));
    QCOMPARE(ended, QString("Firmware update successfull"));
    QCOMPARE(sim::instrument().updateMessagesReceived(sim::Terminal), 0);
    QCOMPARE(sim::instrument().version(sim::Terminal), 30);
    QCOMPARE(sim::instrument().version(sim::Mainboard), 33);
    QCOMPARE(sim::instrument().version(sim::Sensor2), 19);
}

// The instrument is there, but this user may not open it: the window says so
// instead of waiting, once explains the fix, and opens it when it can.
void tst_trvloader_device::refusedOpenIsExplained()
{
    sim::instrument().setOpenRefusal(EACCES);
    const QString refused = UsbHid::refusalDescription(EACCES);
    bool explained = false;
    QStringList seen = answerDialogs(
        [&] {
            makeWindow();
            window->show();
            waitUntil([&] { return bar("totalProgress")->format() == refused; }, 2000);
            waitUntil([&] { return explained; }, 2000);
            // The cause stays while the link goes on trying, on every tick of
            // its poll timer here: no second box.
            QSignalSpy ticks(window->findChild<PollTimer*>(), &PollTimer::timeout);
            waitUntil([&] { return ticks.count() >= 10; }, 2000);
        },
        {press(QMessageBox::Ok, [&] { explained = true; })});
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.first(),
             "Instrument cannot be opened | " + refused + "\n" + UsbHid::refusalRemedy(EACCES));
    QCOMPARE(bar("totalProgress")->format(), refused);
    QVERIFY(!widget("mainControl")->isEnabled());

    // Once the rule is in place and the instrument plugged in again.
    sim::instrument().setOpenRefusal(0);
    QVERIFY(waitUntil([&] { return enabledBoxes() == 7; }, 2000));
    QCOMPARE(bar("totalProgress")->format(), QString("Ready to start firmware update"));
}

void tst_trvloader_device::failureNamesTheRefusingBoard_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<sim::BoardFaults>("faults");
    QTest::addColumn<QString>("total");
    QTest::addColumn<bool>("transferComplete"); // where the failed rows stop

    sim::BoardFaults zeroAck;
    zeroAck.zeroAckAtLine = 2;
    sim::BoardFaults notReady;
    notReady.notReady = true;
    sim::BoardFaults refuseEnd;
    refuseEnd.refuseEnd = true;
    QTest::newRow("a line refused")
        << int(sim::Sensor2) << zeroAck << "Keys 43-64 (sensor2): Errors while transfering data"
        << false;
    QTest::newRow("not ready") << int(sim::Sensor4) << notReady
                               << "Keys 87-108 (sensor4): Firmware update mode could not be startet"
                               << false;
    QTest::newRow("end refused") << int(sim::Sensor5) << refuseEnd
                                 << "Keys 12-20 (sensor5): Invalid firmware file" << true;
    sim::BoardFaults otherVersion;
    otherVersion.versionAfterUpdate = 13;
    QTest::newRow("another version after the update")
        << int(sim::Sensor3) << otherVersion
        << "Keys 65-86 (sensor3): Update could not be finished: it reports v1.3, v1.9 was expected"
        << true;
}

// The total bar names the board that refused, and the step's rows show where
// the transfer stopped.
void tst_trvloader_device::failureNamesTheRefusingBoard()
{
    QFETCH(int, board);
    QFETCH(sim::BoardFaults, faults);
    QFETCH(QString, total);
    QFETCH(bool, transferComplete);

    sim::instrument().setFaults(sim::Board(board), faults);
    connectWindow();
    useSmallImages();
    QCOMPARE(runUpdate(60000), total);
    QCOMPARE(child<QLabel>(*window, "updateNote")->text(),
             QString("Running the update again brings the boards back.\n"
                     "If it fails again, press \"?\" and then \"Report for Support...\", and "
                     "send the report to support."));
    for (trvInterface::PartType sensor : BoardTable::boardsOf(BoardTable::Sensors)) {
        QProgressBar* row = bar("progress" + boardSuffix(sensor));
        QVERIFY(row->property("error").toBool());
        QCOMPARE(row->value() == row->maximum(), transferComplete);
        QVERIFY2(row->text().endsWith("(100%)") == transferComplete, qPrintable(row->text()));
    }
    QCOMPARE(sim::instrument().updateMessagesReceived(sim::Terminal), 0);
}

void tst_trvloader_device::failureStaysShown_data()
{
    QTest::addColumn<bool>("unplugged"); // else a sensor board refuses a line
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("note");
    QTest::newRow("a line refused")
        << false << "Keys 43-64 (sensor2): Errors while transfering data"
        << "Running the update again brings the boards back.\nIf it fails again, press \"?\" "
           "and then \"Report for Support...\", and send the report to support.";
    QTest::newRow("unplugged during the sensor step")
        << true << "The instrument was disconnected during the update of Sensor Boards."
        << "Plug the instrument in and start the update again.\nIf it fails again, press \"?\" "
           "and then \"Report for Support...\", and send the report to support.";
}

// A failure is not taken back by a reconnect: the total bar keeps it, and the
// note what to do, until the selection changes.
void tst_trvloader_device::failureStaysShown()
{
    QFETCH(bool, unplugged);
    QFETCH(QString, total);
    QFETCH(QString, note);

    connectWindow();
    useSmallImages();
    if (unplugged) {
        sim::instrument().unplugAtDataMessage(2);
    } else {
        sim::BoardFaults zeroAck;
        zeroAck.zeroAckAtLine = 2;
        sim::instrument().setFaults(sim::Sensor2, zeroAck);
    }
    QProgressBar* totalBar = bar("totalProgress");
    QLabel* noteLabel = child<QLabel>(*window, "updateNote");
    auto failureShown = [&] {
        return totalBar->format() == total && totalBar->property("error").toBool() &&
               noteLabel->isVisible() && noteLabel->text() == note;
    };
    // Unplugged, the update area stays disabled: the failure is what ends the wait.
    QTest::mouseClick(widget("startUpdate"), Qt::LeftButton);
    QVERIFY(waitUntil(failureShown, 10000));
    QCOMPARE(widget("mainControl")->isEnabled(), !unplugged);
    QVERIFY(!window->findChild<trvInstrument*>()->isUpdating());

    if (!unplugged) {
        sim::instrument().unplug();
        QVERIFY(waitUntil([&] { return !widget("mainControl")->isEnabled(); }, 2000));
        QVERIFY2(failureShown(), qPrintable(totalBar->format()));
    }
    sim::instrument().setFaults(sim::Sensor2, sim::BoardFaults());
    sim::instrument().plug();
    QVERIFY(waitUntil([&] { return enabledBoxes() == 7; }, 2000));
    QVERIFY2(failureShown(), qPrintable(totalBar->format()));

    // Advanced mode, to look at the rows, keeps it; a change of the boards
    // chosen makes ready for the next start.
    clickAdvanced();
    QVERIFY(failureShown());
    QTest::mouseClick(box(trvInterface::Sensor2), Qt::LeftButton);
    QCOMPARE(totalBar->format(), QString("Ready to start firmware update"));
    QVERIFY(!totalBar->property("error").toBool());
    QVERIFY(noteLabel->isHidden());

    // The next start brings the boards back.
    QCOMPARE(runUpdate(60000), QString("Firmware update successfull"));
    QCOMPARE(sim::instrument().version(sim::Sensor2), 19);
}

// Boards left out since they did not answer are named beside the success, as
// are boards that got the version they already ran.
void tst_trvloader_device::leftOutBoardsNamedAfterSuccess()
{
    sim::BoardFaults absent;
    absent.absent = true;
    sim::instrument().setFaults(sim::Sensor3, absent);
    sim::instrument().setVersion(sim::Terminal, 21);
    connectWindow(6);
    useSmallImages();
    QString ended;
    const QStringList asked =
        answerDialogs([&] { ended = runUpdate(60000); }, {press(QMessageBox::Yes)});
    QCOMPARE(asked.size(), 1);
    QCOMPARE(ended, QString("Firmware update successfull"));
    // Not every board asked for was updated: the bar is not the plain green of done.
    QProgressBar* total = bar("totalProgress");
    QVERIFY(total->property("partial").toBool());
    QVERIFY(!total->property("done").toBool());
    const QImage look = total->grab().toImage();
    const QColor chunk = look.pixelColor(look.width() / 4, look.height() / 2);
    QVERIFY2(chunk != QColor(0x4d, 0x9a, 0x4d) && chunk != QColor(0x4d, 0x7a, 0x4d),
             qPrintable(chunk.name()));
    QLabel* note = child<QLabel>(*window, "updateNote");
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(),
             QString("Not updated, since they did not answer: Keys 65-86.\n"
                     "Reinstalled the version they already ran: Control Panel (terminal)."));
    QCOMPARE(sim::instrument().version(sim::Sensor3), 10);
    QCOMPARE(sim::instrument().version(sim::Sensor4), 19);
}

// A main board back after the engine's wait, with the new version: a success,
// said to have come late.
void tst_trvloader_device::lateMainboard()
{
    TestTiming::shortenLateReturn(timing);
    sim::instrument().setMainboardRestartTime(TestTiming::lateMainboardRestartTime(timing));
    connectWindow();
    useSmallImages();
    clickAdvanced();
    QTest::mouseClick(box(trvInterface::Mainboard), Qt::LeftButton);

    QStringList totalTexts;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, [&] {
        const QString text = bar("totalProgress")->format();
        if (totalTexts.isEmpty() || totalTexts.last() != text) {
            totalTexts << text;
        }
    });
    sampler.start(1);
    QCOMPARE(runUpdate(timing.reconnectTimeout + timing.lateReturnTimeout * 3),
             QString("Firmware update successfull"));
    sampler.stop();
    const QString waiting = QString("Main Board: not back yet, waiting up to %1 s more")
                                .arg(timing.lateReturnTimeout / 1000.0);
    QVERIFY2(totalTexts.contains(waiting), qPrintable(totalTexts.join(", ")));
    QCOMPARE(child<QLabel>(*window, "updateNote")->text(),
             QString("Main Board came back late, with v3.3."));
    QCOMPARE(bar("progressMainboard")->format(), QString("Firmware update successfull"));
    QVERIFY(!bar("totalProgress")->property("error").toBool());
}

// From the main board's restart on, the note beneath the bar says what the
// update waits for and how long at most, until the update's end says more.
void tst_trvloader_device::restartWaitIsSaid()
{
    sim::instrument().setMainboardRestartTime(timing.restartWait + timing.reconnectTimeout / 2);
    connectWindow();
    useSmallImages();
    clickAdvanced();
    QTest::mouseClick(box(trvInterface::Mainboard), Qt::LeftButton);

    const QString restarting = "Main Board is restarting: waiting up to " +
                               QString::number((timing.restartWait + timing.reconnectTimeout) /
                                               1000.0) +
                               " s for it to come back";
    auto* note = child<QLabel>(*window, "updateNote");
    QStringList notesWhileRunning;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, [&] {
        if (!widget("startUpdate")->isEnabled() && note->isVisible() &&
            !notesWhileRunning.contains(note->text())) {
            notesWhileRunning << note->text();
        }
    });
    sampler.start(1);
    QCOMPARE(runUpdate(timing.restartWait + timing.reconnectTimeout * 3),
             QString("Firmware update successfull"));
    sampler.stop();
    QCOMPARE(notesWhileRunning, QStringList{restarting});
    QVERIFY2(note->isHidden() || note->text() != restarting, qPrintable(note->text()));
    QCOMPARE(UserTexts::restartWaitText(timing.restartWait + timing.reconnectTimeout), restarting);
}

// While an update runs, a label beside the total bar says how long it has
// left, as the host reckons it; the bar's own text stays the step's.
void tst_trvloader_device::timeLeftBesideTheBar()
{
    connectWindow();
    auto* host = window->findChild<InstrumentHost*>();
    QVERIFY(host);
    auto* label = child<QLabel>(*window, "timeLeft");
    QVERIFY(label->isHidden());

    QStringList mismatches;
    QStringList shown;
    // Told after the window, which was connected first.
    connect(host, &InstrumentHost::timeLeftChanged, label, [&](int seconds) {
        const QString expected = seconds < 0 ? QString() : UserTexts::timeLeftText(seconds);
        if (label->isVisible() != (seconds >= 0) || label->text() != expected) {
            mismatches << QString("\"%1\" at %2 s").arg(label->text()).arg(seconds);
        }
        shown << label->text();
    });
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, [&] {
        const QString format = bar("totalProgress")->format();
        if (!label->text().isEmpty() && format.contains(label->text())) {
            mismatches << "in the bar: " + format;
        }
    });
    QSignalSpy told(host, &InstrumentHost::timeLeftChanged);
    sampler.start(1);
    QCOMPARE(runUpdate(60000), QString("Firmware update successfull"));
    sampler.stop();
    QVERIFY2(shown.count(QString()) < shown.size(), "the time left was never shown");
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(", ")));
    QVERIFY(!told.isEmpty());
    QCOMPARE(told.last().first().toInt(), -1);
    QVERIFY(label->isHidden());
}

// The report for support, from the advanced area: the tool, the instrument
// with its boards, the history; one button copies all of it.
void tst_trvloader_device::supportReport()
{
    connectWindow();
    clickAdvanced();
    QString shown;
    const QStringList seen = answerDialogs(
        [&] { QTest::mouseClick(widget("supportReport"), Qt::LeftButton); }, {[&](QWidget* dialog) {
            shown = child<QPlainTextEdit>(*dialog, "reportText")->toPlainText();
            QTest::mouseClick(child<QWidget>(*dialog, "copyReport"), Qt::LeftButton);
            QTest::keyClick(dialog, Qt::Key_Escape);
            return dialog->windowTitle();
        }});
    QCOMPARE(seen, QStringList{"Report for Support"});
    QCOMPARE(QGuiApplication::clipboard()->text(), shown);
    QVERIFY2(shown.contains(QString("Instrument: connected, serial number %1")
                                .arg(sim::Instrument::defaultSerialNumber)),
             qPrintable(shown));
    QVERIFY(shown.contains("Tool: trvloader"));
    QVERIFY(shown.contains(QRegularExpression("terminal +Control Panel +v1\\.0 +image v2\\.1")));
    QVERIFY(shown.contains("No update recorded."));
}

// A step whose record was started and never completed (the program was
// killed) is named when its instrument connects.
void tst_trvloader_device::interruptedUpdateIsNamed()
{
    HistoryRecord cutOff;
    cutOff.id = QStringLiteral("cut-off");
    cutOff.started = QDateTime::currentDateTimeUtc();
    cutOff.serialNumber = QString(sim::Instrument::defaultSerialNumber);
    cutOff.boards = QStringList{"mainboard"};
    QVERIFY(UpdateHistory().begin(cutOff));

    const QStringList told = openWindowAnswering({press(QMessageBox::Ok)});
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().startsWith("Update did not finish | The update of Main Board started "),
             qPrintable(told.first()));
    QVERIFY2(told.first().contains(" did not finish. This board may need a new update."),
             qPrintable(told.first()));
}


// Two instruments attached: the window opens neither until the user chooses
// one by its serial number, then updates that one, main board included, and
// writes nothing to the other.
void tst_trvloader_device::severalInstrumentsWaitForAChoice()
{
    sim::Instrument& second = sim::instrumentAt(1);
    second.setMainboardRestartTime(timing.restartWait * 2);
    makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.data()));
    auto* list = child<QComboBox>(*window, "instrumentChoice");
    QVERIFY(waitUntil([&] { return list->isVisible(); }, 2000));
    QCOMPARE(bar("totalProgress")->format(), QString("Choose the instrument to update"));
    QVERIFY(!widget("mainControl")->isEnabled());
    QVERIFY(list->isEnabled());
    QCOMPARE(child<QLabel>(*window, "instrumentLabel")->text(),
             QString("Several instruments are connected: QX40-204871, SN0002. "
                     "Choose the one to update:"));

    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
    QVERIFY(waitUntil([&] { return enabledBoxes() == 7; }, 2000));
    QCOMPARE(child<QLabel>(*window, "instrumentLabel")->text(), QString("Instrument SN0002"));

    QCOMPARE(runDrivenUpdate(120000), QString("Firmware update successfull"));
    QVERIFY(sim::instrument().outputReports().isEmpty());
    QCOMPARE(second.version(sim::Mainboard), 33);
    QCOMPARE(child<QLabel>(*window, "instrumentLabel")->text(), QString("Instrument SN0002"));
    QVERIFY(list->isEnabled());
}

QTEST_MAIN(tst_trvloader_device)
#include "tst_trvloader_device.moc"
