#include "hexreader.h"
#include "instrument.h"
#include "trvinterface.h"
#include "trvupdater.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

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

QByteArray hexByte(int value)
{
    return QByteArray::number(value & 0xFF, 16).rightJustified(2, '0').toUpper();
}

// One Intel HEX record with CR LF.
QByteArray record(quint16 address, quint8 type, const QByteArray& bytes)
{
    int sum = bytes.size() + (address >> 8) + (address & 0xFF) + type;
    for (char byte : bytes)
        sum += quint8(byte);
    return ":" + hexByte(bytes.size()) + hexByte(address >> 8) + hexByte(address) + hexByte(type) +
           bytes.toHex().toUpper() + hexByte(256 - sum % 256) + "\r\n";
}

// An identification text at base: two characters per four data bytes, 16-byte records.
QByteArray textBlock(quint16 base, const QByteArray& text)
{
    QByteArray lines;
    for (int start = 0; start < text.size(); start += 8) {
        QByteArray bytes(16, '\0');
        for (int i = 0; i < 8 && start + i < text.size(); ++i)
            bytes[(i / 2) * 4 + i % 2] = text.at(start + i);
        lines += record(base + (start / 8) * 16, 0x00, bytes);
    }
    return lines;
}

// A small firmware image for the boards of part (KZENT, KTERM or KSENS).
struct Image
{
    QByteArray part = "KTERM";
    QByteArray version = "v2.3";
    int programLines = 4;       // 16-byte data records before the identification blocks
    int longLineBytes = 0;      // when set, one more data record of this many bytes
    bool wrongChecksum = false; // a checksum record that does not match the text

    // The image text up to and including the end-of-file record.
    QByteArray text() const
    {
        QByteArray lines;
        for (int i = 0; i < programLines; ++i)
            lines += record(i * 16, 0x00, QByteArray(16, char(i + 1)));
        lines += textBlock(0x800, part);
        lines += textBlock(0x840, version);
        lines += textBlock(0x880, "Mar 03 2016 10:20:30");
        if (longLineBytes > 0)
            lines += record(0x1000, 0x00, QByteArray(longLineBytes, '\x5A'));
        return lines + ":00000001FF\r\n";
    }

    bool write(const QString& fileName) const
    {
        const QByteArray image = text();
        const quint8 checksum = HexReader::imageChecksum(image) + (wrongChecksum ? 1 : 0);
        QFile file(fileName);
        return file.open(QIODevice::WriteOnly) &&
               file.write(image + record(0x0000, 0x80, QByteArray(1, '\0') + char(checksum))) > 0;
    }
};

QByteArray message(std::initializer_list<int> bytes)
{
    QByteArray result;
    for (int byte : bytes)
        result += char(byte);
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

} // namespace

Q_DECLARE_METATYPE(Image)

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
    void failures_data();
    void failures();
    void silentGroupMemberFailsOneSecondAfterTheBlock();
    void lineLostWithTheDeviceIsNotSentLater();
    void waitForDeviceAsksElevenTimes();
    void strayRepliesAndReconnectIgnored();
    void imageChecksBeforeSending_data();
    void imageChecksBeforeSending();
    void reportsCrossQueuedConnections();
    void builtInImages_data();
    void builtInImages();

private:
    // A new engine for part (with sensors for a group) on the shared protocol object.
    trvUpdater* makeEngine(PartType part, const PartList& sensors, HexReader* hexReader);
    // Reads a freshly written image into reader.
    void readImage(const Image& image);
    // Runs the event loop until the engine has emitted done() or canceled(), or ms have passed.
    bool runToEnd(trvUpdater* engine, int ms);
    // Calls action once the engine has taken state (after its requests are on their way).
    void whenEntering(trvUpdater* engine, trvUpdater::State state, std::function<void()> action);
    static StateList states(const QSignalSpy& currentState);

    QTemporaryDir dir;
    std::unique_ptr<trvInterface> device;
    HexReader reader;
    trvUpdater* engine = nullptr;
};

void tst_trvUpdater::init()
{
    instrument().reset();
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
    for (PartType sensor : sensors)
        engine->addPart(sensor);
    return engine;
}

void tst_trvUpdater::readImage(const Image& image)
{
    const QString fileName = dir.filePath(QString::fromLatin1(image.part) + ".hex");
    QVERIFY(image.write(fileName));
    reader.read(fileName, false);
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
        if (entered == state)
            QTimer::singleShot(0, this, action);
    });
}

StateList tst_trvUpdater::states(const QSignalSpy& currentState)
{
    StateList result;
    for (const QList<QVariant>& arguments : currentState)
        result.append(arguments.at(0).value<trvUpdater::State>());
    return result;
}

void tst_trvUpdater::stateSequence_data()
{
    QTest::addColumn<PartType>("part");
    QTest::addColumn<PartList>("sensors");
    QTest::addColumn<QByteArray>("partCode");
    QTest::addColumn<StateList>("expected");

    using S = trvUpdater;
    QTest::newRow("main board") << trvInterface::Mainboard << PartList() << QByteArray("KZENT")
                                << StateList{S::CheckCompatibility, S::StartUpdateMode,
                                             S::Transfer,           S::FinishTransfer,
                                             S::Restarting,         S::WaitForReconnect,
                                             S::VerifyVersion,      S::Succeeded};
    QTest::newRow("control panel")
        << trvInterface::Terminal << PartList() << QByteArray("KTERM")
        << StateList{S::CheckCompatibility, S::StartUpdateMode, S::Transfer,
                     S::FinishTransfer,     S::WaitForDevice,   S::Succeeded};
    QTest::newRow("sensor group") << trvInterface::NoPart
                                  << PartList{trvInterface::Sensor5, trvInterface::Sensor2}
                                  << QByteArray("KSENS")
                                  << StateList{S::CheckCompatibility, S::StartUpdateMode,
                                               S::Transfer,           S::FinishTransfer,
                                               S::WaitForDevice,      S::Succeeded};
}

void tst_trvUpdater::stateSequence()
{
    QFETCH(PartType, part);
    QFETCH(PartList, sensors);
    QFETCH(QByteArray, partCode);
    QFETCH(StateList, expected);

    Image image;
    image.part = partCode;
    readImage(image);
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
    for (const QList<QVariant>& arguments : currentState)
        QCOMPARE(arguments.at(1).value<trvUpdater::Err>(), trvUpdater::NoError);
    QCOMPARE(done.count(), 1);
    QCOMPARE(canceled.count(), 0);

    const int size = reader.data.size();
    QCOMPARE(range.count(), 1);
    QCOMPARE(range.at(0), (QList<QVariant>{0, size}));
    // One report per line, rising, and a last one that finds nothing left.
    QCOMPARE(process.count(), lines(reader.data).size() + 1);
    for (int i = 1; i < process.count() - 1; ++i)
        QVERIFY(process.at(i - 1).at(0).toInt() < process.at(i).at(0).toInt());
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
    Image image;
    image.part = "KSENS";
    readImage(image);
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

void tst_trvUpdater::failures_data()
{
    QTest::addColumn<PartType>("part");
    QTest::addColumn<PartList>("sensors");
    QTest::addColumn<PartType>("faulty");
    QTest::addColumn<sim::BoardFaults>("faults");
    QTest::addColumn<int>("mainboardRestartTime");
    QTest::addColumn<trvUpdater::State>("failedIn");
    QTest::addColumn<trvUpdater::Err>("error");
    QTest::addColumn<QString>("text");

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
                                  << silent << 1500 << trvUpdater::CheckCompatibility
                                  << trvUpdater::NoResponse << "No response from device";
    QTest::newRow("not ready") << trvInterface::Terminal << PartList() << trvInterface::Terminal
                               << notReady << 1500 << trvUpdater::StartUpdateMode
                               << trvUpdater::StartFailed
                               << "Firmware update mode could not be startet";
    QTest::newRow("one of a group not ready")
        << trvInterface::NoPart << group << trvInterface::Sensor2 << notReady << 1500
        << trvUpdater::StartUpdateMode << trvUpdater::StartFailed
        << "Firmware update mode could not be startet";
    QTest::newRow("zero ack") << trvInterface::Terminal << PartList() << trvInterface::Terminal
                              << zeroAck << 1500 << trvUpdater::Transfer
                              << trvUpdater::TransferFailed << "Errors while transfering data";
    QTest::newRow("refused end") << trvInterface::NoPart << group << trvInterface::Sensor3
                                 << refuseEnd << 1500 << trvUpdater::FinishTransfer
                                 << trvUpdater::InvalidFirmware << "Invalid firmware file";
    QTest::newRow("wrong version")
        << trvInterface::Terminal << PartList() << trvInterface::Terminal << wrongVersion << 1500
        << trvUpdater::WaitForDevice << trvUpdater::FinishFailed << "Update could not be finished";
    QTest::newRow("main board wrong version")
        << trvInterface::Mainboard << PartList() << trvInterface::Mainboard << wrongVersion << 1500
        << trvUpdater::VerifyVersion << trvUpdater::FinishFailed << "Update could not be finished";
    QTest::newRow("main board not back")
        << trvInterface::Mainboard << PartList() << trvInterface::Mainboard << sim::BoardFaults()
        << 30000 << trvUpdater::WaitForReconnect << trvUpdater::NoResponse
        << "No response from device";
}

void tst_trvUpdater::failures()
{
    QFETCH(PartType, part);
    QFETCH(PartList, sensors);
    QFETCH(PartType, faulty);
    QFETCH(sim::BoardFaults, faults);
    QFETCH(int, mainboardRestartTime);
    QFETCH(trvUpdater::State, failedIn);
    QFETCH(trvUpdater::Err, error);
    QFETCH(QString, text);

    Image image;
    image.part = partCode(part);
    readImage(image);
    instrument().setFaults(board(faulty), faults);
    instrument().setMainboardRestartTime(mainboardRestartTime);
    makeEngine(part, sensors, &reader);
    QSignalSpy currentState(engine, &trvUpdater::currentState);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    QSignalSpy done(engine, &trvUpdater::done);
    QElapsedTimer clock;
    qint64 enteredFailingState = -1;
    int sentAtFailure = -1;
    connect(engine, &trvUpdater::currentState, this, [&](trvUpdater::State state) {
        if (state == failedIn)
            enteredFailingState = clock.elapsed();
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
    if (faults.zeroAckAtLine > 0) {
        int dataMessages = 0;
        for (const QByteArray& sent : instrument().messages())
            dataMessages += sent.startsWith('\x03') ? 1 : 0;
        QCOMPARE(dataMessages, faults.zeroAckAtLine);
    }
    if (mainboardRestartTime > 10000) // waits 10 s for the main board, no more and not much less
        QVERIFY2(failedAt - enteredFailingState >= 9500 && failedAt - enteredFailingState < 11500,
                 qPrintable(QString::number(failedAt - enteredFailingState)));

    // Past any time-out that could still be running: nothing more goes out.
    QTest::qWait(1100);
    QCOMPARE(instrument().messages().size(), sentAtFailure);
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(done.count(), 0);
}

void tst_trvUpdater::lineLostWithTheDeviceIsNotSentLater()
{
    Image image;
    readImage(image);
    makeEngine(trvInterface::Terminal, PartList(), &reader);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    int blocks = 0;
    connect(engine, &trvUpdater::process, this, [&] {
        if (++blocks == 3) // the third line cannot be written
            instrument().setWriteFails(true);
    });

    engine->start();
    QVERIFY(runToEnd(engine, 5000));
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), trvUpdater::NoResponse);

    // The device takes reports again: the step is over, so its line stays lost.
    instrument().clearLog();
    instrument().setWriteFails(false);
    QTest::qWait(200);
    QCOMPARE(instrument().messages(), QList<QByteArray>());
}

void tst_trvUpdater::silentGroupMemberFailsOneSecondAfterTheBlock()
{
    Image image;
    image.part = "KSENS";
    readImage(image);
    // Replies come 600 ms after their request, and Sensor3 loses its first data acknowledgement
    // (after its version and start replies). Re-arming the time-out at a partial answer would
    // fail the step only 1600 ms after the block.
    instrument().setReplyLatency(600, 600);
    sim::BoardFaults losesAck;
    losesAck.dropReplyAt = 3;
    instrument().setFaults(sim::Sensor3, losesAck);
    makeEngine(trvInterface::NoPart,
               {trvInterface::Sensor1, trvInterface::Sensor2, trvInterface::Sensor3}, &reader);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    QElapsedTimer sinceBlock;
    connect(engine, &trvUpdater::process, this, [&] { sinceBlock.start(); });
    QList<qint64> ackTimes;
    connect(device.get(), &trvInterface::firmwareUpdateDataAck, this,
            [&] { ackTimes.append(sinceBlock.elapsed()); });

    engine->start();
    QVERIFY(runToEnd(engine, 5000));
    const qint64 failedAfter = sinceBlock.elapsed();

    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), trvUpdater::NoResponse);
    QCOMPARE(ackTimes.size(), 2);
    QVERIFY2(failedAfter >= 900 && failedAfter <= 1500, qPrintable(QString::number(failedAfter)));
}

void tst_trvUpdater::waitForDeviceAsksElevenTimes()
{
    Image image;
    readImage(image);
    instrument().setBoardRestartTime(60000); // the control panel never comes back in time
    makeEngine(trvInterface::Terminal, {}, &reader);
    QSignalSpy canceled(engine, &trvUpdater::canceled);
    QElapsedTimer waiting;
    whenEntering(engine, trvUpdater::WaitForDevice, [&] { waiting.start(); });

    engine->start();
    QVERIFY(runToEnd(engine, 15000));
    const qint64 failedAfter = waiting.elapsed();
    QTest::qWait(1100);

    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), trvUpdater::NoResponse);
    QVERIFY2(failedAfter >= 10500 && failedAfter < 12500, qPrintable(QString::number(failedAfter)));
    const QList<QByteArray> sent = instrument().messages();
    const int end = sent.indexOf(message({0x04, 0x06, reader.checksum}));
    QVERIFY(end > 0);
    QList<QByteArray> expected;
    for (int request = 0; request < 11; ++request)
        expected.append(message({0x01, 0x06}));
    QCOMPARE(sent.mid(end + 1), expected);
}

void tst_trvUpdater::strayRepliesAndReconnectIgnored()
{
    Image image;
    image.part = "KZENT";
    readImage(image);
    instrument().setReplyLatency(50, 50); // every state lasts long enough to be hit
    makeEngine(trvInterface::Mainboard, {}, &reader);
    QSignalSpy currentState(engine, &trvUpdater::currentState);
    QSignalSpy done(engine, &trvUpdater::done);
    QSignalSpy versions(device.get(), &trvInterface::firmwareVersion);

    // A version reply the window asked for, with another version, in every state that does not
    // wait for one; and a reconnect while the main board is still restarting.
    const QByteArray strayVersion = message({0x01, 0x07, 99});
    for (trvUpdater::State state :
         {trvUpdater::StartUpdateMode, trvUpdater::Transfer, trvUpdater::FinishTransfer,
          trvUpdater::Restarting, trvUpdater::WaitForReconnect})
        whenEntering(engine, state, [&] { device->dataInput(strayVersion); });
    whenEntering(engine, trvUpdater::Restarting, [&] { emit device->connected(); });

    engine->start();
    QVERIFY(runToEnd(engine, 8000));

    int strayReplies = 0;
    for (const QList<QVariant>& arguments : versions)
        strayReplies += arguments.at(1).toString() == "v9.9" ? 1 : 0;
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
    QTest::addColumn<Image>("image");
    QTest::addColumn<bool>("fileGone");
    QTest::addColumn<bool>("withReader");
    QTest::addColumn<trvUpdater::Err>("error");

    Image good;
    Image corrupted;
    corrupted.wrongChecksum = true;
    Image longestLine; // 24 data bytes: 61 characters with CR LF, one full report
    longestLine.longLineBytes = 24;
    Image overlong; // 25 data bytes: 63 characters
    overlong.longLineBytes = 25;

    QTest::newRow("corrupted image") << corrupted << false << true << trvUpdater::InvalidFirmware;
    QTest::newRow("file gone, older image kept")
        << good << true << true << trvUpdater::InvalidFirmware;
    QTest::newRow("line of 63 bytes") << overlong << false << true << trvUpdater::InvalidFirmware;
    QTest::newRow("line of 61 bytes") << longestLine << false << true << trvUpdater::NoError;
    QTest::newRow("no reader") << good << false << false << trvUpdater::InternalError;
}

void tst_trvUpdater::imageChecksBeforeSending()
{
    QFETCH(Image, image);
    QFETCH(bool, fileGone);
    QFETCH(bool, withReader);
    QFETCH(trvUpdater::Err, error);

    readImage(image);
    if (fileGone)
        QCOMPARE(reader.read(dir.filePath("missing.hex"), false), HexReader::FileAccessDenied);
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
        return;
    }
    // Refused at once, before anything is sent.
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.at(0).at(0).value<trvUpdater::Err>(), error);
    QCOMPARE(currentState.count(), 1);
    QCOMPARE(currentState.at(0), (QList<QVariant>{QVariant::fromValue(trvUpdater::Failed),
                                                  QVariant::fromValue(error)}));
    QTest::qWait(50);
    QVERIFY(instrument().messages().isEmpty());
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
    makeEngine(part, sensors, &reader);
    QSignalSpy done(engine, &trvUpdater::done);

    engine->start();
    QVERIFY(runToEnd(engine, 20000));

    QCOMPARE(done.count(), 1);
    for (PartType updated : part == trvInterface::NoPart ? sensors : PartList{part}) {
        QCOMPARE(versionText(instrument().version(board(updated))), reader.version);
        QCOMPARE(instrument().storedText(board(updated)), reader.data);
    }
}

QTEST_GUILESS_MAIN(tst_trvUpdater)
#include "tst_trvupdater.moc"
