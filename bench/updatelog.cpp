#include "updatelog.h"

#include "hexreader.h"
#include "polltimer.h"

UpdateLog::UpdateLog(trvUpdateSequence* watched, trvInterface* device,
                     const trvUpdateSequence::Images& stepImages, QObject* parent)
    : QObject(parent), sequence(watched), images(stepImages)
{
    connect(sequence, SIGNAL(stepStarted()), this, SLOT(stepStarted()));
    connect(sequence, SIGNAL(currentState(trvUpdater::State, trvUpdater::Err)), this,
            SLOT(stepState(trvUpdater::State, trvUpdater::Err)));
    connect(sequence, SIGNAL(range(int, int)), this, SLOT(stepRange(int, int)));
    connect(sequence, SIGNAL(stepDone()), this, SLOT(stepDone()));
    connect(sequence, SIGNAL(done()), this, SLOT(updateDone()));
    connect(sequence, SIGNAL(canceled(trvUpdater::Err)), this,
            SLOT(updateCanceled(trvUpdater::Err)));
    if (PollTimer* poll = device->findChild<PollTimer*>()) {
        connect(poll, &PollTimer::timeout, this, [this] { ++tickCount; });
    }
}

bool UpdateLog::start(const QList<trvInterface::PartType>& boards)
{
    stepLog.clear();
    success = false;
    failure = trvUpdater::NoError;
    clock.start();
    return sequence->start(boards);
}

bool UpdateLog::succeeded() const
{
    return success;
}

trvUpdater::Err UpdateLog::error() const
{
    return failure;
}

const QList<UpdateLog::Step>& UpdateLog::steps() const
{
    return stepLog;
}

qint64 UpdateLog::ticks() const
{
    return tickCount;
}

qint64 UpdateLog::elapsed() const
{
    return clock.isValid() ? clock.elapsed() : 0;
}

int UpdateLog::liveEngines() const
{
    return sequence->findChildren<trvUpdater*>().size();
}

void UpdateLog::stepStarted()
{
    Step step;
    step.started = elapsed();
    step.boards = sequence->stepBoards();
    const trvInterface::PartType board = sequence->currentPart();
    const bool single = board == trvInterface::Mainboard || board == trvInterface::Terminal;
    step.part = single ? board : trvInterface::NoPart;
    const HexReader* image = board == trvInterface::Mainboard  ? images.mainboard
                             : board == trvInterface::Terminal ? images.terminal
                                                               : images.sensors;
    step.lines = image ? image->data.count('\n') : 0;
    stepLog.append(step);
}

void UpdateLog::stepState(trvUpdater::State state, trvUpdater::Err)
{
    if (stepLog.isEmpty()) {
        return;
    }
    Step& step = stepLog.last();
    if (state != trvUpdater::Failed && state != trvUpdater::Succeeded) {
        step.lastState = state;
    }
    if ((state == trvUpdater::FinishTransfer || state == trvUpdater::Failed) &&
        step.transferStarted >= 0 && step.transferEnded < 0) {
        step.transferEnded = elapsed();
        step.ticksAtTransferEnd = tickCount;
    }
}

void UpdateLog::stepRange(int, int)
{
    if (stepLog.isEmpty()) {
        return;
    }
    Step& step = stepLog.last();
    step.transferStarted = elapsed();
    step.ticksAtTransferStart = tickCount;
}

void UpdateLog::stepDone()
{
    if (!stepLog.isEmpty()) {
        stepLog.last().ended = elapsed();
    }
}

void UpdateLog::updateDone()
{
    success = true;
    emit finished(true);
}

void UpdateLog::updateCanceled(trvUpdater::Err error)
{
    if (!stepLog.isEmpty()) {
        stepLog.last().ended = elapsed();
    }
    failure = error;
    emit finished(false);
}
