#pragma once

#include "trvinterface.h"
#include "trvupdater.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>

class HexReader;

// One whole update of the instrument, stepped as the main window steps it:
// the selected sensor boards together, then the control panel, then the main
// board, one engine per step, released with deleteLater() when it reports,
// stopping at the first failure. Like the window, it asks every board for its
// version at each connect of the link. For benchmarks and the soak, which
// need the update without the window's widgets.
class UpdateRun : public QObject
{
    Q_OBJECT

public:
    struct Images
    {
        HexReader* mainboard;
        HexReader* terminal;
        HexReader* sensors;
    };

    // What one step took; times in ms since start(), ticks of the link's poll timer.
    struct Step
    {
        trvInterface::PartType part = trvInterface::NoPart; // the engine's part
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

    UpdateRun(trvInterface* interface, const Images& images, QObject* parent = nullptr);

    // Starts the steps for these boards; the order of the list does not matter.
    void start(const QList<trvInterface::PartType>& boards);

    bool isRunning() const;
    bool succeeded() const;
    trvUpdater::Err error() const;
    // The part of the step that failed (NoPart for the sensor step as well).
    trvInterface::PartType failedPart() const;
    const QList<Step>& steps() const;
    // Poll ticks of the link since the run was made.
    qint64 ticks() const;
    // Engines made and not yet destroyed.
    int liveEngines() const;
    // Milliseconds since start().
    qint64 elapsed() const;

signals:
    void finished(bool succeeded);

private slots:
    void askVersions();
    void nextStep();
    void stepDone();
    void stepCanceled(trvUpdater::Err error);
    void stepState(trvUpdater::State state, trvUpdater::Err error);
    void stepRange(int min, int max);

private:
    void release();

    trvInterface* interface;
    Images images;
    QList<trvInterface::PartType> queue;
    trvUpdater* updater = nullptr;
    QList<Step> stepLog;
    QElapsedTimer clock;
    qint64 tickCount = 0;
    int engines = 0;
    bool running = false;
    bool success = false;
    trvUpdater::Err failure = trvUpdater::NoError;
    trvInterface::PartType failedStep = trvInterface::NoPart;
};
