#include "trvupdatesequence.h"

#include "boardtable.h"
#include "hexreader.h"

trvUpdateSequence::trvUpdateSequence(trvInterface* protocol, const Images& boardImages,
                                     QObject* parent)
    : QObject(parent), device(protocol), images(boardImages)
{
}

trvUpdateSequence::~trvUpdateSequence() = default;

bool trvUpdateSequence::start(const QList<trvInterface::PartType>& chosen)
{
    if (running) {
        return false;
    }
    const QList<QList<PartType>> order = BoardTable::steps(chosen);
    if (order.isEmpty()) {
        return false;
    }

    queue = order;
    boards.clear();
    current = trvInterface::NoPart;
    lastState = trvUpdater::Connecting;
    refusing = trvInterface::NoPart;
    refusingVersion.clear();
    finishedSteps = 0;
    stepRange = 0;
    total = 0;
    steps = queue.size();

    running = true;
    nextStep();
    return true;
}

void trvUpdateSequence::abort()
{
    if (!running) {
        return;
    }
    // Destroying the engine stops its time-out and sends nothing; deleteLater,
    // since abort() may be called from inside one of its signals.
    release();
    queue.clear();
    running = false;
    emit aborted();
}

void trvUpdateSequence::setTiming(const trvTiming& timing)
{
    waits = timing;
}

const trvTiming& trvUpdateSequence::timing() const
{
    return waits;
}

bool trvUpdateSequence::isRunning() const
{
    return running;
}

bool trvUpdateSequence::hasPart(trvInterface::PartType part) const
{
    return boards.contains(part);
}

QList<trvInterface::PartType> trvUpdateSequence::stepBoards() const
{
    return boards;
}

QList<trvInterface::PartType> trvUpdateSequence::pendingBoards() const
{
    QList<PartType> pending;
    for (const QList<PartType>& step : queue) {
        pending += step;
    }
    return pending;
}

trvInterface::PartType trvUpdateSequence::currentPart() const
{
    return current;
}

trvUpdater::State trvUpdateSequence::state() const
{
    return lastState;
}

int trvUpdateSequence::stepCount() const
{
    return steps;
}

int trvUpdateSequence::stepsDone() const
{
    return finishedSteps;
}

int trvUpdateSequence::totalValue() const
{
    return total;
}

int trvUpdateSequence::totalMaximum() const
{
    return steps * unitsPerStep;
}

trvInterface::PartType trvUpdateSequence::failedPart() const
{
    return refusing;
}

QString trvUpdateSequence::failedPartVersion() const
{
    return refusingVersion;
}

trvUpdater* trvUpdateSequence::engine() const
{
    return updater;
}

void trvUpdateSequence::release()
{
    if (!updater) {
        return;
    }
    // Until its deferred deletion the engine hears no reply and no time-out,
    // so a released engine sends nothing more, also when it was aborted in
    // the middle of its step.
    updater->disconnect(this);
    updater->stop();
    updater->deleteLater(); // we may be inside one of its signals
    updater = nullptr;
}

void trvUpdateSequence::nextStep()
{
    release();
    if (queue.isEmpty()) {
        running = false;
        emit done();
        return;
    }

    boards = queue.takeFirst();
    const PartType first = boards.first();
    if (first == trvInterface::Mainboard || first == trvInterface::Terminal) {
        HexReader* image = first == trvInterface::Mainboard ? images.mainboard : images.terminal;
        updater = new trvUpdater(device, image, first, this);
        current = first;
    } else {
        // All chosen sensor boards take the one sensor image in one step; the
        // engine addresses them in board order, the rows list them in row order.
        updater = new trvUpdater(device, images.sensors, trvInterface::NoPart, this);
        for (PartType sensor : {trvInterface::Sensor1, trvInterface::Sensor2, trvInterface::Sensor3,
                                trvInterface::Sensor4, trvInterface::Sensor5}) {
            if (boards.contains(sensor)) {
                updater->addPart(sensor);
                current = sensor;
            }
        }
    }
    updater->setTiming(waits);
    lastState = trvUpdater::Connecting;
    stepRange = 0;

    connect(updater, SIGNAL(done()), this, SLOT(engineDone()));
    connect(updater, SIGNAL(range(int, int)), this, SLOT(engineRange(int, int)));
    connect(updater, SIGNAL(process(int)), this, SLOT(engineProcess(int)));
    connect(updater, SIGNAL(canceled(trvUpdater::Err)), this,
            SLOT(engineCanceled(trvUpdater::Err)));
    connect(updater, SIGNAL(currentState(trvUpdater::State, trvUpdater::Err)), this,
            SLOT(engineState(trvUpdater::State, trvUpdater::Err)));
    emit stepStarted();
    updater->start();
}

void trvUpdateSequence::engineState(trvUpdater::State newState, trvUpdater::Err error)
{
    lastState = newState;
    emit currentState(newState, error);
}

void trvUpdateSequence::engineRange(int min, int max)
{
    stepRange = max;
    emit range(min, max);
}

void trvUpdateSequence::engineProcess(int now)
{
    // A step with nothing to send counts as complete.
    const qint64 inStep = stepRange > 0 ? qint64(now) * unitsPerStep / stepRange : unitsPerStep;
    total = finishedSteps * unitsPerStep + int(inStep);
    emit process(now);
    emit totalProgress(total);
}

void trvUpdateSequence::engineDone()
{
    ++finishedSteps;
    emit stepDone();
    nextStep();
}

void trvUpdateSequence::engineCanceled(trvUpdater::Err error)
{
    refusing = updater ? updater->failedPart() : trvInterface::NoPart;
    refusingVersion = updater ? updater->reportedVersion() : QString();
    release();
    queue.clear();
    running = false;
    emit canceled(error);
}
