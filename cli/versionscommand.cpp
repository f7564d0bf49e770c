#include "versionscommand.h"

#include "boardtable.h"
#include "firmwareversion.h"
#include "instrumenthost.h"
#include "reportwriter.h"
#include "trvinstrument.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

VersionsCommand::VersionsCommand(ReportWriter* writer, InstrumentWait* wait, int waitMilliseconds,
                                 bool check, QObject* parent)
    : InstrumentCommand(QStringLiteral("versions"), writer, wait, waitMilliseconds, parent),
      checking(check)
{
}

void VersionsCommand::announceWait()
{
    report->note(tr("Waiting for the instrument (up to %1 s)...").arg(waitTime / 1000.0));
}

void VersionsCommand::interrupt(ExitCode::Code code)
{
    end(code, tr("Canceled."));
}

void VersionsCommand::instrumentReady()
{
    report->endProgress();
    tellInstrument();
    const QString notAnswered = tr("did not answer");
    report->line(QStringLiteral("%1 %2 %3 %4")
                     .arg(tr("Board"), -10)
                     .arg(tr("Name"), -14)
                     .arg(tr("Installed"), -16)
                     .arg(tr("Image")));
    QJsonArray boards;
    QList<trvInterface::PartType> other;
    QList<trvInterface::PartType> silent;
    const trvInstrument* session = host->instrument();
    for (trvInterface::PartType board : BoardTable::boards()) {
        const bool answered = session->hasAnswered(board);
        const QString installed = session->reportedVersion(board);
        const BoardTable::Group group = BoardTable::groupOf(board);
        const QString image = session->image(group).version;
        const bool current =
            answered && FirmwareVersion::compare(installed, image) == FirmwareVersion::Equal;
        if (!answered) {
            silent.append(board);
        } else if (!current) {
            other.append(board);
        }
        report->line(QStringLiteral("%1 %2 %3 %4")
                         .arg(BoardTable::commandName(board), -10)
                         .arg(BoardTable::rowName(board), -14)
                         .arg(answered ? installed : notAnswered, -16)
                         .arg(image));
        boards.append(QJsonObject{
            {"board", BoardTable::commandName(board)},
            {"name", BoardTable::rowName(board)},
            {"group", BoardTable::groupName(board)},
            {"answered", answered},
            {"installed", answered ? QJsonValue(installed) : QJsonValue(QJsonValue::Null)},
            {"image", image},
            {"imageSource", host->imageSource(group)},
            {"current", current},
        });
    }
    const QJsonObject details{{"boards", boards},
                              {"allCurrent", other.isEmpty() && silent.isEmpty()}};
    if (!checking) {
        end(ExitCode::Success, QString(), details);
        return;
    }
    QStringList notCurrent;
    if (!other.isEmpty()) {
        notCurrent.append(
            tr("Not running their image's version: %1.").arg(BoardTable::labels(other)));
    }
    if (!silent.isEmpty()) {
        notCurrent.append(tr("Did not answer: %1.").arg(BoardTable::labels(silent)));
    }
    if (!notCurrent.isEmpty()) {
        end(ExitCode::NotCurrent, notCurrent.join(QLatin1Char('\n')), details);
        return;
    }
    report->line(tr("Every board runs its image's version."));
    end(ExitCode::Success, QString(), details);
}
