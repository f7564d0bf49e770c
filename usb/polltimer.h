#pragma once

#include "finetimerslack.h"

#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;

// The link's poll timer: timeout() every interval. On time, tick k is due k
// intervals after start(), whenever the ones before it were handled, and a
// tick that comes while the event loop is busy is handled once: ticks missed
// meanwhile are dropped, never made up in a burst.
//
// Qt's own timers wait in whole milliseconds, rounded up, so a 1 ms timer
// fires up to a millisecond late and then, catching up, early: during an
// update every late tick delays a line, and every early one finds its answer
// not yet there. On time, where the system has a kernel timer that wakes the
// event loop at the moment itself (Linux: timerfd), the timer uses it. It
// costs a little more per tick than Qt's timer, which ticks otherwise (and
// where there is no kernel timer).
class PollTimer : public QObject
{
    Q_OBJECT

public:
    explicit PollTimer(QObject* parent = nullptr);
    ~PollTimer() override;

    // In milliseconds; 0 or less is ignored. A running timer starts over.
    void setInterval(int milliseconds);
    int interval() const;
    bool isActive() const;
    // Off by default. A running timer starts over when it changes. While on
    // time the thread's timed waits also end as close to their deadline as
    // the kernel can make them (FineTimerSlack).
    void setOnTime(bool onTime);
    bool isOnTime() const;
    // Whether the ticks come from the system's kernel timer: on time, and
    // there is one.
    bool isKernelTimed() const;

public slots:
    // Starts, or starts over: the first tick is due one interval from now.
    void start();
    void stop();

signals:
    void timeout();

private:
    // What differs between systems, one file each.
    // Makes the kernel timer and its notifier, where the system has one.
    void openKernelTimer();
    void closeKernelTimer();
    // Sets the kernel timer going, or stops it; nothing where there is none.
    void armKernelTimer(bool running);
    // The kernel timer has expired, once or more: one tick.
    void kernelTimerExpired();

    int milliseconds = 1;
    bool active = false;
    bool onTime = false;
    int kernelTimer = -1;                  // the kernel timer's descriptor, or -1
    QSocketNotifier* expiry = nullptr;     // watches kernelTimer
    QTimer* qtTimer;                       // ticks when the kernel timer does not
    std::unique_ptr<FineTimerSlack> slack; // held while on time
};
