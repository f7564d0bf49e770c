// Run by tst_realhidapi, also as another user: a link through the system's
// hidapi that looks for the instrument by itself, polling every millisecond,
// and prints what it sees, one line each, with the time in milliseconds of
// the monotonic clock (std::chrono::steady_clock, the emulated instrument's):
//   <time> watching <1|0>     at start: whether hidraw devices can be watched here
//   <time> connected
//   <time> disconnected
//   <time> refused <errno>    openRefusal() changed (0: the refusal is over)
// Ends when its standard input closes, or after the seconds given as its
// argument (default 60).

#include "hotplugwatch.h"
#include "usbhid.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <cstdio>

#include <unistd.h>

namespace {
void say(const char* what, int value = -1)
{
    using namespace std::chrono;
    const long long time =
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    if (value < 0) {
        std::printf("%lld %s\n", time, what);
    } else {
        std::printf("%lld %s %d\n", time, what, value);
    }
    std::fflush(stdout);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 60;
    say("watching", HotplugWatch().isWatching() ? 1 : 0);

    UsbHid link(0x04D8, 0xF93C);
    QObject::connect(&link, &UsbHid::connected, [] { say("connected"); });
    QObject::connect(&link, &UsbHid::disconnected, [] { say("disconnected"); });
    QObject::connect(&link, &UsbHid::openRefusalChanged,
                     [](int errorNumber) { say("refused", errorNumber); });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&application] {
        char ignored[64];
        if (::read(STDIN_FILENO, ignored, sizeof ignored) <= 0) {
            application.quit();
        }
    });
    QTimer::singleShot(seconds * 1000, &application, &QCoreApplication::quit);

    link.setTimebase(1);
    link.setAutoconnect(true);
    return application.exec();
}
