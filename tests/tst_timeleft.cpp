// The estimate of an update's time left, fed a known pace: the lines not yet
// sent, the time outside each step's transfer (guessed, then measured), the
// main board's restart, and when it is not known; and how it is said.

#include "timeleft.h"
#include "trvtiming.h"
#include "usertexts.h"

#include <QtTest>

class tst_TimeLeft : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void estimate_data();
    void estimate();
    void newUpdateForgetsTheLast();
    void text_data();
    void text();

private:
    // Runs a step on the fixture's clock: 100 ms before its first line, then
    // lines of lineMs each; a whole step then ends its transfer and takes
    // 200 ms more. So each whole step spends 300 ms outside its transfer.
    void feedStep(int lines, bool whole, int lineMs = 10);

    trvTiming timing;
    TimeLeft left;
    qint64 now = 0;
};

void tst_TimeLeft::init()
{
    timing = trvTiming();
    timing.requestTimeout = 1000;
    timing.restartWait = 1000;
    left = TimeLeft(timing);
    now = 0;
    // The sensor boards, the control panel and the main board, 100 lines each.
    left.start({{100, false}, {100, false}, {100, true}}, now);
}

void tst_TimeLeft::feedStep(int lines, bool whole, int lineMs)
{
    left.stepStarted(now);
    now += 100;
    for (int i = 0; i < lines; ++i) {
        left.lineSent(now);
        now += lineMs;
    }
    if (whole) {
        left.transferDone(now);
        now += 200;
        left.stepDone(now);
    }
}

void tst_TimeLeft::estimate_data()
{
    QTest::addColumn<int>("wholeSteps");    // done before the running one
    QTest::addColumn<int>("linesSent");     // of the running step
    QTest::addColumn<int>("lineMs");        // its pace
    QTest::addColumn<int>("afterTransfer"); // ms since its transfer ended; -1: still sending
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<int>("seconds");

    QTest::newRow("nine round trips: no pace yet") << 0 << 10 << 10 << -1 << qint64(-1) << -1;
    // 289 lines at 10 ms. Outside the transfer: the 100 ms measured before
    // the first step's, and after it a guessed 1000 for each board (less the
    // 100 spent) and the main board's 1000 + 500.
    QTest::newRow("ten round trips: first step guessed")
        << 0 << 11 << 10 << -1 << qint64(2890 + 1000 + 1100 + 1600) << 7;
    // 180 lines; 100 + 200 ms measured outside the first step, 100 of it spent
    // in the second; the main board's 100 + 1000 + 500.
    QTest::newRow("first step measured") << 1 << 20 << 10 << -1 << qint64(1800 + 200 + 1600) << 4;
    // Its own 5 ms for the running step's 80 lines once measured; the main
    // board's 100 at the pace of all 119 round trips so far, 1095 ms.
    QTest::newRow("running step at its own pace")
        << 1 << 20 << 5 << -1 << qint64(400 + 920 + 200 + 1600) << 4;
    QTest::newRow("control panel restarting")
        << 1 << 100 << 10 << 100 << qint64(1000 + 100 + 1600) << 3;
    QTest::newRow("main board restarting") << 2 << 100 << 10 << 400 << qint64(1600 - 500) << 2;
    QTest::newRow("main board later than guessed") << 2 << 100 << 10 << 2000 << qint64(0) << 0;
}

void tst_TimeLeft::estimate()
{
    QFETCH(int, wholeSteps);
    QFETCH(int, linesSent);
    QFETCH(int, lineMs);
    QFETCH(int, afterTransfer);
    QFETCH(qint64, milliseconds);
    QFETCH(int, seconds);

    for (int i = 0; i < wholeSteps; ++i) {
        feedStep(100, true);
    }
    feedStep(linesSent, false, lineMs);
    if (afterTransfer >= 0) {
        left.transferDone(now);
        now += afterTransfer;
    }
    QCOMPARE(left.millisecondsLeft(now), milliseconds);
    QCOMPARE(left.secondsLeft(now), seconds);
}

// An update that has ended has no time left to tell, and the next one
// measures its own pace.
void tst_TimeLeft::newUpdateForgetsTheLast()
{
    feedStep(100, true);
    QVERIFY(left.secondsLeft(now) > 0);
    left.stop();
    QVERIFY(!left.isRunning());
    QCOMPARE(left.secondsLeft(now), -1);

    left.start({{100, false}}, now);
    feedStep(TimeLeft::linesToMeasure, false);
    QCOMPARE(left.secondsLeft(now), -1);
}

void tst_TimeLeft::text_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing left") << 0 << "about 0 s left";
    QTest::newRow("under a minute") << 15 << "about 15 s left";
    QTest::newRow("whole minutes") << 120 << "about 2 min left";
    QTest::newRow("minutes and seconds") << 80 << "about 1 min 20 s left";
}

void tst_TimeLeft::text()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(UserTexts::timeLeftText(seconds), text);
}

QTEST_GUILESS_MAIN(tst_TimeLeft)
#include "tst_timeleft.moc"
