// The link's poll timer, on time or not: it keeps coming, stops when
// stopped, switches while running, and a busy event loop gets one tick for
// all it missed, never a burst (each tick may write a report, and the wire
// takes one per tick). On Linux it is on time on the kernel's timer, and
// without one still ticks.

#include "polltimer.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

class tst_PollTimer : public QObject
{
    Q_OBJECT

private slots:
    void ticksUntilStopped_data();
    void ticksUntilStopped();
    void busyEventLoopGetsOneTick_data();
    void busyEventLoopGetsOneTick();
    void onTimeOnTheKernelTimer();
    void ticksWithoutAKernelTimer();
    void fineTimerSlackWhileOnTime();

private:
    void onTimeOrNot();
};

void tst_PollTimer::onTimeOrNot()
{
    QTest::addColumn<bool>("onTime");
    QTest::newRow("Qt's timer") << false;
    QTest::newRow("on time") << true;
}

void tst_PollTimer::ticksUntilStopped_data()
{
    onTimeOrNot();
}

void tst_PollTimer::ticksUntilStopped()
{
    QFETCH(bool, onTime);
    PollTimer timer;
    timer.setOnTime(onTime);
    timer.setInterval(1);
    QSignalSpy ticks(&timer, &PollTimer::timeout);
    QVERIFY(!timer.isActive());
    timer.start();
    QVERIFY(timer.isActive());
    QTRY_VERIFY(ticks.count() >= 3);

    timer.stop();
    QVERIFY(!timer.isActive());
    const int atStop = ticks.count();
    // A timer of the same kind, started now, has ticked a few times: the
    // stopped one would have too.
    PollTimer witness;
    witness.setOnTime(onTime);
    witness.setInterval(timer.interval());
    QSignalSpy witnessed(&witness, &PollTimer::timeout);
    witness.start();
    QTRY_VERIFY(witnessed.count() >= 5);
    QCOMPARE(ticks.count(), atStop);

    // Switched while running, it goes on ticking the other way; stopped, it
    // stays silent the other way too.
    timer.start();
    timer.setOnTime(!onTime);
    QVERIFY(timer.isActive());
    const int afterSwitch = ticks.count();
    QTRY_VERIFY(ticks.count() >= afterSwitch + 3);
    timer.stop();
    const int atSecondStop = ticks.count();
    witnessed.clear();
    QTRY_VERIFY(witnessed.count() >= 5);
    QCOMPARE(ticks.count(), atSecondStop);
}

void tst_PollTimer::busyEventLoopGetsOneTick_data()
{
    onTimeOrNot();
}

void tst_PollTimer::busyEventLoopGetsOneTick()
{
    QFETCH(bool, onTime);
    PollTimer timer;
    timer.setOnTime(onTime);
    timer.setInterval(1);
    QSignalSpy ticks(&timer, &PollTimer::timeout);
    // Stopped at its first tick: whatever it emits then came at once, and no
    // later tick can be taken for part of a burst however slow the machine.
    connect(&timer, &PollTimer::timeout, &timer, &PollTimer::stop);
    timer.start();
    // The event loop is held up while the timer falls several ticks behind:
    // the situation itself.
    QThread::msleep(5 * static_cast<unsigned long>(timer.interval()));
    QTRY_VERIFY(!ticks.isEmpty());
    QCOMPARE(ticks.count(), 1);
}

void tst_PollTimer::onTimeOnTheKernelTimer()
{
    PollTimer timer;
    QVERIFY(!timer.isOnTime());
    QVERIFY(!timer.isKernelTimed());
    timer.setOnTime(true);
#ifdef Q_OS_LINUX
    QVERIFY(timer.isKernelTimed());
#else
    QVERIFY(!timer.isKernelTimed());
#endif
    timer.setOnTime(false);
    QVERIFY(!timer.isKernelTimed());
}

void tst_PollTimer::ticksWithoutAKernelTimer()
{
#ifdef Q_OS_LINUX
    // No descriptor left: the kernel timer cannot be made.
    rlimit limits = {};
    QVERIFY(getrlimit(RLIMIT_NOFILE, &limits) == 0);
    const int lowestFree = ::dup(0);
    QVERIFY(lowestFree >= 0);
    ::close(lowestFree);
    rlimit none = limits;
    none.rlim_cur = rlim_t(lowestFree);
    QVERIFY(setrlimit(RLIMIT_NOFILE, &none) == 0);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^PollTimer: no kernel timer"));
    PollTimer timer;
    QVERIFY(setrlimit(RLIMIT_NOFILE, &limits) == 0);
#else
    PollTimer timer;
#endif
    timer.setOnTime(true);
    QVERIFY(!timer.isKernelTimed());
    timer.setInterval(1);
    QSignalSpy ticks(&timer, &PollTimer::timeout);
    timer.start();
    QTRY_VERIFY(ticks.count() >= 3);
    timer.stop();
    QVERIFY(!timer.isActive());
}

QTEST_GUILESS_MAIN(tst_PollTimer)
// While on time the thread's timed waits end at their deadline; the slack
// before is given back when the timer is no longer on time, or goes.
void tst_PollTimer::fineTimerSlackWhileOnTime()
{
    const long idleSlack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    QVERIFY(idleSlack > 1);
    {
        PollTimer timer;
        timer.setOnTime(true);
        QCOMPARE(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), 1);
        timer.setOnTime(false);
        QCOMPARE(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), idleSlack);
        timer.setOnTime(true);
    }
    QCOMPARE(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), idleSlack);
}

#include "tst_polltimer.moc"
