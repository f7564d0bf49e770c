#include "updatecommand.h"

#include "boardtable.h"
#include "instrumenthost.h"
#include "instrumentwait.h"
#include "reportwriter.h"
#include "trvinstrument.h"
#include "trvupdatesequence.h"
#include "usertexts.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>

#include <algorithm>

namespace {

QJsonArray boardNames(const QList<trvInterface::PartType>& boards)
{
    QJsonArray names;
    for (trvInterface::PartType board : boards) {
        names.append(BoardTable::commandName(board));
    }
    return names;
}

} // namespace

UpdateCommand::UpdateCommand(ReportWriter* writer, InstrumentWait* wait, const Options& asked,
                             QObject* parent)
    : InstrumentCommand(QStringLiteral("update"), writer, wait, asked.waitMilliseconds, parent),
      options(asked)
{
    connect(host, &InstrumentHost::connected, this, [this] {
        this->report->event(QJsonObject{{"event", "connected"}, {"instrument", instrumentObject()}});
    });
    connect(host, &InstrumentHost::disconnected, this, [this] {
        this->report->event(QJsonObject{{"event", "disconnected"}});
    });
    connect(host, &InstrumentHost::versionReported, this,
            [this](trvInterface::PartType board, const QString& version) {
                this->report->event(QJsonObject{{"event", "version"},
                                                {"board", BoardTable::commandName(board)},
                                                {"version", version}});
            });
    connect(host, &InstrumentHost::linkError, this, [this](const QString& text) {
        this->report->event(QJsonObject{{"event", "linkError"}, {"text", text}});
    });
}

void UpdateCommand::announceWait()
{
    for (PartType board : BoardTable::boards()) {
        if (options.boards.contains(board)) {
            outcomes.insert(board, NotStarted);
        }
    }
    if (oneOfMany) {
        return;
    }
    const double seconds = options.waitMilliseconds / 1000.0;
    report->note(tr("Waiting for the instrument (up to %1 s)...").arg(seconds));
    report->event(QJsonObject{{"event", "waiting"}, {"seconds", seconds}});
}

void UpdateCommand::interrupt(ExitCode::Code code)
{
    if (isOver()) {
        return;
    }
    if (sequence && host->instrument()->isUpdating()) {
        for (PartType board : sequence->stepBoards()) {
            outcomes[board] = Canceled;
        }
        // No engine, and (in finish) no link: nothing more leaves.
        host->instrument()->abort();
        finish(code, tr("Canceled: sending stopped at once.") + QLatin1Char('\n') + leftBehind());
    } else {
        finish(code, tr("Canceled before the update began: no board has been changed."));
    }
}

void UpdateCommand::instrumentReady()
{
    tellInstrument();
    trvInstrument* session = host->instrument();
    UpdatePlan plan = session->plan(options.boards);
    for (PartType board : qAsConst(plan.boards)) {
        installed.insert(board, session->reportedVersion(board));
    }
    if (options.skipCurrent) {
        plan = session->withoutCurrent(plan);
        for (PartType board : qAsConst(plan.alreadyCurrent)) {
            outcomes[board] = Current;
        }
    }
    for (PartType board : qAsConst(plan.silent)) {
        outcomes[board] = options.skipMissing ? Skipped : Missing;
    }
    if (!plan.silent.isEmpty() && !options.skipMissing) {
        finish(ExitCode::BoardMissing,
               tr("These boards did not answer: %1.\nCheck the instrument's cables, or leave "
                  "them out with --skip-missing.")
                   .arg(BoardTable::labels(plan.silent)));
        return;
    }
    if (!plan.silent.isEmpty()) {
        report->note(
            tr("Left out, since they did not answer: %1.").arg(BoardTable::labels(plan.silent)));
    }
    if (!plan.alreadyCurrent.isEmpty()) {
        report->note(UserTexts::alreadyCurrentText(plan.alreadyCurrent));
    }
    chosen = plan.boards;
    reinstalled = plan.current;
    if (chosen.isEmpty() && !plan.alreadyCurrent.isEmpty()) {
        report->line(UserTexts::allCurrentText());
        finish(ExitCode::Success, QString());
        return;
    }
    if (chosen.isEmpty()) {
        finish(ExitCode::BoardMissing, tr("None of the boards asked for answered."));
        return;
    }

    QStringList older;
    for (PartType board : plan.older) {
        older.append(UserTexts::olderText(board, installed.value(board), imageVersion(board)));
    }
    if (!older.isEmpty() && !options.allowOlder) {
        finish(ExitCode::OlderImage,
               tr("An image is older than the firmware its board runs:\n  %1\nInstall it anyway "
                  "with --allow-older.")
                   .arg(older.join(QStringLiteral("\n  "))));
        return;
    }
    if (!older.isEmpty()) {
        report->note(tr("Installing older firmware, as --allow-older asks:\n  %1")
                         .arg(older.join(QStringLiteral("\n  "))));
    }

    report->line(tr("Boards to update:"));
    QJsonArray planned;
    for (PartType board : qAsConst(chosen)) {
        const QString source = reinstalled.contains(board)
                                   ? tr("%1, reinstalled").arg(imageSource(board))
                                   : imageSource(board);
        report->line(QStringLiteral("  %1 %2 %3 -> %4  (%5)")
                         .arg(BoardTable::commandName(board), -10)
                         .arg(BoardTable::rowName(board), -14)
                         .arg(installed.value(board), 6)
                         .arg(imageVersion(board), source));
        QJsonObject entry = boardEntry(board);
        entry.remove(QStringLiteral("after")); // not yet known
        planned.append(entry);
    }

    sequence = session->sequence();
    connect(sequence, &trvUpdateSequence::stepStarted, this, &UpdateCommand::stepStarted);
    connect(sequence, &trvUpdateSequence::currentState, this, &UpdateCommand::stateChanged);
    connect(sequence, &trvUpdateSequence::range, this, &UpdateCommand::rangeChanged);
    connect(sequence, &trvUpdateSequence::process, this, &UpdateCommand::processed);
    connect(sequence, &trvUpdateSequence::stepDone, this, &UpdateCommand::stepDone);
    connect(session, &trvInstrument::updateFailed, this, &UpdateCommand::updateFailed);
    connect(session, &trvInstrument::updateSucceeded, this, &UpdateCommand::updateDone);
    connect(host, &InstrumentHost::waitingForRestart, this, &UpdateCommand::restartAwaited);
    connect(session, &trvInstrument::waitingForLateReturn, this, &UpdateCommand::lateReturnAwaited);
    report->event(QJsonObject{{"event", "plan"},
                              {"instrument", instrumentObject()},
                              {"steps", int(plan.steps.size())},
                              {"boards", planned}});
    if (!session->start(plan)) {
        finish(ExitCode::InternalError, trvUpdater::errorDescription(trvUpdater::InternalError));
    }
}

void UpdateCommand::stepStarted()
{
    ++stepNumber;
    state = trvUpdater::Connecting;
    stepMaximum = 0;
    stepPosition = 0;
    shownPercent = -1;
    const QList<PartType> boards = sequence->stepBoards();
    const QString group = BoardTable::groupName(sequence->currentPart());
    const QString step = tr("Step %1 of %2").arg(stepNumber).arg(sequence->stepCount());
    if (boards.size() == 1 && BoardTable::rowName(boards.first()) == group) {
        report->fittedLine(QStringLiteral("%1: %2").arg(step, BoardTable::label(boards.first())));
    } else {
        report->fittedLine(
            QStringLiteral("%1, %2: %3").arg(step, group, BoardTable::labels(boards)));
    }
    report->event(stepEvent(QStringLiteral("step")));
}

void UpdateCommand::stateChanged(trvUpdater::State newState, trvUpdater::Err error)
{
    state = newState;
    QJsonObject event = stepEvent(QStringLiteral("state"));
    event.insert("state", trvUpdater::stateName(newState));
    if (newState == trvUpdater::Failed) {
        event.insert("error", trvUpdater::errorName(error));
        event.insert("text", trvUpdater::errorDescription(error));
        report->event(event);
        return; // the failure itself is told when the update ends
    }
    event.insert("text", trvUpdater::stateDesription(newState));
    report->event(event);
    showStep();
}

void UpdateCommand::rangeChanged(int, int max)
{
    stepMaximum = max;
}

void UpdateCommand::processed(int now)
{
    stepPosition = now;
    if (report->style() == ReportWriter::Terminal) {
        report->progress(stepLine(true));
    }
    const int percent = stepMaximum > 0 ? int(qint64(now) * 100 / stepMaximum) : 100;
    if (percent != shownPercent) {
        shownPercent = percent;
        QJsonObject event = stepEvent(QStringLiteral("progress"));
        event.insert("percent", percent);
        event.insert("bytes", now);
        event.insert("bytesTotal", stepMaximum);
        const int secondsLeft = host->secondsLeft();
        event.insert("secondsLeft",
                     secondsLeft < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(secondsLeft));
        report->event(event);
    }
}

void UpdateCommand::stepDone()
{
    for (PartType board : sequence->stepBoards()) {
        outcomes[board] = Updated;
    }
    report->endProgress();
    report->event(stepEvent(QStringLiteral("stepDone")));
}

void UpdateCommand::updateFailed()
{
    const trvInstrument::Failure failure = host->instrument()->failure();
    for (PartType board : failure.boards) {
        outcomes[board] = Failed;
    }
    const QJsonValue refusing = failure.refusing == trvInterface::NoPart
                                    ? QJsonValue(QJsonValue::Null)
                                    : QJsonValue(BoardTable::commandName(failure.refusing));
    const QJsonObject details{
        {"error", trvUpdater::errorName(failure.error)}, {"text", UserTexts::failureText(failure)},
        {"boards", boardNames(failure.boards)},          {"refusedBy", refusing},
        {"disconnected", failure.disconnected},
    };
    finish(ExitCode::ofEngineError(failure.error),
           UserTexts::failureText(failure) + QLatin1Char('\n') +
               UserTexts::failureAdvice(failure, UserTexts::CommandLine) + QLatin1Char('\n') +
               leftBehind(),
           {{"failure", details}});
}

void UpdateCommand::updateDone()
{
    trvInstrument* session = host->instrument();
    for (PartType board : qAsConst(chosen)) {
        outcomes[board] = Updated; // the main board's also when it came back late
    }
    report->endProgress();
    report->line(trvUpdater::stateDesription(trvUpdater::Succeeded));
    for (PartType board : qAsConst(chosen)) {
        report->line(QStringLiteral("  %1 %2 %3 -> %4%5")
                         .arg(BoardTable::commandName(board), -10)
                         .arg(BoardTable::rowName(board), -14)
                         .arg(installed.value(board), 6)
                         .arg(imageVersion(board),
                              reinstalled.contains(board) ? tr("  (reinstalled)") : QString()));
    }
    // A board left out says so where the others' versions begin.
    int versionWidth = 0;
    for (PartType board : qAsConst(chosen)) {
        versionWidth = std::max(versionWidth, int(installed.value(board).size()));
    }
    const QString versionsStart(std::max(0, 6 - versionWidth), QLatin1Char(' '));
    for (PartType board : session->leftOut()) {
        report->line(QStringLiteral("  %1 %2 %3%4")
                         .arg(BoardTable::commandName(board), -10)
                         .arg(BoardTable::rowName(board), -14)
                         .arg(versionsStart, tr("not updated: did not answer")));
    }
    for (PartType board : boardsWith(Current)) {
        report->line(QStringLiteral("  %1 %2 %3  (%4)")
                         .arg(BoardTable::commandName(board), -10)
                         .arg(BoardTable::rowName(board), -14)
                         .arg(installed.value(board), 6)
                         .arg(tr("already current, not sent")));
    }
    if (session->cameBackLate()) {
        report->line(UserTexts::lateReturnText(session->reportedVersion(trvInterface::Mainboard)));
    }
    finish(ExitCode::Success, QString(), {{"cameBackLate", session->cameBackLate()}});
}

void UpdateCommand::restartAwaited(int millisecondsAtMost)
{
    report->endProgress();
    report->line(UserTexts::restartWaitText(millisecondsAtMost) + QStringLiteral("..."));
    QJsonObject event = stepEvent(QStringLiteral("waitingForRestart"));
    event.insert("seconds", millisecondsAtMost / 1000.0);
    report->event(event);
}

void UpdateCommand::lateReturnAwaited()
{
    report->endProgress();
    const QString text = UserTexts::lateWaitText(host->instrument()->timing().lateReturnTimeout);
    report->line(text + QStringLiteral("..."));
    QJsonObject event = stepEvent(QStringLiteral("waitingForLateReturn"));
    event.insert("seconds", host->instrument()->timing().lateReturnTimeout / 1000.0);
    report->event(event);
}

QString UpdateCommand::stepLine(bool withPercent) const
{
    QString text = QStringLiteral("[%1/%2] %3: %4")
                       .arg(stepNumber)
                       .arg(sequence->stepCount())
                       .arg(BoardTable::groupName(sequence->currentPart()),
                            trvUpdater::stateDesription(state));
    if (withPercent) {
        const int percent = stepMaximum > 0 ? int(qint64(stepPosition) * 100 / stepMaximum) : 0;
        text += QStringLiteral(" %1%").arg(percent);
    }
    const int total = sequence->totalMaximum() > 0
                          ? int(qint64(sequence->totalValue()) * 100 / sequence->totalMaximum())
                          : 0;
    text += tr(" (total %1%)").arg(total);
    // A step that has ended has nothing more to wait for.
    const bool stepOver = state == trvUpdater::Succeeded || state == trvUpdater::Failed;
    const int secondsLeft = withPercent && !stepOver ? host->secondsLeft() : -1;
    if (secondsLeft >= 0) {
        text += QStringLiteral(", ") + UserTexts::timeLeftText(secondsLeft);
    }
    return text;
}

void UpdateCommand::showStep()
{
    report->progress(stepLine(report->style() == ReportWriter::Terminal));
}

QJsonObject UpdateCommand::stepEvent(const QString& name) const
{
    return QJsonObject{{"event", name},
                       {"step", stepNumber},
                       {"steps", sequence->stepCount()},
                       {"group", BoardTable::groupName(sequence->currentPart())},
                       {"boards", boardNames(sequence->stepBoards())},
                       {"total", sequence->totalValue()},
                       {"totalMaximum", sequence->totalMaximum()}};
}

QJsonObject UpdateCommand::boardEntry(PartType board) const
{
    const Outcome outcome = outcomes.value(board);
    // What the board runs now, as far as known: the verified image, or what
    // it ran before when nothing was sent to it, the version it reported
    // when it runs another one after its update; else unknown after a failed step.
    QJsonValue after(QJsonValue::Null);
    const trvInstrument::Failure failure = host->instrument()->failure();
    if (outcome == Failed && board == failure.refusing && !failure.reported.isEmpty()) {
        after = failure.reported; // what it reported after the update
    } else if (outcome == Updated) {
        after = imageVersion(board);
    } else if (outcome != Failed && outcome != Canceled && installed.contains(board)) {
        after = installed.value(board);
    }
    return QJsonObject{
        {"board", BoardTable::commandName(board)},
        {"name", BoardTable::rowName(board)},
        {"group", BoardTable::groupName(board)},
        {"before", installed.contains(board) ? QJsonValue(installed.value(board))
                                             : QJsonValue(QJsonValue::Null)},
        {"image", imageVersion(board)},
        {"imageSource", imageSource(board)},
        {"reinstall", reinstalled.contains(board)},
        {"outcome", outcomeName(outcome)},
        {"after", after},
    };
}

QString UpdateCommand::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case NotStarted:
        return QStringLiteral("notStarted");
    case Updated:
        return QStringLiteral("updated");
    case Failed:
        return QStringLiteral("failed");
    case Canceled:
        return QStringLiteral("canceled");
    case Skipped:
        return QStringLiteral("skipped");
    case Missing:
        return QStringLiteral("missing");
    case Current:
        return QStringLiteral("current");
    }
    return QString();
}

QList<trvInterface::PartType> UpdateCommand::boardsWith(Outcome outcome) const
{
    QList<PartType> boards;
    for (PartType board : BoardTable::boards()) {
        if (outcomes.contains(board) && outcomes.value(board) == outcome) {
            boards.append(board);
        }
    }
    return boards;
}

QString UpdateCommand::leftBehind() const
{
    QStringList lines;
    const QList<PartType> unsure = boardsWith(Failed) + boardsWith(Canceled);
    if (!unsure.isEmpty()) {
        lines.append(
            tr("These boards may now need a new update: %1.").arg(BoardTable::labels(unsure)));
    }
    QList<PartType> untouched;
    for (PartType board : qAsConst(chosen)) {
        if (outcomes.value(board) == NotStarted) {
            untouched.append(board);
        }
    }
    if (!untouched.isEmpty()) {
        lines.append(
            tr("Not updated, still on their old firmware: %1.").arg(BoardTable::labels(untouched)));
    }
    const QList<PartType> updated = boardsWith(Updated);
    if (!updated.isEmpty()) {
        lines.append(tr("Updated: %1.").arg(BoardTable::labels(updated)));
    }
    return lines.join(QLatin1Char('\n'));
}

void UpdateCommand::finish(ExitCode::Code code, const QString& error, const QJsonObject& extra)
{
    if (isOver()) {
        return;
    }
    QJsonArray boards;
    for (PartType board : BoardTable::boards()) {
        if (outcomes.contains(board)) {
            boards.append(boardEntry(board));
        }
    }
    QJsonObject details = extra;
    details.insert("steps", sequence ? sequence->stepCount() : 0);
    // A main board back late has done its step, though the engine gave up on it.
    details.insert("stepsDone", !sequence                   ? 0
                                : code == ExitCode::Success ? sequence->stepCount()
                                                            : sequence->stepsDone());
    details.insert("boards", boards);
    // Whether the update was needed: "current" when every board asked for
    // already ran its image's version and nothing was sent.
    details.insert("outcome", code != ExitCode::Success ? QStringLiteral("failed")
                              : chosen.isEmpty()        ? QStringLiteral("current")
                                                        : QStringLiteral("updated"));
    end(code, error, details);
}

QString UpdateCommand::imageVersion(PartType board) const
{
    return host->instrument()->imageFor(board).version;
}

QString UpdateCommand::imageSource(PartType board) const
{
    return host->imageSource(BoardTable::groupOf(board));
}
