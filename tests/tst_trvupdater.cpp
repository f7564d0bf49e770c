#include "hexreader.h"
#include "instrument.h"
#include "testimage.h"
#include "testtiming.h"
#include "trvinterface.h"
#include "trvupdater.h"
#include "waiting.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

using PartType = trvInterface::PartType;
using PartList = QList<trvInterface::PartType>;
using StateList = QList<trvUpdater::State>;

Q_DECLARE_METATYPE(sim::BoardFaults)

namespace {

sim::Instrument& instrument()
{
    return sim::instrument();
}

QByteArray message(std::initializer_list<int> bytes)
{
    QByteArray result;
    for (int byte : bytes) {
        result += char(byte);
    }
    return result;
}

QByteArray dataMessage(const QByteArray& block)
{
    return message({0x03, 0x00, block.size()}) + block;
}

QList<QByteArray> lines(const QByteArray& text)
{
    QList<QByteArray> result;
    int begin = 0;
    while (begin < text.size()) {
        int end = text.indexOf('\n', begin);
        end = end < 0 ? text.size() : end + 1;
        result.append(text.mid(begin, end - begin));
        begin = end;
    }
    return result;
}

QString versionText(int tenths)
{
    return QString("v%1.%2").arg(tenths / 10).arg(tenths % 10);
}

sim::Board board(PartType part)
{
    return sim::Board(int(part));
}

// Length of the longest line of text, its line feed included.
int longestLine(const QByteArray& text)
{
    int longest = 0;
    for (const QByteArray& line : lines(text)) {
        longest = qMax(longest, line.size());
    }
    return longest;
}

QByteArray partCode(PartType part)
{
    switch (part) {
    case trvInterface::Mainboard:
        return "KZENT";
    case trvInterface::Terminal:
        return "KTERM";
    default:
        return "KSENS";
    }
}

// A small image for the boards of part, with a version the boards do not run yet.
TestImage imageFor(PartType part)
{
    TestImage image(partCode(part), "v2.3");
    image.codeLines = 4;
    return image;
}

} // namespace

// Takes the engine's reports through queued, string-based connections.
class QueuedReceiver : public QObject
{
    Q_OBJECT

public:
    QList<QPair<trvUpdater::State, trvUpdater::Err>> states;
    QList<trvUpdater::Err> cancels;

public slots:
    void state(trvUpdater::State state, trvUpdater::Err error) { states.append({state, error}); }
    void canceled(trvUpdater::Err error) { cancels.append(error); }
};

class tst_trvUpdater : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stateSequence_data();
    void stateSequence();
    void groupMessageOrder();
    void earlyOrStrayRepliesNeverMoveTheStepOn_data();
    void earlyOrStrayRepliesNeverMoveTheStepOn();
    void repeatNeverStandsInForALostAcknowledgement();
    void failures_data();
    void failures();
    void silentGroupMemberFailsOneTimeoutAfterTheBlock();
    void lineLostWithTheDeviceIsNotSentLater();
    void waitForDeviceAsksOncePerTimeout();
    void strayRepliesAndReconnectIgnored();
    void imageChecksBeforeSending_data();
    void imageChecksBeforeSending();
    void reportsCrossQueuedConnections();
    void stopEndsTheStep_data();
    void stopEndsTheStep();
    void builtInImages_data();
    void builtInImages();

private:
    // A new engine for part (with sensors for a group) on the shared protocol object.
    trvUpdater* makeEngine(PartType part, const PartList& sensors, HexReader* hexReader);
    // Reads a freshly written image file into reader.
    void readImage(const QByteArray& contents);
    // Runs the event loop until the engine has emitted done() or canceled(), or ms have passed.
    bool runToEnd(trvUpdater* engine, int ms);
    // Calls action once the engine has taken state (after its requests are on their way).
    void whenEntering(trvUpdater* engine, trvUpdater::State state, std::function<void()> action);
    static StateList states(const QSignalSpy& currentState);
    // The engine can send nothing more: it has no time-out armed, and the link has
    // nothing of it queued (a poll tick now writes nothing); sent messages have left.
    void verifyStopped(int sent);

    QTemporaryDir dir;
    trvTiming waits; // handed to each engine
    std::unique_ptr<trvInterface> device;
    HexReader reader;
    trvUpdater* engine = nullptr;
};

void tst_trvUpdater::init()
{
    instrument().reset();
    waits = TestTiming::quick();
    TestTiming::pace(instrument(), waits);
    device = std::make_unique<trvInterface>();
    QSignalSpy connected(device.get(), SIGNAL(connected()));
    device->setAutoconnect(true);
    QVERIFY(connected.wait(1000));
    reader = HexReader();
}

void tst_trvUpdater::cleanup()
{
    delete engine;
    engine = nullptr;
    device.reset();
}

trvUpdater* tst_trvUpdater::makeEngine(PartType part, const PartList& sensors, HexReader* hexReader)
{
    engine = new trvUpdater(device.get(), hexReader, part);
    engine->setTiming(waits);
    for (PartType sensor : sensors) {
        engine->addPart(sensor);
    }
    return engine;
}

void tst_trvUpdater::readImage(const QByteArray& contents)
{
    QFile file(dir.filePath("image.hex"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), qint64(contents.size()));
    file.close();
    reader.read(file.fileName(), false);
}

bool tst_trvUpdater::runToEnd(trvUpdater* updater, int ms)
{
    QEventLoop loop;
    connect(updater, &trvUpdater::done, &loop, &QEventLoop::quit);
    connect(updater, &trvUpdater::canceled, &loop, &QEventLoop::quit);
    QTimer guard;
    guard.setSingleShot(true);
    bool finished = true;
    connect(&guard, &QTimer::timeout, &loop, [&] {
        finished = false;
        loop.quit();
    });
    guard.start(ms);
    loop.exec();
    return finished;
}

void tst_trvUpdater::whenEntering(trvUpdater* updater, trvUpdater::State state,
                                  std::function<void()> action)
{
    // currentState comes before the engine takes the state and sends its requests.
    connect(updater, &trvUpdater::currentState, this, [=](trvUpdater::State entered) {
        if (entered == state) {
            QTimer::singleShot(0, this, action);
        }
    });
}

void tst_trvUpdater::verifyStopped(int sent)
{
    auto* timer = engine->findChild<QTimer*>();
    QVERIFY(timer);
    QVERIFY(!timer->isActive());
    device->polling();
    QCOMPARE(instrument().messages().size(), sent);
}

StateList tst_trvUpdater::states(const QSignalSpy& currentState)
{
    StateList result;
    for (const QList<QVariant>& arguments : currentState) {
        result.append(arguments.at(0).value<trvUpdater::State>());
    }
    return result;
}

void tst_trvUpdater::stateSequence_data()
{
    QTest::addColumn<PartType>("part");
    QTest::addColumn<PartList>("sensors");
    QTest::addColumn<StateList>("expected");

    using S = trvUpdater;
    QTest::newRow("main board") << trvInterface::Mainboard << PartList()
                                << StateList{S::CheckCompatibility, S::StartUpdateMode,
                                             S::Transfer,           S::FinishTransfer,
                                             S::Restarting,         S::WaitForReconnect,
                                             S::VerifyVersion,      S::Succeeded};
    QTest::newRow("control panel")
        << trvInterface::Terminal << PartList()
        << StateList{S::CheckCompatibility, S::StartUpdateMode, S::Transfer,
                     S::FinishTransfer,     S::WaitForDevice,   S::Succeeded};
    QTest::newRow("sensor group") << trvInterface::NoPart
                                  << PartList{trvInterface::Sensor5, trvInterface::Sensor2}
                                  << StateList{S::CheckCompatibility, S::StartUpdateMode,
                                               S::Transfer,           S::FinishTransfer,
                                               S::WaitForDevice,      S::Succeeded};
}

void tst_trvUpdater::stateSequence()
{
    QFETCH(PartType, part);
    QFETCH(PartList, sensors);
    QFETCH(StateList, expected);

    readImage(imageFor(part).file());
    QCOMPARE(reader.state, HexReader::FileOk);
    makeEngine(part, sensors, &reader);
    QSignalSpy currentState(engine, &trvUpdater::currentState);
    QSignalSpy done(engine, &trvUpdater::done);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    QSignalSpy range(engine, &trvUpdater::range);
    QSignalSpy process(engine, &trvUpdater::process);

    engine->start();
    QVERIFY(runToEnd(engine, 5000));

    QCOMPARE(states(currentState), expected);
    for (const QList<QVariant>& arguments : currentState) {
        QCOMPARE(arguments.at(1).value<trvUpdater::Err>(), trvUpdater::NoError);
    }
    QCOMPARE(done.count(), 1);
    QCOMPARE(canceled.count(), 0);

    const int size = reader.data.size();
    QCOMPARE(range.count(), 1);
    QCOMPARE(range.at(0), (QList<QVariant>{0, size}));
    // One report per line, rising, and a last one that finds nothing left.
    QCOMPARE(process.count(), lines(reader.data).size() + 1);
    for (int i = 1; i < process.count() - 1; ++i) {
        QVERIFY(process.at(i - 1).at(0).toInt() < process.at(i).at(0).toInt());
    }
    QCOMPARE(process.at(process.count() - 2).at(0).toInt(), size);
    QCOMPARE(process.last().at(0).toInt(), size);

    const PartList boards = part == trvInterface::NoPart ? sensors : PartList{part};
    for (PartType updated : boards) {
        QCOMPARE(instrument().storedText(board(updated)), reader.data);
        QCOMPARE(versionText(instrument().version(board(updated))), reader.version);
    }
}

void tst_trvUpdater::groupMessageOrder()
{
    readImage(imageFor(trvInterface::NoPart).file());
    makeEngine(trvInterface::NoPart, {trvInterface::Sensor1, trvInterface::Sensor3}, &reader);
    // How many messages had been written when each data acknowledgement came in.
    QList<int> writtenAtAck;
    connect(device.get(), &trvInterface::firmwareUpdateDataAck, this,
            [&] { writtenAtAck.append(instrument().messages().size()); });

    engine->start();
    QVERIFY(runToEnd(engine, 5000));

    const QList<QByteArray> blocks = lines(reader.data);
    QList<QByteArray> expected{message({0x01, 0x00}), message({0x02, 0x01}), message({0x02, 0x03})};
    QList<int> expectedAtAck;
    for (const QByteArray& block : blocks) {
        expected.append(dataMessage(block));
        expectedAtAck << expected.size() << expected.size();
    }
    expected << message({0x04, 0x01, reader.checksum}) << message({0x04, 0x03, reader.checksum})
             << message({0x01, 0x00});
    QCOMPARE(instrument().messages(), expected);
    // The next line leaves only after both boards have acknowledged the last one.
    QCOMPARE(writtenAtAck, expectedAtAck);

    QCOMPARE(instrument().storedText(sim::Sensor1), reader.data);
    QCOMPARE(instrument().storedText(sim::Sensor3), reader.data);
    QVERIFY(instrument().storedText(sim::Sensor2).isEmpty());
    QCOMPARE(instrument().version(sim::Sensor2), 10);
}

// The host reads, right after one request of the step has left, a report of its own in
// place of the boards' replies to it: replies that answer that request, followed in the same
// report by replies that could only answer the next request, which has not left yet, or by
// replies that answer nothing. Only replies to requests that have left move the step on.
void tst_trvUpdater::earlyOrStrayRepliesNeverMoveTheStepOn_data()
{
    QTest::addColumn<PartType>("part");
    QTest::addColumn<PartList>("sensors");
    QTest::addColumn<int>("request"); // 0: the first version request; n: line n (past the last
                                      // line: the end messages)
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<PartList>("replaced"); // boards whose replies to that request it replaces

    const PartType terminal = trvInterface::Terminal;
    const PartList group{trvInterface::Sensor1, trvInterface::Sensor3};
    const int lineCount = lines(imageFor(terminal).text()).size();
    QTest::newRow("a line's acknowledgement twice")
        << terminal << PartList() << 3 << message({0x03, 6, 1, 0x03, 6, 1}) << PartList{terminal};
    QTest::newRow("a refusal in the name of the group")
        << trvInterface::NoPart << group << 2 << message({0x03, 0, 0}) << PartList();
    QTest::newRow("the version, then a start acknowledgement")
        << terminal << PartList() << 0 << message({0x01, 6, 10, 0x02, 6, 1}) << PartList{terminal};
    QTest::newRow("the last line's acknowledgement, then an end acceptance")
        << terminal << PartList() << lineCount << message({0x03, 6, 1, 0x04, 6, 1})
        << PartList{terminal};
    QTest::newRow("the end acceptance, then the new version")
        << terminal << PartList() << lineCount + 1 << message({0x04, 6, 1, 0x01, 6, 23})
        << PartList{terminal};
}

void tst_trvUpdater::earlyOrStrayRepliesNeverMoveTheStepOn()
{
    QFETCH(PartType, part);
    QFETCH(PartList, sensors);
    QFETCH(int, request);
    QFETCH(QByteArray, report);
    QFETCH(PartList, replaced);

    readImage(imageFor(part).file());
    const PartList boards = part == trvInterface::NoPart ? sensors : PartList{part};
    sim::BoardFaults losesReply; // replies: the version, the start, one per line, the end
    losesReply.dropReplyAt = request == 0 ? 1 : 2 + request;
    for (PartType replacedBoard : replaced) {
        instrument().setFaults(board(replacedBoard), losesReply);
    }
    makeEngine(part, sensors, &reader);
    QSignalSpy done(engine, &trvUpdater::done);
    // How many messages had been written when each reply of a board of the step (or one in
    // the group's name) came in.
    QList<int> writtenAtReply;
    auto note = [&](PartType from) {
        if (from == trvInterface::NoPart || boards.contains(from)) {
            writtenAtReply.append(instrument().messages().size());
        }
    };
    connect(device.get(), &trvInterface::firmwareVersion, this, note);
    connect(device.get(), &trvInterface::firmwareUpdateStartAck, this, note);
    connect(device.get(), &trvInterface::firmwareUpdateDataAck, this, note);
    connect(device.get(), &trvInterface::firmwareUpdateEndAck, this, note);
    // The report is read in the first tick after the request was queued, which writes it.
    int blocks = 0;
    connect(engine, &trvUpdater::process, this, [&] {
        if (++blocks == request) {
            instrument().injectReport(report);
        }
    });
    if (request == 0) {
        instrument().injectReport(report);
    }

    engine->start();
    QVERIFY(runToEnd(engine, 5000));
    QCOMPARE(done.count(), 1);

    // Each request waits for every board's reply to the one before: the messages written
    // when each request has left are the version request, the start messages, each line,
    // the end messages and the version request.
    const int boardCount = boards.size();
    const int lineCount = lines(reader.data).size();
    QList<int> writtenWhenLeft{1, 1 + boardCount};
    for (int line = 1; line <= lineCount; ++line) {
        writtenWhenLeft.append(1 + boardCount + line);
    }
    writtenWhenLeft << 1 + 2 * boardCount + lineCount << 2 + 2 * boardCount + lineCount;
    QList<int> expected;
    for (int written : writtenWhenLeft) {
        for (int reply = 0; reply < boardCount; ++reply) {
            expected.append(written);
        }
    }
    const int writtenAtReport = writtenWhenLeft.at(request == 0 ? 0 : request + 1);
    for (int i = 0; i < replaced.size(); ++i) {
        expected.removeOne(writtenAtReport);
    }
    for (int offset = 0; offset + 3 <= report.size(); offset += 3) {
        const PartType from = PartType(report.at(offset + 1));
        if (from == trvInterface::NoPart || boards.contains(from)) {
            expected.append(writtenAtReport);
        }
    }
    std::sort(expected.begin(), expected.end());
    QCOMPARE(writtenAtReply, expected);
    for (PartType updated : boards) {
        QCOMPARE(instrument().storedText(board(updated)), reader.data);
    }
}

// Sensor3 acknowledges line 3 twice, the second time in the report in which Sensor1's
// acknowledgement completes the line; its acknowledgement of line 4 is lost. The repeat does not
// stand in for it: the step waits for it and fails, and line 5 is never sent.
void tst_trvUpdater::repeatNeverStandsInForALostAcknowledgement()
{
    readImage(imageFor(trvInterface::NoPart).file());
    sim::BoardFaults losesFourthLineAcknowledgement;
    losesFourthLineAcknowledgement.dropReplyAt = 2 + 4; // after its version and start replies
    instrument().setFaults(sim::Sensor3, losesFourthLineAcknowledgement);
    makeEngine(trvInterface::NoPart, {trvInterface::Sensor1, trvInterface::Sensor3}, &reader);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    int blocks = 0;
    connect(engine, &trvUpdater::process, this, [&] {
        if (++blocks == 3) { // read right after line 3 is written, before the boards' replies
            instrument().injectReport(message({0x03, 3, 1}));
        }
    });

    engine->start();
    QVERIFY(runToEnd(engine, 5000));

    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), trvUpdater::NoResponse);
    const QList<QByteArray> sent = instrument().messages();
    QCOMPARE(sent.last(), dataMessage(lines(reader.data).at(3)));
    verifyStopped(sent.size());
}

void tst_trvUpdater::failures_data()
{
    QTest::addColumn<PartType>("part");
    QTest::addColumn<PartList>("sensors");
    QTest::addColumn<PartType>("faulty");
    QTest::addColumn<sim::BoardFaults>("faults");
    QTest::addColumn<bool>("mainboardStaysAway");
    QTest::addColumn<trvUpdater::State>("failedIn");
    QTest::addColumn<trvUpdater::Err>("error");
    QTest::addColumn<QString>("text");
    QTest::addColumn<PartType>("refusedBy"); // the board whose reply failed the step

    const PartList group{trvInterface::Sensor1, trvInterface::Sensor2, trvInterface::Sensor3};
    sim::BoardFaults silent;
    silent.silent = true;
    sim::BoardFaults notReady;
    notReady.notReady = true;
    sim::BoardFaults zeroAck;
    zeroAck.zeroAckAtLine = 3;
    sim::BoardFaults refuseEnd;
    refuseEnd.refuseEnd = true;
    sim::BoardFaults wrongVersion;
    wrongVersion.versionAfterUpdate = 99;

    QTest::newRow("silent board") << trvInterface::Terminal << PartList() << trvInterface::Terminal
                                  << silent << false << trvUpdater::CheckCompatibility
                                  << trvUpdater::NoResponse << "No response from device"
                                  << trvInterface::NoPart;
    QTest::newRow("not ready") << trvInterface::Terminal << PartList() << trvInterface::Terminal
                               << notReady << false << trvUpdater::StartUpdateMode
                               << trvUpdater::StartFailed
                               << "Firmware update mode could not be startet"
                               << trvInterface::Terminal;
    QTest::newRow("one of a group not ready")
        << trvInterface::NoPart << group << trvInterface::Sensor2 << notReady << false
        << trvUpdater::StartUpdateMode << trvUpdater::StartFailed
        << "Firmware update mode could not be startet" << trvInterface::Sensor2;
    QTest::newRow("zero ack") << trvInterface::Terminal << PartList() << trvInterface::Terminal
                              << zeroAck << false << trvUpdater::Transfer
                              << trvUpdater::TransferFailed << "Errors while transfering data"
                              << trvInterface::Terminal;
    QTest::newRow("refused end") << trvInterface::NoPart << group << trvInterface::Sensor3
                                 << refuseEnd << false << trvUpdater::FinishTransfer
                                 << trvUpdater::InvalidFirmware << "Invalid firmware file"
                                 << trvInterface::Sensor3;
    QTest::newRow("wrong version")
        << trvInterface::Terminal << PartList() << trvInterface::Terminal << wrongVersion << false
        << trvUpdater::WaitForDevice << trvUpdater::FinishFailed << "Update could not be finished"
        << trvInterface::Terminal;
    QTest::newRow("main board wrong version")
        << trvInterface::Mainboard << PartList() << trvInterface::Mainboard << wrongVersion << false
        << trvUpdater::VerifyVersion << trvUpdater::FinishFailed << "Update could not be finished"
        << trvInterface::Mainboard;
    QTest::newRow("main board not back")
        << trvInterface::Mainboard << PartList() << trvInterface::Mainboard << sim::BoardFaults()
        << true << trvUpdater::WaitForReconnect << trvUpdater::NoResponse
        << "No response from device" << trvInterface::NoPart;
}

void tst_trvUpdater::failures()
{
    QFETCH(PartType, part);
    QFETCH(PartList, sensors);
    QFETCH(PartType, faulty);
    QFETCH(sim::BoardFaults, faults);
    QFETCH(bool, mainboardStaysAway);
    QFETCH(trvUpdater::State, failedIn);
    QFETCH(trvUpdater::Err, error);
    QFETCH(QString, text);
    QFETCH(PartType, refusedBy);

    readImage(imageFor(part).file());
    instrument().setFaults(board(faulty), faults);
    if (mainboardStaysAway) {
        instrument().setMainboardRestartTime(10 * (waits.restartWait + waits.reconnectTimeout));
    }
    makeEngine(part, sensors, &reader);
    QSignalSpy currentState(engine, &trvUpdater::currentState);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    QSignalSpy done(engine, &trvUpdater::done);
    QElapsedTimer clock;
    qint64 enteredFailingState = -1;
    int sentAtFailure = -1;
    connect(engine, &trvUpdater::currentState, this, [&](trvUpdater::State state) {
        if (state == failedIn) {
            enteredFailingState = clock.elapsed();
        }
    });
    connect(engine, &trvUpdater::canceled, this,
            [&] { sentAtFailure = instrument().messages().size(); });

    clock.start();
    engine->start();
    QVERIFY(runToEnd(engine, 15000));
    const qint64 failedAt = clock.elapsed();

    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), error);
    QCOMPARE(trvUpdater::errorDescription(error), text);
    const StateList seen = states(currentState);
    QVERIFY(seen.size() >= 2);
    QCOMPARE(seen.last(), trvUpdater::Failed);
    QCOMPARE(currentState.last().at(1).value<trvUpdater::Err>(), error);
    QCOMPARE(seen.at(seen.size() - 2), failedIn);
    QCOMPARE(engine->failedPart(), refusedBy);
    // What a board running another version reported, for the user to read.
    QCOMPARE(engine->reportedVersion(),
             faults.versionAfterUpdate == 99 ? QString("v9.9") : QString());
    if (faults.zeroAckAtLine > 0) {
        int dataMessages = 0;
        for (const QByteArray& sent : instrument().messages()) {
            dataMessages += sent.startsWith('\x03') ? 1 : 0;
        }
        QCOMPARE(dataMessages, faults.zeroAckAtLine);
    }
    if (mainboardStaysAway) { // gives the main board the whole reconnect time
        QVERIFY2(failedAt - enteredFailingState >= waits.reconnectTimeout,
                 qPrintable(QString::number(failedAt - enteredFailingState)));
    }

    verifyStopped(sentAtFailure);
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(done.count(), 0);
}

void tst_trvUpdater::lineLostWithTheDeviceIsNotSentLater()
{
    readImage(imageFor(trvInterface::Terminal).file());
    makeEngine(trvInterface::Terminal, PartList(), &reader);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    int blocks = 0;
    connect(engine, &trvUpdater::process, this, [&] {
        if (++blocks == 3) { // the third line cannot be written
            instrument().setWriteFails(true);
        }
    });

    engine->start();
    QVERIFY(runToEnd(engine, 5000));
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), trvUpdater::NoResponse);

    // The device takes reports again: the step is over, so its line stays lost.
    instrument().clearLog();
    instrument().setWriteFails(false);
    device->open(); // what the link kept queued leaves with the next tick
    verifyStopped(0);
}

void tst_trvUpdater::silentGroupMemberFailsOneTimeoutAfterTheBlock()
{
    readImage(imageFor(trvInterface::NoPart).file());
    // Replies come after most of a request's time-out, and Sensor3 loses its first data
    // acknowledgement (after its version and start replies). Re-arming the time-out at a
    // partial answer would fail the step only a whole time-out after that answer.
    const int latency = waits.requestTimeout * 3 / 5;
    instrument().setReplyLatency(latency, latency);
    sim::BoardFaults losesAck;
    losesAck.dropReplyAt = 3;
    instrument().setFaults(sim::Sensor3, losesAck);
    makeEngine(trvInterface::NoPart,
               {trvInterface::Sensor1, trvInterface::Sensor2, trvInterface::Sensor3}, &reader);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    QElapsedTimer sinceBlock;
    // Due between the time-out armed with the block and one re-armed at the first answer;
    // timers that are due fire in the order they fall due, however late.
    QTimer between;
    between.setSingleShot(true);
    between.setTimerType(Qt::PreciseTimer);
    bool canceledFirst = false;
    connect(engine, &trvUpdater::process, this, [&] {
        sinceBlock.start();
        between.start(waits.requestTimeout + latency / 2);
    });
    connect(engine, &trvUpdater::canceled, this, [&] { canceledFirst = between.isActive(); });
    QList<qint64> ackTimes;
    connect(device.get(), &trvInterface::firmwareUpdateDataAck, this,
            [&] { ackTimes.append(sinceBlock.elapsed()); });

    engine->start();
    QVERIFY(runToEnd(engine, 10 * waits.requestTimeout));
    const qint64 failedAfter = sinceBlock.elapsed();

    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), trvUpdater::NoResponse);
    QCOMPARE(ackTimes.size(), 2);
    QVERIFY(canceledFirst);
    QVERIFY2(failedAfter >= waits.requestTimeout, qPrintable(QString::number(failedAfter)));
}

void tst_trvUpdater::waitForDeviceAsksOncePerTimeout()
{
    readImage(imageFor(trvInterface::Terminal).file());
    // The control panel never comes back in time.
    instrument().setBoardRestartTime(10 * (waits.versionRetries + 1) * waits.requestTimeout);
    makeEngine(trvInterface::Terminal, {}, &reader);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    QElapsedTimer waiting;
    whenEntering(engine, trvUpdater::WaitForDevice, [&] { waiting.start(); });

    engine->start();
    QVERIFY(runToEnd(engine, 10 * (waits.versionRetries + 1) * waits.requestTimeout));
    const qint64 failedAfter = waiting.elapsed();
    verifyStopped(instrument().messages().size());

    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), trvUpdater::NoResponse);
    // The first request and one per retry, each given the whole time-out.
    QVERIFY2(failedAfter >= waits.versionRetries * waits.requestTimeout,
             qPrintable(QString::number(failedAfter)));
    const QList<QByteArray> sent = instrument().messages();
    const int end = sent.indexOf(message({0x04, 0x06, reader.checksum}));
    QVERIFY(end > 0);
    QList<QByteArray> expected;
    for (int request = 0; request <= waits.versionRetries; ++request) {
        expected.append(message({0x01, 0x06}));
    }
    QCOMPARE(sent.mid(end + 1), expected);
}

void tst_trvUpdater::strayRepliesAndReconnectIgnored()
{
    readImage(imageFor(trvInterface::Mainboard).file());
    // Every state lasts long enough to be hit.
    instrument().setReplyLatency(waits.requestTimeout / 4, waits.requestTimeout / 4);
    makeEngine(trvInterface::Mainboard, {}, &reader);
    QSignalSpy currentState(engine, &trvUpdater::currentState);
    QSignalSpy done(engine, &trvUpdater::done);
    QSignalSpy versions(device.get(), &trvInterface::firmwareVersion);

    // A version reply the window asked for, with another version, in every state that does not
    // wait for one; and a reconnect while the main board is still restarting.
    const QByteArray strayVersion = message({0x01, 0x07, 99});
    for (trvUpdater::State state :
         {trvUpdater::StartUpdateMode, trvUpdater::Transfer, trvUpdater::FinishTransfer,
          trvUpdater::Restarting, trvUpdater::WaitForReconnect}) {
        whenEntering(engine, state, [&] { device->dataInput(strayVersion); });
    }
    whenEntering(engine, trvUpdater::Restarting, [&] { emit device->connected(); });

    engine->start();
    QVERIFY(runToEnd(engine, 20000));

    int strayReplies = 0;
    for (const QList<QVariant>& arguments : versions) {
        strayReplies += arguments.at(1).toString() == "v9.9" ? 1 : 0;
    }
    QCOMPARE(strayReplies, 5);
    QCOMPARE(done.count(), 1);
    using S = trvUpdater;
    QCOMPARE(states(currentState),
             (StateList{S::CheckCompatibility, S::StartUpdateMode, S::Transfer, S::FinishTransfer,
                        S::Restarting, S::WaitForReconnect, S::VerifyVersion, S::Succeeded}));
    // Only the real return of the main board brings the one version request.
    const QList<QByteArray> sent = instrument().messages();
    QCOMPARE(sent.mid(sent.indexOf(message({0x05, 0x07}))),
             (QList<QByteArray>{message({0x05, 0x07}), message({0x01, 0x07})}));
}

void tst_trvUpdater::imageChecksBeforeSending_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<bool>("fileGone");
    QTest::addColumn<bool>("withReader");
    QTest::addColumn<trvUpdater::Err>("error");

    const QByteArray good = imageFor(trvInterface::Terminal).file();
    const QByteArray text = imageFor(trvInterface::Terminal).text();
    const QByteArray corrupted =
        text + TestImage::checksumRecord(HexReader::imageChecksum(text) + 1);
    // A data record of n bytes is a line of 13 + 2n characters with CR LF.
    TestImage longestLine = imageFor(trvInterface::Terminal);
    longestLine.longLineBytes = (trvInterface::maximumBlockSize - 13) / 2;
    TestImage overlong = longestLine;
    ++overlong.longLineBytes;

    QTest::newRow("corrupted image") << corrupted << false << true << trvUpdater::InvalidFirmware;
    QTest::newRow("file gone, older image kept")
        << good << true << true << trvUpdater::InvalidFirmware;
    QTest::newRow("line longer than a data message carries")
        << overlong.file() << false << true << trvUpdater::InvalidFirmware;
    QTest::newRow("longest line a data message carries")
        << longestLine.file() << false << true << trvUpdater::NoError;
    QTest::newRow("no reader") << good << false << false << trvUpdater::InternalError;
}

void tst_trvUpdater::imageChecksBeforeSending()
{
    QFETCH(QByteArray, image);
    QFETCH(bool, fileGone);
    QFETCH(bool, withReader);
    QFETCH(trvUpdater::Err, error);

    readImage(image);
    if (fileGone) {
        QCOMPARE(reader.read(dir.filePath("missing.hex"), false), HexReader::FileAccessDenied);
    }
    QVERIFY(!reader.data.isEmpty());
    makeEngine(trvInterface::Terminal, {}, withReader ? &reader : nullptr);
    QSignalSpy currentState(engine, &trvUpdater::currentState);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    QSignalSpy done(engine, &trvUpdater::done);

    engine->start();
    if (error == trvUpdater::NoError) {
        QVERIFY(runToEnd(engine, 5000));
        QCOMPARE(done.count(), 1);
        QCOMPARE(instrument().storedText(sim::Terminal), reader.data);
        QCOMPARE(longestLine(reader.data), trvInterface::maximumBlockSize);
        return;
    }
    // Refused at once, before anything is sent.
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), error);
    QCOMPARE(currentState.count(), 1);
    QCOMPARE(currentState.at(0), (QList<QVariant>{QVariant::fromValue(trvUpdater::Failed),
                                                  QVariant::fromValue(error)}));
    verifyStopped(0);
    QCOMPARE(done.count(), 0);
}

void tst_trvUpdater::reportsCrossQueuedConnections()
{
    makeEngine(trvInterface::Terminal, {}, nullptr);
    QueuedReceiver receiver;
    QVERIFY(connect(engine, SIGNAL(currentState(trvUpdater::State, trvUpdater::Err)), &receiver,
                    SLOT(state(trvUpdater::State, trvUpdater::Err)), Qt::QueuedConnection));
    QVERIFY(connect(engine, SIGNAL(canceled(trvUpdater::Err)), &receiver,
                    SLOT(canceled(trvUpdater::Err)), Qt::QueuedConnection));

    engine->start();
    QCoreApplication::processEvents();

    QCOMPARE(receiver.states, (QList<QPair<trvUpdater::State, trvUpdater::Err>>{
                                  {trvUpdater::Failed, trvUpdater::InternalError}}));
    QCOMPARE(receiver.cancels, QList<trvUpdater::Err>{trvUpdater::InternalError});
}

// stop() ends the step where it stands, whether a receiver of the engine's own report calls
// it (the engine then does nothing that the new state would have done) or a later event does.
void tst_trvUpdater::stopEndsTheStep_data()
{
    QTest::addColumn<PartType>("part");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<trvUpdater::State>("stopIn");
    QTest::addColumn<bool>("inReport");

    const PartType terminal = trvInterface::Terminal;
    const PartType mainboard = trvInterface::Mainboard;
    QTest::newRow("in the report: compatibility check")
        << terminal << false << trvUpdater::CheckCompatibility << true;
    QTest::newRow("in the report: transfer") << terminal << false << trvUpdater::Transfer << true;
    QTest::newRow("in the report: restart") << mainboard << false << trvUpdater::Restarting << true;
    QTest::newRow("in the report: failure") << terminal << true << trvUpdater::Failed << true;
    QTest::newRow("in the report: success") << terminal << false << trvUpdater::Succeeded << true;
    QTest::newRow("later: transfer") << terminal << false << trvUpdater::Transfer << false;
    QTest::newRow("later: waiting for the main board")
        << mainboard << false << trvUpdater::WaitForReconnect << false;
}

void tst_trvUpdater::stopEndsTheStep()
{
    QFETCH(PartType, part);
    QFETCH(bool, silent);
    QFETCH(trvUpdater::State, stopIn);
    QFETCH(bool, inReport);

    readImage(imageFor(part).file());
    sim::BoardFaults faults;
    faults.silent = silent;
    instrument().setFaults(board(part), faults);
    makeEngine(part, {}, &reader);
    QSignalSpy currentState(engine, &trvUpdater::currentState);
    QSignalSpy process(engine, &trvUpdater::process);
    QSignalSpy done(engine, &trvUpdater::done);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    QSignalSpy reconnected(device.get(), SIGNAL(connected()));
    int sentAtStop = -1;
    if (inReport) {
        connect(engine, &trvUpdater::currentState, this, [&](trvUpdater::State entered) {
            if (entered == stopIn && !engine->isStopped()) {
                engine->stop();
                sentAtStop = instrument().messages().size();
            }
        });
    } else {
        whenEntering(engine, stopIn, [&] { engine->stop(); });
    }

    engine->start();
    QVERIFY(waitUntil([&] { return engine->isStopped(); }, 10000));
    device->polling(); // what the link had queued before the stop leaves now
    const int sent = instrument().messages().size();
    if (inReport) {
        QCOMPARE(sent, sentAtStop);
    }
    QCOMPARE(states(currentState).last(), stopIn);
    const int reports = currentState.count() + process.count();

    // Nothing that could move the step on is heard any more: replies of every kind, a
    // reconnect, and for the main board its real return.
    const int id = int(part);
    device->dataInput(message({0x01, id, 23, 0x02, id, 1, 0x03, id, 1, 0x04, id, 1}));
    emit device->connected();
    if (stopIn == trvUpdater::WaitForReconnect) {
        QVERIFY(reconnected.count() > 1 ||
                reconnected.wait(10 * TestTiming::mainboardRestartTime(waits)));
    }
    verifyStopped(sent);
    QCOMPARE(currentState.count() + process.count(), reports);
    QCOMPARE(done.count(), 0);
    QCOMPARE(canceled.count(), 0);
}

void tst_trvUpdater::builtInImages_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<PartType>("part");
    QTest::addColumn<PartList>("sensors");

    QTest::newRow("main board") << ":/firmware/kzent" << trvInterface::Mainboard << PartList();
    QTest::newRow("control panel") << ":/firmware/kterm" << trvInterface::Terminal << PartList();
    QTest::newRow("sensor boards")
        << ":/firmware/ksens" << trvInterface::NoPart
        << PartList{trvInterface::Sensor1, trvInterface::Sensor2, trvInterface::Sensor3,
                    trvInterface::Sensor4, trvInterface::Sensor5};
}

void tst_trvUpdater::builtInImages()
{
    QFETCH(QString, fileName);
    QFETCH(PartType, part);
    QFETCH(PartList, sensors);

    QCOMPARE(reader.read(fileName, false), HexReader::FileOk);
    // Every line goes to the board in one data message.
    QVERIFY(longestLine(reader.data) <= trvInterface::maximumBlockSize);
    makeEngine(part, sensors, &reader);
    QSignalSpy done(engine, &trvUpdater::done);

    QSignalSpy canceled(engine, &trvUpdater::canceled);
    engine->start();
    // The link ticks as fast as the loop runs: the images, not the pace, are checked here.
    QVERIFY(driveUntil([this] { device->polling(); },
                       [&] { return done.count() + canceled.count() > 0; }, 60000));

    QCOMPARE(done.count(), 1);
    for (PartType updated : part == trvInterface::NoPart ? sensors : PartList{part}) {
        QCOMPARE(versionText(instrument().version(board(updated))), reader.version);
        QCOMPARE(instrument().storedText(board(updated)), reader.data);
    }
}

QTEST_GUILESS_MAIN(tst_trvUpdater)
#include "tst_trvupdater.moc"
