// The instrument session on the emulated instrument: the connection life and
// its watchdog, the board groups' images, and the plan of an update.

#include "boardtable.h"
#include "hexreader.h"
#include "instrument.h"
#include "testimage.h"
#include "testtiming.h"
#include "trvinstrument.h"
#include "trvinterface.h"
#include "trvupdatesequence.h"
#include "usertexts.h"
#include "waiting.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using PartType = trvInterface::PartType;
using PartList = QList<trvInterface::PartType>;
using VersionMap = QMap<int, int>; // board: version in tenths, -1: silent

Q_DECLARE_METATYPE(VersionMap)
Q_DECLARE_METATYPE(sim::BoardFaults)

class tst_trvInstrument : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void boardTable();
    void everyConnectAsksAllBoards();
    void watchdogDropsSilentConnect_data();
    void watchdogDropsSilentConnect();
    void watchdogKeepsAnsweredConnect();
    void builtInImages();
    void imagesMatchedByPartCode_data();
    void imagesMatchedByPartCode();
    void plan_data();
    void plan();
    void planStartsTheUpdate();
    void planOfAnEarlierConnectionNeverStarts();
    void failureNamesBoardAndCause_data();
    void failureNamesBoardAndCause();
    void lateMainboard_data();
    void lateMainboard();
    void restartStaysWithItsInstrument_data();
    void restartStaysWithItsInstrument();
    void restartWaitIsAnnounced();

private:
    // Opens the emulated instrument and waits until its answering boards have answered.
    void connectInstrument();
    // An image of the test-image builder, read from a file.
    HexReader testImage(const QByteArray& part, const QByteArray& version);

    trvTiming timing;
    QTemporaryDir folder;
    std::unique_ptr<trvInterface> device;
    std::unique_ptr<trvInstrument> session;
};

void tst_trvInstrument::init()
{
    sim::clearBench();
    sim::instrument().reset();
    sim::instrument().setBoardRestartTime(0);
    sim::instrument().setMainboardRestartTime(0);
    timing = TestTiming::inProcess();
    timing.restartWait = 10;
    timing.reconnectTimeout = 500;
    device = std::make_unique<trvInterface>();
    session = std::make_unique<trvInstrument>(device.get(), timing);
}

void tst_trvInstrument::cleanup()
{
    session.reset();
    device.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_trvInstrument::connectInstrument()
{
    QSignalSpy connected(session.get(), &trvInstrument::connected);
    device->setAutoconnect(true);
    QVERIFY(connected.count() > 0 || connected.wait(1000));
    // Boards answer within one request time-out or not at all.
    QVERIFY(waitUntil(
        [&] {
            for (PartType board : BoardTable::boards()) {
                const sim::BoardFaults faults = sim::instrument().faults(sim::Board(board));
                if (!faults.silent && !faults.absent && !session->hasAnswered(board)) {
                    return false;
                }
            }
            return true;
        },
        timing.requestTimeout * 10));
}

HexReader tst_trvInstrument::testImage(const QByteArray& part, const QByteArray& version)
{
    const QString path = folder.filePath(QString("%1-%2.hex").arg(part, version));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(TestImage(part, version).file()) < 0) {
        qFatal("cannot write %s", qPrintable(path));
    }
    file.close();
    HexReader reader;
    reader.read(path, false);
    return reader;
}

// Every board has one command-line name, one row and one group, and every
// group one part code and a built-in image that is really the group's.
void tst_trvInstrument::boardTable()
{
    QCOMPARE(BoardTable::boards(),
             PartList({trvInterface::Sensor5, trvInterface::Sensor1, trvInterface::Sensor2,
                       trvInterface::Sensor3, trvInterface::Sensor4, trvInterface::Terminal,
                       trvInterface::Mainboard}));
    QStringList names;
    for (PartType board : BoardTable::boards()) {
        names << BoardTable::commandName(board);
        QVERIFY(BoardTable::boardsOf(BoardTable::groupOf(board)).contains(board));
        QCOMPARE(BoardTable::groupName(board), BoardTable::groupName(BoardTable::groupOf(board)));
    }
    QCOMPARE(names, QStringList({"sensor5", "sensor1", "sensor2", "sensor3", "sensor4", "terminal",
                                 "mainboard"}));
    QCOMPARE(BoardTable::rowName(trvInterface::Sensor5), QString("Keys 12-20"));
    QCOMPARE(BoardTable::rowName(trvInterface::Mainboard), QString("Main Board"));
    QVERIFY(BoardTable::commandName(trvInterface::NoPart).isEmpty());
    QVERIFY(BoardTable::rowName(PartType(8)).isEmpty());

    for (BoardTable::Group group : BoardTable::groups()) {
        BoardTable::Group found = BoardTable::Mainboard;
        QVERIFY(BoardTable::groupOfPartCode(BoardTable::partCode(group), &found));
        QCOMPARE(found, group);
        QVERIFY(BoardTable::groupOfName(BoardTable::commandName(group), &found));
        QCOMPARE(found, group);
        QCOMPARE(BoardTable::groupOf(BoardTable::boardFor(group)), group);
    }
    BoardTable::Group none = BoardTable::Terminal;
    QVERIFY(!BoardTable::groupOfPartCode("KXXXX", &none));
    QVERIFY(!BoardTable::groupOfName("sensor1", &none));
    QCOMPARE(none, BoardTable::Terminal);
}

// Each connect asks all seven boards, forgets what the last one heard, and
// says once when all seven have answered.
void tst_trvInstrument::everyConnectAsksAllBoards()
{
    QSignalSpy all(session.get(), &trvInstrument::allAnswered);
    QSignalSpy reported(session.get(), &trvInstrument::versionReported);
    sim::instrument().setVersion(sim::Terminal, 12);
    connectInstrument();
    QTRY_COMPARE(all.count(), 1);
    QCOMPARE(reported.count(), 7);
    QVERIFY(session->isConnected());
    QCOMPARE(session->reportedVersion(trvInterface::Terminal), QString("v1.2"));
    QCOMPARE(session->reportedVersion(trvInterface::Sensor3), QString("v1.0"));

    // Asking again reports again, but all seven have answered already.
    session->askVersions();
    QTRY_COMPARE(reported.count(), 14);
    QCOMPARE(all.count(), 1);

    // Unplugged: what was heard stays until the next connect.
    QSignalSpy disconnected(session.get(), &trvInstrument::disconnected);
    QSignalSpy connected(session.get(), &trvInstrument::connected);
    sim::instrument().setFaults(sim::Sensor3, {true});
    sim::instrument().unplug();
    QVERIFY(disconnected.wait(1000));
    QVERIFY(!session->isConnected());
    QVERIFY(session->hasAnswered(trvInterface::Sensor3));
    sim::instrument().plug();
    QVERIFY(connected.wait(1000));
    QVERIFY(!session->hasAnswered(trvInterface::Sensor3));
    QTRY_VERIFY(session->hasAnswered(trvInterface::Mainboard));
    QTRY_VERIFY(session->hasAnswered(trvInterface::Sensor2));
    QVERIFY(!session->hasAnswered(trvInterface::Sensor3));
    QCOMPARE(all.count(), 1);
}

// A connect that nobody answers is dropped after the watchdog's time, no
// sooner, and made again: with a short time, and once with the instrument's.
void tst_trvInstrument::watchdogDropsSilentConnect_data()
{
    QTest::addColumn<bool>("instruments");
    QTest::newRow("short") << false;
    QTest::newRow("the instrument's") << true;
}

void tst_trvInstrument::watchdogDropsSilentConnect()
{
    QFETCH(bool, instruments);
    if (instruments) {
        timing = trvTiming();
        session->setTiming(timing);
    }
    sim::BoardFaults silent;
    silent.silent = true;
    for (PartType board : BoardTable::boards()) {
        sim::instrument().setFaults(sim::Board(board), silent);
    }
    QSignalSpy connected(session.get(), &trvInstrument::connected);
    QSignalSpy disconnected(session.get(), &trvInstrument::disconnected);
    QElapsedTimer sinceConnect;
    qint64 connectLasted = -1; // ns, of the first connect
    connect(session.get(), &trvInstrument::connected, [&] { sinceConnect.start(); });
    connect(session.get(), &trvInstrument::disconnected, [&] {
        if (connectLasted < 0) {
            connectLasted = sinceConnect.nsecsElapsed();
        }
    });
    device->setAutoconnect(true);
    QVERIFY(connected.wait(1000));
    QVERIFY(disconnected.wait(timing.watchdogTimeout * 20));
    QVERIFY(connectLasted >= qint64(timing.watchdogTimeout) * 1000000);
    QTRY_COMPARE(connected.count(), 2);
}

// One board's answer is enough to keep the connect.
void tst_trvInstrument::watchdogKeepsAnsweredConnect()
{
    sim::BoardFaults silent;
    silent.silent = true;
    for (PartType board : BoardTable::boards()) {
        if (board != trvInterface::Terminal) {
            sim::instrument().setFaults(sim::Board(board), silent);
        }
    }
    QSignalSpy disconnected(session.get(), &trvInstrument::disconnected);
    connectInstrument();
    QVERIFY(session->hasAnswered(trvInterface::Terminal));
    run(timing.watchdogTimeout * 3);
    QCOMPARE(disconnected.count(), 0);
    QVERIFY(session->isConnected());
}

void tst_trvInstrument::builtInImages()
{
    QVERIFY(!session->imagesUsable());
    BoardTable::Group failed = BoardTable::Terminal;
    QVERIFY(session->readBuiltInImages(&failed));
    QCOMPARE(failed, BoardTable::Terminal);
    QVERIFY(session->imagesUsable());
    for (BoardTable::Group group : BoardTable::groups()) {
        QCOMPARE(session->image(group).part, BoardTable::partCode(group));
        QVERIFY(session->imageFile(group).isEmpty());
    }
    QCOMPARE(&session->imageFor(trvInterface::Sensor5), &session->image(BoardTable::Sensors));
}

// A file goes to the group its part code names, and only there; reading the
// built-in images again replaces it.
void tst_trvInstrument::imagesMatchedByPartCode_data()
{
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<int>("group"); // -1: none

    QTest::newRow("sensor boards") << QByteArray("KSENS") << int(BoardTable::Sensors);
    QTest::newRow("control panel") << QByteArray("KTERM") << int(BoardTable::Terminal);
    QTest::newRow("main board") << QByteArray("KZENT") << int(BoardTable::Mainboard);
    QTest::newRow("another instrument's") << QByteArray("KOTHR") << -1;
    QTest::newRow("lower case") << QByteArray("ksens") << -1;
}

void tst_trvInstrument::imagesMatchedByPartCode()
{
    QFETCH(QByteArray, part);
    QFETCH(int, group);

    QVERIFY(session->readBuiltInImages());
    const HexReader file = testImage(part, "v7.7");
    QCOMPARE(file.state, HexReader::FileOk);
    QCOMPARE(session->useImage(file, "chosen.hex"), group >= 0);
    for (BoardTable::Group each : BoardTable::groups()) {
        const bool replaced = each == group;
        QCOMPARE(session->image(each).version == "v7.7", replaced);
        QCOMPARE(session->imageFile(each), replaced ? QString("chosen.hex") : QString());
    }
    QVERIFY(session->readBuiltInImages());
    QVERIFY(session->imageFile(BoardTable::Group(qMax(group, 0))).isEmpty());
}

void tst_trvInstrument::plan_data()
{
    QTest::addColumn<VersionMap>("installed"); // boards other than v1.0
    QTest::addColumn<QByteArray>("sensorImage");
    QTest::addColumn<PartList>("asked");
    QTest::addColumn<PartList>("boards");
    QTest::addColumn<QList<PartList>>("steps");
    QTest::addColumn<PartList>("silent");
    QTest::addColumn<PartList>("older");
    QTest::addColumn<PartList>("current");
    QTest::addColumn<bool>("allCurrent");

    const PartList all = BoardTable::boards();
    const PartList sensors = BoardTable::boardsOf(BoardTable::Sensors);
    const QList<PartList> threeSteps = {
        sensors, {trvInterface::Terminal}, {trvInterface::Mainboard}};

    QTest::newRow("all boards, all older")
        << VersionMap() << QByteArray("v1.1") << all << all << threeSteps << PartList()
        << PartList() << PartList() << false;
    QTest::newRow("all boards current")
        << VersionMap{{trvInterface::Terminal, 11}, {trvInterface::Mainboard, 11}}
        << QByteArray("v1.0") << all << all << threeSteps << PartList() << PartList() << all
        << true;
    QTest::newRow("one board runs newer firmware")
        << VersionMap{{trvInterface::Sensor2, 20}} << QByteArray("v1.1") << all << all << threeSteps
        << PartList() << PartList{trvInterface::Sensor2} << PartList() << false;
    QTest::newRow("a newer control panel, a silent sensor board, a current main board")
        << VersionMap{{trvInterface::Terminal, 20},
                      {trvInterface::Sensor4, -1},
                      {trvInterface::Mainboard, 11}}
        << QByteArray("v1.1") << all
        << PartList{trvInterface::Sensor5, trvInterface::Sensor1,  trvInterface::Sensor2,
                    trvInterface::Sensor3, trvInterface::Terminal, trvInterface::Mainboard}
        << QList<PartList>{{trvInterface::Sensor5, trvInterface::Sensor1, trvInterface::Sensor2,
                            trvInterface::Sensor3},
                           {trvInterface::Terminal},
                           {trvInterface::Mainboard}}
        << PartList{trvInterface::Sensor4} << PartList{trvInterface::Terminal}
        << PartList{trvInterface::Mainboard} << false;
    QTest::newRow("a silent board is left out")
        << VersionMap{{trvInterface::Sensor4, -1}} << QByteArray("v1.1")
        << PartList{trvInterface::Mainboard, trvInterface::Sensor4, trvInterface::Sensor5}
        << PartList{trvInterface::Sensor5, trvInterface::Mainboard}
        << QList<PartList>{{trvInterface::Sensor5}, {trvInterface::Mainboard}}
        << PartList{trvInterface::Sensor4} << PartList() << PartList() << false;
    QTest::newRow("only silent boards asked for")
        << VersionMap{{trvInterface::Terminal, -1}} << QByteArray("v1.1")
        << PartList{trvInterface::Terminal} << PartList() << QList<PartList>()
        << PartList{trvInterface::Terminal} << PartList() << PartList() << false;
    QTest::newRow("nothing asked for")
        << VersionMap() << QByteArray("v1.0") << PartList() << PartList() << QList<PartList>()
        << PartList() << PartList() << PartList() << false;
    QTest::newRow("current only where asked")
        << VersionMap{{trvInterface::Sensor1, 11}} << QByteArray("v1.0")
        << PartList{trvInterface::Sensor3, trvInterface::Sensor5}
        << PartList{trvInterface::Sensor5, trvInterface::Sensor3}
        << QList<PartList>{{trvInterface::Sensor5, trvInterface::Sensor3}} << PartList()
        << PartList() << PartList{trvInterface::Sensor5, trvInterface::Sensor3} << true;
    QTest::newRow("unreadable version is not current")
        << VersionMap() << QByteArray("1.0") << sensors << sensors << QList<PartList>{sensors}
        << PartList() << PartList() << PartList() << false;
}

void tst_trvInstrument::plan()
{
    QFETCH(VersionMap, installed);
    QFETCH(QByteArray, sensorImage);
    QFETCH(PartList, asked);
    QFETCH(PartList, boards);
    QFETCH(QList<PartList>, steps);
    QFETCH(PartList, silent);
    QFETCH(PartList, older);
    QFETCH(PartList, current);
    QFETCH(bool, allCurrent);

    for (auto it = installed.cbegin(); it != installed.cend(); ++it) {
        if (it.value() < 0) {
            sim::BoardFaults faults;
            faults.silent = true;
            sim::instrument().setFaults(sim::Board(it.key()), faults);
        } else {
            sim::instrument().setVersion(sim::Board(it.key()), it.value());
        }
    }
    QVERIFY(session->useImage(testImage("KSENS", sensorImage), "sensors.hex"));
    QVERIFY(session->useImage(testImage("KTERM", "v1.1"), "terminal.hex"));
    QVERIFY(session->useImage(testImage("KZENT", "v1.1"), "mainboard.hex"));
    connectInstrument();

    const UpdatePlan plan = session->plan(asked);
    QCOMPARE(plan.boards, boards);
    QCOMPARE(plan.steps, steps);
    QCOMPARE(plan.silent, silent);
    QCOMPARE(plan.older, older);
    QCOMPARE(plan.current, current);
    QCOMPARE(plan.allCurrent, allCurrent);
    QCOMPARE(plan.kept, PartList());

    // Kept as they are, the older boards leave the rest of the plan as it was.
    PartList rest = boards;
    for (trvInterface::PartType board : older) {
        rest.removeAll(board);
    }
    const UpdatePlan keeping = session->withoutOlder(plan);
    QCOMPARE(keeping.boards, rest);
    QSet<BoardTable::Group> restGroups;
    for (trvInterface::PartType board : rest) {
        restGroups.insert(BoardTable::groupOf(board));
    }
    QCOMPARE(keeping.steps.size(), restGroups.size());
    QCOMPARE(keeping.silent, silent);
    QCOMPARE(keeping.older, PartList());
    QCOMPARE(keeping.kept, older);
    QCOMPARE(keeping.current, current);
}

// The plan's boards are what the update installs, with the session's timing.
void tst_trvInstrument::planStartsTheUpdate()
{
    QVERIFY(session->useImage(testImage("KTERM", "v1.3"), "terminal.hex"));
    QVERIFY(session->useImage(testImage("KSENS", "v1.4"), "sensors.hex"));
    connectInstrument();
    QCOMPARE(session->sequence()->timing().watchdogTimeout, timing.watchdogTimeout);

    QVERIFY(!session->start(session->plan({})));
    const UpdatePlan plan = session->plan({trvInterface::Terminal, trvInterface::Sensor2});
    QSignalSpy done(session->sequence(), &trvUpdateSequence::done);
    QVERIFY(session->start(plan));
    QVERIFY(!session->start(plan));
    QVERIFY(done.wait(timing.requestTimeout * 50));
    QCOMPARE(sim::instrument().version(sim::Terminal), 13);
    QCOMPARE(sim::instrument().version(sim::Sensor2), 14);
    QCOMPARE(sim::instrument().version(sim::Sensor1), 10);
}

// A plan is for the connection it was made on: after an unplug it starts
// neither while the instrument is away nor once it is back; nothing is sent.
void tst_trvInstrument::planOfAnEarlierConnectionNeverStarts()
{
    connectInstrument();
    const UpdatePlan plan = session->plan({trvInterface::Terminal});
    QVERIFY(session->isCurrent(plan));

    QSignalSpy disconnected(session.get(), &trvInstrument::disconnected);
    sim::instrument().unplug();
    QVERIFY(disconnected.wait(1000));
    QVERIFY(!session->isCurrent(plan));
    QVERIFY(!session->start(plan));

    sim::instrument().plug();
    connectInstrument();
    QVERIFY(!session->isCurrent(plan));
    QVERIFY(!session->start(plan));
    QVERIFY(!session->isUpdating());
    QCOMPARE(sim::instrument().updateMessagesReceived(sim::Terminal), 0);
    QVERIFY(session->start(session->plan({trvInterface::Terminal})));
}

void tst_trvInstrument::failureNamesBoardAndCause_data()
{
    QTest::addColumn<PartList>("boards");
    QTest::addColumn<int>("faulty");
    QTest::addColumn<sim::BoardFaults>("faults");
    QTest::addColumn<int>("unplugAtLine"); // 0: stays plugged in
    QTest::addColumn<trvUpdater::Err>("error");
    QTest::addColumn<int>("refusing");
    QTest::addColumn<bool>("disconnected");
    QTest::addColumn<QString>("text");

    const PartList sensors = BoardTable::boardsOf(BoardTable::Sensors);
    sim::BoardFaults zeroAck;
    zeroAck.zeroAckAtLine = 2;
    sim::BoardFaults notReady;
    notReady.notReady = true;
    sim::BoardFaults refuseEnd;
    refuseEnd.refuseEnd = true;
    sim::BoardFaults dropsReply;
    dropsReply.dropReplyAt = 3; // the engine's version request and the start come back
    QTest::newRow("a line refused")
        << sensors << int(sim::Sensor2) << zeroAck << 0 << trvUpdater::TransferFailed
        << int(trvInterface::Sensor2) << false
        << "Keys 43-64 (sensor2): Errors while transfering data";
    QTest::newRow("not ready") << PartList{trvInterface::Terminal} << int(sim::Terminal) << notReady
                               << 0 << trvUpdater::StartFailed << int(trvInterface::Terminal)
                               << false
                               << "Control Panel (terminal): Firmware update mode could not be "
                                  "startet";
    QTest::newRow("end refused") << PartList{trvInterface::Sensor1, trvInterface::Sensor4}
                                 << int(sim::Sensor4) << refuseEnd << 0
                                 << trvUpdater::InvalidFirmware << int(trvInterface::Sensor4)
                                 << false << "Keys 87-108 (sensor4): Invalid firmware file";
    QTest::newRow("no answer") << PartList{trvInterface::Terminal} << int(sim::Terminal)
                               << dropsReply << 0 << trvUpdater::NoResponse
                               << int(trvInterface::NoPart) << false
                               << "Control Panel: No response from device";
    QTest::newRow("unplugged") << sensors << int(sim::NoPart) << sim::BoardFaults() << 3
                               << trvUpdater::NoResponse << int(trvInterface::NoPart) << true
                               << "The instrument was disconnected during the update of Sensor "
                                  "Boards.";
    QTest::newRow("unplugged, two of the group")
        << PartList{trvInterface::Sensor2, trvInterface::Sensor4} << int(sim::NoPart)
        << sim::BoardFaults() << 3 << trvUpdater::NoResponse << int(trvInterface::NoPart) << true
        << "The instrument was disconnected during the update of Keys 43-64 (sensor2), "
           "Keys 87-108 (sensor4).";
}

// A failed update tells the board whose reply failed it, or that the
// instrument went away, in the words both front ends use.
void tst_trvInstrument::failureNamesBoardAndCause()
{
    QFETCH(PartList, boards);
    QFETCH(int, faulty);
    QFETCH(sim::BoardFaults, faults);
    QFETCH(int, unplugAtLine);
    QFETCH(trvUpdater::Err, error);
    QFETCH(int, refusing);
    QFETCH(bool, disconnected);
    QFETCH(QString, text);

    QVERIFY(session->useImage(testImage("KTERM", "v1.3"), "terminal.hex"));
    QVERIFY(session->useImage(testImage("KSENS", "v1.4"), "sensors.hex"));
    connectInstrument();
    if (faulty != sim::NoPart) {
        sim::instrument().setFaults(sim::Board(faulty), faults);
    }
    if (unplugAtLine > 0) {
        sim::instrument().unplugAtDataMessage(unplugAtLine);
    }
    QSignalSpy failed(session.get(), &trvInstrument::updateFailed);
    QVERIFY(session->start(session->plan(boards)));
    QVERIFY(failed.wait(timing.requestTimeout * 30));
    QVERIFY(!session->isUpdating());

    const trvInstrument::Failure failure = session->failure();
    QCOMPARE(failure.error, error);
    QCOMPARE(failure.boards, boards);
    QCOMPARE(int(failure.refusing), refusing);
    QCOMPARE(failure.disconnected, disconnected);
    QCOMPARE(UserTexts::failureText(failure), text);
    // Every failure gets the same advice, and what to do when it fails again,
    // in each front end's own words.
    const QString first = disconnected
                              ? QString("Plug the instrument in and start the update again.\n")
                              : QString("Running the update again brings the boards back.\n");
    QCOMPARE(UserTexts::failureAdvice(failure, UserTexts::Window),
             first + "If it fails again, press \"?\" and then \"Report for Support...\", and "
                     "send the report to support.");
    QCOMPARE(UserTexts::failureAdvice(failure, UserTexts::CommandLine),
             first + "If it fails again, send support the report that trvloader-cli report "
                     "prints.");
}

void tst_trvInstrument::lateMainboard_data()
{
    QTest::addColumn<int>("versionAfter"); // tenths; -1: the image's
    QTest::addColumn<bool>("comesBack");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("failure"); // the failure's text; empty when it succeeds
    QTest::newRow("back late with the new version") << -1 << true << true << QString();
    QTest::newRow("back late with another version")
        << 12 << true << false
        << "Main Board (mainboard): Update could not be finished: it reports v1.2, v3.4 was "
           "expected";
    QTest::newRow("not back at all")
        << -1 << false << false << "Main Board: No response from device";
}

// A main board back after the engine's wait, within the session's late one:
// its version decides; the engine's own failure stands otherwise.
void tst_trvInstrument::lateMainboard()
{
    QFETCH(int, versionAfter);
    QFETCH(bool, comesBack);
    QFETCH(bool, succeeds);
    QFETCH(QString, failure);

    // Short, but each wait well apart from the others.
    timing.reconnectTimeout = 300;
    timing.lateReturnTimeout = timing.reconnectTimeout * 2;
    session->setTiming(timing);
    QVERIFY(session->useImage(testImage("KZENT", "v3.4"), "mainboard.hex"));
    connectInstrument();
    sim::BoardFaults faults;
    faults.versionAfterUpdate = versionAfter;
    sim::instrument().setFaults(sim::Mainboard, faults);
    // Away longer than the engine looks for it: back half way through the late wait,
    // or only well after it.
    const int engineWait = timing.restartWait + timing.reconnectTimeout;
    sim::instrument().setMainboardRestartTime(comesBack
                                                  ? engineWait + timing.lateReturnTimeout / 2
                                                  : engineWait + timing.lateReturnTimeout * 3);

    QSignalSpy waiting(session.get(), &trvInstrument::waitingForLateReturn);
    QSignalSpy failed(session.get(), &trvInstrument::updateFailed);
    QSignalSpy succeeded(session.get(), &trvInstrument::updateSucceeded);
    QVERIFY(session->start(session->plan({trvInterface::Mainboard})));
    QVERIFY(waiting.wait(engineWait * 3));
    QVERIFY(!session->sequence()->isRunning());
    QVERIFY(session->isUpdating());
    QVERIFY(session->mainboardRestarting());
    QCOMPARE(failed.count() + succeeded.count(), 0);

    QVERIFY(waitUntil([&] { return failed.count() + succeeded.count() > 0; },
                      timing.lateReturnTimeout * 3));
    QCOMPARE(succeeded.count(), succeeds ? 1 : 0);
    QCOMPARE(failed.count(), succeeds ? 0 : 1);
    QCOMPARE(session->cameBackLate(), succeeds);
    QVERIFY(!session->isUpdating());
    if (succeeds) {
        QCOMPARE(UserTexts::lateReturnText(session->reportedVersion(trvInterface::Mainboard)),
                 QString("Main Board came back late, with v3.4."));
    } else {
        QVERIFY(!session->failure().disconnected);
        QCOMPARE(UserTexts::failureText(session->failure()), failure);
        QVERIFY(UserTexts::failureAdvice(session->failure(), UserTexts::CommandLine)
                    .startsWith("Running the update again brings the boards back.\n"
                                "If it fails again, "));
    }
}

void tst_trvInstrument::restartStaysWithItsInstrument_data()
{
    QTest::addColumn<bool>("comesBack");
    QTest::newRow("back from its restart") << true;
    QTest::newRow("never back") << false;
}

// Another instrument plugged in while the main board is away for its restart
// is left alone: not a byte is written to it, and only the instrument being
// updated can verify its main board.
void tst_trvInstrument::restartStaysWithItsInstrument()
{
    QFETCH(bool, comesBack);
    timing.lateReturnTimeout = timing.reconnectTimeout;
    session->setTiming(timing);
    QVERIFY(session->useImage(testImage("KZENT", "v3.4"), "mainboard.hex"));
    connectInstrument();
    const int engineWait = timing.restartWait + timing.reconnectTimeout;
    sim::instrument().setMainboardRestartTime(
        comesBack ? timing.restartWait * 5 : (engineWait + timing.lateReturnTimeout) * 3);
    sim::Instrument* other = nullptr;
    connect(session.get(), &trvInstrument::disconnected, this, [&] {
        if (!other) {
            other = &sim::instrumentAt(1);
            other->setVersion(sim::Mainboard, 31);
        }
    });

    // Once the update is over the link may open the other, the only one left.
    int writtenToOther = -1;
    QString updatedSerial;
    for (auto over : {&trvInstrument::updateFailed, &trvInstrument::updateSucceeded}) {
        connect(session.get(), over, this, [&] {
            writtenToOther = other ? other->outputReports().size() : -1;
            updatedSerial = session->serialNumber();
        });
    }
    QSignalSpy failed(session.get(), &trvInstrument::updateFailed);
    QSignalSpy succeeded(session.get(), &trvInstrument::updateSucceeded);
    QVERIFY(session->start(session->plan({trvInterface::Mainboard})));
    QVERIFY(waitUntil([&] { return failed.count() + succeeded.count() > 0; },
                      (engineWait + timing.lateReturnTimeout) * 3));
    QVERIFY(other);
    QCOMPARE(writtenToOther, 0);
    QCOMPARE(other->version(sim::Mainboard), 31);
    QCOMPARE(succeeded.count(), comesBack ? 1 : 0);
    QCOMPARE(failed.count(), comesBack ? 0 : 1);
    if (comesBack) {
        QCOMPARE(session->reportedVersion(trvInterface::Mainboard), QString("v3.4"));
    }
    QCOMPARE(updatedSerial, sim::instrument().serialNumber());
    QVERIFY(!device->isPinned());
}

// The main board's restart, and only its, is announced once, while the
// instrument is away on purpose, with the most the engine waits for it.
void tst_trvInstrument::restartWaitIsAnnounced()
{
    timing.restartWait = 30;
    session->setTiming(timing);
    QVERIFY(session->useImage(testImage("KTERM", "v1.3"), "terminal.hex"));
    QVERIFY(session->useImage(testImage("KZENT", "v3.4"), "mainboard.hex"));
    connectInstrument();
    sim::instrument().setMainboardRestartTime(TestTiming::mainboardRestartTime(timing));

    QSignalSpy waiting(session.get(), &trvInstrument::waitingForRestart);
    QList<bool> restartingWhenSaid;
    connect(session.get(), &trvInstrument::waitingForRestart, this,
            [&] { restartingWhenSaid.append(session->mainboardRestarting()); });
    QSignalSpy succeeded(session.get(), &trvInstrument::updateSucceeded);
    QVERIFY(session->start(session->plan({trvInterface::Terminal, trvInterface::Mainboard})));
    QVERIFY(succeeded.wait((timing.restartWait + timing.reconnectTimeout) * 5));
    QCOMPARE(waiting.count(), 1);
    QCOMPARE(waiting.first().first().toInt(), timing.restartWait + timing.reconnectTimeout);
    QCOMPARE(restartingWhenSaid, QList<bool>{true});
    QCOMPARE(UserTexts::restartWaitText(waiting.first().first().toInt()),
             QString("Main Board is restarting: waiting up to %1 s for it to come back")
                 .arg((timing.restartWait + timing.reconnectTimeout) / 1000.0));
}

QTEST_GUILESS_MAIN(tst_trvInstrument)
#include "tst_trvinstrument.moc"
