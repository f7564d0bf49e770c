#include "trvsession.h"

#include "firmwareversion.h"
#include "trvupdatesequence.h"

#include <QTimer>

trvSession::trvSession(trvInterface* device, const trvTiming& timing, QObject* parent)
    : QObject(parent), link(device), waits(timing), updates(nullptr), watchdog(new QTimer(this))
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
    return updates->isRunning() && updates->currentPart() == trvInterface::Mainboard &&
           (updates->state() == trvUpdater::Restarting ||
            updates->state() == trvUpdater::WaitForReconnect);
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
        const bool usable = reader.read(BoardTable::builtInImage(group), false) ==
                                HexReader::FileOk &&
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
        const int order =
            FirmwareVersion::compare(reportedVersion(board), imageFor(board).version);
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
    return updates->start(plan.boards);
}
