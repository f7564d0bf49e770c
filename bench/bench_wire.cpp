// Update speed through the system's hidapi on the emulated hidraw device: how
// close the update comes to the wire's limit when the boards answer after a
// given delay. A full-speed HID device moves one report each way per 1 ms
// frame, so with the link polling every millisecond the request/acknowledge
// protocol can move one line per tick when a board answers within a
// millisecond, and one line every two ticks when it answers within two.
//
//   umockdev-wrapper bench_wire [--latency MS] [--repeat N]
//
// MS may be a fraction (0.3) or a range (1-2, the emulated instrument's
// default). Prints the control panel's transfer (lines per ms, ticks per line)
// and a whole update of all seven boards, with the emulated instrument's
// default restart times.

#include "hexreader.h"
#include "hidrawinstrument.h"
#include "launchoptions.h"
#include "trvinterface.h"
#include "trvupdatesequence.h"
#include "eventwait.h"
#include "updatelog.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

const QList<trvInterface::PartType> allBoards = {
    trvInterface::Sensor1, trvInterface::Sensor2,  trvInterface::Sensor3,  trvInterface::Sensor4,
    trvInterface::Sensor5, trvInterface::Terminal, trvInterface::Mainboard};

// Puts every board back on its old firmware, so that each run updates it again.
void rewind(sim::HidrawInstrument& front, const LaunchOptions& options)
{
    front.withInstrument([&options](sim::Instrument& instrument) {
        for (sim::Board board : {sim::Sensor1, sim::Sensor2, sim::Sensor3, sim::Sensor4,
                                 sim::Sensor5, sim::Terminal, sim::Mainboard}) {
            instrument.setVersion(board, 10);
        }
        options.applyTo(instrument);
        return 0;
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QString latency = QStringLiteral("1-2");
    int repeat = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--latency") == 0) {
            latency = QString::fromLocal8Bit(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--repeat") == 0) {
            repeat = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    LaunchOptions options;
    QString error;
    if (!options.parse({QStringLiteral("--latency"), latency}, &error)) {
        std::fprintf(stderr, "bench_wire: %s\n", qPrintable(error));
        return 2;
    }
    HexReader mainboard, terminal, sensors;
    if (mainboard.read(":/firmware/kzent", false) != HexReader::FileOk ||
        terminal.read(":/firmware/kterm", false) != HexReader::FileOk ||
        sensors.read(":/firmware/ksens", false) != HexReader::FileOk) {
        std::fprintf(stderr, "bench_wire: the built-in images do not read\n");
        return 1;
    }

    sim::HidrawInstrument front;
    front.setReplyDelay(options.minReplyDelay, options.maxReplyDelay);
    rewind(front, options);
    if (!front.start(&error)) {
        std::fprintf(stderr, "bench_wire: %s (run it under umockdev-wrapper)\n", qPrintable(error));
        return 1;
    }

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
    if (!waitForSignal(&interface, SIGNAL(connected()), 5000)) {
        std::fprintf(stderr, "bench_wire: the emulated instrument is not found\n");
        return 1;
    }
    settle(100);

    std::printf("Update speed through the system's hidapi, replies after %s ms, poll period "
                "1 ms\n",
                qPrintable(latency));
    bool allOk = true;
    for (int round = 0; round < repeat; ++round) {
        rewind(front, options);
        run.start({trvInterface::Terminal});
        waitForSignal(&run, SIGNAL(finished(bool)), 120000);
        allOk = allOk && run.succeeded();
        if (run.succeeded()) {
            const UpdateLog::Step& step = run.steps().first();
            const qint64 ms = step.transferEnded - step.transferStarted;
            const qint64 ticks = step.ticksAtTransferEnd - step.ticksAtTransferStart;
            std::printf("  control panel: %d lines in %lld ms and %lld ticks: %.3f lines/ms, "
                        "%.2f ticks/line\n",
                        step.lines, ms, ticks, double(step.lines) / double(ms),
                        double(ticks) / double(step.lines));
        } else {
            std::printf("  control panel: FAILED\n");
        }
        settle(100);

        rewind(front, options);
        run.start(allBoards);
        waitForSignal(&run, SIGNAL(finished(bool)), 180000);
        allOk = allOk && run.succeeded();
        if (run.succeeded()) {
            int lines = 0;
            qint64 transferMs = 0;
            for (const UpdateLog::Step& step : run.steps()) {
                lines += step.lines;
                transferMs += step.transferEnded - step.transferStarted;
            }
            std::printf("  all seven boards: %.1f s in all, %d lines in %lld ms of transfer "
                        "(%.3f lines/ms)\n",
                        run.elapsed() / 1000.0, lines, transferMs,
                        double(lines) / double(transferMs));
        } else {
            std::printf("  all seven boards: FAILED\n");
        }
        settle(100);
    }
    std::printf("repeat with: umockdev-wrapper %s --latency %s --repeat %d\n", argv[0],
                qPrintable(latency), repeat);
    return allOk ? 0 : 1;
}
