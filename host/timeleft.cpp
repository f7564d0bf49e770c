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
        step.transferTime += now - step.lastLine;
        ++step.linesTimed;
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
        step.transferTime += now - step.lastLine;
        ++step.linesTimed;
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
    // Before its transfer every step sends the same few requests: what they
    // took in this update's steps so far, else nothing worth counting.
    qint64 before = 0;
    int begun = 0;
    // After it a board restarts and the engine asks for its version until it
    // answers: what that took in this update's finished boards' steps. Until
    // one has finished, a board is taken to miss the request sent while it
    // restarts and to answer the next one, a requestTimeout later.
    qint64 after = 0;
    int finished = 0;
    for (int i = 0; i < progress.size() && i < plan.size(); ++i) {
        const Progress& seen = progress.at(i);
        if (seen.firstLine >= 0) {
            before += seen.firstLine - seen.started;
            ++begun;
        }
        if (!plan.at(i).mainboard && seen.finished >= 0 && seen.transferEnd >= 0) {
            after += seen.finished - seen.transferEnd;
            ++finished;
        }
    }
    const qint64 requests = begun > 0 ? before / begun : 0;
    if (!step.mainboard) {
        return requests + (finished > 0 ? after / finished : waits.requestTimeout);
    }
    // The main board is left alone for restartWait after its restart message
    // and then comes back on USB. Its return cannot be measured before its
    // step, the update's last, ends: the instrument's is taken.
    return requests + waits.restartWait + mainboardReturnGuess;
}

double TimeLeft::pace(qint64 time, int lines)
{
    return double(time) / lines;
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
    const double perLine = pace(transferTime, linesTimed);
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
            const double ownPace = begun.linesTimed >= linesToMeasure
                                       ? pace(begun.transferTime, begun.linesTimed)
                                       : perLine;
            left += std::max(0, step.lines - begun.linesSent) * ownPace;
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
