#include "updaterun.h"

#include "hexreader.h"

#include <QTimer>

UpdateRun::UpdateRun(trvInterface* interface, const Images& images, QObject* parent)
    : QObject(parent), interface(interface), images(images)
{
    connect(interface, SIGNAL(connected()), this, SLOT(askVersions()));
    // The link's only timer is its poll timer.
    if (QTimer* poll = interface->findChild<QTimer*>())
        connect(poll, &QTimer::timeout, this, [this] { ++tickCount; });
}

void UpdateRun::start(const QList<trvInterface::PartType>& boards)
{
    queue.clear();
    for (trvInterface::PartType part :
         {trvInterface::Sensor5, trvInterface::Sensor1, trvInterface::Sensor2,
          trvInterface::Sensor3, trvInterface::Sensor4, trvInterface::Terminal,
          trvInterface::Mainboard}) {
        if (boards.contains(part))
            queue.append(part);
    }
    stepLog.clear();
    success = false;
    failure = trvUpdater::NoError;
    running = true;
    clock.start();
    nextStep();
}

bool UpdateRun::isRunning() const
{
    return running;
}

bool UpdateRun::succeeded() const
{
    return success;
}

trvUpdater::Err UpdateRun::error() const
{
    return failure;
}

trvInterface::PartType UpdateRun::failedPart() const
{
    return failedStep;
}

const QList<UpdateRun::Step>& UpdateRun::steps() const
{
    return stepLog;
}

qint64 UpdateRun::ticks() const
{
    return tickCount;
}

int UpdateRun::liveEngines() const
{
    return engines;
}

qint64 UpdateRun::elapsed() const
{
    return clock.isValid() ? clock.elapsed() : 0;
}

void UpdateRun::askVersions()
{
    interface->requestFirmwareVersion();
}

void UpdateRun::release()
{
    if (updater)
        updater->deleteLater();
    updater = nullptr;
}

void UpdateRun::nextStep()
{
    release();
    if (queue.isEmpty()) {
        running = false;
        success = true;
        emit finished(true);
        return;
    }

    Step step;
    step.started = elapsed();
    const trvInterface::PartType first = queue.first();
    if (first == trvInterface::Mainboard || first == trvInterface::Terminal) {
        queue.removeFirst();
        step.part = first;
        step.boards = {first};
        HexReader* image = first == trvInterface::Mainboard ? images.mainboard : images.terminal;
        updater = new trvUpdater(interface, image, first, this);
        step.lines = image->data.count('\n');
    } else {
        updater = new trvUpdater(interface, images.sensors, trvInterface::NoPart, this);
        for (trvInterface::PartType sensor :
             {trvInterface::Sensor1, trvInterface::Sensor2, trvInterface::Sensor3,
              trvInterface::Sensor4, trvInterface::Sensor5}) {
            if (queue.removeOne(sensor)) {
                updater->addPart(sensor);
                step.boards.append(sensor);
            }
        }
        step.lines = images.sensors->data.count('\n');
    }
    stepLog.append(step);
    ++engines;
    connect(updater, &QObject::destroyed, this, [this] { --engines; });
    connect(updater, SIGNAL(done()), this, SLOT(stepDone()));
    connect(updater, SIGNAL(canceled(trvUpdater::Err)), this, SLOT(stepCanceled(trvUpdater::Err)));
    connect(updater, SIGNAL(currentState(trvUpdater::State, trvUpdater::Err)), this,
            SLOT(stepState(trvUpdater::State, trvUpdater::Err)));
    connect(updater, SIGNAL(range(int, int)), this, SLOT(stepRange(int, int)));
    updater->start();
}

void UpdateRun::stepDone()
{
    stepLog.last().ended = elapsed();
    nextStep();
}

void UpdateRun::stepCanceled(trvUpdater::Err error)
{
    stepLog.last().ended = elapsed();
    failure = error;
    failedStep = stepLog.last().part;
    queue.clear();
    release();
    running = false;
    emit finished(false);
}

void UpdateRun::stepState(trvUpdater::State state, trvUpdater::Err)
{
    if (state != trvUpdater::Failed && state != trvUpdater::Succeeded)
        stepLog.last().lastState = state;
    if (state == trvUpdater::FinishTransfer || state == trvUpdater::Failed) {
        Step& step = stepLog.last();
        if (step.transferStarted >= 0 && step.transferEnded < 0) {
            step.transferEnded = elapsed();
            step.ticksAtTransferEnd = tickCount;
        }
    }
}

void UpdateRun::stepRange(int, int)
{
    Step& step = stepLog.last();
    step.transferStarted = elapsed();
    step.ticksAtTransferStart = tickCount;
}
