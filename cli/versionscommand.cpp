#include "versionscommand.h"

#include "boardtable.h"
#include "instrumenthost.h"
#include "reportwriter.h"
#include "trvinstrument.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

VersionsCommand::VersionsCommand(ReportWriter* writer, InstrumentWait* wait, int waitMilliseconds,
                                 QObject* parent)
    : InstrumentCommand(QStringLiteral("versions"), writer, wait, waitMilliseconds, parent)
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
    const trvInstrument* session = host->instrument();
    for (trvInterface::PartType board : BoardTable::boards()) {
        const bool answered = session->hasAnswered(board);
        const QString installed = session->reportedVersion(board);
        const BoardTable::Group group = BoardTable::groupOf(board);
        const QString image = session->image(group).version;
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
        });
    }
    end(ExitCode::Success, QString(), {{"boards", boards}});
}
