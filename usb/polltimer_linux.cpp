// The kernel timer of Linux: a timerfd on the monotonic clock, whose
// descriptor the event loop watches. It becomes readable at the expiry
// itself, without the whole-millisecond rounding of Qt's timer waits.

#include "polltimer.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/timerfd.h>
#include <unistd.h>

void PollTimer::openKernelTimer()
{
    kernelTimer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (kernelTimer < 0) {
        // Out of descriptors, most likely: late ticks are better than none.
        qWarning("PollTimer: no kernel timer (%s); ticks may come up to a millisecond late",
                 std::strerror(errno));
        return;
    }
    expiry = new QSocketNotifier(kernelTimer, QSocketNotifier::Read, this);
    connect(expiry, &QSocketNotifier::activated, this, &PollTimer::kernelTimerExpired);
}

void PollTimer::closeKernelTimer()
{
    if (kernelTimer < 0) {
        return;
    }
    delete expiry; // before its descriptor goes
    expiry = nullptr;
    ::close(kernelTimer);
    kernelTimer = -1;
}

void PollTimer::armKernelTimer(bool running)
{
    if (kernelTimer < 0) {
        return;
    }
    itimerspec period = {};
    if (running) {
        period.it_interval.tv_sec = milliseconds / 1000;
        period.it_interval.tv_nsec = long(milliseconds % 1000) * 1000000L;
        period.it_value = period.it_interval;
    }
    // Relative to now; a zero value disarms it. With a valid descriptor and
    // period it cannot fail.
    timerfd_settime(kernelTimer, 0, &period, nullptr);
}

void PollTimer::kernelTimerExpired()
{
    // How many expiries have passed since the last read: one tick for all.
    std::uint64_t expiries = 0;
    if (::read(kernelTimer, &expiries, sizeof expiries) != sizeof expiries || !active ||
        !isKernelTimed()) {
        return; // none after all: stopped, or started over, in between
    }
    emit timeout();
}
