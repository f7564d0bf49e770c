// CPU used by the program while it waits for the instrument, while connected
// and idle, and while transferring: the real window with the system's hidapi
// (hidraw backend) and libudev on the emulated instrument that umockdev
// presents as a hidraw device. Run under umockdev-wrapper:
//
//   umockdev-wrapper bench_cpu [--seconds 3] [--other-devices N]
//
// The figure is the CPU time (user + system) of the program's one thread, the
// event loop, per second of wall time, in per cent of one core. The
// emulation's own threads (umockdev's worker, the instrument's pump) run in the
// same process and are shown apart, as is what umockdev's preload adds to
// each device call of the program's thread (a real device has no such cost).
// --other-devices adds that many other HID devices (keyboards and mice, each
// a HID device with its hidraw node), which every look for the instrument
// enumerates. Beside them, a bare 1 ms PollTimer (the link's) with an empty
// slot is measured in the same run, as the floor of a 1 ms poll, and a bare
// 1 ms QTimer for comparison.

#include "hidrawinstrument.h"
#include "ownuserfolders.h"
#include "polltimer.h"
#include "trvinterface.h"
#include "trvloader.h"
#include "trvupdater.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include <sys/resource.h>

namespace {

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool waitFor(const std::function<bool()>& condition, int timeout)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition() || clock.elapsed() >= timeout) {
            loop.quit();
        }
    });
    check.start(5);
    loop.exec();
    return condition();
}

struct Figure
{
    double thread = 0;  // per cent of one core, the event-loop thread
    double process = 0; // the whole process, emulation included
    int ticks = 0;      // poll ticks seen
    double seconds = 0;
};

// Runs the event loop for the given time and measures; ticks counts the
// source's signal (timeouts).
template <typename Source, typename Signal> Figure measure(int ms, Source* ticking, Signal signal)
{
    int ticks = 0;
    const auto counting = QObject::connect(ticking, signal, [&ticks] { ++ticks; });
    const double thread0 = cpuSeconds(RUSAGE_THREAD);
    const double process0 = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    Figure figure;
    figure.seconds = double(clock.nsecsElapsed()) / 1e9;
    figure.thread = 100 * (cpuSeconds(RUSAGE_THREAD) - thread0) / figure.seconds;
    figure.process = 100 * (cpuSeconds(RUSAGE_SELF) - process0) / figure.seconds;
    figure.ticks = ticks;
    QObject::disconnect(counting);
    return figure;
}

void print(const char* phase, const Figure& figure, const char* target)
{
    std::printf("  %-34s %6.2f %% of a core (thread)  %6.2f %% (process with emulation)  "
                "%5.0f ticks/s  %s\n",
                phase, figure.thread, figure.process, figure.ticks / figure.seconds, target);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    OwnUserFolders folders;
    QApplication application(argc, argv);
    if (!folders.isValid()) {
        std::fprintf(stderr, "no temporary folder for the window's own folders\n");
        return 1;
    }
    int seconds = 3;
    int otherDevices = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--other-devices") == 0) {
            otherDevices = std::max(0, std::atoi(argv[++i]));
        }
    }

    sim::HidrawInstrument front;
    QString error;
    if (!front.start(&error)) {
        std::fprintf(stderr, "%s\n(run it as: umockdev-wrapper %s)\n", qPrintable(error), argv[0]);
        return 1;
    }
    front.withInstrument([](sim::Instrument& instrument) {
        instrument.reset();
        instrument.setReplyLatency(1, 2);
        instrument.setBoardRestartTime(0);
        for (sim::Board board : {sim::Sensor1, sim::Sensor2, sim::Sensor3, sim::Sensor4,
                                 sim::Sensor5, sim::Terminal, sim::Mainboard}) {
            instrument.setVersion(board, 10);
        }
        instrument.unplug();
    });
    waitFor([&front] { return front.deviceNode().isEmpty(); }, 2000);
    if (!front.addOtherDevices(otherDevices, &error)) {
        std::fprintf(stderr, "cannot add the other HID devices: %s\n", qPrintable(error));
        return 1;
    }

    std::printf("CPU of the program, %d s per phase, through the system's hidapi on the "
                "emulated hidraw device, %d other HID devices\n",
                seconds, otherDevices);
    QTimer bareTimer;
    bareTimer.setInterval(1);
    QObject::connect(&bareTimer, &QTimer::timeout, [] {});
    bareTimer.start();
    waitFor([] { return false; }, 300);
    const Figure bareQt = measure(seconds * 1000, &bareTimer, &QTimer::timeout);
    bareTimer.stop();
    print("bare 1 ms QTimer, empty slot", bareQt, "(for comparison)");
    // The link ticks on a PollTimer: a bare one is the floor of its 1 ms poll.
    PollTimer bareTimerOfTheLink;
    bareTimerOfTheLink.setInterval(1);
    QObject::connect(&bareTimerOfTheLink, &PollTimer::timeout, [] {});
    bareTimerOfTheLink.start();
    waitFor([] { return false; }, 300);
    const Figure bare = measure(seconds * 1000, &bareTimerOfTheLink, &PollTimer::timeout);
    bareTimerOfTheLink.stop();
    print("bare 1 ms PollTimer, empty slot", bare, "(the floor)");

    auto window = std::make_unique<trvLoader>();
    window->show();
    auto* device = window->findChild<trvInterface*>();
    PollTimer* pollTimer = device ? device->findChild<PollTimer*>() : nullptr;
    if (!pollTimer) {
        std::fprintf(stderr, "the window has no link\n");
        return 1;
    }
    bool connected = false;
    QObject::connect(device, &trvInterface::connected, [&connected] { connected = true; });
    QObject::connect(device, &trvInterface::disconnected, [&connected] { connected = false; });

    waitFor([] { return false; }, 500);
    const Figure waiting = measure(seconds * 1000, pollTimer, &PollTimer::timeout);
    char ratio[96];
    std::snprintf(ratio, sizeof ratio,
                  "(%.1f times the bare poll timer, %.1f the bare QTimer; target at most 2)",
                  bare.thread > 0 ? waiting.thread / bare.thread : 0.0,
                  bareQt.thread > 0 ? waiting.thread / bareQt.thread : 0.0);
    print("waiting for the instrument", waiting, ratio);

    front.withInstrument([](sim::Instrument& instrument) { instrument.plug(); });
    if (!waitFor([&connected] { return connected; }, 5000)) {
        std::fprintf(stderr, "the window did not find the emulated instrument\n");
        return 1;
    }
    waitFor([] { return false; }, 1000); // versions, watchdog
    const Figure idle = measure(seconds * 1000, pollTimer, &PollTimer::timeout);
    print("connected and idle", idle, "(target < 3 %)");

    auto* start = window->findChild<QPushButton*>("startUpdate");
    if (!start || !start->isEnabled()) {
        std::fprintf(stderr, "the start button is not there or not enabled\n");
        return 1;
    }
    start->click();
    if (!waitFor([&window] { return window->findChild<trvUpdater*>() != nullptr; }, 3000)) {
        std::fprintf(stderr, "no update started\n");
        return 1;
    }
    waitFor([] { return false; }, 300); // past the version check and the start
    const Figure transferring = measure(seconds * 1000, pollTimer, &PollTimer::timeout);
    print("transferring (sensor boards)", transferring, "(target < 15 %)");

    std::printf("repeat with: umockdev-wrapper %s --seconds %d --other-devices %d\n", argv[0],
                seconds, otherDevices);
    window.reset();
    return 0;
}
