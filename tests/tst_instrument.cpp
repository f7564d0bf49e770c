// The emulated instrument's model, driven directly with explicit times the
// way a hidapi front drives it, and once end to end through the protocol; the
// bench of instruments through the in-process hidapi front.

#include "hexreader.h"
#include "instrument.h"
#include "trvinterface.h"
#include "trvtiming.h"

#include <hidapi.h>

#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <memory>

using sim::Board;

Q_DECLARE_METATYPE(sim::BoardFaults)

namespace {
constexpr unsigned short vendor = 0x04D8;
constexpr unsigned short product = 0xF93C;

// One Intel HEX record line with its checksum and CR LF.
QByteArray record(quint8 type, quint16 address, const QByteArray& data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char byte : bytes) {
        sum += quint8(byte);
    }
    bytes.append(char(quint8(0x100 - sum)));
    return ":" + bytes.toHex().toUpper() + "\r\n";
}

// Text laid out the way the images carry it: two characters in each group of four bytes.
QByteArray textBlock(const QByteArray& text)
{
    QByteArray block(16, '\0');
    for (int i = 0; i < text.size() && i < 8; ++i) {
        block[(i / 2) * 4 + i % 2] = text.at(i);
    }
    return block;
}

// A small image: some code, the version block, end of file.
QList<QByteArray> imageLines(const QByteArray& versionText)
{
    return {record(0x04, 0, QByteArray::fromHex("0000")),
            record(0x00, 0x0000, QByteArray::fromHex("0123456789ABCDEF")),
            record(0x00, 0x0840, textBlock(versionText)), record(0x01, 0, {})};
}

QByteArray message(quint8 code, Board part, const QByteArray& rest = {})
{
    return QByteArray(1, char(code)) + char(part) + rest;
}

QByteArray dataMessage(Board part, const QByteArray& block)
{
    return message(0x03, part, QByteArray(1, char(block.size())) + block);
}

QByteArray endMessage(Board part, quint8 checksum)
{
    return message(0x04, part, QByteArray(1, char(checksum)));
}

QByteArray records(std::initializer_list<std::array<quint8, 3>> list)
{
    QByteArray bytes;
    for (const auto& r : list) {
        bytes.append(char(r[0])).append(char(r[1])).append(char(r[2]));
    }
    return bytes;
}

// What a host does through a front: one connection, whole reports, its own clock.
struct Host
{
    sim::Instrument& device;
    qint64 now = 1000;
    int connection = 0;

    bool open()
    {
        connection = device.open(vendor, product, now);
        return connection > 0;
    }
    int write(const QList<QByteArray>& messages)
    {
        QByteArray report(65, '\0');
        int position = 1;
        for (const QByteArray& m : messages) {
            report.replace(position, m.size(), m);
            position += m.size();
        }
        return device.write(connection, reinterpret_cast<const unsigned char*>(report.constData()),
                            65, now);
    }
    // The records of the next report, without the padding behind them; "gone" when the read fails.
    QByteArray read()
    {
        unsigned char report[65] = {};
        const int count = device.read(connection, report, sizeof report, now);
        if (count < 0) {
            return "gone";
        }
        QByteArray bytes(reinterpret_cast<const char*>(report), count);
        int end = 0;
        while (end < bytes.size() && bytes.at(end) != '\0') {
            end += 3;
        }
        return bytes.left(end);
    }
    // Sends one message and returns the reply report.
    QByteArray ask(const QByteArray& message)
    {
        write({message});
        return read();
    }
    // Start, every line, end with the right checksum; the end's reply.
    QByteArray update(Board part, const QList<QByteArray>& lines)
    {
        ask(message(0x02, part));
        for (const QByteArray& line : lines) {
            ask(dataMessage(part, line));
        }
        return ask(endMessage(part, HexReader::imageChecksum(lines.join())));
    }
};

// What hid_enumerate lists for the instrument: "path serial" for each device.
QStringList listed()
{
    QStringList devices;
    hid_device_info* found = hid_enumerate(vendor, product);
    for (hid_device_info* info = found; info; info = info->next) {
        devices.append(QString::fromLatin1(info->path) + ' ' +
                       QString::fromWCharArray(info->serial_number));
    }
    hid_free_enumeration(found);
    return devices;
}

struct HandleCloser
{
    void operator()(hid_device* handle) const { hid_close(handle); }
};
using Handle = std::unique_ptr<hid_device, HandleCloser>;

// Asks the main board for its version through handle: the reply's records, or
// "gone" when the write or the read fails.
QByteArray askMainboardVersion(hid_device* handle)
{
    QByteArray report(65, '\0');
    report.replace(1, 2, message(1, sim::Mainboard));
    if (hid_write(handle, reinterpret_cast<const unsigned char*>(report.constData()), 65) < 0) {
        return "gone";
    }
    unsigned char reply[64] = {};
    const int count = hid_read(handle, reply, sizeof reply);
    return count < 0 ? QByteArray("gone")
                     : QByteArray(reinterpret_cast<const char*>(reply), count).left(3);
}
} // namespace

class tst_Instrument : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void answersVersionsPackedInOneReport();
    void packsAtMost21RecordsPerReport();
    void repliesWaitForTheirLatency();
    void storesValidLinesAndRefusesABadRecordChecksum();
    void acceptsAnEndOnlyWithTheImageChecksum_data();
    void acceptsAnEndOnlyWithTheImageChecksum();
    void groupBlockIsAcknowledgedByEachSensorInUpdateMode();
    void boardIsSilentForItsRestartTime();
    void mainboardVanishesAfterRestartAndComesBackUpdated();
    void boardFaults_data();
    void boardFaults();
    void unplugsAtTheNthDataMessage();
    void deviceFailures();
    void injectedReportIsReadNext();
    void logsWhatEachBoardReceived();
    void updateThroughTheProtocol();
    void updateFinishesOnceEachUpdatedBoardIsAskedAgain();
    void benchListsEachPresentInstrument_data();
    void benchListsEachPresentInstrument();
    void eachHandleReachesOnlyItsOwnInstrument();
    void unpluggingOneLeavesTheOtherOpen_data();
    void unpluggingOneLeavesTheOtherOpen();
    void clearBenchLeavesOnlyTheFirst();
    void cleanup();

private:
    sim::Instrument device;
};

void tst_Instrument::init()
{
    device.reset();
}

void tst_Instrument::answersVersionsPackedInOneReport()
{
    Host host{device};
    QVERIFY(host.open());
    device.setVersion(sim::Terminal, 23);
    device.setVersion(sim::Sensor3, 0x8C);
    host.write({message(1, sim::Terminal), message(1, sim::NoPart), message(1, sim::Mainboard)});
    QCOMPARE(host.read(), records({{1, 6, 23},
                                   {1, 1, 10},
                                   {1, 2, 10},
                                   {1, 3, 0x8C},
                                   {1, 4, 10},
                                   {1, 5, 10},
                                   {1, 7, 10}}));
    QCOMPARE(host.read(), QByteArray()); // nothing more waits
    QCOMPARE(device.inputReports().size(), 1);
    QCOMPARE(device.inputReports().first().size(), 64);
}

void tst_Instrument::packsAtMost21RecordsPerReport()
{
    Host host{device};
    QVERIFY(host.open());
    for (int i = 0; i < 5; ++i) {
        host.write({message(1, sim::NoPart)}); // 25 replies
    }
    QCOMPARE(host.read().size(), 63);
    QCOMPARE(host.read().size(), 12);
    QCOMPARE(host.read(), QByteArray());
}

void tst_Instrument::repliesWaitForTheirLatency()
{
    Host host{device};
    QVERIFY(host.open());
    device.setReplyLatency(5, 5);
    host.write({message(1, sim::Terminal)});
    host.now += 4;
    QCOMPARE(host.read(), QByteArray());
    host.now += 1;
    QCOMPARE(host.read(), records({{1, 6, 10}}));

    // With a range, replies still leave in the order of their requests.
    device.setReplyLatency(0, 20);
    for (int i = 0; i < 30; ++i) {
        host.write({message(1, Board(1 + i % 7))});
    }
    host.now += 20;
    QByteArray all = host.read();
    all += host.read();
    QCOMPARE(all.size(), 90);
    for (int i = 0; i < 30; ++i) {
        QCOMPARE(int(all.at(3 * i + 1)), 1 + i % 7);
    }
}

void tst_Instrument::storesValidLinesAndRefusesABadRecordChecksum()
{
    Host host{device};
    QVERIFY(host.open());
    const QList<QByteArray> lines = imageLines("v2.3");
    QByteArray broken = lines.at(1);
    broken[broken.size() - 3] = broken.at(broken.size() - 3) == '0' ? '1' : '0';

    QCOMPARE(host.ask(message(2, sim::Terminal)), records({{2, 6, 1}}));
    QCOMPARE(host.ask(dataMessage(sim::Terminal, lines.at(0))), records({{3, 6, 1}}));
    QCOMPARE(host.ask(dataMessage(sim::Terminal, broken)), records({{3, 6, 0}}));
    QCOMPARE(host.ask(dataMessage(sim::Terminal, lines.at(1))), records({{3, 6, 1}}));
    QCOMPARE(device.storedText(sim::Terminal), lines.at(0) + lines.at(1));

    // Outside update mode a block is refused and nothing is stored.
    QCOMPARE(host.ask(dataMessage(sim::Mainboard, lines.at(0))), records({{3, 7, 0}}));
    QCOMPARE(device.storedText(sim::Mainboard), QByteArray());
}

void tst_Instrument::acceptsAnEndOnlyWithTheImageChecksum_data()
{
    QTest::addColumn<QByteArray>("versionText");
    QTest::addColumn<int>("checksumOffset");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("versionAfter");

    QTest::newRow("right checksum") << QByteArray("v2.3") << 0 << true << 23;
    QTest::newRow("wrong checksum") << QByteArray("v2.3") << 1 << false << 10;
    QTest::newRow("two-digit major") << QByteArray("v12.7") << 0 << true << 127;
    QTest::newRow("unreadable version block") << QByteArray("2.3") << 0 << true << 10;
}

void tst_Instrument::acceptsAnEndOnlyWithTheImageChecksum()
{
    QFETCH(QByteArray, versionText);
    QFETCH(int, checksumOffset);
    QFETCH(bool, accepted);
    QFETCH(int, versionAfter);

    Host host{device};
    QVERIFY(host.open());
    const QList<QByteArray> lines = imageLines(versionText);
    host.ask(message(2, sim::Terminal));
    for (const QByteArray& line : lines) {
        host.ask(dataMessage(sim::Terminal, line));
    }
    const quint8 checksum = HexReader::imageChecksum(lines.join()) + checksumOffset;
    QCOMPARE(host.ask(endMessage(sim::Terminal, checksum)), records({{4, 6, quint8(accepted)}}));
    QCOMPARE(device.version(sim::Terminal), versionAfter);
    QCOMPARE(host.ask(message(1, sim::Terminal)), records({{1, 6, quint8(versionAfter)}}));
    // The transfer is over either way: a second end is refused.
    QCOMPARE(host.ask(endMessage(sim::Terminal, checksum)), records({{4, 6, 0}}));
}

void tst_Instrument::groupBlockIsAcknowledgedByEachSensorInUpdateMode()
{
    Host host{device};
    QVERIFY(host.open());
    const QList<QByteArray> lines = imageLines("v3.1");
    host.write({message(2, sim::Sensor1), message(2, sim::Sensor4)});
    QCOMPARE(host.read(), records({{2, 1, 1}, {2, 4, 1}}));
    QCOMPARE(host.ask(dataMessage(sim::NoPart, lines.at(0))), records({{3, 1, 1}, {3, 4, 1}}));
    for (const QByteArray& line : lines.mid(1)) {
        host.ask(dataMessage(sim::NoPart, line));
    }
    const quint8 checksum = HexReader::imageChecksum(lines.join());
    host.write({endMessage(sim::Sensor1, checksum), endMessage(sim::Sensor4, checksum)});
    QCOMPARE(host.read(), records({{4, 1, 1}, {4, 4, 1}}));
    QCOMPARE(host.ask(message(1, sim::NoPart)),
             records({{1, 1, 31}, {1, 2, 10}, {1, 3, 10}, {1, 4, 31}, {1, 5, 10}}));
    QCOMPARE(device.storedText(sim::Sensor4), lines.join());
    QCOMPARE(device.storedText(sim::Sensor2), QByteArray());
}

void tst_Instrument::boardIsSilentForItsRestartTime()
{
    Host host{device};
    QVERIFY(host.open());
    device.setBoardRestartTime(300);
    QCOMPARE(host.update(sim::Terminal, imageLines("v2.0")), records({{4, 6, 1}}));
    host.now += device.boardRestartTime() - 1;
    QCOMPARE(host.ask(message(1, sim::Terminal)), QByteArray());
    host.now += 1;
    QCOMPARE(host.ask(message(1, sim::Terminal)), records({{1, 6, 20}}));
}

void tst_Instrument::mainboardVanishesAfterRestartAndComesBackUpdated()
{
    Host host{device};
    QVERIFY(host.open());
    QCOMPARE(host.update(sim::Mainboard, imageLines("v4.2")), records({{4, 7, 1}}));
    QCOMPARE(host.ask(message(1, sim::Mainboard)), records({{1, 7, 10}})); // installed at restart

    const int before = host.connection;
    host.write({message(5, sim::Mainboard), message(1, sim::Terminal)});
    QCOMPARE(host.read(), QByteArray("gone"));
    QCOMPARE(host.write({message(1, sim::Terminal)}), -1);
    // Away as long as the real main board: past the program's wait before it looks for
    // the board again, and back well within the time it gives the board after that.
    const trvTiming program;
    QVERIFY(device.mainboardRestartTime() > program.restartWait);
    QVERIFY(device.mainboardRestartTime() < program.restartWait + program.reconnectTimeout);
    host.now += device.mainboardRestartTime() - 1;
    QVERIFY(!host.open());
    host.now += 1;
    QVERIFY(host.open());
    QVERIFY(host.connection != before);
    QCOMPARE(host.ask(message(1, sim::Mainboard)), records({{1, 7, 42}}));
    // The request behind the restart message reached no board.
    QCOMPARE(device.received(sim::Terminal), QList<QByteArray>());
}

void tst_Instrument::boardFaults_data()
{
    QTest::addColumn<sim::BoardFaults>("faults");
    QTest::addColumn<QByteArray>("startReply");
    QTest::addColumn<QByteArray>("endReply");
    QTest::addColumn<QByteArray>("versionReply");

    sim::BoardFaults faults;
    const QByteArray ready = records({{2, 6, 1}});
    const QByteArray accepted = records({{4, 6, 1}});
    const QByteArray updated = records({{1, 6, 20}});
    QTest::newRow("healthy") << faults << ready << accepted << updated;
    faults = {};
    faults.absent = true;
    QTest::newRow("absent") << faults << QByteArray() << QByteArray() << QByteArray();
    faults = {};
    faults.silent = true;
    QTest::newRow("silent") << faults << QByteArray() << QByteArray() << QByteArray();
    faults = {};
    faults.notReady = true;
    QTest::newRow("not ready") << faults << records({{2, 6, 0}}) << records({{4, 6, 0}})
                               << records({{1, 6, 10}});
    faults = {};
    faults.zeroAckAtLine = 2; // the missing line spoils the checksum
    QTest::newRow("zero ack") << faults << ready << records({{4, 6, 0}}) << records({{1, 6, 10}});
    faults = {};
    faults.refuseEnd = true;
    QTest::newRow("refused end") << faults << ready << records({{4, 6, 0}})
                                 << records({{1, 6, 10}});
    faults = {};
    faults.versionAfterUpdate = 19;
    QTest::newRow("wrong version") << faults << ready << accepted << records({{1, 6, 19}});
    faults = {};
    faults.dropReplyAt = 1;
    QTest::newRow("dropped reply") << faults << QByteArray() << accepted << updated;
}

void tst_Instrument::boardFaults()
{
    QFETCH(sim::BoardFaults, faults);
    QFETCH(QByteArray, startReply);
    QFETCH(QByteArray, endReply);
    QFETCH(QByteArray, versionReply);

    Host host{device};
    QVERIFY(host.open());
    device.setFaults(sim::Terminal, faults);
    const QList<QByteArray> lines = imageLines("v2.0");
    QCOMPARE(host.ask(message(2, sim::Terminal)), startReply);
    QByteArray dataReplies;
    for (const QByteArray& line : lines) {
        dataReplies += host.ask(dataMessage(sim::Terminal, line));
    }
    QCOMPARE(host.ask(endMessage(sim::Terminal, HexReader::imageChecksum(lines.join()))), endReply);
    QCOMPARE(host.ask(message(1, sim::Terminal)), versionReply);
    if (faults.zeroAckAtLine) {
        QCOMPARE(dataReplies, records({{3, 6, 1}, {3, 6, 0}, {3, 6, 1}, {3, 6, 1}}));
    }
    // Every other board goes on answering.
    QCOMPARE(host.ask(message(1, sim::Sensor2)), records({{1, 2, 10}}));
}

void tst_Instrument::unplugsAtTheNthDataMessage()
{
    Host host{device};
    QVERIFY(host.open());
    const QList<QByteArray> lines = imageLines("v2.0");
    host.ask(message(2, sim::Terminal));
    device.unplugAtDataMessage(2);
    QCOMPARE(host.ask(dataMessage(sim::Terminal, lines.at(0))), records({{3, 6, 1}}));
    host.write({dataMessage(sim::Terminal, lines.at(1))});
    QCOMPARE(host.read(), QByteArray("gone"));
    QVERIFY(!device.isPlugged());
    QVERIFY(!host.open());
    QCOMPARE(device.storedText(sim::Terminal), lines.at(0));
    QCOMPARE(device.messages().size(), 3); // the host did send the second block

    device.plug();
    QVERIFY(host.open());
    QCOMPARE(host.ask(message(1, sim::Terminal)), records({{1, 6, 10}}));
}

void tst_Instrument::deviceFailures()
{
    Host host{device};
    QVERIFY(!sim::Instrument().open(vendor, product + 1, host.now));
    QVERIFY(host.open());
    device.setNonblockingFails(true);
    QVERIFY(!device.setNonblocking(host.connection));
    QVERIFY(!device.lastError().isEmpty());
    device.setNonblockingFails(false);
    QVERIFY(device.setNonblocking(host.connection));

    device.setWriteFails(true);
    QCOMPARE(host.write({message(1, sim::Terminal)}), -1);
    QVERIFY(device.messages().isEmpty()); // a failed write carries nothing
    device.setWriteFails(false);
    QCOMPARE(host.write({message(1, sim::Terminal)}), 65);

    device.setReadFails(true);
    QCOMPARE(host.read(), QByteArray("gone"));
    device.setReadFails(false);
    QCOMPARE(host.read(), records({{1, 6, 10}})); // the reply waited

    device.unplug();
    QCOMPARE(host.read(), QByteArray("gone"));
    QCOMPARE(host.write({message(1, sim::Terminal)}), -1);
    device.plug();
    QCOMPARE(host.read(), QByteArray("gone")); // a stale connection stays stale

    // Refusing to be opened, it is still there; an open connection stays.
    QVERIFY(host.open());
    device.setOpenRefusal(EACCES);
    QVERIFY(device.isPresent(vendor, product, host.now));
    QCOMPARE(device.open(vendor, product, host.now), 0);
    QCOMPARE(device.lastError(), qt_error_string(EACCES));
    QCOMPARE(host.write({message(1, sim::Terminal)}), 65);
    device.unplug();
    QVERIFY(!device.isPresent(vendor, product, host.now));
    device.plug();
    device.setOpenRefusal(0);
    QVERIFY(host.open());
}

void tst_Instrument::injectedReportIsReadNext()
{
    Host host{device};
    QVERIFY(host.open());
    host.write({message(1, sim::Terminal)});
    device.injectReport(QByteArray::fromHex("FF0102"));
    QCOMPARE(host.read(), QByteArray::fromHex("FF0102"));
    QCOMPARE(host.read(), records({{1, 6, 10}}));
    QCOMPARE(device.inputReports().first(), QByteArray::fromHex("FF0102") + QByteArray(61, '\0'));
}

void tst_Instrument::logsWhatEachBoardReceived()
{
    Host host{device};
    QVERIFY(host.open());
    const QByteArray block = imageLines("v2.0").at(0);
    host.write({message(1, sim::NoPart), message(2, sim::Sensor2), dataMessage(sim::NoPart, block),
                message(1, sim::Mainboard)});
    QCOMPARE(device.messages(),
             QList<QByteArray>({message(1, sim::NoPart), message(2, sim::Sensor2),
                                dataMessage(sim::NoPart, block), message(1, sim::Mainboard)}));
    QCOMPARE(device.received(sim::Sensor2),
             QList<QByteArray>({message(1, sim::NoPart), message(2, sim::Sensor2),
                                dataMessage(sim::NoPart, block)}));
    QCOMPARE(device.received(sim::Sensor1), QList<QByteArray>({message(1, sim::NoPart)}));
    QCOMPARE(device.received(sim::Mainboard), QList<QByteArray>({message(1, sim::Mainboard)}));
    QCOMPARE(device.outputReports().size(), 1);
    QCOMPARE(device.outputReports().first().size(), 65);

    device.clearLog();
    QVERIFY(device.messages().isEmpty());
    QVERIFY(device.received(sim::Sensor2).isEmpty());
}

void tst_Instrument::updateThroughTheProtocol()
{
    sim::Instrument& instrument = sim::instrument();
    instrument.reset();
    instrument.setMainboardRestartTime(50);
    trvInterface link;
    QSignalSpy connected(&link, SIGNAL(connected()));
    QSignalSpy versions(&link, SIGNAL(firmwareVersion(trvInterface::PartType, QString)));
    QSignalSpy endAcks(&link, SIGNAL(firmwareUpdateEndAck(trvInterface::PartType, bool)));
    link.setAutoconnect(true);
    QVERIFY(connected.wait(1000));

    const QList<QByteArray> lines = imageLines("v4.2");
    link.firmwareUpdateStart(trvInterface::Mainboard);
    for (const QByteArray& line : lines) {
        link.firmwareUpdateData(trvInterface::Mainboard, line);
    }
    link.firmwareUpdateEnd(trvInterface::Mainboard, HexReader::imageChecksum(lines.join()));
    QVERIFY(endAcks.wait(1000));
    QCOMPARE(endAcks.first().at(1).toBool(), true);

    link.firmwareUpdateRestart(trvInterface::Mainboard);
    QSignalSpy disconnected(&link, SIGNAL(disconnected()));
    QVERIFY(disconnected.wait(1000));
    QVERIFY(connected.wait(1000));
    link.requestFirmwareVersion(trvInterface::Mainboard);
    QVERIFY(versions.wait(1000));
    QCOMPARE(versions.last().at(0).value<trvInterface::PartType>(), trvInterface::Mainboard);
    QCOMPARE(versions.last().at(1).toString(), QString("v4.2"));
    QCOMPARE(instrument.storedText(sim::Mainboard), lines.join());
}

// What tells a bench that an instrument is done with: the host has asked each
// board it updated for its version once the board was back with its new
// firmware, the main board after its restart.
void tst_Instrument::updateFinishesOnceEachUpdatedBoardIsAskedAgain()
{
    device.setBoardRestartTime(100);
    device.setMainboardRestartTime(300);
    Host host{device};
    QVERIFY(host.open());
    QVERIFY(!device.updateFinished(host.now));
    host.ask(message(1, sim::NoPart)); // versions asked before an update do not count
    QVERIFY(!device.updateFinished(host.now));

    const QList<QByteArray> lines = imageLines("v3.1");
    QCOMPARE(host.update(sim::Sensor2, lines), records({{4, 2, 1}}));
    QCOMPARE(host.ask(message(1, sim::Sensor2)), QByteArray()); // still restarting
    QVERIFY(!device.updateFinished(host.now));
    host.now += 100;
    QCOMPARE(host.ask(message(1, sim::Sensor2)), records({{1, 2, 31}}));
    QVERIFY(device.updateFinished(host.now));

    // The main board: installed only as it restarts, asked once it is back.
    QCOMPARE(host.update(sim::Mainboard, lines), records({{4, 7, 1}}));
    QVERIFY(!device.updateFinished(host.now));
    QCOMPARE(host.ask(message(1, sim::Mainboard)), records({{1, 7, 10}}));
    QVERIFY(!device.updateFinished(host.now));
    host.write({message(5, sim::Mainboard)});
    host.now += 300;
    QVERIFY(!device.updateFinished(host.now));
    QVERIFY(host.open());
    QCOMPARE(host.ask(message(1, sim::Mainboard)), records({{1, 7, 31}}));
    QVERIFY(device.updateFinished(host.now));

    // A board that refuses its update leaves it unfinished, asked or not.
    sim::BoardFaults refusing;
    refusing.refuseEnd = true;
    device.setFaults(sim::Terminal, refusing);
    QCOMPARE(host.update(sim::Terminal, lines), records({{4, 6, 0}}));
    QCOMPARE(host.ask(message(1, sim::Terminal)), records({{1, 6, 10}}));
    QVERIFY(!device.updateFinished(host.now));
    device.reset();
    QVERIFY(!device.updateFinished(host.now));
}

void tst_Instrument::cleanup()
{
    sim::clearBench();
    sim::instrument().reset();
}

void tst_Instrument::benchListsEachPresentInstrument_data()
{
    QTest::addColumn<int>("lastIndex");
    QTest::addColumn<QList<int>>("unplugged");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one instrument") << 0 << QList<int>() << QStringList{"emulated:0 QX40-204871"};
    QTest::newRow("two") << 1 << QList<int>()
                         << QStringList{"emulated:0 QX40-204871", "emulated:1 SN0002"};
    QTest::newRow("three at once")
        << 2 << QList<int>()
        << QStringList{"emulated:0 QX40-204871", "emulated:1 SN0002", "emulated:2 SN0003"};
    QTest::newRow("the first unplugged")
        << 2 << QList<int>{0} << QStringList{"emulated:1 SN0002", "emulated:2 SN0003"};
    QTest::newRow("the middle unplugged")
        << 2 << QList<int>{1} << QStringList{"emulated:0 QX40-204871", "emulated:2 SN0003"};
    QTest::newRow("all unplugged") << 1 << QList<int>{0, 1} << QStringList();
}

void tst_Instrument::benchListsEachPresentInstrument()
{
    QFETCH(int, lastIndex);
    QFETCH(QList<int>, unplugged);
    QFETCH(QStringList, expected);
    sim::instrumentAt(lastIndex);
    QCOMPARE(sim::benchSize(), lastIndex + 1);
    for (int index : unplugged) {
        sim::instrumentAt(index).unplug();
    }
    QCOMPARE(listed(), expected);
    // A serial number is the instrument's own: a reset keeps it.
    sim::instrumentAt(lastIndex).setSerialNumber("changed");
    sim::instrumentAt(lastIndex).reset();
    QCOMPARE(sim::instrumentAt(lastIndex).serialNumber(),
             lastIndex == 0 ? QString("QX40-204871") : QString::asprintf("SN%04d", lastIndex + 1));
}

void tst_Instrument::eachHandleReachesOnlyItsOwnInstrument()
{
    sim::Instrument& first = sim::instrument();
    sim::Instrument& second = sim::instrumentAt(1);
    first.setVersion(sim::Mainboard, 31);
    second.setVersion(sim::Mainboard, 42);
    const Handle bySerial(hid_open(vendor, product, L"SN0002"));
    const Handle byPath(hid_open_path("emulated:0"));
    const Handle anyOne(hid_open(vendor, product, nullptr));
    QVERIFY(bySerial && byPath && anyOne);

    QCOMPARE(askMainboardVersion(bySerial.get()), records({{1, 7, 42}}));
    QCOMPARE(first.messages(), QList<QByteArray>());
    QCOMPARE(second.messages().size(), 1);
    QCOMPARE(askMainboardVersion(byPath.get()), records({{1, 7, 31}}));
    QCOMPARE(askMainboardVersion(anyOne.get()), records({{1, 7, 31}}));
    QCOMPARE(first.messages().size(), 2);
    QCOMPARE(second.messages().size(), 1);

    // A restart of one main board leaves the other's handles alive.
    QByteArray restart(65, '\0');
    restart.replace(1, 2, message(5, sim::Mainboard));
    QCOMPARE(
        hid_write(bySerial.get(), reinterpret_cast<const unsigned char*>(restart.constData()), 65),
        65);
    QCOMPARE(askMainboardVersion(bySerial.get()), QByteArray("gone"));
    QCOMPARE(askMainboardVersion(byPath.get()), records({{1, 7, 31}}));
    QCOMPARE(listed(), QStringList{"emulated:0 QX40-204871"});

    QVERIFY(!hid_open(vendor, product, L"SN0003"));
    QCOMPARE(errno, ENOENT);
    QVERIFY(!hid_open_path("emulated:2"));
    QCOMPARE(errno, ENOENT);
    QCOMPARE(sim::benchSize(), 2); // looking for one does not add it
}

void tst_Instrument::unpluggingOneLeavesTheOtherOpen_data()
{
    QTest::addColumn<int>("gone");
    QTest::addColumn<int>("staying");
    QTest::addColumn<QString>("stayingSerial");
    QTest::newRow("the first goes") << 0 << 1 << "SN0002";
    QTest::newRow("the second goes") << 1 << 0 << "QX40-204871";
}

void tst_Instrument::unpluggingOneLeavesTheOtherOpen()
{
    QFETCH(int, gone);
    QFETCH(int, staying);
    QFETCH(QString, stayingSerial);
    sim::instrumentAt(1);
    const Handle goneHandle(hid_open_path(qPrintable(QString("emulated:%1").arg(gone))));
    const Handle stayingHandle(hid_open_path(qPrintable(QString("emulated:%1").arg(staying))));
    QVERIFY(goneHandle && stayingHandle);

    sim::instrumentAt(gone).unplug();
    QCOMPARE(askMainboardVersion(goneHandle.get()), QByteArray("gone"));
    QCOMPARE(QString::fromWCharArray(hid_error(goneHandle.get())), QString("No such device"));
    QCOMPARE(askMainboardVersion(stayingHandle.get()), records({{1, 7, 10}}));
    QCOMPARE(hid_error(stayingHandle.get()), nullptr);
    QCOMPARE(listed(), QStringList{QString("emulated:%1 ").arg(staying) + stayingSerial});

    // Opening without a serial number finds the one left; by path, the one gone is not there.
    const Handle anyOne(hid_open(vendor, product, nullptr));
    QVERIFY(anyOne);
    QCOMPARE(askMainboardVersion(anyOne.get()), records({{1, 7, 10}}));
    QCOMPARE(sim::instrumentAt(staying).messages().size(), 2);
    QVERIFY(!hid_open_path(qPrintable(QString("emulated:%1").arg(gone))));
    QCOMPARE(errno, ENOENT);
    QCOMPARE(QString::fromWCharArray(hid_error(nullptr)), QString("No such device"));
}

void tst_Instrument::clearBenchLeavesOnlyTheFirst()
{
    sim::instrument().setVersion(sim::Mainboard, 31);
    sim::instrumentAt(1).setVersion(sim::Mainboard, 42);
    sim::instrumentAt(2);
    const Handle first(hid_open_path("emulated:0"));
    const Handle removed(hid_open_path("emulated:1"));
    QVERIFY(first && removed);

    sim::clearBench();
    QCOMPARE(sim::benchSize(), 1);
    QCOMPARE(listed(), QStringList{"emulated:0 QX40-204871"});
    QCOMPARE(askMainboardVersion(first.get()), records({{1, 7, 31}})); // left as it was
    QCOMPARE(askMainboardVersion(removed.get()), QByteArray("gone"));
    unsigned char report[64];
    QCOMPARE(hid_read(removed.get(), report, sizeof report), -1);
    QCOMPARE(QString::fromWCharArray(hid_error(removed.get())), QString("device disconnected"));

    // A new second instrument is a fresh one, which the old handle does not reach.
    QCOMPARE(sim::instrumentAt(1).version(sim::Mainboard), 10);
    QCOMPARE(sim::instrumentAt(1).serialNumber(), QString("SN0002"));
    QCOMPARE(askMainboardVersion(removed.get()), QByteArray("gone"));
    QVERIFY(sim::instrumentAt(1).messages().isEmpty());
}

QTEST_GUILESS_MAIN(tst_Instrument)
#include "tst_instrument.moc"
