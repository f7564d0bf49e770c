#include "trvsession.h"

#include "firmwareversion.h"
#include "trvupdatesequence.h"

#include <QStringList>
#include <QTimer>

trvSession::trvSession(trvInterface* device, const trvTiming& timing, QObject* parent)
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
    connect(watchdog, &QTimer::timeout, this, &trvSession::watchdogExpired);
    lateReturn->setSingleShot(true);
    connect(lateReturn, &QTimer::timeout, this, &trvSession::lateReturnOver);

    // Before any front end's connection: the failure is known when they hear of it.
    connect(updates, &trvUpdateSequence::stepStarted, this, &trvSession::stepStarted);
    connect(updates, &trvUpdateSequence::currentState, this, &trvSession::stepState);
    connect(updates, &trvUpdateSequence::canceled, this, &trvSession::sequenceCanceled);
    connect(updates, &trvUpdateSequence::done, this, &trvSession::updateSucceeded);

    connect(link, &trvInterface::connected, this, &trvSession::linkConnected);
    connect(link, &trvInterface::disconnected, this, &trvSession::linkDisconnected);
    connect(link, &trvInterface::firmwareVersion, this, &trvSession::firmwareVersion);
}

trvSession::~trvSession()
{
    // The sequence goes first: it still refers to the images.
    delete updates;
}

trvInterface* trvSession::device() const
{
    return link;
}

trvUpdateSequence* trvSession::sequence() const
{
    return updates;
}

void trvSession::setTiming(const trvTiming& timing)
{
    waits = timing;
    watchdog->setInterval(waits.watchdogTimeout);
    updates->setTiming(waits);
}

const trvTiming& trvSession::timing() const
{
    return waits;
}

// --- The connection

bool trvSession::isConnected() const
{
    return linked;
}

bool trvSession::hasAnswered(PartType board) const
{
    return versions.contains(board);
}

QString trvSession::reportedVersion(PartType board) const
{
    return versions.value(board);
}

void trvSession::askVersions()
{
    link->requestFirmwareVersion();
}

bool trvSession::mainboardRestarting() const
{
    return lateReturn->isActive() ||
           (updates->isRunning() && updates->currentPart() == trvInterface::Mainboard &&
            (updates->state() == trvUpdater::Restarting ||
             updates->state() == trvUpdater::WaitForReconnect));
}

void trvSession::linkConnected()
{
    watchdog->stop();
    linked = true;
    versionReceived = false;
    versions.clear();
    emit connected();
    link->requestFirmwareVersion();
    watchdog->start();
}

void trvSession::linkDisconnected()
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

void trvSession::firmwareVersion(trvInterface::PartType part, QString version)
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
        lateReturnDecided(version == images[BoardTable::Mainboard].version);
    }
    if (!wasComplete && versions.size() == BoardTable::boards().size()) {
        emit allAnswered();
    }
}

void trvSession::watchdogExpired()
{
    if (!versionReceived) {
        // The link opens the instrument again on its next tick.
        link->close();
    }
}

// --- The firmware images

bool trvSession::readBuiltInImages(Group* failed)
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

const HexReader& trvSession::image(Group group) const
{
    return images[group];
}

const HexReader& trvSession::imageFor(PartType board) const
{
    return images[BoardTable::groupOf(board)];
}

QString trvSession::imageFile(Group group) const
{
    return imageFiles[group];
}

bool trvSession::imagesUsable() const
{
    for (Group group : BoardTable::groups()) {
        if (images[group].state != HexReader::FileOk) {
            return false;
        }
    }
    return true;
}

bool trvSession::useImage(const HexReader& file, const QString& fileName)
{
    Group group = BoardTable::Sensors;
    if (!BoardTable::groupOfPartCode(file.part, &group)) {
        return false;
    }
    images[group] = file;
    imageFiles[group] = fileName;
    return true;
}

bool trvSession::readImage(Group group, const QString& fileName)
{
    imageFiles[group] = fileName;
    return images[group].read(fileName, false) == HexReader::FileOk;
}

// --- The update

trvSession::Plan trvSession::plan(const QList<PartType>& asked) const
{
    Plan result;
    for (PartType board : BoardTable::boards()) {
        if (!asked.contains(board)) {
            continue;
        }
        if (!hasAnswered(board)) {
            result.silent.append(board);
            continue;
        }
        result.boards.append(board);
    }

    result.allCurrent = !result.boards.isEmpty();
    for (PartType board : qAsConst(result.boards)) {
        const int order = FirmwareVersion::compare(reportedVersion(board), imageFor(board).version);
        if (order == FirmwareVersion::Equal) {
            result.current.append(board);
        } else {
            result.allCurrent = false;
        }
        if (order == FirmwareVersion::Newer) {
            result.older.append(board);
        }
    }

    for (Group group : BoardTable::groups()) {
        QList<PartType> step;
        for (PartType board : BoardTable::boardsOf(group)) {
            if (result.boards.contains(board)) {
                step.append(board);
            }
        }
        if (!step.isEmpty()) {
            result.steps.append(step);
        }
    }
    return result;
}

trvSession::Plan trvSession::withoutOlder(const Plan& planned) const
{
    QList<PartType> asked;
    for (PartType board : planned.boards + planned.silent) {
        if (!planned.older.contains(board)) {
            asked.append(board);
        }
    }
    Plan result = plan(asked);
    for (PartType board : BoardTable::boards()) {
        if (planned.kept.contains(board) || planned.older.contains(board)) {
            result.kept.append(board);
        }
    }
    return result;
}

bool trvSession::start(const Plan& plan)
{
    if (isUpdating() || !updates->start(plan.boards)) {
        return false;
    }
    leftOutBoards = plan.silent;
    reinstalledBoards = plan.current;
    return true;
}

bool trvSession::isUpdating() const
{
    return updates->isRunning() || lateReturn->isActive();
}

void trvSession::abort()
{
    const bool wasUpdating = isUpdating();
    lateReturn->stop();
    updates->abort();
    if (wasUpdating) {
        emit aborted();
    }
}

trvSession::Failure trvSession::failure() const
{
    return lastFailure;
}

QList<trvSession::PartType> trvSession::leftOut() const
{
    return leftOutBoards;
}

QList<trvSession::PartType> trvSession::reinstalled() const
{
    return reinstalledBoards;
}

bool trvSession::cameBackLate() const
{
    return late;
}

void trvSession::stepStarted()
{
    if (updates->stepsDone() == 0) {
        lastFailure = Failure();
        late = false;
    }
    lastStepState = trvUpdater::Connecting;
    lostDuringStep = false;
}

void trvSession::stepState(trvUpdater::State state, trvUpdater::Err)
{
    if (state != trvUpdater::Failed) {
        lastStepState = state;
    }
}

void trvSession::sequenceCanceled(trvUpdater::Err error)
{
    const bool restarting =
        updates->currentPart() == trvInterface::Mainboard &&
        (lastStepState == trvUpdater::Restarting || lastStepState == trvUpdater::WaitForReconnect);
    lastFailure = Failure();
    lastFailure.error = error;
    lastFailure.boards = updates->stepBoards();
    lastFailure.refusing = updates->failedPart();
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

void trvSession::lateReturnOver()
{
    lateReturnDecided(false);
}

void trvSession::lateReturnDecided(bool succeeded)
{
    if (succeeded) {
        late = true;
        lastFailure = Failure();
        emit updateSucceeded();
    } else {
        emit updateFailed();
    }
}

// --- The words

namespace {

// A whole group by its name, else each board.
QString stepName(const QList<trvInterface::PartType>& boards)
{
    if (boards.isEmpty()) {
        return QString();
    }
    const BoardTable::Group group = BoardTable::groupOf(boards.first());
    return boards == BoardTable::boardsOf(group) ? BoardTable::groupName(group)
                                                 : BoardTable::labels(boards);
}

} // namespace

QString trvSession::failureText(const Failure& failure)
{
    if (failure.disconnected) {
        return tr("The instrument was disconnected during the update of %1.")
            .arg(stepName(failure.boards));
    }
    const QString where = failure.refusing != trvInterface::NoPart
                              ? BoardTable::label(failure.refusing)
                              : BoardTable::groupName(failure.boards.value(0));
    return QStringLiteral("%1: %2").arg(where, trvUpdater::errorDescription(failure.error));
}

QString trvSession::failureAdvice(const Failure& failure)
{
    return failure.disconnected ? tr("Plug the instrument in and start the update again.")
                                : tr("Running the update again brings the boards back.");
}

QString trvSession::leftOutText(const QList<PartType>& boards)
{
    if (boards.isEmpty()) {
        return QString();
    }
    return tr("Not updated, since they did not answer: %1.").arg(BoardTable::labels(boards));
}

QString trvSession::reinstalledText(const QList<PartType>& boards)
{
    if (boards.isEmpty()) {
        return QString();
    }
    return tr("Reinstalled the version they already ran: %1.").arg(BoardTable::labels(boards));
}

QString trvSession::lateReturnText() const
{
    return tr("%1 came back late, with %2.")
        .arg(BoardTable::groupName(BoardTable::Mainboard),
             reportedVersion(trvInterface::Mainboard));
}

QString trvSession::lateWaitText() const
{
    return tr("%1: not back yet, waiting up to %2 s more")
        .arg(BoardTable::groupName(BoardTable::Mainboard))
        .arg(waits.lateReturnTimeout / 1000.0);
}
