// The link's tick: it keeps coming, stops when stopped, and a busy event loop
// gets one tick for all it missed, never a burst (each tick may write a
// report, and the wire takes one per tick). On Linux it runs on the kernel's
// timer, and without one still ticks.

#include "polltimer.h"
#include "waiting.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

class tst_PollTimer : public QObject
{
    Q_OBJECT

private slots:
    void ticksUntilStopped();
    void busyEventLoopGetsOneTick();
    void runsOnTheKernelTimer();
    void ticksWithoutAKernelTimer();
};

void tst_PollTimer::ticksUntilStopped()
{
    PollTimer timer;
    timer.setInterval(1);
    QSignalSpy ticks(&timer, &PollTimer::timeout);
    QVERIFY(!timer.isActive());
    timer.start();
    QVERIFY(timer.isActive());
    QTRY_VERIFY(ticks.count() >= 3);

    timer.stop();
    QVERIFY(!timer.isActive());
    const int atStop = ticks.count();
    // A timer of the same interval, started now, has ticked a few times: the
    // stopped one would have too.
    PollTimer witness;
    witness.setInterval(timer.interval());
    QSignalSpy witnessed(&witness, &PollTimer::timeout);
    witness.start();
    QTRY_VERIFY(witnessed.count() >= 5);
    QCOMPARE(ticks.count(), atStop);

    timer.start();
    QTRY_VERIFY(ticks.count() > atStop);
}

void tst_PollTimer::busyEventLoopGetsOneTick()
{
    PollTimer timer;
    timer.setInterval(50);
    QSignalSpy ticks(&timer, &PollTimer::timeout);
    timer.start();
    // The event loop is held up for five intervals: the situation itself.
    QThread::msleep(5 * static_cast<unsigned long>(timer.interval()));
    // Looked at within a millisecond or two of the first tick, long before
    // the next one is due.
    QVERIFY(waitUntil([&ticks] { return !ticks.isEmpty(); }, 10 * timer.interval()));
    QCOMPARE(ticks.count(), 1);
}

void tst_PollTimer::runsOnTheKernelTimer()
{
#ifdef Q_OS_LINUX
    PollTimer timer;
    QVERIFY(timer.isKernelTimed());
#else
    QSKIP("Only on Linux is there a kernel timer");
#endif
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
    QVERIFY(!timer.isKernelTimed());
#else
    PollTimer timer;
#endif
    timer.setInterval(1);
    QSignalSpy ticks(&timer, &PollTimer::timeout);
    timer.start();
    QTRY_VERIFY(ticks.count() >= 3);
    timer.stop();
    QVERIFY(!timer.isActive());
}

QTEST_GUILESS_MAIN(tst_PollTimer)
#include "tst_polltimer.moc"
