#include "versionscommand.h"

#include "boardnames.h"
#include "firmwareimages.h"
#include "instrumentsession.h"
#include "reportwriter.h"
#include "trvupdatesequence.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

VersionsCommand::VersionsCommand(ReportWriter* writer, FirmwareImages* firmware,
                                 int waitMilliseconds, QObject* parent)
    : QObject(parent), report(writer), images(firmware), session(new InstrumentSession(this)),
      waitTime(waitMilliseconds)
{
    connect(session, &InstrumentSession::ready, this, &VersionsCommand::instrumentReady);
    connect(session, &InstrumentSession::failed, this, &VersionsCommand::instrumentFailed);
}

void VersionsCommand::start()
{
    if (report->style() == ReportWriter::Terminal) {
        report->progress(tr("Waiting for the instrument (up to %1 s)...").arg(waitTime / 1000.0));
    }
    session->start(waitTime);
}

void VersionsCommand::interrupt()
{
    finish(ExitCode::Canceled, tr("Canceled."));
}

void VersionsCommand::instrumentReady()
{
    report->endProgress();
    const QString notAnswered = tr("did not answer");
    report->line(QStringLiteral("%1 %2 %3 %4")
                     .arg(tr("Board"), -10)
                     .arg(tr("Name"), -14)
                     .arg(tr("Installed"), -16)
                     .arg(tr("Image")));
    QJsonArray boards;
    for (trvInterface::PartType board : trvUpdateSequence::rowOrder()) {
        const bool answered = session->hasAnswered(board);
        const QString installed = session->reportedVersion(board);
        const FirmwareImages::Kind kind = FirmwareImages::kindOf(board);
        const QString image = images->image(kind).version;
        report->line(QStringLiteral("%1 %2 %3 %4")
                         .arg(BoardNames::commandName(board), -10)
                         .arg(BoardNames::rowName(board), -14)
                         .arg(answered ? installed : notAnswered, -16)
                         .arg(image));
        boards.append(QJsonObject{
            {"board", BoardNames::commandName(board)},
            {"name", BoardNames::rowName(board)},
            {"group", BoardNames::groupName(board)},
            {"answered", answered},
            {"installed", answered ? QJsonValue(installed) : QJsonValue(QJsonValue::Null)},
            {"image", image},
            {"imageSource", images->source(kind)},
        });
    }
    QJsonObject result{{"event", "result"},
                       {"command", "versions"},
                       {"result", ExitCode::name(ExitCode::Success)},
                       {"exitCode", int(ExitCode::Success)},
                       {"error", QString()},
                       {"boards", boards}};
    report->event(result);
    over = true;
    session->stop();
    emit finished(ExitCode::Success);
}

void VersionsCommand::instrumentFailed(ExitCode::Code code, const QString& reason)
{
    finish(code, reason);
}

void VersionsCommand::finish(ExitCode::Code code, const QString& error)
{
    if (over) {
        return;
    }
    over = true;
    session->stop();
    report->error(error);
    report->event(QJsonObject{{"event", "result"},
                              {"command", "versions"},
                              {"result", ExitCode::name(code)},
                              {"exitCode", int(code)},
                              {"error", error}});
    emit finished(code);
}
