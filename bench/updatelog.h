#pragma once

#include "trvinterface.h"
#include "trvupdater.h"
#include "trvupdatesequence.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>

// Watches an update run by the shared update sequence and notes when each step
// and its transfer began and ended, in milliseconds and in the link's poll
// ticks; for the speed benchmark and the soak.
class UpdateLog : public QObject
{
    Q_OBJECT

public:
    // What one step took; times in ms since the update started.
    struct Step
    {
        trvInterface::PartType part = trvInterface::NoPart; // NoPart for the sensor step
        QList<trvInterface::PartType> boards;
        int lines = 0;
        qint64 started = 0;
        qint64 transferStarted = -1;
        qint64 transferEnded = -1;
        qint64 ended = -1;
        qint64 ticksAtTransferStart = 0;
        qint64 ticksAtTransferEnd = 0;
        // The last state before the end (the one a failure happened in).
        trvUpdater::State lastState = trvUpdater::Connecting;
    };

    // The images are the sequence's, for counting each step's lines.
    UpdateLog(trvUpdateSequence* sequence, trvInterface* device,
              const trvUpdateSequence::Images& images, QObject* parent = nullptr);

    // Starts the update of these boards through the sequence, with a new log.
    bool start(const QList<trvInterface::PartType>& boards);

    bool succeeded() const;
    trvUpdater::Err error() const;
    const QList<Step>& steps() const;
    // Poll ticks of the link since the log was made.
    qint64 ticks() const;
    // Milliseconds since start().
    qint64 elapsed() const;
    // Engines the sequence has made and not yet destroyed.
    int liveEngines() const;

signals:
    void finished(bool succeeded);

private slots:
    void stepStarted();
    void stepState(trvUpdater::State state, trvUpdater::Err error);
    void stepRange(int min, int max);
    void stepDone();
    void updateDone();
    void updateCanceled(trvUpdater::Err error);

private:
    trvUpdateSequence* sequence;
    trvUpdateSequence::Images images;
    QList<Step> stepLog;
    QElapsedTimer clock;
    qint64 tickCount = 0;
    bool success = false;
    trvUpdater::Err failure = trvUpdater::NoError;
};
