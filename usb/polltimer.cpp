#include "polltimer.h"

#include <QTimer>

PollTimer::PollTimer(QObject* parent) : QObject(parent), qtTimer(new QTimer(this))
{
    qtTimer->setTimerType(Qt::PreciseTimer);
    connect(qtTimer, &QTimer::timeout, this, &PollTimer::timeout);
    openKernelTimer();
}

PollTimer::~PollTimer()
{
    closeKernelTimer();
}

void PollTimer::setInterval(int newMilliseconds)
{
    if (newMilliseconds <= 0) {
        return;
    }
    milliseconds = newMilliseconds;
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

void PollTimer::setOnTime(bool newOnTime)
{
    if (newOnTime == onTime) {
        return;
    }
    onTime = newOnTime;
    if (onTime) {
        slack = std::make_unique<FineTimerSlack>();
    } else {
        slack.reset();
    }
    if (active) {
        start();
    }
}

bool PollTimer::isOnTime() const
{
    return onTime;
}

bool PollTimer::isKernelTimed() const
{
    return onTime && kernelTimer >= 0;
}

void PollTimer::start()
{
    active = true;
    const bool kernelTimed = isKernelTimed();
    armKernelTimer(kernelTimed);
    if (kernelTimed) {
        qtTimer->stop();
    } else {
        qtTimer->start(milliseconds);
    }
}

void PollTimer::stop()
{
    active = false;
    armKernelTimer(false);
    qtTimer->stop();
}
