// The window as users run it: the system's hidapi library (hidraw backend)
// talking to the emulated instrument, which umockdev presents as a hidraw
// device node. Run under umockdev-wrapper.

#include "hexreader.h"
#include "hidrawinstrument.h"
#include "trvinterface.h"
#include "trvloader.h"
#include "trvupdater.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

struct BoardRow
{
    sim::Board board;
    const char* name; // the widgets' object name suffix
};

const QList<BoardRow> rows = {
    {sim::Sensor5, "Sensor5"},     {sim::Sensor1, "Sensor1"}, {sim::Sensor2, "Sensor2"},
    {sim::Sensor3, "Sensor3"},     {sim::Sensor4, "Sensor4"}, {sim::Terminal, "Terminal"},
    {sim::Mainboard, "Mainboard"},
};

QString versionText(int tenths)
{
    return QStringLiteral("v%1.%2").arg(tenths / 10).arg(tenths % 10);
}

const char* imageOf(sim::Board board)
{
    switch (board) {
    case sim::Mainboard:
        return ":/firmware/kzent";
    case sim::Terminal:
        return ":/firmware/kterm";
    default:
        return ":/firmware/ksens";
    }
}

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

private:
    // Runs the event loop at its own pace (the link polls every millisecond)
    // until condition holds or timeout ms have passed; whether it holds.
    static bool waitFor(const std::function<bool()>& condition, int timeout);
    void createWindow();
    template <typename Widget> Widget* widget(const QString& name);
    QProgressBar* totalBar() { return widget<QProgressBar>("totalProgress"); }
    // Waits for all seven rows to show what their boards report.
    bool waitForVersions(const QMap<sim::Board, int>& expected, int timeout);
    QMap<sim::Board, int> installedVersions();

    std::unique_ptr<sim::HidrawInstrument> front;
    std::unique_ptr<trvLoader> window;
    trvInterface* device = nullptr;
};

bool tst_realhidapi::waitFor(const std::function<bool()>& condition, int timeout)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

template <typename Widget> Widget* tst_realhidapi::widget(const QString& name)
{
    auto* found = window->findChild<Widget*>(name);
    if (!found)
        qFatal("the window has no %s", qPrintable(name));
    return found;
}

void tst_realhidapi::initTestCase()
{
    front = std::make_unique<sim::HidrawInstrument>();
    QString error;
    QVERIFY2(front->start(&error), qPrintable(error));
}

void tst_realhidapi::init()
{
    // Boards on older firmware than the built-in images, each its own, so
    // that a version shown in the wrong row is noticed. Fast boards keep the
    // suite short; the main board's restart keeps the time the update needs.
    front->withInstrument([](sim::Instrument& instrument) {
        instrument.reset();
        instrument.setBoardRestartTime(0);
        instrument.setMainboardRestartTime(1500);
        instrument.setVersion(sim::Sensor1, 11);
        instrument.setVersion(sim::Sensor2, 12);
        instrument.setVersion(sim::Sensor3, 13);
        instrument.setVersion(sim::Sensor4, 14);
        instrument.setVersion(sim::Sensor5, 15);
        instrument.setVersion(sim::Terminal, 19);
        instrument.setVersion(sim::Mainboard, 31);
    });
    QVERIFY(waitFor([this] { return !front->deviceNode().isEmpty(); }, 2000));
}

void tst_realhidapi::cleanup()
{
    // The link says disconnected() as the window goes: nothing here may hear it.
    if (device)
        device->disconnect(this);
    window.reset();
    device = nullptr;
}

void tst_realhidapi::createWindow()
{
    window = std::make_unique<trvLoader>();
    window->show();
    device = window->findChild<trvInterface*>();
    QVERIFY(device);
}

bool tst_realhidapi::waitForVersions(const QMap<sim::Board, int>& expected, int timeout)
{
    return waitFor(
        [&] {
            for (const BoardRow& row : rows)
                if (widget<QLabel>(QStringLiteral("version") + row.name)->text() !=
                    versionText(expected.value(row.board)))
                    return false;
            return true;
        },
        timeout);
}

QMap<sim::Board, int> tst_realhidapi::installedVersions()
{
    return front->withInstrument([](sim::Instrument& instrument) {
        QMap<sim::Board, int> versions;
        for (const BoardRow& row : rows)
            versions[row.board] = instrument.version(row.board);
        return versions;
    });
}

void tst_realhidapi::connectAndVersions()
{
    createWindow();
    QVERIFY(waitForVersions(installedVersions(), 3000));
    QCOMPARE(totalBar()->format(), QString("Ready to start firmware update"));
    QVERIFY(widget<QWidget>("mainControl")->isEnabled());
    for (const BoardRow& row : rows)
        QVERIFY2(widget<QCheckBox>(QStringLiteral("check") + row.name)->isEnabled(), row.name);
    QVERIFY(front->isNodeOpen());
}

void tst_realhidapi::wholeUpdate()
{
    createWindow();
    QVERIFY(waitForVersions(installedVersions(), 3000));
    const int plugsBefore = front->plugCount();
    QSignalSpy disconnects(device, SIGNAL(disconnected()));
    QSignalSpy connects(device, SIGNAL(connected()));

    QTest::mouseClick(widget<QPushButton>("startUpdate"), Qt::LeftButton);
    QVERIFY2(
        waitFor([this] { return totalBar()->format() == "Firmware update successfull"; }, 90000),
        qPrintable(totalBar()->format()));

    // Every board holds its image, line for line, and runs its version.
    QMap<sim::Board, int> imageVersions;
    for (const BoardRow& row : rows) {
        HexReader image;
        QCOMPARE(image.read(imageOf(row.board), false), HexReader::FileOk);
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
    QTest::mouseClick(widget<QCheckBox>("checkMainboard"), Qt::LeftButton);
    QVERIFY(widget<QCheckBox>("checkMainboard")->isChecked());
    const int plugsBefore = front->plugCount();
    QString lookWhileAway;
    connect(device, &trvInterface::disconnected, this,
            [this, &lookWhileAway] { lookWhileAway = totalBar()->format(); });

    QTest::mouseClick(widget<QPushButton>("startUpdate"), Qt::LeftButton);
    const QString failure = trvUpdater::errorDescription(trvUpdater::FinishFailed);
    QVERIFY2(waitFor([&] { return totalBar()->format().endsWith(failure); }, 30000),
             qPrintable(totalBar()->format()));

    QCOMPARE(lookWhileAway, QString("Waiting for USB connection"));
    QCOMPARE(front->plugCount(), plugsBefore + 1);
    const QList<QByteArray> received = front->withInstrument(
        [](sim::Instrument& instrument) { return instrument.received(sim::Mainboard); });
    const int restart = received.lastIndexOf(QByteArray("\x05\x07", 2));
    QVERIFY(restart >= 0);
    QVERIFY(received.mid(restart + 1).contains(QByteArray("\x01\x07", 2)));
    // No other board was touched.
    for (sim::Board board : {sim::Terminal, sim::Sensor1, sim::Sensor5})
        QVERIFY(front->withInstrument([board](sim::Instrument& instrument) {
            return instrument.storedText(board).isEmpty();
        }));
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
    const QString failure = trvUpdater::errorDescription(trvUpdater::NoResponse);
    QVERIFY2(waitFor([&] { return totalBar()->format().endsWith(failure); }, 10000),
             qPrintable(totalBar()->format()));
    QCOMPARE(lookWhileAway, QString("Waiting for USB connection"));
    QVERIFY(!controlsWhileAway);
    QVERIFY(front->deviceNode().isEmpty());
    for (const char* sensor : {"Sensor1", "Sensor5"})
        QVERIFY2(
            widget<QProgressBar>(QStringLiteral("progress") + sensor)->format().startsWith(failure),
            sensor);
    // The boards after the failed step were never started.
    QCOMPARE(front->withInstrument([](sim::Instrument& instrument) {
        return instrument.received(sim::Terminal).size();
    }),
             1);

    // Plugged in again, the instrument is found and listed as before.
    front->withInstrument([](sim::Instrument& instrument) { instrument.plug(); });
    QVERIFY(
        waitFor([this] { return totalBar()->format() == "Ready to start firmware update"; }, 3000));
    QVERIFY(waitForVersions(installedVersions(), 3000));
    QVERIFY(widget<QPushButton>("startUpdate")->isEnabled());
}

void tst_realhidapi::silentInstrumentCyclesThroughWatchdog()
{
    front->withInstrument([](sim::Instrument& instrument) {
        sim::BoardFaults silent;
        silent.silent = true;
        for (const BoardRow& row : rows)
            instrument.setFaults(row.board, silent);
    });
    createWindow();
    QSignalSpy connects(device, SIGNAL(connected()));
    QSignalSpy disconnects(device, SIGNAL(disconnected()));
    // Each connect is dropped after 300 ms without an answer and made again.
    QVERIFY(waitFor([&] { return connects.count() >= 4; }, 4000));
    QVERIFY(disconnects.count() >= 3);
    for (const BoardRow& row : rows)
        QVERIFY2(!widget<QCheckBox>(QStringLiteral("check") + row.name)->isEnabled(), row.name);

    // Once the boards answer, the next connect stays.
    front->withInstrument([](sim::Instrument& instrument) {
        for (const BoardRow& row : rows)
            instrument.setFaults(row.board, sim::BoardFaults());
    });
    QVERIFY(waitForVersions(installedVersions(), 3000));
    const int settled = connects.count();
    QTest::qWait(700);
    QCOMPARE(connects.count(), settled);
    QVERIFY(front->isNodeOpen());
}

QTEST_MAIN(tst_realhidapi)
#include "tst_realhidapi.moc"
