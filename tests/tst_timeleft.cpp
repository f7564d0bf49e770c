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
    // lines of 10 ms each; a whole step then ends its transfer and takes
    // 200 ms more. So each whole step spends 300 ms outside its transfer.
    void feedStep(int lines, bool whole);

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

void tst_TimeLeft::feedStep(int lines, bool whole)
{
    left.stepStarted(now);
    now += 100;
    for (int i = 0; i < lines; ++i) {
        left.lineSent(now);
        now += 10;
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
    QTest::addColumn<int>("afterTransfer"); // ms since its transfer ended; -1: still sending
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<int>("seconds");

    QTest::newRow("nine round trips: no pace yet") << 0 << 10 << -1 << qint64(-1) << -1;
    // 289 lines at 10 ms; the first step's guessed 1000 ms outside less the
    // 100 spent, the control panel's 1000, the main board's 1000 + 500.
    QTest::newRow("ten round trips: first step guessed")
        << 0 << 11 << -1 << qint64(2890 + 900 + 1000 + 1500) << 7;
    // 180 lines; 300 ms measured outside the first step, 100 of it spent in
    // the second; the main board's 1000 + 500 + 300.
    QTest::newRow("first step measured") << 1 << 20 << -1 << qint64(1800 + 200 + 1800) << 4;
    QTest::newRow("control panel restarting") << 1 << 100 << 100 << qint64(1000 + 100 + 1800) << 3;
    QTest::newRow("main board restarting") << 2 << 100 << 400 << qint64(1800 - 500) << 2;
    QTest::newRow("main board later than guessed") << 2 << 100 << 2000 << qint64(0) << 0;
}

void tst_TimeLeft::estimate()
{
    QFETCH(int, wholeSteps);
    QFETCH(int, linesSent);
    QFETCH(int, afterTransfer);
    QFETCH(qint64, milliseconds);
    QFETCH(int, seconds);

    for (int i = 0; i < wholeSteps; ++i) {
        feedStep(100, true);
    }
    feedStep(linesSent, false);
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
