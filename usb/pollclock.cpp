#include "pollclock.h"

#include <QTimer>

void PollClock::setInterval(int newMilliseconds)
{
    if (newMilliseconds <= 0) {
        return;
    }
    milliseconds = newMilliseconds;
    if (fallback) {
        fallback->setInterval(milliseconds);
    }
    if (active) {
        start();
    }
}

int PollClock::interval() const
{
    return milliseconds;
}

bool PollClock::isActive() const
{
    return active;
}

bool PollClock::isKernelTimed() const
{
    return kernelTimer >= 0;
}

void PollClock::start()
{
    active = true;
    if (!armKernelTimer(true)) {
        fallback->start(milliseconds);
    }
}

void PollClock::stop()
{
    active = false;
    if (!armKernelTimer(false)) {
        fallback->stop();
    }
}
