// trvloader-emulated: what its command line sets up on the instrument, and
// that the program it runs sees the emulated devices and hands back its result.
// Run with --list-instruments or --watch-instruments, this program is instead
// one that the launcher runs (see main() below).

#include "launchoptions.h"
#include "usbhid.h"

#include <hidapi.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <cstring>

Q_DECLARE_METATYPE(sim::BoardFaults)

class tst_launcher : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
    void replyDelays_data();
    void replyDelays();
    void refusedOptions_data();
    void refusedOptions();
    void runsProgramOnInstrument_data();
    void runsProgramOnInstrument();
    void benchLoopUpdatesOneAfterAnother();
};

namespace {

sim::BoardFaults silentFaults()
{
    sim::BoardFaults faults;
    faults.silent = true;
    return faults;
}

sim::BoardFaults zeroAckFaults(int line)
{
    sim::BoardFaults faults;
    faults.zeroAckAtLine = line;
    return faults;
}

sim::BoardFaults refusingFaults()
{
    sim::BoardFaults faults;
    faults.refuseEnd = true;
    faults.versionAfterUpdate = 29;
    return faults;
}

bool sameFaults(const sim::BoardFaults& a, const sim::BoardFaults& b)
{
    return a.absent == b.absent && a.silent == b.silent && a.notReady == b.notReady &&
           a.zeroAckAtLine == b.zeroAckAtLine && a.refuseEnd == b.refuseEnd &&
           a.versionAfterUpdate == b.versionAfterUpdate && a.dropReplyAt == b.dropReplyAt;
}

// The serial numbers of the instruments that the system's hidapi finds, in order.
QStringList instrumentsFound()
{
    QStringList serials;
    hid_device_info* found = hid_enumerate(0x04D8, 0xF93C);
    for (hid_device_info* device = found; device; device = device->next) {
        serials.append(QString::fromWCharArray(device->serial_number));
    }
    hid_free_enumeration(found);
    serials.sort();
    return serials;
}

// How long a probe looks before it gives up.
constexpr int probeGivesUpAfter = 15000;

// Waits until the system's hidapi finds count instruments at once, and prints
// their serial numbers, one a line. 0 when it did, 1 when not.
int listInstruments(int count)
{
    QElapsedTimer looking;
    looking.start();
    while (looking.elapsed() < probeGivesUpAfter) {
        const QStringList serials = instrumentsFound();
        if (serials.size() >= count) {
            std::printf("%s\n", qPrintable(serials.join('\n')));
            return 0;
        }
        QThread::msleep(5);
    }
    std::printf("found only %s\n", qPrintable(instrumentsFound().join(' ')));
    return 1;
}

// Prints the serial numbers the system's hidapi finds each time they change
// ("none" when it finds none, after it first found one), until count
// instruments have come and gone. 0 when they did, 1 when not.
int watchInstruments(int count)
{
    QStringList seen;
    QStringList last;
    QElapsedTimer looking;
    looking.start();
    while (looking.elapsed() < probeGivesUpAfter) {
        const QStringList serials = instrumentsFound();
        if (serials != last && !(serials.isEmpty() && seen.isEmpty())) {
            std::printf("%s\n", serials.isEmpty() ? "none" : qPrintable(serials.join(' ')));
            std::fflush(stdout);
        }
        last = serials;
        for (const QString& serial : serials) {
            if (!seen.contains(serial)) {
                seen.append(serial);
            }
        }
        if (serials.isEmpty() && seen.size() >= count) {
            return 0;
        }
        QThread::msleep(5);
    }
    return 1;
}

const QList<sim::Board> allBoards = {sim::Sensor1, sim::Sensor2,  sim::Sensor3,  sim::Sensor4,
                                     sim::Sensor5, sim::Terminal, sim::Mainboard};

} // namespace

void tst_launcher::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("faultyBoards");
    QTest::addColumn<sim::BoardFaults>("faults");

    QTest::newRow("no faults") << QStringList() << QList<int>() << sim::BoardFaults();
    QTest::newRow("one silent board")
        << QStringList{"--silent", "sensor3"} << QList<int>{sim::Sensor3} << silentFaults();
    QTest::newRow("all five sensor boards")
        << QStringList{"--zero-ack", "sensors:120"}
        << QList<int>{sim::Sensor1, sim::Sensor2, sim::Sensor3, sim::Sensor4, sim::Sensor5}
        << zeroAckFaults(120);
    QTest::newRow("two faults on the control panel")
        << QStringList{"--refuse-end", "panel", "--after-update", "terminal=v2.9"}
        << QList<int>{sim::Terminal} << refusingFaults();
    QTest::newRow("every board") << QStringList{"--silent", "all"}
                                 << QList<int>{sim::Sensor1,  sim::Sensor2, sim::Sensor3,
                                               sim::Sensor4,  sim::Sensor5, sim::Terminal,
                                               sim::Mainboard}
                                 << silentFaults();
}

// The instrument set up from the command line has the faults asked for on
// exactly the boards named, and the versions and timing asked for.
void tst_launcher::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<int>, faultyBoards);
    QFETCH(sim::BoardFaults, faults);

    LaunchOptions options;
    QString error;
    QVERIFY2(options.parse(arguments + QStringList{"--firmware", "mainboard=3.1", "--latency", "0",
                                                   "--unplug-at-line", "3"},
                           &error),
             qPrintable(error));
    sim::Instrument instrument;
    options.applyTo(instrument);
    for (sim::Board board : allBoards) {
        QVERIFY2(sameFaults(instrument.faults(board),
                            faultyBoards.contains(board) ? faults : sim::BoardFaults()),
                 qPrintable(QString::number(board)));
    }
    QCOMPARE(instrument.version(sim::Mainboard), 31);

    // Latency 0: the answer is there at once; the third line unplugs it.
    const int connection = instrument.open(0x04D8, 0xF93C, 0);
    QVERIFY(connection > 0);
    unsigned char report[65] = {0, 0x01, sim::Mainboard};
    QCOMPARE(instrument.write(connection, report, sizeof report, 0), 65);
    unsigned char reply[64] = {};
    if (faultyBoards.contains(sim::Mainboard)) {
        QCOMPARE(instrument.read(connection, reply, sizeof reply, 0), 0);
    } else {
        QCOMPARE(instrument.read(connection, reply, sizeof reply, 0), 64);
        QCOMPARE(reply[2], 31);
    }
    const QByteArray line = ":00000001FF\r\n";
    for (int sent = 1; sent <= 3; ++sent) {
        unsigned char data[65] = {0, 0x03, sim::NoPart, static_cast<unsigned char>(line.size())};
        std::memcpy(data + 4, line.constData(), line.size());
        instrument.write(connection, data, sizeof data, 0);
        QCOMPARE(instrument.isPlugged(), sent < 3);
    }
}

void tst_launcher::replyDelays_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("minimum"); // microseconds
    QTest::addColumn<int>("maximum");

    QTest::newRow("default") << QStringList() << 1000 << 2000;
    QTest::newRow("none") << QStringList{"--latency", "0"} << 0 << 0;
    QTest::newRow("under a millisecond") << QStringList{"--latency", "0.3"} << 300 << 300;
    QTest::newRow("fractional range") << QStringList{"--latency", "1.3-2.25"} << 1300 << 2250;
}

void tst_launcher::replyDelays()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    LaunchOptions options;
    QString error;
    QVERIFY2(options.parse(arguments, &error), qPrintable(error));
    QCOMPARE(options.minReplyDelay, minimum);
    QCOMPARE(options.maxReplyDelay, maximum);
}

void tst_launcher::refusedOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");

    QTest::newRow("unknown board") << QStringList{"--silent", "keyboard"} << "unknown board";
    QTest::newRow("version out of range")
        << QStringList{"--firmware", "mainboard=13.0"} << "no firmware version";
    QTest::newRow("version without board")
        << QStringList{"--firmware", "3.3"} << "not of the form BOARD=VALUE";
    QTest::newRow("line zero") << QStringList{"--unplug-at-line", "0"} << "from 1 on";
    QTest::newRow("latency range backwards")
        << QStringList{"--latency", "5-2"} << "--latency must be";
    QTest::newRow("latency not a number")
        << QStringList{"--latency", "fast"} << "--latency must be";
    QTest::newRow("unknown option") << QStringList{"--loud", "sensor1"} << "Unknown option";
    QTest::newRow("refused and in use")
        << QStringList{"--refuse-open", "--in-use"} << "cannot be given together";
    QTest::newRow("no instruments") << QStringList{"--instruments", "0"} << "from 1 on";
    QTest::newRow("next without one after another")
        << QStringList{"--next-after", "100"} << "need --one-after-another";
}

void tst_launcher::refusedOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    LaunchOptions options;
    QString error;
    QVERIFY(!options.parse(arguments, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void tst_launcher::runsProgramOnInstrument_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    // The program runs with umockdev's preload, so it sees the testbed.
    QTest::newRow("device visible") << QStringList{"--program", "/bin/sh", "--", "-c",
                                                   "grep -x HID_ID=0003:000004D8:0000F93C "
                                                   "/sys/class/hidraw/hidraw0/device/uevent"}
                                    << 0 << "";
    QTest::newRow("plugged in later")
        << QStringList{"--plug-after",
                       "300",
                       "--program",
                       "/bin/sh",
                       "--",
                       "-c",
                       "test ! -e /sys/class/hidraw/hidraw0 || exit 1; for look in $(seq 100); "
                       "do test -e /sys/class/hidraw/hidraw0 && exit 0; sleep 0.05; done; exit 1"}
        << 0 << "";
    // Holding no descriptor of the launcher's, the program sees the node go.
    QTest::newRow("main board restart")
        << QStringList{"--program", TRV_RESTART_PROBE} << 0 << "lost\nfound again";
    QTest::newRow("exit code handed back")
        << QStringList{"--program", "/bin/sh", "--", "-c", "exit 7"} << 7 << "";
    QTest::newRow("refused option")
        << QStringList{"--silent", "keyboard", "--program", "/bin/true"} << 2 << "unknown board";
    // The looks of an instrument that cannot be opened, as trvloader-cli says them.
    QTest::newRow("refused open") << QStringList{"--refuse-open", "--program", TRV_CLI, "--",
                                                 "versions",      "--wait",    "0.5"}
                                  << 4 << UsbHid::refusalDescription(EACCES);
    QTest::newRow("in use") << QStringList{"--in-use", "--program", TRV_CLI, "--",
                                           "versions", "--wait",    "0.5"}
                            << 4 << UsbHid::refusalDescription(EBUSY);
    // The system's hidapi sees a bench: each node with its serial number.
    const QString self = QCoreApplication::applicationFilePath();
    QTest::newRow("two instruments at once")
        << QStringList{"--instruments", "2", "--program", self, "--", "--list-instruments", "2"}
        << 0 << "SN0001\nSN0002\n";
    const QStringList oneAfterAnother =
        QString("--instruments 2 --one-after-another --unplug-after 1000 --next-after 300")
            .split(' ');
    QTest::newRow("one after another")
        << oneAfterAnother + QStringList{"--program", self, "--", "--watch-instruments", "2"} << 0
        << "SN0001\nnone\nSN0002\nnone\n";
    QTest::newRow("missing program")
        << QStringList{"--program", "/nonexistent/trvloader"} << 1 << "no trvloader to run";
}

void tst_launcher::runsProgramOnInstrument()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    QProcess launcher;
    launcher.setProcessChannelMode(QProcess::MergedChannels);
    launcher.start(TRV_LAUNCHER, arguments);
    QVERIFY(launcher.waitForFinished(20000));
    const QString said = QString::fromLocal8Bit(launcher.readAll());
    QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
    QVERIFY2(launcher.exitCode() == exitCode, qPrintable(said));
    QVERIFY2(said.contains(output), qPrintable(said));
}

// The bench loop: each instrument leaves once its update is done, and the
// next one comes, with its own serial number.
void tst_launcher::benchLoopUpdatesOneAfterAnother()
{
    const QString update = QStringLiteral("%1 update terminal").arg(TRV_CLI);
    // Between the two, the first instrument must go by itself: its node
    // (hidraw0, kept as only the control panel restarts) goes.
    const QString script =
        update +
        QStringLiteral(" && for look in $(seq 500); do "
                       "test -e /sys/class/hidraw/hidraw0 || break; sleep 0.02; done && "
                       "test ! -e /sys/class/hidraw/hidraw0 && ") +
        update + QStringLiteral(" && %1 history --json").arg(TRV_CLI);
    QProcess launcher;
    launcher.setProcessChannelMode(QProcess::MergedChannels);
    launcher.start(TRV_LAUNCHER,
                   {"--instruments", "2", "--one-after-another", "--next-after", "100", "--latency",
                    "0", "--board-restart", "0", "--program", "/bin/sh", "--", "-c", script});
    QVERIFY(launcher.waitForFinished(40000));
    const QString said = QString::fromLocal8Bit(launcher.readAll());
    QVERIFY2(launcher.exitCode() == 0, qPrintable(said));
    // The history, newest first.
    const QRegularExpression record("\"outcome\":\"(\\w+)\".*\"serialNumber\":\"(\\w+)\"");
    QStringList records;
    for (auto match = record.globalMatch(said); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        records.append(found.captured(2) + ' ' + found.captured(1));
    }
    QCOMPARE(records, (QStringList{"SN0002 updated", "SN0001 updated"}));
}

int main(int argc, char* argv[])
{
    // Run by the launcher, as its program.
    if (argc == 3 && std::strcmp(argv[1], "--list-instruments") == 0) {
        return listInstruments(std::atoi(argv[2]));
    }
    if (argc == 3 && std::strcmp(argv[1], "--watch-instruments") == 0) {
        return watchInstruments(std::atoi(argv[2]));
    }
    QCoreApplication application(argc, argv);
    tst_launcher test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_launcher.moc"
