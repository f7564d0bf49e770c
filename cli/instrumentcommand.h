#pragma once

#include "exitcode.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

class InstrumentHost;
class InstrumentWait;
struct HistoryRecord;
class ReportWriter;

// A command that talks to the instrument: it waits for it through the
// host, and ends once, with the link closed, the error told
// and the result object written.
class InstrumentCommand : public QObject
{
    Q_OBJECT

public:
    // The writer and the instrument are borrowed and must outlive the command.
    InstrumentCommand(const QString& command, ReportWriter* writer, InstrumentWait* wait,
                      int waitMilliseconds, QObject* parent = nullptr);

    // Starts waiting for the instrument.
    void start();
    // One run of several on a bench: the end is told as an
    // "instrument-result" event, not as the program's result, and the
    // command does not announce its wait (the bench says it waits for the
    // next instrument).
    void setOneOfMany(bool oneOfMany);
    // What the command ended with: the details of its result object, with
    // its error text under "error"; empty before the end.
    QJsonObject resultDetails() const;
    // Ctrl-C, SIGTERM or SIGHUP: the command stops and ends with the code.
    virtual void interrupt(ExitCode::Code code) = 0;

signals:
    void finished(int exitCode);

protected:
    // Says that the tool waits for the instrument.
    virtual void announceWait() = 0;
    // The instrument is there and its boards have answered.
    virtual void instrumentReady() = 0;
    // The wait has ended without that; by default the command ends with the code.
    virtual void instrumentFailed(ExitCode::Code code, const QString& reason);
    // Ends the command, the first time only: closes the session, tells the
    // error (when there is one) and writes the result with the command's details.
    void end(ExitCode::Code code, const QString& error, const QJsonObject& details = QJsonObject());
    bool isOver() const;
    // Says which instrument is connected (its serial number), before the
    // command's own words.
    void tellInstrument();
    // The instrument connected, for JSON: {"serial": ...}, null where it reports none.
    QJsonObject instrumentObject() const;

    ReportWriter* report;
    InstrumentWait* instrument;
    InstrumentHost* host; // the instrument's
    const int waitTime;
    bool oneOfMany = false; // see setOneOfMany()

private:
    // Says at once that the instrument is there but cannot be opened; the wait goes on.
    void tellRefused(int errorNumber, const QString& text);
    // Says that the instrument's last recorded update did not finish.
    void tellUnfinished(const HistoryRecord& record);
    // Warns once that the service record cannot be written; the command goes on.
    void tellRecordUnavailable(const QString& text);

    const QString commandName;
    bool over = false;
    QJsonObject ended; // see resultDetails()
};
