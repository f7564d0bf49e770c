// The window and the link as users run them: the system's hidapi library
// (hidraw backend) and the system's libudev, with the emulated instrument
// that umockdev presents as a hidraw device node, announced by uevents. Run
// under umockdev-wrapper. Some of it runs a probe program as another user
// (nobody), which needs root.

#include "hexreader.h"
#include "hidrawinstrument.h"
#include "hotplugwatch.h"
#include "testimage.h"
#include "trvinterface.h"
#include "trvloader.h"
#include "trvtiming.h"
#include "trvupdater.h"
#include "usbhid.h"
#include "waiting.h"
#include "windowtesting.h"

#include <hidapi.h>

#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr unsigned short instrumentVendor = 0x04D8;
constexpr unsigned short instrumentProduct = 0xF93C;
// Longest time from a node's completion to the link's connected() that counts
// as noticed at once: a few ticks and a busy machine's delays, far below the
// second in which the safety net looks in any case (in many cycles, the safety
// net alone would miss it in most).
constexpr qint64 noticedAtOnce = 100;

// The link probe (linkprobe.cpp) run as user nobody: what it has printed.
class OtherUserProbe
{
public:
    ~OtherUserProbe()
    {
        if (process.state() != QProcess::NotRunning) {
            process.closeWriteChannel(); // the probe ends with its input
            if (!process.waitForFinished(5000)) {
                process.kill();
                process.waitForFinished(1000);
            }
        }
    }

    // Starts it from a copy that every user may run; the reason when it cannot.
    QString start()
    {
        if (getuid() != 0) {
            return QStringLiteral("only root can run a program as another user");
        }
        const QString runuser = QStandardPaths::findExecutable(
            QStringLiteral("runuser"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        const QString program = folder.path() + QStringLiteral("/linkprobe");
        if (runuser.isEmpty() || !folder.isValid() ||
            !QFile::copy(QStringLiteral(TRV_LINK_PROBE), program) ||
            !QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther)) {
            return QStringLiteral("cannot set the probe up for another user");
        }
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                           QFile::ExeOther);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { readLines(); });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(runuser, {QStringLiteral("-u"), QStringLiteral("nobody"),
                                QStringLiteral("--"), program, QStringLiteral("60")});
        return process.waitForStarted(5000) ? QString() : process.errorString();
    }

    // The times of the lines saying what ("connected", "refused 13", ...).
    QList<qint64> times(const QString& what) const
    {
        QList<qint64> found;
        for (const auto& line : lines) {
            if (line.second == what) {
                found.append(line.first);
            }
        }
        return found;
    }
    QStringList said() const
    {
        QStringList all;
        for (const auto& line : lines) {
            all.append(line.second);
        }
        return all;
    }

private:
    void readLines()
    {
        while (process.canReadLine()) {
            const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
            const int space = line.indexOf(QLatin1Char(' '));
            lines.append({line.left(space).toLongLong(), line.mid(space + 1)});
        }
    }

    QTemporaryDir folder;
    QProcess process;
    QList<std::pair<qint64, QString>> lines;
};

struct RowNames
{
    sim::Board board;
    const char* name; // the widgets' object name suffix
};

const QList<RowNames> rows = {
    {sim::Sensor5, "Sensor5"},     {sim::Sensor1, "Sensor1"}, {sim::Sensor2, "Sensor2"},
    {sim::Sensor3, "Sensor3"},     {sim::Sensor4, "Sensor4"}, {sim::Terminal, "Terminal"},
    {sim::Mainboard, "Mainboard"},
};

QString versionText(int tenths)
{
    return QStringLiteral("v%1.%2").arg(tenths / 10).arg(tenths % 10);
}

// The part code of the board's image.
const char* partCodeOf(sim::Board board)
{
    switch (board) {
    case sim::Mainboard:
        return "KZENT";
    case sim::Terminal:
        return "KTERM";
    default:
        return "KSENS";
    }
}

// Small images at the built-in images' versions, newer than what the boards run.
const QList<std::pair<const char*, const char*>> smallImages = {
    {"KZENT", "v3.3"}, {"KTERM", "v2.1"}, {"KSENS", "v1.9"}};

} // namespace

class tst_realhidapi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectAndVersions();
    void wholeUpdate();
    void mainboardVerifiedAfterItsRestart();
    void unplugDuringTransfer();
    void silentInstrumentCyclesThroughWatchdog();

    void plugNoticedAtOnceOverManyCycles();
    void directReopenOpensAtOnce();
    void safetyNetFindsAnUnannouncedDevice();
    void everyTickWithoutAMonitor();
    void refusedOpenSaysPermissionDenied();
    void lockedNodeIsBusy();
    void benchNodesAnswerForTheirOwnInstrument();

private:
    // Builds and shows the window with the test's timing.
    void createWindow();
    // Loads the small images through the load button of advanced mode;
    // leaves the mode as it was.
    void useSmallImages();
    QString imageFile(const char* partCode) const
    {
        return imageFolder.filePath(QString::fromLatin1(partCode) + ".hex");
    }
    template <typename Widget> Widget* widget(const QString& name);
    QProgressBar* totalBar() { return widget<QProgressBar>("totalProgress"); }
    // Waits for all seven rows to show what their boards report.
    bool waitForVersions(const QMap<sim::Board, int>& expected, int timeout);
    QMap<sim::Board, int> installedVersions();

    std::unique_ptr<sim::HidrawInstrument> front;
    std::unique_ptr<trvLoader> window;
    trvInterface* device = nullptr;
    // The program's waits, but a short one before the main board's return is
    // looked for; a replug through hidraw takes a few hundred milliseconds,
    // well within the time it is given to come back.
    trvTiming timing;
    QTemporaryDir imageFolder;
};

template <typename Widget> Widget* tst_realhidapi::widget(const QString& name)
{
    auto* found = window->findChild<Widget*>(name);
    if (!found) {
        qFatal("the window has no %s", qPrintable(name));
    }
    return found;
}

void tst_realhidapi::initTestCase()
{
    QVERIFY(imageFolder.isValid());
    for (const auto& image : smallImages) {
        QFile file(imageFile(image.first));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(TestImage(image.first, image.second).file()) > 0);
    }
    timing.restartWait = 100;
    timing.reconnectTimeout = 5000;

    front = std::make_unique<sim::HidrawInstrument>();
    QString error;
    QVERIFY2(front->start(&error), qPrintable(error));
}

void tst_realhidapi::init()
{
    timing.watchdogTimeout = trvTiming().watchdogTimeout;
    // Boards on older firmware than the images, each its own, so that a
    // version shown in the wrong row is noticed. Fast boards keep the suite
    // short; the main board stays away past the wait before it is looked for.
    front->withInstrument([this](sim::Instrument& instrument) {
        instrument.reset();
        instrument.setBoardRestartTime(0);
        instrument.setMainboardRestartTime(timing.restartWait * 2);
        instrument.setVersion(sim::Sensor1, 11);
        instrument.setVersion(sim::Sensor2, 12);
        instrument.setVersion(sim::Sensor3, 13);
        instrument.setVersion(sim::Sensor4, 14);
        instrument.setVersion(sim::Sensor5, 15);
        instrument.setVersion(sim::Terminal, 19);
        instrument.setVersion(sim::Mainboard, 31);
    });
    QVERIFY(waitUntil([this] { return !front->deviceNode().isEmpty(); }, 2000));
}

void tst_realhidapi::cleanup()
{
    front->setEventsHeld(false);
    // The link says disconnected() as the window goes: nothing here may hear it.
    if (device) {
        device->disconnect(this);
    }
    window.reset();
    device = nullptr;
}

void tst_realhidapi::createWindow()
{
    window = std::make_unique<trvLoader>(nullptr, timing);
    window->show();
    device = window->findChild<trvInterface*>();
    QVERIFY(device);
}

void tst_realhidapi::useSmallImages()
{
    auto* advanced = widget<QCheckBox>("advanced");
    const bool wasAdvanced = advanced->isChecked();
    if (!wasAdvanced) {
        QTest::mouseClick(advanced, Qt::LeftButton);
    }
    const QStringList seen =
        answerDialogs([this] { QTest::mouseClick(widget<QWidget>("loadSensor"), Qt::LeftButton); },
                      {choose(imageFolder.path(), {"KZENT.hex", "KTERM.hex", "KSENS.hex"}),
                       press(QMessageBox::Yes), press(QMessageBox::Yes), press(QMessageBox::Yes)});
    QCOMPARE(seen.size(), 4);
    QVERIFY2(widget<QLabel>("fileStateSensor")->text().contains("Byte"),
             qPrintable(widget<QLabel>("fileStateSensor")->text()));
    if (!wasAdvanced) {
        QTest::mouseClick(advanced, Qt::LeftButton);
    }
    QCOMPARE(advanced->isChecked(), wasAdvanced);
}

bool tst_realhidapi::waitForVersions(const QMap<sim::Board, int>& expected, int timeout)
{
    return waitUntil(
        [&] {
            for (const RowNames& row : rows) {
                if (widget<QLabel>(QStringLiteral("version") + row.name)->text() !=
                    versionText(expected.value(row.board))) {
                    return false;
                }
            }
            return true;
        },
        timeout);
}

QMap<sim::Board, int> tst_realhidapi::installedVersions()
{
    return front->withInstrument([](sim::Instrument& instrument) {
        QMap<sim::Board, int> versions;
        for (const RowNames& row : rows) {
            versions[row.board] = instrument.version(row.board);
        }
        return versions;
    });
}

void tst_realhidapi::connectAndVersions()
{
    createWindow();
    QVERIFY(waitForVersions(installedVersions(), 3000));
    QCOMPARE(totalBar()->format(), QString("Ready to start firmware update"));
    QVERIFY(widget<QWidget>("mainControl")->isEnabled());
    for (const RowNames& row : rows) {
        QVERIFY2(widget<QCheckBox>(QStringLiteral("check") + row.name)->isEnabled(), row.name);
    }
    QVERIFY(front->isNodeOpen());
}

void tst_realhidapi::wholeUpdate()
{
    createWindow();
    QVERIFY(waitForVersions(installedVersions(), 3000));
    useSmallImages();
    const int plugsBefore = front->plugCount();
    QSignalSpy disconnects(device, SIGNAL(disconnected()));
    QSignalSpy connects(device, SIGNAL(connected()));

    QTest::mouseClick(widget<QPushButton>("startUpdate"), Qt::LeftButton);
    QVERIFY2(
        waitUntil([this] { return totalBar()->format() == "Firmware update successfull"; }, 90000),
        qPrintable(totalBar()->format()));

    // Every board holds its image, line for line, and runs its version.
    QMap<sim::Board, int> imageVersions;
    for (const RowNames& row : rows) {
        HexReader image;
        QCOMPARE(image.read(imageFile(partCodeOf(row.board)), false), HexReader::FileOk);
        const QByteArray stored = front->withInstrument(
            [&row](sim::Instrument& instrument) { return instrument.storedText(row.board); });
        QVERIFY2(stored == image.data, row.name);
        imageVersions[row.board] = image.version.mid(1).remove('.').toInt();
    }
    QCOMPARE(installedVersions(), imageVersions);
    // The main board's restart was a removal and a new device for hidapi,
    // and the window shows what the boards run now.
    QCOMPARE(front->plugCount(), plugsBefore + 1);
    QCOMPARE(disconnects.count(), 1);
    QCOMPARE(connects.count(), 1);
    QVERIFY(waitForVersions(imageVersions, 3000));
    QVERIFY(widget<QPushButton>("startUpdate")->isEnabled());
}

void tst_realhidapi::mainboardVerifiedAfterItsRestart()
{
    // Back from its restart, the main board reports a version other than
    // the image's: only the version request over the new device shows that.
    front->withInstrument([](sim::Instrument& instrument) {
        sim::BoardFaults faults;
        faults.versionAfterUpdate = 30;
        instrument.setFaults(sim::Mainboard, faults);
    });
    createWindow();
    QVERIFY(waitForVersions(installedVersions(), 3000));
    QTest::mouseClick(widget<QCheckBox>("advanced"), Qt::LeftButton);
    useSmallImages();
    QTest::mouseClick(widget<QCheckBox>("checkMainboard"), Qt::LeftButton);
    QVERIFY(widget<QCheckBox>("checkMainboard")->isChecked());
    const int plugsBefore = front->plugCount();
    QString lookWhileAway;
    connect(device, &trvInterface::disconnected, this,
            [this, &lookWhileAway] { lookWhileAway = totalBar()->format(); });

    QTest::mouseClick(widget<QPushButton>("startUpdate"), Qt::LeftButton);
    // What it reports and what was expected.
    const QString failure =
        "Main Board (mainboard): " + trvUpdater::errorDescription(trvUpdater::FinishFailed) +
        ": it reports v3.0, v3.3 was expected";
    QVERIFY2(waitUntil([&] { return totalBar()->format() == failure; }, 30000),
             qPrintable(totalBar()->format()));

    // The bar keeps showing the update while the main board restarts.
    QVERIFY2(lookWhileAway.startsWith("Main Board"), qPrintable(lookWhileAway));
    QCOMPARE(front->plugCount(), plugsBefore + 1);
    const QList<QByteArray> received = front->withInstrument(
        [](sim::Instrument& instrument) { return instrument.received(sim::Mainboard); });
    const int restart = received.lastIndexOf(QByteArray("\x05\x07", 2));
    QVERIFY(restart >= 0);
    QVERIFY(received.mid(restart + 1).contains(QByteArray("\x01\x07", 2)));
    // No other board was touched.
    for (sim::Board board : {sim::Terminal, sim::Sensor1, sim::Sensor5}) {
        QVERIFY(front->withInstrument([board](sim::Instrument& instrument) {
            return instrument.storedText(board).isEmpty();
        }));
    }
}

void tst_realhidapi::unplugDuringTransfer()
{
    createWindow();
    QVERIFY(waitForVersions(installedVersions(), 3000));
    front->withInstrument([](sim::Instrument& instrument) { instrument.unplugAtDataMessage(200); });
    QString lookWhileAway;
    bool controlsWhileAway = true;
    connect(device, &trvInterface::disconnected, this, [&] {
        lookWhileAway = totalBar()->format();
        controlsWhileAway = widget<QWidget>("mainControl")->isEnabled();
    });

    QTest::mouseClick(widget<QPushButton>("startUpdate"), Qt::LeftButton);
    // Said as an unplug, with what to do, not as a board that fell silent.
    const QString unplugged = "The instrument was disconnected during the update of Sensor Boards.";
    QVERIFY2(waitUntil([&] { return totalBar()->format() == unplugged; }, 10000),
             qPrintable(totalBar()->format()));
    QCOMPARE(widget<QLabel>("updateNote")->text(),
             QString("Plug the instrument in and start the update again.\nIf it fails again, press "
                     "\"?\" and then \"Report for Support...\", and send the report to support."));
    const QString failure = trvUpdater::errorDescription(trvUpdater::NoResponse);
    QCOMPARE(lookWhileAway, QString("Waiting for USB connection"));
    QVERIFY(!controlsWhileAway);
    QVERIFY(front->deviceNode().isEmpty());
    for (const char* sensor : {"Sensor1", "Sensor5"}) {
        QVERIFY2(
            widget<QProgressBar>(QStringLiteral("progress") + sensor)->format().startsWith(failure),
            sensor);
    }
    // The boards after the failed step were never started.
    QCOMPARE(front->withInstrument([](sim::Instrument& instrument) {
        return instrument.received(sim::Terminal).size();
    }),
             1);

    // Plugged in again, the instrument is found and listed as before; the
    // failure stays shown until the next start.
    front->withInstrument([](sim::Instrument& instrument) { instrument.plug(); });
    QVERIFY(waitUntil([this] { return widget<QPushButton>("startUpdate")->isEnabled(); }, 3000));
    QVERIFY(waitForVersions(installedVersions(), 3000));
    QCOMPARE(totalBar()->format(), unplugged);
}

void tst_realhidapi::silentInstrumentCyclesThroughWatchdog()
{
    front->withInstrument([](sim::Instrument& instrument) {
        sim::BoardFaults silent;
        silent.silent = true;
        for (const RowNames& row : rows) {
            instrument.setFaults(row.board, silent);
        }
    });
    // A short watchdog: how long it waits is not what this case checks.
    timing.watchdogTimeout = 100;
    createWindow();
    QSignalSpy connects(device, SIGNAL(connected()));
    QSignalSpy disconnects(device, SIGNAL(disconnected()));
    // Each connect is dropped after the watchdog's time without an answer and made again.
    QVERIFY(waitUntil([&] { return connects.count() >= 4; }, timing.watchdogTimeout * 40));
    QVERIFY(disconnects.count() >= 3);
    for (const RowNames& row : rows) {
        QVERIFY2(!widget<QCheckBox>(QStringLiteral("check") + row.name)->isEnabled(), row.name);
    }

    // Once the boards answer, the next connect stays.
    front->withInstrument([](sim::Instrument& instrument) {
        for (const RowNames& row : rows) {
            instrument.setFaults(row.board, sim::BoardFaults());
        }
    });
    QVERIFY(waitForVersions(installedVersions(), 3000));
    const int settled = connects.count();
    // Longer than two watchdog times: a dropped connect would have shown.
    QTest::qWait(timing.watchdogTimeout * 3);
    QCOMPARE(connects.count(), settled);
    QVERIFY(front->isNodeOpen());
}

// The link is told of every plug, also of the main board's return after its
// restart, and opens the device at once; the safety net alone would often
// take most of a second.
void tst_realhidapi::plugNoticedAtOnceOverManyCycles()
{
    QVERIFY2(HotplugWatch().isWatching(), "no udev monitor here: the events would not be tested");
    front->withInstrument(
        [](sim::Instrument& instrument) { instrument.setMainboardRestartTime(150); });
    qint64 connectedAt = -1; // before the link, whose destruction still speaks
    QList<qint64> delays;
    UsbHid link(instrumentVendor, instrumentProduct);
    QSignalSpy connects(&link, SIGNAL(connected()));
    QSignalSpy disconnects(&link, SIGNAL(disconnected()));
    connect(&link, &UsbHid::connected, this,
            [&connectedAt] { connectedAt = sim::HidrawInstrument::now(); });
    link.setTimebase(1);
    link.setAutoconnect(true);
    QVERIFY(waitUntil([&] { return connects.count() == 1; }, 2000)); // there at start

    for (int cycle = 1; cycle <= 40; ++cycle) {
        const bool restart = cycle % 4 == 0;
        if (restart) {
            link.send(QByteArray("\x05\x07", 2)); // back after 150 ms as a new device
        } else {
            front->withInstrument([](sim::Instrument& instrument) { instrument.unplug(); });
        }
        QVERIFY(waitUntil([&] { return disconnects.count() == cycle; }, 2000));
        if (!restart) {
            // Past the look that follows the close, so that only the event can tell.
            QVERIFY(waitUntil([this] { return front->deviceNode().isEmpty(); }, 2000));
            // Gone without a trace that every later look would walk.
            QCOMPARE(QDir("/sys/class/hidraw")
                         .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                     QStringList());
            QTest::qSleep(10 + cycle % 5 * 10);
            front->withInstrument([](sim::Instrument& instrument) { instrument.plug(); });
        }
        QVERIFY2(waitUntil([&] { return connects.count() == cycle + 1; }, 3000),
                 qPrintable(QString::number(cycle)));
        QVERIFY(waitUntil([this] { return !front->deviceNode().isEmpty(); }, 2000));
        delays.append(connectedAt - front->plugTime());
    }
    for (int cycle = 1; cycle <= delays.size(); ++cycle) {
        QVERIFY2(
            delays.at(cycle - 1) <= noticedAtOnce,
            qPrintable(QStringLiteral("cycle %1: %2 ms").arg(cycle).arg(delays.at(cycle - 1))));
    }
    QCOMPARE(disconnects.count(), 40);
}

// The device came without a word (its event lost): a direct reopen() still
// finds it at once.
void tst_realhidapi::directReopenOpensAtOnce()
{
    UsbHid link(instrumentVendor, instrumentProduct);
    QSignalSpy connects(&link, SIGNAL(connected()));
    QSignalSpy disconnects(&link, SIGNAL(disconnected()));
    link.setTimebase(1);
    link.setAutoconnect(true);
    QVERIFY(waitUntil([&] { return connects.count() == 1; }, 2000));

    front->setEventsHeld(true);
    front->withInstrument([](sim::Instrument& instrument) { instrument.unplug(); });
    QVERIFY(waitUntil([&] { return disconnects.count() == 1; }, 2000));
    QVERIFY(waitUntil([this] { return front->deviceNode().isEmpty(); }, 2000));
    QTest::qSleep(20);
    front->withInstrument([](sim::Instrument& instrument) { instrument.plug(); });
    QVERIFY(waitUntil([this] { return !front->deviceNode().isEmpty(); }, 2000));

    const int connectsBefore = connects.count();
    link.reopen();
    QCOMPARE(connects.count(), connectsBefore + 1);
    QCOMPARE(link.openRefusal(), 0);
}

// Without a word from udev, the link does not look on every tick, but still
// at least once a second.
void tst_realhidapi::safetyNetFindsAnUnannouncedDevice()
{
    qint64 connectedAt = -1; // before the link, whose destruction still speaks
    UsbHid link(instrumentVendor, instrumentProduct);
    QSignalSpy connects(&link, SIGNAL(connected()));
    QSignalSpy disconnects(&link, SIGNAL(disconnected()));
    connect(&link, &UsbHid::connected, this,
            [&connectedAt] { connectedAt = sim::HidrawInstrument::now(); });
    link.setTimebase(1);
    link.setAutoconnect(true);
    QVERIFY(waitUntil([&] { return connects.count() == 1; }, 2000));

    front->setEventsHeld(true);
    for (int cycle = 1; cycle <= 2; ++cycle) {
        // The look right after the close finds nothing; the next is due a second later.
        front->withInstrument([](sim::Instrument& instrument) { instrument.unplug(); });
        QVERIFY(waitUntil([&] { return disconnects.count() == cycle; }, 2000));
        QVERIFY(waitUntil([this] { return front->deviceNode().isEmpty(); }, 2000));
        QTest::qSleep(20);
        front->withInstrument([](sim::Instrument& instrument) { instrument.plug(); });
        QVERIFY(waitUntil([this] { return !front->deviceNode().isEmpty(); }, 2000));
        const qint64 plugged = front->plugTime();
        QVERIFY(waitUntil([&] { return connects.count() == cycle + 1; },
                          HotplugWatch::longestWithoutLook + 1500));
        QVERIFY2(connectedAt - plugged >= 300,
                 qPrintable(QStringLiteral("found %1 ms after an unannounced plug: it looks "
                                           "on every tick")
                                .arg(connectedAt - plugged)));
    }
}

// A program that cannot watch for devices (as another user, umockdev gives it
// no udev monitor) looks on every tick, and finds the device at once.
void tst_realhidapi::everyTickWithoutAMonitor()
{
    front->shareWithOtherUsers(true, false);
    front->setEventsHeld(true); // no event could help it
    OtherUserProbe probe;
    const QString failure = probe.start();
    if (!failure.isEmpty()) {
        QSKIP(qPrintable(failure));
    }
    QVERIFY2(waitUntil([&] { return probe.times("connected").size() == 1; }, 5000),
             qPrintable(probe.said().join(", ")));
    QCOMPARE(probe.times("watching 0").size(), 1);

    for (int cycle = 1; cycle <= 5; ++cycle) {
        front->withInstrument([](sim::Instrument& instrument) { instrument.unplug(); });
        QVERIFY2(waitUntil([&] { return probe.times("disconnected").size() == cycle; }, 2000),
                 qPrintable(probe.said().join(", ")));
        QTest::qSleep(20 + cycle * 10);
        front->withInstrument([](sim::Instrument& instrument) { instrument.plug(); });
        QVERIFY2(waitUntil([&] { return probe.times("connected").size() == cycle + 1; }, 3000),
                 qPrintable(probe.said().join(", ")));
        QVERIFY(waitUntil([this] { return !front->deviceNode().isEmpty(); }, 2000));
        const qint64 delay = probe.times("connected").last() - front->plugTime();
        QVERIFY2(delay <= noticedAtOnce,
                 qPrintable(QStringLiteral("cycle %1: %2 ms").arg(cycle).arg(delay)));
    }
}

// The instrument is there, but this user may not open its node: the link
// says so (EACCES), once, and opens it as soon as it may. (The probe watches
// for devices, as on a desktop, so that its refused attempts stay few.)
void tst_realhidapi::refusedOpenSaysPermissionDenied()
{
    front->shareWithOtherUsers(false, true);
    OtherUserProbe probe;
    const QString failure = probe.start();
    if (!failure.isEmpty()) {
        QSKIP(qPrintable(failure));
    }
    const QString refused = QStringLiteral("refused %1").arg(EACCES);
    QVERIFY2(waitUntil([&] { return probe.times(refused).size() == 1; }, 5000),
             qPrintable(probe.said().join(", ")));
    // Past the safety net's next attempt: refused again, said nothing more.
    waitUntil([] { return false; }, HotplugWatch::longestWithoutLook + 200);
    QCOMPARE(probe.said(), (QStringList{"watching 1", refused}));

    front->shareWithOtherUsers(true, true); // the udev rule is installed
    QVERIFY2(waitUntil([&] { return probe.times("connected").size() == 1; },
                       HotplugWatch::longestWithoutLook + 2000),
             qPrintable(probe.said().join(", ")));
    QCOMPARE(probe.said(), (QStringList{"watching 1", refused, "refused 0", "connected"}));
}

// Another program holds the lock on the instrument's node: the link closes
// the device again unused and says it is busy, and opens it by itself once
// the lock is given up. Two links, as two copies of the tool of any users,
// never hold it together: the second gets it when the first closes it.
void tst_realhidapi::lockedNodeIsBusy()
{
    const int other =
        ::open(QFile::encodeName(front->deviceNode()).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    QVERIFY(other >= 0);
    QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);

    UsbHid first(instrumentVendor, instrumentProduct);
    QSignalSpy firstConnects(&first, SIGNAL(connected()));
    first.setTimebase(1);
    first.setAutoconnect(true);
    const bool refused = waitUntil([&] { return first.openRefusal() == EBUSY; }, 2000);
    ::close(other);
    QVERIFY(refused);
    QCOMPARE(firstConnects.count(), 0);
    QVERIFY(waitUntil([&] { return firstConnects.count() == 1; },
                      HotplugWatch::longestWithoutLook + 2000));
    QCOMPARE(first.openRefusal(), 0);

    UsbHid second(instrumentVendor, instrumentProduct);
    QSignalSpy secondConnects(&second, SIGNAL(connected()));
    second.setTimebase(1);
    second.setAutoconnect(true);
    QVERIFY(waitUntil([&] { return second.openRefusal() == EBUSY; }, 2000));
    QCOMPARE(secondConnects.count(), 0);
    first.setAutoconnect(false);
    first.close();
    QVERIFY(waitUntil([&] { return secondConnects.count() == 1; },
                      HotplugWatch::longestWithoutLook + 2000));
    QCOMPARE(second.openRefusal(), 0);
}

namespace {
// Asks the main board for its version through the system's hidapi: its reply
// record, or "gone" when the node does not take the request or answer it.
QByteArray askMainboardVersion(hid_device* handle)
{
    const unsigned char request[65] = {0, 0x01, sim::Mainboard};
    unsigned char reply[64] = {};
    if (hid_write(handle, request, sizeof request) < 0 ||
        hid_read_timeout(handle, reply, sizeof reply, 2000) <= 0) {
        return "gone";
    }
    return QByteArray(reinterpret_cast<const char*>(reply), 3);
}
} // namespace

// Two instruments side by side, each its own node with its own serial number,
// each node reaching its own instrument only; one's main board restart gives
// it a new node and leaves the other's open.
void tst_realhidapi::benchNodesAnswerForTheirOwnInstrument()
{
    const int second = front->addInstrument("SN0002", [this](sim::Instrument& instrument) {
        instrument.setMainboardRestartTime(timing.restartWait * 2);
        instrument.setVersion(sim::Mainboard, 42);
    });
    // Unplugged again however the test ends, so that no later test meets it.
    const std::shared_ptr<void> unplugSecond(nullptr, [this, second](void*) {
        front->withInstrument(second, [](sim::Instrument& instrument) { instrument.unplug(); });
        waitUntil([this, second] { return front->deviceNode(second).isEmpty(); }, 2000);
    });
    QVERIFY(waitUntil([this, second] { return !front->deviceNode(second).isEmpty(); }, 2000));

    QMap<QString, QByteArray> paths; // by serial number
    hid_device_info* found = hid_enumerate(instrumentVendor, instrumentProduct);
    for (hid_device_info* info = found; info; info = info->next) {
        paths.insert(QString::fromWCharArray(info->serial_number), info->path);
    }
    hid_free_enumeration(found);
    QCOMPARE(paths.keys(), (QStringList{sim::Instrument::defaultSerialNumber, "SN0002"}));
    QCOMPARE(paths.value("SN0002"), QFile::encodeName(front->deviceNode(second)));

    const auto open = [](const QByteArray& path) {
        return std::unique_ptr<hid_device, void (*)(hid_device*)>(hid_open_path(path), hid_close);
    };
    const auto firstHandle = open(paths.value(sim::Instrument::defaultSerialNumber));
    const auto secondHandle = open(paths.value("SN0002"));
    QVERIFY(firstHandle && secondHandle);
    QCOMPARE(askMainboardVersion(secondHandle.get()), QByteArray::fromHex("01072A"));
    QCOMPARE(askMainboardVersion(firstHandle.get()), QByteArray::fromHex("01071F"));
    QCOMPARE(front->withInstrument(
                 second, [](sim::Instrument& instrument) { return instrument.messages().size(); }),
             1);

    const QString secondNode = front->deviceNode(second);
    const int firstPlugs = front->plugCount();
    const unsigned char restart[65] = {0, 0x05, sim::Mainboard};
    QCOMPARE(hid_write(secondHandle.get(), restart, sizeof restart), 65);
    QVERIFY(waitUntil(
        [&] {
            const QString node = front->deviceNode(second);
            return !node.isEmpty() && node != secondNode;
        },
        timing.restartWait * 2 + 2000));
    QCOMPARE(front->plugCount(second), 2);
    QCOMPARE(askMainboardVersion(secondHandle.get()), QByteArray("gone"));
    QCOMPARE(askMainboardVersion(firstHandle.get()), QByteArray::fromHex("01071F"));
    QCOMPARE(front->plugCount(), firstPlugs);
}

QTEST_MAIN(tst_realhidapi)
#include "tst_realhidapi.moc"
