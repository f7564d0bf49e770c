#include "instrumentcommand.h"

#include "instrumenthost.h"
#include "instrumentwait.h"
#include "reportwriter.h"
#include "usertexts.h"

#include <QJsonArray>

#include <cerrno>

InstrumentCommand::InstrumentCommand(const QString& command, ReportWriter* writer,
                                     InstrumentWait* wait, int waitMilliseconds, QObject* parent)
    : QObject(parent), report(writer), instrument(wait), host(wait->host()),
      waitTime(waitMilliseconds), commandName(command)
{
    connect(instrument, &InstrumentWait::ready, this, [this] { instrumentReady(); });
    connect(instrument, &InstrumentWait::failed, this,
            [this](ExitCode::Code code, const QString& reason) { instrumentFailed(code, reason); });
    connect(instrument, &InstrumentWait::refused, this, &InstrumentCommand::tellRefused);
    connect(host, &InstrumentHost::unfinishedUpdate, this, &InstrumentCommand::tellUnfinished);
    connect(host, &InstrumentHost::recordUnavailable, this,
            &InstrumentCommand::tellRecordUnavailable);
}

void InstrumentCommand::instrumentFailed(ExitCode::Code code, const QString& reason)
{
    end(code, reason);
}

void InstrumentCommand::tellUnfinished(const HistoryRecord& record)
{
    report->endProgress();
    report->note(UserTexts::unfinishedText(record));
    report->event(QJsonObject{
        {"event", "unfinished"},
        {"boards", QJsonArray::fromStringList(record.boards)},
        {"names", QJsonArray::fromStringList(UserTexts::rowNames(record))},
        {"outcome", HistoryRecord::outcomeName(record.outcome)},
        {"started", record.started.toString(Qt::ISODateWithMs)},
    });
}

void InstrumentCommand::tellRefused(int errorNumber, const QString& text)
{
    report->note(text);
    QString reason = QStringLiteral("other");
    if (errorNumber == EBUSY) {
        reason = QStringLiteral("busy");
    } else if (errorNumber == EACCES || errorNumber == EPERM) {
        reason = QStringLiteral("permission");
    }
    report->event(QJsonObject{{"event", "refused"}, {"reason", reason}, {"text", text}});
}

void InstrumentCommand::tellRecordUnavailable(const QString& text)
{
    report->endProgress();
    report->error(
        tr("Warning: %1. The update history and log are not kept; the rest goes on.").arg(text));
    report->event(QJsonObject{{"event", "warning"}, {"text", text}});
}

void InstrumentCommand::start()
{
    // A copy that holds the instrument ends this one before any word of a wait.
    if (!instrument->takeLock()) {
        return;
    }
    announceWait();
    instrument->start(waitTime);
}

void InstrumentCommand::tellInstrument()
{
    report->line(UserTexts::instrumentText(host->serialNumber()));
}

QJsonObject InstrumentCommand::instrumentObject() const
{
    const QString serial = host->serialNumber();
    return QJsonObject{
        {"serial", serial.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(serial)}};
}

void InstrumentCommand::end(ExitCode::Code code, const QString& error, const QJsonObject& given)
{
    if (over) {
        return;
    }
    over = true;
    QJsonObject details = given;
    if (instrument->instrumentSeen() && !details.contains(QStringLiteral("instrument"))) {
        details.insert("instrument", instrumentObject());
    }
    if (code == ExitCode::SeveralInstruments || code == ExitCode::NoInstrument) {
        // Which ones there are, to choose from with --serial.
        QJsonArray attached;
        for (const UsbHid::Device& device : host->attached()) {
            attached.append(QJsonObject{
                {"serial", device.serialNumber.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                         : QJsonValue(device.serialNumber)},
                {"path", device.path}});
        }
        details.insert("attached", attached);
    }
    // Nothing the closing link says reaches the command any more.
    disconnect(host, nullptr, this, nullptr);
    instrument->stop();
    report->endProgress();
    if (!error.isEmpty()) {
        report->error(error);
    }
    ended = details;
    ended.insert("error", error);
    if (oneOfMany && !instrument->instrumentSeen()) {
        // No instrument, so no instrument's result: the bench tells how it ended.
    } else if (oneOfMany) {
        QJsonObject object = details;
        object.insert("event", "instrument-result");
        object.insert("result", ExitCode::name(code));
        object.insert("exitCode", int(code));
        object.insert("error", error);
        report->event(object);
    } else {
        report->result(commandName, code, error, details);
    }
    emit finished(code);
}

void InstrumentCommand::setOneOfMany(bool many)
{
    oneOfMany = many;
}

QJsonObject InstrumentCommand::resultDetails() const
{
    return ended;
}

bool InstrumentCommand::isOver() const
{
    return over;
}
