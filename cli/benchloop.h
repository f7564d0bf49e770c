#pragma once

#include "exitcode.h"
#include "updatecommand.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

class InstrumentHost;
class ReportWriter;

// trvloader-cli update --repeat: updates one instrument after another on a
// bench. For each it waits, updates it as update does, and says in one line
// (JSON: an "instrument-result" object) its serial number, its boards with
// their versions before and after, the outcome and the time it took; then it
// leaves that instrument alone until it has been unplugged, and waits for the
// next. A failed update does not end the loop. It ends after the count of
// instruments, when a wait ends without one, or with Ctrl-C, SIGTERM or
// SIGHUP; then a summary counts the instruments updated, failed and already
// current, by serial number (JSON: the final "result" with the list).
class BenchLoop : public QObject
{
    Q_OBJECT

public:
    // The host and the writer are borrowed and must outlive the loop. count
    // is the number of instruments to update; 0 for no end but a signal or
    // the wait.
    BenchLoop(InstrumentHost* host, ReportWriter* writer, const UpdateCommand::Options& options,
              int count, int answerMilliseconds, QObject* parent = nullptr);

    void start();
    // Ctrl-C, SIGTERM or SIGHUP: between instruments the loop ends with its
    // summary; during an update the update stops as update's does, then the
    // summary follows and the loop ends with the code.
    void interrupt(ExitCode::Code code);

signals:
    void finished(int exitCode);

private:
    // How one instrument's turn ended.
    struct Result
    {
        QString serial;  // empty when it reports none
        QString outcome; // "updated", "current", "failed" or "canceled"
        ExitCode::Code code = ExitCode::Success;
        double seconds = 0;
    };

    // Waits for the next instrument and updates it.
    void next();
    void instrumentEnded(int code);
    // The instrument's result line.
    QString resultLine(const Result& result, const QJsonObject& details) const;
    QStringList serialsWith(const QString& outcome) const;
    void finish(ExitCode::Code code);

    InstrumentHost* host;
    ReportWriter* report;
    const UpdateCommand::Options options;
    const int count;
    const int answerTime;
    UpdateCommand* running = nullptr; // the update of the instrument on the bench now
    bool connectedThisTurn = false;
    QElapsedTimer turnTime; // from the instrument's connect
    QList<Result> results;
    bool stopping = false; // interrupted during an update: no next instrument
    bool over = false;
};
