// How far the host's estimate of the time left is from the real time left:
// whole updates of all seven boards with the built-in images, through the
// InstrumentHost that both front ends use, on the in-process emulated
// instrument with reply latency and restart times like the instrument's. When
// 25 %, 50 % and 75 % of the whole update's data lines have left, the host's
// secondsLeft() is noted; when the update has succeeded, the real time left
// from each of those moments is known, and the difference is printed.
//
//   bench_estimate [--latency MS] [--max-latency MS] [--board-restart MS]
//                  [--mainboard-restart MS] [--repeat N]

#include "boardtable.h"
#include "eventwait.h"
#include "instrument.h"
#include "instrumenthost.h"
#include "ownuserfolders.h"
#include "trvinstrument.h"
#include "trvupdatesequence.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Replies 1 to 3 ms after their request, and boards silent for 300 ms after
// an accepted end: what the instrument's boards are taken to need. The main
// board is off USB for 1500 ms after its restart message, as the instrument's.
struct Pace
{
    int latency = 1;
    int maxLatency = 3;
    int boardRestart = 300;
    int mainboardRestart = 1500;
};

constexpr int marks = 3; // 25 %, 50 %, 75 %

struct Round
{
    bool succeeded = false;
    qint64 total = 0;           // ms from the start to the success
    int estimate[marks] = {};   // secondsLeft() at each mark; -1: unknown
    qint64 reached[marks] = {}; // ms from the start to each mark
};

int imageLines(const HexReader& image)
{
    return image.data.count('\n') + (image.data.endsWith('\n') ? 0 : 1);
}

Round runOnce(InstrumentHost& host)
{
    Round round;
    trvInstrument* instrument = host.instrument();
    const UpdatePlan plan = instrument->plan(BoardTable::boards());
    int totalLines = 0;
    for (const QList<trvInterface::PartType>& step : plan.steps) {
        totalLines += imageLines(instrument->imageFor(step.first()));
    }
    QElapsedTimer clock;
    int linesSent = 0;
    int position = 0;
    int nextMark = 0;
    trvUpdateSequence* sequence = instrument->sequence();
    // Connected after the host's own: it has counted the line when this hears of it.
    const auto stepConnection =
        QObject::connect(sequence, &trvUpdateSequence::stepStarted, [&position] { position = 0; });
    const auto lineConnection =
        QObject::connect(sequence, &trvUpdateSequence::process, [&](int now) {
            if (now <= position) {
                return; // the end of the text, reported again
            }
            position = now;
            ++linesSent;
            while (nextMark < marks && 4 * linesSent >= (nextMark + 1) * totalLines) {
                round.estimate[nextMark] = host.secondsLeft();
                round.reached[nextMark] = clock.elapsed();
                ++nextMark;
            }
        });
    clock.start();
    if (instrument->start(plan)) {
        QEventLoop loop;
        QObject::connect(instrument, &trvInstrument::updateSucceeded, &loop, [&] {
            round.succeeded = true;
            loop.quit();
        });
        QObject::connect(instrument, &trvInstrument::updateFailed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    round.total = clock.elapsed();
    QObject::disconnect(stepConnection);
    QObject::disconnect(lineConnection);
    return round;
}

// Whether the instrument is open and all seven boards have answered, within 5 s.
bool allAnswered(InstrumentHost& host)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        const trvInstrument* instrument = host.instrument();
        bool all = instrument->isConnected();
        for (trvInterface::PartType board : BoardTable::boards()) {
            all = all && instrument->hasAnswered(board);
        }
        if (all) {
            return true;
        }
        settle(20);
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    Pace pace;
    int repeat = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--latency") == 0) {
            pace.latency = value;
            pace.maxLatency = std::max(pace.maxLatency, value);
        } else if (std::strcmp(argv[i], "--max-latency") == 0) {
            pace.maxLatency = value;
        } else if (std::strcmp(argv[i], "--board-restart") == 0) {
            pace.boardRestart = value;
        } else if (std::strcmp(argv[i], "--mainboard-restart") == 0) {
            pace.mainboardRestart = value;
        } else if (std::strcmp(argv[i], "--repeat") == 0) {
            repeat = std::max(1, value);
        }
    }
    pace.maxLatency = std::max(pace.latency, pace.maxLatency);

    OwnUserFolders folders;
    if (!folders.isValid()) {
        std::fprintf(stderr, "no folder for the update history\n");
        return 1;
    }
    sim::Instrument& emulated = sim::instrument();
    emulated.reset();
    emulated.setReplyLatency(pace.latency, pace.maxLatency);
    emulated.setBoardRestartTime(pace.boardRestart);
    emulated.setMainboardRestartTime(pace.mainboardRestart);

    InstrumentHost host(QStringLiteral("benchmark"));
    if (!host.readBuiltInImages()) {
        std::fprintf(stderr, "the built-in images do not read\n");
        return 1;
    }
    host.lookForInstrument();
    std::printf("The estimate of the time left against the real time left, whole updates of all "
                "seven boards\n(reply latency %d..%d ms, boards back %d ms after their end, the "
                "main board %d ms after its restart message)\n",
                pace.latency, pace.maxLatency, pace.boardRestart, pace.mainboardRestart);
    bool allOk = true;
    double errorSum[marks] = {};
    double worst[marks] = {};
    int measured = 0;
    for (int i = 0; i < repeat; ++i) {
        if (!allAnswered(host)) {
            std::fprintf(stderr, "the emulated instrument is not found\n");
            return 1;
        }
        const Round round = runOnce(host);
        if (!round.succeeded) {
            std::printf("round %d: FAILED after %lld ms\n", i + 1, round.total);
            allOk = false;
            continue;
        }
        std::printf("round %d: whole update %.1f s\n", i + 1, round.total / 1000.0);
        for (int mark = 0; mark < marks; ++mark) {
            const double real = (round.total - round.reached[mark]) / 1000.0;
            const int estimate = round.estimate[mark];
            if (estimate < 0) {
                std::printf("  at %d %% of the lines: no estimate yet; real %.1f s left\n",
                            (mark + 1) * 25, real);
                allOk = false;
                continue;
            }
            const double error = estimate - real;
            std::printf("  at %d %% of the lines (%.1f s in): estimate %d s, real %.1f s left: "
                        "%+.1f s (%+.0f %%)\n",
                        (mark + 1) * 25, round.reached[mark] / 1000.0, estimate, real, error,
                        100.0 * error / real);
            errorSum[mark] += std::fabs(error);
            worst[mark] = std::max(worst[mark], std::fabs(error));
        }
        ++measured;
        settle(50);
    }
    if (measured > 0) {
        std::printf("mean |error| over %d rounds:", measured);
        for (int mark = 0; mark < marks; ++mark) {
            std::printf("  %d %%: %.1f s (worst %.1f s)", (mark + 1) * 25,
                        errorSum[mark] / measured, worst[mark]);
        }
        std::printf("\n");
    }
    std::printf("repeat with: %s --latency %d --max-latency %d --board-restart %d "
                "--mainboard-restart %d --repeat %d\n",
                argv[0], pace.latency, pace.maxLatency, pace.boardRestart, pace.mainboardRestart,
                repeat);
    return allOk ? 0 : 1;
}
