#include "reportcommand.h"

#include "instrumenthost.h"
#include "instrumentwait.h"
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

void ReportCommand::instrumentFailed(ExitCode::Code code, const QString&)
{
    // The report is read by support: its note is in English, whatever the
    // user's language. A refusal the report tells by itself, from the link.
    const double seconds = waitTime / 1000.0;
    QString note;
    if (code == ExitCode::AlreadyRunning) {
        note = QStringLiteral("not looked for: another copy of the update tool is running");
    } else if (code == ExitCode::SeveralInstruments) {
        QStringList serials;
        for (const UsbHid::Device& device : host->attached()) {
            serials.append(device.identity());
        }
        note = QStringLiteral("Several instruments are connected (%1) and none was chosen with "
                              "--serial.")
                   .arg(serials.join(QStringLiteral(", ")));
        print(note, code);
        return;
    } else if (code != ExitCode::CannotOpen) {
        note = instrument->instrumentSeen()
                   ? QStringLiteral("The instrument was found, but none of its boards answered "
                                    "within %1 s.")
                         .arg(seconds)
                   : QStringLiteral("No instrument found within %1 s.").arg(seconds);
    }
    print(note);
}

void ReportCommand::print(const QString& instrumentNote, ExitCode::Code code)
{
    if (isOver()) {
        return;
    }
    report->endProgress();
    const QString text = host->supportReport(QStringLiteral("trvloader-cli"), instrumentNote);
    if (!report->isJson()) {
        report->text(text);
    }
    end(code, QString(), {{"report", text}});
}
