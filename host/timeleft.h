#pragma once

#include "trvtiming.h"

#include <QList>
#include <QtGlobal>

// How long the update that runs still takes: the data lines not yet sent at
// the pace measured so far in this update (the running step's own, once it
// is measured: the sensor step waits for five boards at each line), plus the
// time each step still spends outside its transfer (the requests before it;
// after it the board's restart until it answers, and for the main board the
// wait after its restart message and its return). Plain
// arithmetic on the moments handed in, in milliseconds of one clock, so that
// the same moments always give the same estimate.
class TimeLeft
{
public:
    // One step of the update.
    struct Step
    {
        int lines = 0;          // the data lines its image sends
        bool mainboard = false; // the main board's step, with its restart
    };

    // Lines whose round trip is timed before the pace counts as measured.
    static constexpr int linesToMeasure = 10;
    // How long after the engine's restartWait the main board is back on USB
    // and answers, as long as nothing in the update has said otherwise (the
    // instrument's is back about 1.5 s after its restart message).
    static constexpr int mainboardReturnGuess = 500;

    explicit TimeLeft(const trvTiming& timing = trvTiming());
    void setTiming(const trvTiming& timing);

    // A new update of these steps begins; the last one is forgotten.
    void start(const QList<Step>& steps, qint64 now);
    // The next step begins (the first one right after start()).
    void stepStarted(qint64 now);
    // A data line of the running step leaves: each line once, in order.
    void lineSent(qint64 now);
    // The running step's last line has been acknowledged.
    void transferDone(qint64 now);
    // The running step has succeeded.
    void stepDone(qint64 now);
    // The update is over, however it ended: nothing is left to estimate.
    void stop();

    bool isRunning() const;
    // The estimate at now; -1 when unknown: no update runs, or fewer than
    // linesToMeasure lines have been timed in this one.
    qint64 millisecondsLeft(qint64 now) const;
    // The same in whole seconds, rounded up.
    int secondsLeft(qint64 now) const;

private:
    struct Progress
    {
        qint64 started = -1;
        qint64 firstLine = -1; // when its first line left
        qint64 lastLine = -1;  // when its latest line left
        qint64 transferEnd = -1;
        qint64 finished = -1;
        int linesSent = 0;
        qint64 transferTime = 0; // its line round trips timed, summed
        int linesTimed = 0;
    };

    // How long a step spends outside its transfer in all.
    qint64 outsideTime(const Step& step) const;
    // The time of one line's round trip, from linesTimed round trips.
    static double pace(qint64 time, int lines);
    // How long the running step has spent outside its transfer by now.
    static qint64 outsideSpent(const Progress& progress, qint64 now);

    trvTiming waits;
    QList<Step> plan;
    QList<Progress> progress; // of the steps begun, in order
    qint64 transferTime = 0;  // line round trips timed, summed
    int linesTimed = 0;
    bool running = false;
};
