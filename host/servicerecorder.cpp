#include "sessionrecorder.h"

#include "boardtable.h"
#include "servicelog.h"
#include "trvsession.h"
#include "trvupdatesequence.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QUuid>

SessionRecorder::SessionRecorder(trvSession* recorded, const QString& frontEndName,
                                 UpdateHistory* updateHistory, ServiceLog* log, QObject* parent)
    : QObject(parent), session(recorded), history(updateHistory), serviceLog(log),
      frontEnd(frontEndName)
{
    qRegisterMetaType<HistoryRecord>();
    trvUpdateSequence* sequence = session->sequence();
    connect(session, &trvSession::connected, this, &SessionRecorder::connected);
    connect(session, &trvSession::disconnected, this, &SessionRecorder::disconnected);
    connect(session->device(), &UsbHid::openRefusalChanged, this, &SessionRecorder::openRefusal);
    connect(sequence, &trvUpdateSequence::stepStarted, this, &SessionRecorder::stepStarted);
    connect(sequence, &trvUpdateSequence::currentState, this, &SessionRecorder::stepState);
    connect(sequence, &trvUpdateSequence::stepDone, this, &SessionRecorder::stepDone);
    connect(sequence, &trvUpdateSequence::canceled, this, &SessionRecorder::stepFailed);
    connect(session, &trvSession::aborted, this, &SessionRecorder::updateAborted);
    connect(session, &trvSession::updateSucceeded, this, &SessionRecorder::lateReturnDecided);
    connect(session, &trvSession::updateFailed, this, &SessionRecorder::lateReturnDecided);
}

// The log is for support: its lines are in English, whatever the user's language.
void SessionRecorder::log(const QString& what)
{
    QString error;
    if (!serviceLog->append(QStringLiteral("%1: %2").arg(frontEnd, what), &error)) {
        recordFailed(error);
    }
}

QString SessionRecorder::serialText(const QString& serialNumber)
{
    return serialNumber.isEmpty() ? QStringLiteral("reports no serial number") : serialNumber;
}

QStringList SessionRecorder::rowNames(const HistoryRecord& record)
{
    QStringList names;
    for (trvInterface::PartType board : BoardTable::boards()) {
        if (record.boards.contains(BoardTable::commandName(board))) {
            names.append(BoardTable::rowName(board));
        }
    }
    return names;
}

QString SessionRecorder::unfinishedText(const HistoryRecord& record)
{
    const QString boards = rowNames(record).join(QStringLiteral(", "));
    const QString when = record.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString how = record.outcome == HistoryRecord::Canceled
                            ? tr("The update of %1 begun %2 was canceled before it finished.")
                            : tr("The update of %1 begun %2 did not finish.");
    return how.arg(boards, when) + QLatin1Char(' ') +
           tr("These boards may need a new update: running the update again brings them back.");
}

void SessionRecorder::connected()
{
    const QString serial = session->device()->serialNumber();
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

void SessionRecorder::disconnected()
{
    log(QStringLiteral("Disconnected from the instrument"));
}

void SessionRecorder::openRefusal(int errorNumber)
{
    if (errorNumber != 0) {
        log(QStringLiteral("The instrument cannot be opened: %1")
                .arg(UsbHid::refusalDescription(errorNumber)));
    }
}

void SessionRecorder::stepStarted()
{
    trvUpdateSequence* sequence = session->sequence();
    const QList<trvInterface::PartType> boards = sequence->stepBoards();
    if (boards.isEmpty()) {
        return;
    }
    const BoardTable::Group group = BoardTable::groupOf(boards.first());
    const HexReader& image = session->image(group);
    const QString file = session->imageFile(group);

    step = HistoryRecord();
    step.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    step.started = QDateTime::currentDateTimeUtc();
    step.serialNumber = session->device()->serialNumber();
    step.tool = QCoreApplication::applicationName();
    step.toolVersion = QCoreApplication::applicationVersion();
    step.frontEnd = frontEnd;
    for (trvInterface::PartType board : boards) {
        const QString name = BoardTable::commandName(board);
        step.boards.append(name);
        if (session->hasAnswered(board)) {
            step.versionsBefore.insert(name, session->reportedVersion(board));
        }
    }
    step.image = file.isEmpty() ? QStringLiteral("built-in") : QFileInfo(file).fileName();
    step.imageVersion = image.version;
    step.imageChecksum = image.checksum;
    step.imageSha256 = QString::fromLatin1(
        QCryptographicHash::hash(image.data, QCryptographicHash::Sha256).toHex());
    stepClock.start();
    lastState = trvUpdater::Connecting;

    QString error;
    stepOpen = true;
    if (!history->begin(step, &error)) {
        recordFailed(error);
    }
    log(QStringLiteral("Update of %1 started with the %2 image %3")
            .arg(stepBoardNames(), step.image, step.imageVersion));
}

void SessionRecorder::stepState(trvUpdater::State state, trvUpdater::Err error)
{
    if (!stepOpen || state == lastState) {
        return;
    }
    lastState = state;
    QString text = trvUpdater::stateName(state);
    if (error != trvUpdater::NoError) {
        text += QStringLiteral(" (%1)").arg(trvUpdater::errorName(error));
    }
    log(QStringLiteral("Update of %1: %2").arg(stepBoardNames(), text));
}

void SessionRecorder::stepDone()
{
    complete(HistoryRecord::Updated);
}

void SessionRecorder::stepFailed(trvUpdater::Err error)
{
    if (session->isUpdating()) {
        // The session listens for a late main board: its return decides.
        log(QStringLiteral("Update of %1: the main board is not back yet; listening for it")
                .arg(stepBoardNames()));
        return;
    }
    complete(HistoryRecord::Failed, error);
}

void SessionRecorder::lateReturnDecided()
{
    // Only a step left open for a late main board is still open here.
    if (session->failure().error == trvUpdater::NoError) {
        complete(HistoryRecord::Updated);
    } else {
        complete(HistoryRecord::Failed, session->failure().error);
    }
}

void SessionRecorder::updateAborted()
{
    complete(HistoryRecord::Canceled);
}

void SessionRecorder::complete(HistoryRecord::Outcome outcome, trvUpdater::Err error)
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
        if (session->hasAnswered(board)) {
            step.versionsAfter.insert(name, session->reportedVersion(board));
        } else if (outcome == HistoryRecord::Updated) {
            // The engine has seen the board run the image's version.
            step.versionsAfter.insert(name, step.imageVersion);
        }
    }
    if (outcome == HistoryRecord::Failed) {
        step.failureReason = trvUpdater::errorName(error);
        step.failureText = trvUpdater::errorDescription(error);
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

QString SessionRecorder::stepBoardNames() const
{
    return step.boards.join(QStringLiteral(", "));
}

void SessionRecorder::recordFailed(const QString& text)
{
    if (unavailableSaid) {
        return;
    }
    unavailableSaid = true;
    emit recordUnavailable(text);
}
