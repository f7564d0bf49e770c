#pragma once

#include "trvinterface.h"
#include "trvupdater.h"
#include "updatehistory.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

class ServiceLog;
class trvInstrument;

// Keeps the service record of the instrument's updates, the same for the
// window and the command line: each step of an update adds its start to the history before
// its first message and its completion when it ends (updated, failed with the
// engine's reason, or canceled when the update is aborted; a main board the
// engine gave up on, once the instrument has heard it back or not), with the
// versions after as far as the boards said them once the step had begun to
// change them; the record is in English whatever the language; connects,
// disconnects, refusals and each step's states go to the log. On a connect it
// looks up the instrument's last recorded step and says, once per record, when
// that one did not finish. A history or log that cannot be written is said
// once; the update goes on.
class ServiceRecorder : public QObject
{
    Q_OBJECT

public:
    // The instrument, history and log are borrowed and must outlive the recorder.
    // frontEnd names the program in the records ("window", "command line").
    ServiceRecorder(trvInstrument* instrument, const QString& frontEnd, UpdateHistory* history,
                    ServiceLog* log, QObject* parent = nullptr);

    // Adds a line to the log, as the recorder's own lines are added.
    void log(const QString& what);

    // The serial number to record: the instrument's, or "none" in words.
    static QString serialText(const QString& serialNumber);

signals:
    // The instrument just connected has, as its last recorded step, one that
    // did not finish (interrupted or canceled).
    void unfinishedUpdate(const HistoryRecord& record);
    // The history or the log cannot be written; said once per recorder.
    void recordUnavailable(const QString& text);

private slots:
    void connected();
    void disconnected();
    void openRefusal(int errorNumber);
    void stepStarted();
    void stepState(trvUpdater::State state, trvUpdater::Err error);
    void stepDone();
    void stepFailed(trvUpdater::Err error);
    // A board's answer to a version request.
    void versionHeard(trvInterface::PartType board, const QString& version);
    void updateAborted();
    // The instrument's end of an update, after a late main board perhaps.
    void lateReturnDecided();

private:
    // Completes the running step's record with the outcome.
    void complete(HistoryRecord::Outcome outcome, trvUpdater::Err error = trvUpdater::NoError);
    void recordFailed(const QString& text);
    // The running step's boards by their command-line names, for the log.
    QString stepBoardNames() const;

    trvInstrument* instrument;
    UpdateHistory* history;
    ServiceLog* serviceLog;
    QString frontEnd;
    HistoryRecord step;    // the running step's record
    bool stepOpen = false; // its start is written, its completion not
    QElapsedTimer stepClock;
    trvUpdater::State lastState = trvUpdater::Connecting;
    // Since the running step began to change its boards (its update mode),
    // each board's version as it answered: what it runs after the step. A
    // board not heard since may be half-written: its version is unknown.
    bool boardsChanging = false;
    QMap<QString, QString> versionsHeard;
    QSet<QString> announced; // unfinished records already said
    bool unavailableSaid = false;
};
