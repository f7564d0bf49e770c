// The update of chosen boards, step by step, on the emulated instrument with
// small images and short waits (one whole update at the instrument's own
// waits): step order and grouping, total progress, the first failure
// ending the update, aborting, and the fine timer slack of a running update.

#include "firmwareversion.h"
#include "hexreader.h"
#include "instrument.h"
#include "testimage.h"
#include "testtiming.h"
#include "trvinterface.h"
#include "trvupdatesequence.h"
#include "waiting.h"

#include <QEventLoop>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using PartType = trvInterface::PartType;
using PartList = QList<trvInterface::PartType>;

class tst_trvUpdateSequence : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void stepsInRowOrder_data();
    void stepsInRowOrder();
    void wholeUpdate();
    void firstFailureEndsTheUpdate();
    void abortStopsSending_data();
    void abortStopsSending();
    void refusedStarts();
    void versionOrder_data();
    void versionOrder();

private:
    // Waits until the sequence has stopped running; released engines are gone then.
    bool waitForEnd(int timeout);

    QTemporaryDir dir;
    trvTiming waits;
    HexReader mainboard;
    HexReader terminal;
    HexReader sensors;
    std::unique_ptr<trvInterface> device;
    std::unique_ptr<trvUpdateSequence> sequence;
};

void tst_trvUpdateSequence::initTestCase()
{
    // Newer than the boards' firmware; enough lines to abort a transfer half way.
    TestImage terminalImage("KTERM", "v2.3");
    terminalImage.codeLines = 8;
    QVERIFY(TestImage("KZENT", "v2.3").load(mainboard, dir.filePath("kzent.hex")));
    QVERIFY(terminalImage.load(terminal, dir.filePath("kterm.hex")));
    QVERIFY(TestImage("KSENS", "v2.3").load(sensors, dir.filePath("ksens.hex")));
}

void tst_trvUpdateSequence::init()
{
    sim::instrument().reset();
    waits = TestTiming::quick();
    TestTiming::pace(sim::instrument(), waits);
    device = std::make_unique<trvInterface>();
    trvUpdateSequence::Images images;
    images.mainboard = &mainboard;
    images.terminal = &terminal;
    images.sensors = &sensors;
    sequence = std::make_unique<trvUpdateSequence>(device.get(), images);
    sequence->setTiming(waits);
    QSignalSpy connected(device.get(), SIGNAL(connected()));
    device->setAutoconnect(true);
    QVERIFY(connected.wait(1000));
}

void tst_trvUpdateSequence::cleanup()
{
    sequence.reset();
    device.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool tst_trvUpdateSequence::waitForEnd(int timeout)
{
    const bool ended = waitUntil([&] { return !sequence->isRunning(); }, timeout);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return ended;
}

// Which boards each step holds, and which board stands for it, for a choice
// of boards given in any order.
void tst_trvUpdateSequence::stepsInRowOrder_data()
{
    QTest::addColumn<PartList>("chosen");
    QTest::addColumn<QList<PartList>>("steps");
    QTest::addColumn<PartList>("currentParts");
    QTest::addColumn<int>("stepCount");

    QTest::newRow("sensors given backwards")
        << PartList{trvInterface::Sensor4, trvInterface::Sensor2}
        << QList<PartList>{{trvInterface::Sensor2, trvInterface::Sensor4}}
        << PartList{trvInterface::Sensor4} << 1;
    QTest::newRow("Sensor5 is the first row")
        << PartList{trvInterface::Sensor1, trvInterface::Sensor5}
        << QList<PartList>{{trvInterface::Sensor5, trvInterface::Sensor1}}
        << PartList{trvInterface::Sensor5} << 1;
    QTest::newRow("main board, control panel, a sensor board")
        << PartList{trvInterface::Mainboard, trvInterface::Terminal, trvInterface::Sensor3}
        << QList<PartList>{{trvInterface::Sensor3}, {trvInterface::Terminal}}
        << PartList{trvInterface::Sensor3, trvInterface::Terminal} << 3;
}

// The steps in order up to the main board, whose step is not waited for here.
void tst_trvUpdateSequence::stepsInRowOrder()
{
    QFETCH(PartList, chosen);
    QFETCH(QList<PartList>, steps);
    QFETCH(PartList, currentParts);
    QFETCH(int, stepCount);

    QList<PartList> seenSteps;
    PartList seenCurrent;
    connect(sequence.get(), &trvUpdateSequence::stepStarted, this, [&] {
        seenSteps << sequence->stepBoards();
        seenCurrent << sequence->currentPart();
    });
    QVERIFY(sequence->start(chosen));
    QCOMPARE(sequence->stepCount(), stepCount);
    QCOMPARE(sequence->totalMaximum(), sequence->stepCount() * trvUpdateSequence::unitsPerStep);
    QVERIFY(waitUntil([&] { return seenSteps.size() > steps.size() || !sequence->isRunning(); },
                      30000));
    sequence->abort();
    QCOMPARE(seenSteps.mid(0, steps.size()), steps);
    QCOMPARE(seenCurrent.mid(0, currentParts.size()), currentParts);
}

// Every board, at the waits the program uses and with a main board as slow to
// return as the instrument's.
void tst_trvUpdateSequence::wholeUpdate()
{
    const trvTiming programWaits;
    sequence->setTiming(programWaits);
    TestTiming::pace(sim::instrument(), programWaits);

    QSignalSpy done(sequence.get(), SIGNAL(done()));
    QSignalSpy stepDone(sequence.get(), SIGNAL(stepDone()));
    QSignalSpy canceled(sequence.get(), SIGNAL(canceled(trvUpdater::Err)));
    QList<int> totals;
    connect(sequence.get(), &trvUpdateSequence::totalProgress, this,
            [&](int value) { totals << value; });

    QVERIFY(sequence->start({trvInterface::Mainboard, trvInterface::Terminal, trvInterface::Sensor1,
                             trvInterface::Sensor2, trvInterface::Sensor3, trvInterface::Sensor4,
                             trvInterface::Sensor5}));
    QVERIFY(sequence->isRunning());
    QCOMPARE(sequence->stepCount(), 3);
    QVERIFY(waitForEnd(120000));

    QCOMPARE(done.count(), 1);
    QCOMPARE(stepDone.count(), 3);
    QCOMPARE(canceled.count(), 0);
    QCOMPARE(sequence->stepsDone(), 3);
    QCOMPARE(sequence->totalValue(), 3 * trvUpdateSequence::unitsPerStep);
    QVERIFY(std::is_sorted(totals.cbegin(), totals.cend()));
    QVERIFY(totals.contains(trvUpdateSequence::unitsPerStep) &&
            totals.contains(2 * trvUpdateSequence::unitsPerStep));
    QCOMPARE(sequence->findChildren<trvUpdater*>().size(), 0);
    const QList<QPair<sim::Board, const HexReader*>> installed{
        {sim::Mainboard, &mainboard}, {sim::Terminal, &terminal}, {sim::Sensor1, &sensors},
        {sim::Sensor2, &sensors},     {sim::Sensor3, &sensors},   {sim::Sensor4, &sensors},
        {sim::Sensor5, &sensors}};
    for (const auto& board : installed) {
        const int tenths = sim::instrument().version(board.first);
        QCOMPARE(QString("v%1.%2").arg(tenths / 10).arg(tenths % 10), board.second->version);
        QCOMPARE(sim::instrument().storedText(board.first), board.second->data);
    }
}

// The control panel refuses its update mode: the main board's step never
// begins, and the failure names the control panel.
void tst_trvUpdateSequence::firstFailureEndsTheUpdate()
{
    sim::BoardFaults notReady;
    notReady.notReady = true;
    sim::instrument().setFaults(sim::Terminal, notReady);
    QSignalSpy done(sequence.get(), SIGNAL(done()));
    QSignalSpy canceled(sequence.get(), SIGNAL(canceled(trvUpdater::Err)));
    PartList failedOn;
    connect(sequence.get(), &trvUpdateSequence::canceled, this,
            [&] { failedOn = sequence->stepBoards(); });

    QVERIFY(sequence->start({trvInterface::Terminal, trvInterface::Mainboard}));
    QVERIFY(waitForEnd(10000));

    QCOMPARE(done.count(), 0);
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(canceled.first().first().value<trvUpdater::Err>(), trvUpdater::StartFailed);
    QCOMPARE(failedOn, PartList{trvInterface::Terminal});
    QCOMPARE(sequence->currentPart(), trvInterface::Terminal);
    QVERIFY(sequence->pendingBoards().isEmpty());
    QCOMPARE(sequence->findChildren<trvUpdater*>().size(), 0);
    QCOMPARE(sim::instrument().updateMessagesReceived(sim::Mainboard), 0);
}

// Aborted right as the engine reports the third line (before that line is queued), or
// from a later event (after it is queued): the engine is stopped, and nothing leaves after
// the lines already queued, also once their acknowledgements are back.
void tst_trvUpdateSequence::abortStopsSending_data()
{
    QTest::addColumn<bool>("inReport");
    QTest::addColumn<int>("linesSent");

    QTest::newRow("in the engine's report") << true << 2;
    QTest::newRow("from a later event") << false << 3;
}

void tst_trvUpdateSequence::abortStopsSending()
{
    QFETCH(bool, inReport);
    QFETCH(int, linesSent);

    QSignalSpy done(sequence.get(), SIGNAL(done()));
    QSignalSpy canceled(sequence.get(), SIGNAL(canceled(trvUpdater::Err)));
    QSignalSpy acks(device.get(), &trvInterface::firmwareUpdateDataAck);
    QPointer<trvUpdater> engine;
    bool engineStopped = false;
    auto abort = [&] {
        engine = sequence->engine();
        sequence->abort();
        engineStopped = engine && engine->isStopped();
    };
    int reports = 0;
    connect(sequence.get(), &trvUpdateSequence::process, this, [&] {
        if (++reports == 3) {
            if (inReport) {
                abort();
            } else {
                QTimer::singleShot(0, this, abort);
            }
        }
    });

    QVERIFY(sequence->start({trvInterface::Terminal, trvInterface::Mainboard}));
    QVERIFY(waitUntil([&] { return !sequence->isRunning(); }, 10000));
    QVERIFY(engineStopped);
    QVERIFY(waitUntil([&] { return acks.count() == linesSent; }, 10000));
    device->polling();

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!engine);
    QCOMPARE(sequence->findChildren<trvUpdater*>().size(), 0);
    // The version request, the start, and the lines.
    QCOMPARE(sim::instrument().messages().size(), 2 + linesSent);
    QCOMPARE(sim::instrument().updateMessagesReceived(sim::Mainboard), 0);
    QCOMPARE(done.count() + canceled.count(), 0);
}

void tst_trvUpdateSequence::refusedStarts()
{
    QVERIFY(!sequence->start({}));
    QVERIFY(!sequence->start({trvInterface::NoPart}));
    QVERIFY(!sequence->isRunning());

    QVERIFY(sequence->start({trvInterface::Terminal}));
    QVERIFY(!sequence->start({trvInterface::Mainboard}));
    QCOMPARE(sequence->stepBoards(), PartList{trvInterface::Terminal});
    sequence->abort();
}

void tst_trvUpdateSequence::versionOrder_data()
{
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("image");
    QTest::addColumn<int>("order");

    QTest::newRow("older minor") << "v1.9"
                                 << "v1.10" << int(FirmwareVersion::Older);
    QTest::newRow("newer major") << "v3.0"
                                 << "v2.9" << int(FirmwareVersion::Newer);
    QTest::newRow("equal") << "v2.1"
                           << "v2.1" << int(FirmwareVersion::Equal);
    QTest::newRow("leading zero equal") << "v2.01"
                                        << "v2.1" << int(FirmwareVersion::Equal);
    QTest::newRow("no v") << "2.1"
                          << "v2.1" << int(FirmwareVersion::Unknown);
    QTest::newRow("text") << "v2.1"
                          << "beta" << int(FirmwareVersion::Unknown);
    QTest::newRow("empty") << ""
                           << "v2.1" << int(FirmwareVersion::Unknown);
    QTest::newRow("trailing text") << "v2.1b"
                                   << "v2.1" << int(FirmwareVersion::Unknown);
}

void tst_trvUpdateSequence::versionOrder()
{
    QFETCH(QString, installed);
    QFETCH(QString, image);
    QFETCH(int, order);
    QCOMPARE(int(FirmwareVersion::compare(installed, image)), order);
}

QTEST_MAIN(tst_trvUpdateSequence)
#include "tst_trvupdatesequence.moc"
