#include "instrumentcommand.h"

#include "instrumentsession.h"
#include "reportwriter.h"

InstrumentCommand::InstrumentCommand(const QString& command, ReportWriter* writer,
                                     InstrumentSession* session, int waitMilliseconds,
                                     QObject* parent)
    : QObject(parent), report(writer), instrument(session), waitTime(waitMilliseconds),
      commandName(command)
{
    connect(instrument, &InstrumentSession::ready, this, [this] { instrumentReady(); });
    connect(instrument, &InstrumentSession::failed, this,
            [this](ExitCode::Code code, const QString& reason) { end(code, reason); });
}

void InstrumentCommand::start()
{
    announceWait();
    instrument->start(waitTime);
}

void InstrumentCommand::end(ExitCode::Code code, const QString& error, const QJsonObject& details)
{
    if (over) {
        return;
    }
    over = true;
    instrument->stop();
    report->endProgress();
    if (!error.isEmpty()) {
        report->error(error);
    }
    report->result(commandName, code, error, details);
    emit finished(code);
}

bool InstrumentCommand::isOver() const
{
    return over;
}
