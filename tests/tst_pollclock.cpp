// The link's tick: it keeps coming, stops when stopped, and a busy event loop
// gets one tick for all it missed, never a burst (each tick may write a
// report, and the wire takes one per tick). On Linux it runs on the kernel's
// timer, and without one still ticks.

#include "pollclock.h"
#include "waiting.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

class tst_PollClock : public QObject
{
    Q_OBJECT

private slots:
    void ticksUntilStopped();
    void busyEventLoopGetsOneTick();
    void runsOnTheKernelTimer();
    void ticksWithoutAKernelTimer();
};

void tst_PollClock::ticksUntilStopped()
{
    PollClock clock;
    clock.setInterval(1);
    QSignalSpy ticks(&clock, &PollClock::tick);
    QVERIFY(!clock.isActive());
    clock.start();
    QVERIFY(clock.isActive());
    QTRY_VERIFY(ticks.count() >= 3);

    clock.stop();
    QVERIFY(!clock.isActive());
    const int atStop = ticks.count();
    // A clock of the same interval, started now, has ticked a few times: the
    // stopped one would have too.
    PollClock witness;
    witness.setInterval(clock.interval());
    QSignalSpy witnessed(&witness, &PollClock::tick);
    witness.start();
    QTRY_VERIFY(witnessed.count() >= 5);
    QCOMPARE(ticks.count(), atStop);

    clock.start();
    QTRY_VERIFY(ticks.count() > atStop);
}

void tst_PollClock::busyEventLoopGetsOneTick()
{
    PollClock clock;
    clock.setInterval(50);
    QSignalSpy ticks(&clock, &PollClock::tick);
    clock.start();
    // The event loop is held up for five intervals: the situation itself.
    QThread::msleep(5 * static_cast<unsigned long>(clock.interval()));
    // Looked at within a millisecond or two of the first tick, long before
    // the next one is due.
    QVERIFY(waitUntil([&ticks] { return !ticks.isEmpty(); }, 10 * clock.interval()));
    QCOMPARE(ticks.count(), 1);
}

void tst_PollClock::runsOnTheKernelTimer()
{
#ifdef Q_OS_LINUX
    PollClock clock;
    QVERIFY(clock.isKernelTimed());
#else
    QSKIP("Only Linux's clock has a kernel timer");
#endif
}

void tst_PollClock::ticksWithoutAKernelTimer()
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
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^PollClock: no kernel timer"));
    PollClock clock;
    QVERIFY(setrlimit(RLIMIT_NOFILE, &limits) == 0);
    QVERIFY(!clock.isKernelTimed());
#else
    PollClock clock;
#endif
    clock.setInterval(1);
    QSignalSpy ticks(&clock, &PollClock::tick);
    clock.start();
    QTRY_VERIFY(ticks.count() >= 3);
    clock.stop();
    QVERIFY(!clock.isActive());
}

QTEST_GUILESS_MAIN(tst_PollClock)
#include "tst_pollclock.moc"
