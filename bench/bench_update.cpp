// Update speed on the emulated instrument (in-process, no USB): HEX lines per
// poll tick and per millisecond during the transfer, for each built-in image
// and for the whole seven-board update, against the floor of one line per
// 1 ms tick.
//
//   bench_update [--latency MS] [--repeat N]
//
// With a latency of up to 1 ms a line leaves in one tick, and the next tick
// reads its acknowledgement and sends the next line. The whole update's floor is every line at one
// per millisecond plus the waits the protocol prescribes: the second the engine waits after the
// main board's restart message before it looks for the board again, and the few milliseconds after
// that second in which the emulated main board comes back.

#include "eventwait.h"
#include "hexreader.h"
#include "instrument.h"
#include "trvinterface.h"
#include "trvupdatesequence.h"
#include "updatelog.h"

#include <QCoreApplication>
#include <QMetaEnum>

#include <cstdio>
#include <cstring>

namespace {

constexpr int prescribedRestartWait = 1000; // Restarting: the engine waits this long
// The emulated main board is back this long after that second. A board back
// while the engine still waits is not seen, and the engine's timer and the
// link's tick may each come up to a millisecond late: at 1 ms the two raced.
constexpr int restartMargin = 5;

const QList<trvInterface::PartType> allBoards = {
    trvInterface::Sensor1, trvInterface::Sensor2,  trvInterface::Sensor3,  trvInterface::Sensor4,
    trvInterface::Sensor5, trvInterface::Terminal, trvInterface::Mainboard};
const QList<trvInterface::PartType> sensorBoards = {trvInterface::Sensor1, trvInterface::Sensor2,
                                                    trvInterface::Sensor3, trvInterface::Sensor4,
                                                    trvInterface::Sensor5};

const char* stepName(trvInterface::PartType part)
{
    switch (part) {
    case trvInterface::Mainboard:
        return "main board (kzent)";
    case trvInterface::Terminal:
        return "control panel (kterm)";
    default:
        return "5 sensor boards (ksens)";
    }
}

struct Totals
{
    int lines = 0;
    qint64 transferMs = 0;
    qint64 ticks = 0;
};

void printStep(const UpdateLog::Step& step, Totals* totals)
{
    const qint64 ms = step.transferEnded - step.transferStarted;
    const qint64 ticks = step.ticksAtTransferEnd - step.ticksAtTransferStart;
    std::printf("  %-24s %5d lines  %6lld ms  %6lld ticks  %.3f lines/tick  %.3f lines/ms  "
                "%.2f ticks/line\n",
                stepName(step.part), step.lines, ms, ticks, double(step.lines) / double(ticks),
                double(step.lines) / double(ms), double(ticks) / double(step.lines));
    totals->lines += step.lines;
    totals->transferMs += ms;
    totals->ticks += ticks;
}

void printFailure(const UpdateLog& run)
{
    const UpdateLog::Step& step = run.steps().last();
    std::printf("  FAILED: %s: %s in %s after %lld ms\n", stepName(step.part),
                qPrintable(trvUpdater::errorDescription(run.error())),
                QMetaEnum::fromType<trvUpdater::State>().valueToKey(step.lastState),
                step.ended - step.started);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    int latency = 0;
    int repeat = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--latency") == 0) {
            latency = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--repeat") == 0) {
            repeat = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    HexReader mainboard, terminal, sensors;
    if (mainboard.read(":/firmware/kzent", false) != HexReader::FileOk ||
        terminal.read(":/firmware/kterm", false) != HexReader::FileOk ||
        sensors.read(":/firmware/ksens", false) != HexReader::FileOk) {
        std::fprintf(stderr, "the built-in images do not read\n");
        return 1;
    }

    sim::Instrument& instrument = sim::instrument();
    instrument.reset();
    instrument.setReplyLatency(latency, latency);
    instrument.setBoardRestartTime(0);
    instrument.setMainboardRestartTime(prescribedRestartWait + restartMargin);

    trvInterface interface;
    trvUpdateSequence::Images images;
    images.mainboard = &mainboard;
    images.terminal = &terminal;
    images.sensors = &sensors;
    trvUpdateSequence sequence(&interface, images);
    UpdateLog run(&sequence, &interface, images);
    // Like the window, ask every board for its version at each connect.
    QObject::connect(&interface, &trvInterface::connected, &interface,
                     qOverload<>(&trvInterface::requestFirmwareVersion));
    interface.setAutoconnect(true);
    if (!waitForSignal(&interface, SIGNAL(connected()), 1000)) {
        std::fprintf(stderr, "the emulated instrument is not found\n");
        return 1;
    }
    settle(50);

    std::printf("Update speed on the emulated instrument, reply latency %d ms, poll period 1 ms\n",
                latency);
    bool allOk = true;
    for (int round = 0; round < repeat; ++round) {
        std::printf("round %d: each built-in image on its own\n", round + 1);
        for (const auto& boards :
             {sensorBoards, QList<trvInterface::PartType>{trvInterface::Terminal},
              QList<trvInterface::PartType>{trvInterface::Mainboard}}) {
            run.start(boards);
            waitForSignal(&run, SIGNAL(finished(bool)), 60000);
            allOk = allOk && run.succeeded();
            Totals ignored;
            if (!run.succeeded()) {
                printFailure(run);
            } else {
                printStep(run.steps().first(), &ignored);
            }
            settle(20);
        }

        std::printf("round %d: the whole update of all seven boards\n", round + 1);
        run.start(allBoards);
        waitForSignal(&run, SIGNAL(finished(bool)), 120000);
        const qint64 total = run.elapsed();
        allOk = allOk && run.succeeded();
        if (!run.succeeded()) {
            printFailure(run);
            continue;
        }
        Totals totals;
        for (const UpdateLog::Step& step : run.steps()) {
            printStep(step, &totals);
        }
        const qint64 floor = totals.lines + prescribedRestartWait + restartMargin;
        std::printf("  transfer: %d lines in %lld ms and %lld ticks: %.3f lines/tick, %.3f "
                    "lines/ms (targets >= 0.95 lines/tick, >= 0.9 lines/ms; with 1 ms latency "
                    "<= 2.05 ticks/line: %.2f)\n",
                    totals.lines, totals.transferMs, totals.ticks,
                    double(totals.lines) / double(totals.ticks),
                    double(totals.lines) / double(totals.transferMs),
                    double(totals.ticks) / double(totals.lines));
        std::printf("  whole update: %lld ms; floor %lld ms (%d lines at 1 ms + %d ms restart "
                    "wait + %d ms until the board is back): %.3f x the floor (target <= 1.05)\n",
                    total, floor, totals.lines, prescribedRestartWait, restartMargin,
                    double(total) / double(floor));
        settle(20);
    }
    std::printf("repeat with: %s --latency %d --repeat %d\n", argv[0], latency, repeat);
    return allOk ? 0 : 1;
}
