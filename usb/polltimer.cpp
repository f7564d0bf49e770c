#include "polltimer.h"

#include <QTimer>

void PollTimer::setInterval(int newMilliseconds)
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

int PollTimer::interval() const
{
    return milliseconds;
}

bool PollTimer::isActive() const
{
    return active;
}

bool PollTimer::isKernelTimed() const
{
    return kernelTimer >= 0;
}

void PollTimer::start()
{
    active = true;
    if (!armKernelTimer(true)) {
        fallback->start(milliseconds);
    }
}

void PollTimer::stop()
{
    active = false;
    if (!armKernelTimer(false)) {
        fallback->stop();
    }
}
