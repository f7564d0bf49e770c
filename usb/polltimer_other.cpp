// Systems without a kernel timer the event loop can watch: a precise QTimer.

#include "polltimer.h"

#include <QTimer>

PollTimer::PollTimer(QObject* parent) : QObject(parent), fallback(new QTimer(this))
{
    fallback->setTimerType(Qt::PreciseTimer);
    connect(fallback, &QTimer::timeout, this, &PollTimer::timeout);
}

PollTimer::~PollTimer() = default;

bool PollTimer::armKernelTimer(bool)
{
    return false;
}

void PollTimer::kernelTimerExpired() {}
