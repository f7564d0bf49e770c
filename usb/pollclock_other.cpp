// Systems without a kernel timer the event loop can watch: a precise QTimer.

#include "pollclock.h"

#include <QTimer>

PollClock::PollClock(QObject* parent) : QObject(parent), fallback(new QTimer(this))
{
    fallback->setTimerType(Qt::PreciseTimer);
    connect(fallback, &QTimer::timeout, this, &PollClock::tick);
}

PollClock::~PollClock() = default;

bool PollClock::armKernelTimer(bool)
{
    return false;
}

void PollClock::kernelTimerExpired() {}
