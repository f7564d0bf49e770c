#include "servicerecorder.h"

#include "boardtable.h"
#include "servicelog.h"
#include "trvinstrument.h"
#include "trvupdatesequence.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUuid>

ServiceRecorder::ServiceRecorder(trvInstrument* recorded, const QString& frontEndName,
                                 UpdateHistory* updateHistory, ServiceLog* log, QObject* parent)
    : QObject(parent), instrument(recorded), history(updateHistory), serviceLog(log),
      frontEnd(frontEndName)
{
    qRegisterMetaType<HistoryRecord>();
    trvUpdateSequence* sequence = instrument->sequence();
    connect(instrument, &trvInstrument::connected, this, &ServiceRecorder::connected);
    connect(instrument, &trvInstrument::disconnected, this, &ServiceRecorder::disconnected);
    connect(instrument, &trvInstrument::openRefusalChanged, this, &ServiceRecorder::openRefusal);
    connect(instrument, &trvInstrument::versionReported, this, &ServiceRecorder::versionHeard);
    connect(sequence, &trvUpdateSequence::stepStarted, this, &ServiceRecorder::stepStarted);
    connect(sequence, &trvUpdateSequence::currentState, this, &ServiceRecorder::stepState);
    connect(sequence, &trvUpdateSequence::stepDone, this, &ServiceRecorder::stepDone);
    connect(sequence, &trvUpdateSequence::canceled, this, &ServiceRecorder::stepFailed);
    connect(instrument, &trvInstrument::aborted, this, &ServiceRecorder::updateAborted);
    connect(instrument, &trvInstrument::updateSucceeded, this, &ServiceRecorder::lateReturnDecided);
    connect(instrument, &trvInstrument::updateFailed, this, &ServiceRecorder::lateReturnDecided);
}

// The log is for support: its lines are in English, whatever the user's language.
void ServiceRecorder::log(const QString& what)
{
    QString error;
    if (!serviceLog->append(QStringLiteral("%1: %2").arg(frontEnd, what), &error)) {
        recordFailed(error);
    }
}

QString ServiceRecorder::serialText(const QString& serialNumber)
{
    return serialNumber.isEmpty() ? QStringLiteral("reports no serial number") : serialNumber;
}

void ServiceRecorder::connected()
{
    const QString serial = instrument->serialNumber();
    log(QStringLiteral("Connected to the instrument (serial number: %1)").arg(serialText(serial)));

    HistoryRecord last;
    // The main board's return in the middle of its step is no new instrument.
    if (stepOpen || !history->lastRecordFor(serial, &last) || announced.contains(last.id)) {
        return;
    }
    if (last.outcome == HistoryRecord::Interrupted || last.outcome == HistoryRecord::Canceled) {
        announced.insert(last.id);
        log(QStringLiteral("The last recorded update did not finish: %1 (%2)")
                .arg(last.boards.join(QStringLiteral(", ")),
                     HistoryRecord::outcomeName(last.outcome)));
        emit unfinishedUpdate(last);
    }
}

void ServiceRecorder::disconnected()
{
    log(QStringLiteral("Disconnected from the instrument"));
}

void ServiceRecorder::openRefusal(int errorNumber)
{
    if (errorNumber != 0) {
        log(QStringLiteral("The instrument cannot be opened: %1")
                .arg(UsbHid::refusalDescription(errorNumber, UsbHid::English)));
    }
}

void ServiceRecorder::stepStarted()
{
    trvUpdateSequence* sequence = instrument->sequence();
    const QList<trvInterface::PartType> boards = sequence->stepBoards();
    if (boards.isEmpty()) {
        return;
    }
    const BoardTable::Group group = BoardTable::groupOf(boards.first());
    const HexReader& image = instrument->image(group);
    const QString file = instrument->imageFile(group);

    step = HistoryRecord();
    step.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    step.started = QDateTime::currentDateTimeUtc();
    step.serialNumber = instrument->serialNumber();
    step.tool = QCoreApplication::applicationName();
    step.toolVersion = QCoreApplication::applicationVersion();
    step.frontEnd = frontEnd;
    for (trvInterface::PartType board : boards) {
        const QString name = BoardTable::commandName(board);
        step.boards.append(name);
        if (instrument->hasAnswered(board)) {
            step.versionsBefore.insert(name, instrument->reportedVersion(board));
        }
    }
    step.image = file.isEmpty() ? QStringLiteral("built-in") : QFileInfo(file).fileName();
    step.imageVersion = image.version;
    step.imageChecksum = image.checksum;
    step.imageSha256 = image.fileSha256; // of the file, as sha256sum gives it
    stepClock.start();
    lastState = trvUpdater::Connecting;
    boardsChanging = false;
    versionsHeard.clear();

    QString error;
    stepOpen = true;
    if (!history->begin(step, &error)) {
        recordFailed(error);
    }
    log(QStringLiteral("Update of %1 started with the %2 image %3")
            .arg(stepBoardNames(), step.image, step.imageVersion));
}

void ServiceRecorder::stepState(trvUpdater::State state, trvUpdater::Err error)
{
    if (!stepOpen || state == lastState) {
        return;
    }
    lastState = state;
    // From the update mode on, a board may no longer run what it ran before.
    boardsChanging =
        boardsChanging || (state != trvUpdater::Failed && state != trvUpdater::Connecting &&
                           state != trvUpdater::CheckCompatibility);
    QString text = trvUpdater::stateName(state);
    if (error != trvUpdater::NoError) {
        text += QStringLiteral(" (%1)").arg(trvUpdater::errorName(error));
    }
    log(QStringLiteral("Update of %1: %2").arg(stepBoardNames(), text));
}

void ServiceRecorder::versionHeard(trvInterface::PartType board, const QString& version)
{
    const QString name = BoardTable::commandName(board);
    if (stepOpen && boardsChanging && step.boards.contains(name)) {
        versionsHeard.insert(name, version);
    }
}

void ServiceRecorder::stepDone()
{
    complete(HistoryRecord::Updated);
}

void ServiceRecorder::stepFailed(trvUpdater::Err error)
{
    if (instrument->isUpdating()) {
        // The instrument listens for a late main board: its return decides.
        log(QStringLiteral("Update of %1: the main board is not back yet; listening for it")
                .arg(stepBoardNames()));
        return;
    }
    complete(HistoryRecord::Failed, error);
}

void ServiceRecorder::lateReturnDecided()
{
    // Only a step left open for a late main board is still open here.
    if (instrument->failure().error == trvUpdater::NoError) {
        complete(HistoryRecord::Updated);
    } else {
        complete(HistoryRecord::Failed, instrument->failure().error);
    }
}

void ServiceRecorder::updateAborted()
{
    complete(HistoryRecord::Canceled);
}

void ServiceRecorder::complete(HistoryRecord::Outcome outcome, trvUpdater::Err error)
{
    if (!stepOpen) {
        return;
    }
    stepOpen = false;
    step.ended = QDateTime::currentDateTimeUtc();
    step.outcome = outcome;
    step.durationMs = stepClock.elapsed();
    for (trvInterface::PartType board : BoardTable::boards()) {
        const QString name = BoardTable::commandName(board);
        if (!step.boards.contains(name)) {
            continue;
        }
        // Never the version from before: a board that failed or was stopped
        // part-way may be half-written, and is unknown unless it said since.
        if (versionsHeard.contains(name)) {
            step.versionsAfter.insert(name, versionsHeard.value(name));
        } else if (outcome == HistoryRecord::Updated) {
            // The engine has seen the board run the image's version.
            step.versionsAfter.insert(name, step.imageVersion);
        }
    }
    if (outcome == HistoryRecord::Failed) {
        step.failureReason = trvUpdater::errorName(error);
        step.failureText = trvUpdater::errorDescriptionInEnglish(error);
    }

    QString failure;
    if (!history->complete(step, &failure)) {
        recordFailed(failure);
    }
    QString text = QStringLiteral("Update of %1 ended: %2")
                       .arg(stepBoardNames(), HistoryRecord::outcomeName(outcome));
    if (outcome == HistoryRecord::Failed) {
        text += QStringLiteral(" (%1: %2)").arg(step.failureReason, step.failureText);
    }
    log(text);
}

QString ServiceRecorder::stepBoardNames() const
{
    return step.boards.join(QStringLiteral(", "));
}

void ServiceRecorder::recordFailed(const QString& text)
{
    if (unavailableSaid) {
        return;
    }
    unavailableSaid = true;
    emit recordUnavailable(text);
}
