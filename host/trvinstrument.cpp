#include "trvinstrument.h"

#include "trvupdatesequence.h"

#include <QStringList>
#include <QTimer>

trvInstrument::trvInstrument(trvInterface* device, const trvTiming& timing, QObject* parent)
    : QObject(parent), link(device), waits(timing), updates(nullptr), watchdog(new QTimer(this)),
      lateReturn(new QTimer(this))
{
    trvUpdateSequence::Images readers;
    readers.sensors = &images[BoardTable::Sensors];
    readers.terminal = &images[BoardTable::Terminal];
    readers.mainboard = &images[BoardTable::Mainboard];
    updates = new trvUpdateSequence(link, readers, this);
    updates->setTiming(waits);

    watchdog->setSingleShot(true);
    // Never sooner than the timing says (a coarse timer may fire 5 % early).
    watchdog->setTimerType(Qt::PreciseTimer);
    watchdog->setInterval(waits.watchdogTimeout);
    connect(watchdog, &QTimer::timeout, this, &trvInstrument::watchdogExpired);
    lateReturn->setSingleShot(true);
    connect(lateReturn, &QTimer::timeout, this, &trvInstrument::lateReturnOver);

    // Before any front end's connection: the failure is known when they hear of it.
    connect(updates, &trvUpdateSequence::stepStarted, this, &trvInstrument::stepStarted);
    connect(updates, &trvUpdateSequence::currentState, this, &trvInstrument::stepState);
    connect(updates, &trvUpdateSequence::canceled, this, &trvInstrument::sequenceCanceled);
    connect(updates, &trvUpdateSequence::done, this, &trvInstrument::updateSucceeded);
    // The update is held to the instrument it started on, its main board's
    // restart included; once it is over, the link may open another.
    for (auto over : {&trvInstrument::updateSucceeded, &trvInstrument::updateFailed,
                      &trvInstrument::aborted}) {
        connect(this, over, link, &UsbHid::unpin);
    }

    connect(link, &trvInterface::connected, this, &trvInstrument::linkConnected);
    connect(link, &trvInterface::disconnected, this, &trvInstrument::linkDisconnected);
    connect(link, &trvInterface::firmwareVersion, this, &trvInstrument::firmwareVersion);
    connect(link, &UsbHid::openRefusalChanged, this, &trvInstrument::openRefusalChanged);
    connect(link, &UsbHid::error, this, &trvInstrument::linkError);
}

trvInstrument::~trvInstrument()
{
    // The sequence goes first: it still refers to the images.
    delete updates;
}

trvInterface* trvInstrument::device() const
{
    return link;
}

trvUpdateSequence* trvInstrument::sequence() const
{
    return updates;
}

void trvInstrument::setTiming(const trvTiming& timing)
{
    waits = timing;
    watchdog->setInterval(waits.watchdogTimeout);
    updates->setTiming(waits);
}

const trvTiming& trvInstrument::timing() const
{
    return waits;
}

// --- The connection

bool trvInstrument::isConnected() const
{
    return linked;
}

int trvInstrument::openRefusal() const
{
    return link->openRefusal();
}

QString trvInstrument::serialNumber() const
{
    return link->serialNumber();
}

bool trvInstrument::hasAnswered(PartType board) const
{
    return versions.contains(board);
}

QString trvInstrument::reportedVersion(PartType board) const
{
    return versions.value(board);
}

void trvInstrument::askVersions()
{
    link->requestFirmwareVersion();
}

bool trvInstrument::mainboardRestarting() const
{
    return lateReturn->isActive() ||
           (updates->isRunning() && updates->currentPart() == trvInterface::Mainboard &&
            (updates->state() == trvUpdater::Restarting ||
             updates->state() == trvUpdater::WaitForReconnect));
}

void trvInstrument::linkConnected()
{
    watchdog->stop();
    linked = true;
    ++connections;
    versionReceived = false;
    versions.clear();
    emit connected();
    link->requestFirmwareVersion();
    watchdog->start();
}

void trvInstrument::linkDisconnected()
{
    // The link also says so after a failed attempt, when it was not connected.
    const bool was = linked;
    linked = false;
    if (was && updates->isRunning() && !mainboardRestarting()) {
        lostDuringStep = true;
    }
    if (was) {
        emit disconnected();
    }
}

void trvInstrument::firmwareVersion(trvInterface::PartType part, QString version)
{
    versionReceived = true;
    if (!BoardTable::isBoard(part)) {
        return;
    }
    const bool wasComplete = versions.size() == BoardTable::boards().size();
    versions.insert(part, version);
    emit versionReported(part, version);
    if (part == trvInterface::Mainboard && lateReturn->isActive()) {
        lateReturn->stop();
        const QString expected = images[BoardTable::Mainboard].version;
        if (version != expected) {
            // Back, but not with its image: as the engine would have said.
            lastFailure.error = trvUpdater::FinishFailed;
            lastFailure.refusing = trvInterface::Mainboard;
            lastFailure.reported = version;
            lastFailure.expected = expected;
        }
        lateReturnDecided(version == expected);
    }
    if (!wasComplete && versions.size() == BoardTable::boards().size()) {
        emit allAnswered();
    }
}

void trvInstrument::watchdogExpired()
{
    if (!versionReceived) {
        // The link opens the instrument again on its next tick.
        link->close();
    }
}

// --- The firmware images

bool trvInstrument::readBuiltInImages(Group* failed)
{
    bool allRead = true;
    for (Group group : BoardTable::groups()) {
        HexReader& reader = images[group];
        imageFiles[group].clear();
        const bool usable =
            reader.read(BoardTable::builtInImage(group), false) == HexReader::FileOk &&
            reader.part == BoardTable::partCode(group);
        if (!usable && allRead) {
            allRead = false;
            if (failed) {
                *failed = group;
            }
        }
    }
    return allRead;
}

const HexReader& trvInstrument::image(Group group) const
{
    return images[group];
}

const HexReader& trvInstrument::imageFor(PartType board) const
{
    return images[BoardTable::groupOf(board)];
}

QString trvInstrument::imageFile(Group group) const
{
    return imageFiles[group];
}

bool trvInstrument::imagesUsable() const
{
    for (Group group : BoardTable::groups()) {
        if (images[group].state != HexReader::FileOk) {
            return false;
        }
    }
    return true;
}

bool trvInstrument::useImage(const HexReader& file, const QString& fileName)
{
    Group group = BoardTable::Sensors;
    if (!BoardTable::groupOfPartCode(file.part, &group)) {
        return false;
    }
    images[group] = file;
    imageFiles[group] = fileName;
    return true;
}

// --- The update

QMap<trvInstrument::PartType, QString> trvInstrument::imageVersions() const
{
    QMap<PartType, QString> result;
    for (PartType board : BoardTable::boards()) {
        result.insert(board, imageFor(board).version);
    }
    return result;
}

UpdatePlan trvInstrument::plan(const QList<PartType>& asked) const
{
    UpdatePlan made = UpdatePlan::make(asked, versions, imageVersions());
    made.connection = linked ? connections : 0;
    return made;
}

UpdatePlan trvInstrument::withoutOlder(const UpdatePlan& planned) const
{
    return planned.withoutOlder(versions, imageVersions());
}

UpdatePlan trvInstrument::withoutCurrent(const UpdatePlan& planned) const
{
    return planned.withoutCurrent(versions, imageVersions());
}

bool trvInstrument::isCurrent(const UpdatePlan& plan) const
{
    return linked && plan.connection == connections;
}

bool trvInstrument::start(const UpdatePlan& plan)
{
    if (isUpdating() || !isCurrent(plan)) {
        return false;
    }
    link->pin();
    if (!updates->start(plan.boards)) {
        link->unpin();
        return false;
    }
    leftOutBoards = plan.silent;
    reinstalledBoards = plan.current;
    return true;
}

bool trvInstrument::isUpdating() const
{
    return updates->isRunning() || lateReturn->isActive();
}

void trvInstrument::abort()
{
    const bool wasUpdating = isUpdating();
    lateReturn->stop();
    updates->abort();
    if (wasUpdating) {
        emit aborted();
    }
}

trvInstrument::Failure trvInstrument::failure() const
{
    return lastFailure;
}

QList<trvInstrument::PartType> trvInstrument::leftOut() const
{
    return leftOutBoards;
}

QList<trvInstrument::PartType> trvInstrument::reinstalled() const
{
    return reinstalledBoards;
}

bool trvInstrument::cameBackLate() const
{
    return late;
}

void trvInstrument::stepStarted()
{
    if (updates->stepsDone() == 0) {
        lastFailure = Failure();
        late = false;
    }
    lastStepState = trvUpdater::Connecting;
    lostDuringStep = false;
}

void trvInstrument::stepState(trvUpdater::State state, trvUpdater::Err)
{
    if (state != trvUpdater::Failed) {
        lastStepState = state;
    }
    if (state == trvUpdater::Restarting && updates->currentPart() == trvInterface::Mainboard) {
        emit waitingForRestart(waits.restartWait + waits.reconnectTimeout);
    }
}

void trvInstrument::sequenceCanceled(trvUpdater::Err error)
{
    const bool restarting =
        updates->currentPart() == trvInterface::Mainboard &&
        (lastStepState == trvUpdater::Restarting || lastStepState == trvUpdater::WaitForReconnect);
    lastFailure = Failure();
    lastFailure.error = error;
    lastFailure.boards = updates->stepBoards();
    lastFailure.refusing = updates->failedPart();
    lastFailure.reported = updates->failedPartVersion();
    if (!lastFailure.reported.isEmpty()) {
        lastFailure.expected = imageFor(lastFailure.refusing).version;
    }
    // The link may hear of a lost instrument only after the engine's time-out.
    lastFailure.disconnected = !restarting && (lostDuringStep || !linked);

    if (restarting && error == trvUpdater::NoResponse && waits.lateReturnTimeout > 0) {
        lateReturn->start(waits.lateReturnTimeout);
        emit waitingForLateReturn();
        if (linked) {
            // Back, but before the engine looked for it: its version tells.
            link->requestFirmwareVersion(trvInterface::Mainboard);
        }
        return;
    }
    emit updateFailed();
}

void trvInstrument::lateReturnOver()
{
    lateReturnDecided(false);
}

void trvInstrument::lateReturnDecided(bool succeeded)
{
    if (succeeded) {
        late = true;
        lastFailure = Failure();
        emit updateSucceeded();
    } else {
        emit updateFailed();
    }
}
