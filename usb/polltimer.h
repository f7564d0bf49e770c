#pragma once

#include <QObject>

class QSocketNotifier;
class QTimer;

// The link's poll timer: timeout() every interval, on time. Tick k is due k intervals
// after start(), whenever the ones before it were handled, and a tick that
// comes while the event loop is busy is handled once: ticks missed meanwhile
// are dropped, never made up in a burst.
//
// Qt's own timers wait in whole milliseconds, rounded up, so a 1 ms timer
// fires up to a millisecond late and then, catching up, early: every late
// tick delays an update's line, and every early one finds its answer not yet
// there. Where the system has a kernel timer that wakes the event loop at the
// moment itself (Linux: timerfd), the timer uses it; elsewhere, or when that
// timer cannot be had, a precise QTimer.
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
    // Whether ticks come from the system's kernel timer, not from a QTimer.
    bool isKernelTimed() const;

public slots:
    // Starts, or starts over: the first tick is due one interval from now.
    void start();
    void stop();

signals:
    void timeout();

private:
    // Sets the kernel timer going (or stops it, when false); false when
    // there is none.
    bool armKernelTimer(bool running);
    // The kernel timer has expired, once or more: one tick.
    void kernelTimerExpired();

    int milliseconds = 1;
    bool active = false;
    int kernelTimer = -1;              // the timer's descriptor, or -1
    QSocketNotifier* expiry = nullptr; // watches kernelTimer
    QTimer* fallback = nullptr;        // used when there is no kernel timer
};
