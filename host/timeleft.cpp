#include "timeleft.h"

#include <algorithm>

TimeLeft::TimeLeft(const trvTiming& timing) : waits(timing) {}

void TimeLeft::setTiming(const trvTiming& timing)
{
    waits = timing;
}

void TimeLeft::start(const QList<Step>& steps, qint64)
{
    plan = steps;
    progress.clear();
    transferTime = 0;
    linesTimed = 0;
    running = true;
}

void TimeLeft::stepStarted(qint64 now)
{
    if (!running || progress.size() >= plan.size()) {
        return;
    }
    Progress begun;
    begun.started = now;
    progress.append(begun);
}

void TimeLeft::lineSent(qint64 now)
{
    if (!running || progress.isEmpty()) {
        return;
    }
    Progress& step = progress.last();
    if (step.lastLine >= 0) {
        // The line before has made its round trip.
        transferTime += now - step.lastLine;
        ++linesTimed;
    } else {
        step.firstLine = now;
    }
    step.lastLine = now;
    ++step.linesSent;
}

void TimeLeft::transferDone(qint64 now)
{
    if (!running || progress.isEmpty()) {
        return;
    }
    Progress& step = progress.last();
    if (step.lastLine >= 0 && step.transferEnd < 0) {
        transferTime += now - step.lastLine;
        ++linesTimed;
    }
    step.transferEnd = now;
}

void TimeLeft::stepDone(qint64 now)
{
    if (running && !progress.isEmpty()) {
        progress.last().finished = now;
    }
}

void TimeLeft::stop()
{
    running = false;
}

bool TimeLeft::isRunning() const
{
    return running;
}

qint64 TimeLeft::outsideTime(const Step& step) const
{
    // What the boards' steps of this update took outside their transfer: the
    // requests before it, the end, and the board's restart until it answers
    // again. Until one has finished, a board is taken to miss the version
    // request that the engine sends while it restarts and to answer the next
    // one, a requestTimeout later.
    qint64 measured = 0;
    int finished = 0;
    for (int i = 0; i < progress.size() && i < plan.size(); ++i) {
        const Progress& done = progress.at(i);
        if (plan.at(i).mainboard || done.finished < 0) {
            continue;
        }
        const qint64 transfer =
            done.firstLine >= 0 && done.transferEnd >= 0 ? done.transferEnd - done.firstLine : 0;
        measured += done.finished - done.started - transfer;
        ++finished;
    }
    if (!step.mainboard) {
        return finished > 0 ? measured / finished : waits.requestTimeout;
    }
    // The main board is left alone for restartWait after its restart message
    // and then comes back on USB: that return cannot be measured before its
    // step ends, so the instrument's is taken. Its requests before and after
    // the transfer are those of the boards' steps, where measured.
    return waits.restartWait + mainboardReturnGuess + (finished > 0 ? measured / finished : 0);
}

qint64 TimeLeft::outsideSpent(const Progress& step, qint64 now)
{
    if (step.firstLine < 0) {
        return now - step.started;
    }
    const qint64 beforeTransfer = step.firstLine - step.started;
    if (step.transferEnd < 0) {
        return beforeTransfer;
    }
    return beforeTransfer + (now - step.transferEnd);
}

qint64 TimeLeft::millisecondsLeft(qint64 now) const
{
    if (!running || linesTimed < linesToMeasure) {
        return -1;
    }
    const double perLine = double(transferTime) / linesTimed;
    double left = 0;
    for (int i = 0; i < plan.size(); ++i) {
        const Step& step = plan.at(i);
        if (i >= progress.size()) {
            left += step.lines * perLine + outsideTime(step);
            continue;
        }
        const Progress& begun = progress.at(i);
        if (begun.finished >= 0) {
            continue;
        }
        if (begun.transferEnd < 0) {
            left += std::max(0, step.lines - begun.linesSent) * perLine;
        }
        left += std::max<qint64>(0, outsideTime(step) - outsideSpent(begun, now));
    }
    return qint64(left + 0.5);
}

int TimeLeft::secondsLeft(qint64 now) const
{
    const qint64 milliseconds = millisecondsLeft(now);
    return milliseconds < 0 ? -1 : int((milliseconds + 999) / 1000);
}
