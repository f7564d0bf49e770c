#include "reportcommand.h"

#include "instrumenthost.h"
#include "reportwriter.h"

ReportCommand::ReportCommand(ReportWriter* writer, InstrumentWait* wait, int waitMilliseconds,
                             QObject* parent)
    : InstrumentCommand(QStringLiteral("report"), writer, wait, waitMilliseconds, parent)
{
}

void ReportCommand::announceWait()
{
    report->note(tr("Looking for the instrument (up to %1 s)...").arg(waitTime / 1000.0));
}

void ReportCommand::interrupt(ExitCode::Code)
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
    const QString text = host->supportReport(QStringLiteral("trvloader-cli"), instrumentNote);
    if (!report->isJson()) {
        report->text(text);
    }
    end(ExitCode::Success, QString(), {{"report", text}});
}
