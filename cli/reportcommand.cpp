#include "reportcommand.h"

#include "instrumentsession.h"
#include "reportwriter.h"
#include "supportreport.h"

ReportCommand::ReportCommand(ReportWriter* writer, InstrumentSession* session, int waitMilliseconds,
                             QObject* parent)
    : InstrumentCommand(QStringLiteral("report"), writer, session, waitMilliseconds, parent)
{
}

void ReportCommand::announceWait()
{
    if (report->style() == ReportWriter::Terminal) {
        report->progress(tr("Looking for the instrument (up to %1 s)...").arg(waitTime / 1000.0));
    }
}

void ReportCommand::interrupt()
{
    print(QString());
}

void ReportCommand::instrumentReady()
{
    print(QString());
}

void ReportCommand::instrumentFailed(ExitCode::Code, const QString& reason)
{
    print(reason);
}

void ReportCommand::print(const QString& instrumentNote)
{
    if (isOver()) {
        return;
    }
    report->endProgress();
    SupportReport::Tool tool;
    tool.name = QStringLiteral("trvloader-cli");
    tool.version = QStringLiteral(TRV_VERSION);
    const QString text = SupportReport::text(tool, *instrument->session(), instrument->history(),
                                             instrument->log(), instrumentNote);
    if (!report->isJson()) {
        report->text(text);
    }
    end(ExitCode::Success, QString(), {{"report", text}});
}
