#pragma once

#include "trvinterface.h"
#include "trvupdater.h"

#include <QList>
#include <QObject>

class HexReader;

// One whole update of the instrument: the chosen sensor boards together, then
// the control panel, then the main board (the board table's steps), one engine per step, each
// released with deleteLater() when it reports; the first failure ends the update and the steps
// behind it never start. Widget-free, so that the window, the command-line tool, the benchmarks and
// the soak all update alike.
//
// The engine's reports are passed on unchanged for the running step; hasPart()
// tells which boards they concern (also inside stepDone() and canceled()).
// The total progress counts unitsPerStep for each step.
class trvUpdateSequence : public QObject
{
    Q_OBJECT

public:
    using PartType = trvInterface::PartType;

    // The image for each kind of board; borrowed, like the protocol object,
    // and must outlive the sequence.
    struct Images
    {
        HexReader* mainboard = nullptr;
        HexReader* terminal = nullptr;
        HexReader* sensors = nullptr; // one image for all five sensor boards
    };

    static constexpr int unitsPerStep = 1000;

    trvUpdateSequence(trvInterface* device, const Images& images, QObject* parent = nullptr);
    ~trvUpdateSequence() override;

    // The waits each step's engine uses; the defaults are the instrument's.
    void setTiming(const trvTiming& waits);
    const trvTiming& timing() const;

    // Starts the update of these boards (Sensor1 to Mainboard; any order, others
    // ignored). Returns false, doing nothing, while an update runs or when no
    // board is given.
    bool start(const QList<trvInterface::PartType>& boards);
    // Ends a running update at once: the engine is dropped and sends nothing
    // more, and aborted() tells so; the boards of the running step and of the
    // steps not begun are left as they are. Does nothing when no update runs.
    void abort();

    bool isRunning() const;
    // Whether the running step (or the step that has just reported) concerns the board.
    bool hasPart(trvInterface::PartType part) const;
    // The boards of the running step, in the order of the rows.
    QList<trvInterface::PartType> stepBoards() const;
    // Boards whose step has not begun, in the order of the rows.
    QList<trvInterface::PartType> pendingBoards() const;
    // The board whose progress stands for its step: the highest-numbered
    // sensor board of the sensor step, else the step's board.
    trvInterface::PartType currentPart() const;
    // The running step's last state (Connecting before its first report).
    trvUpdater::State state() const;
    // After canceled(): the board whose reply failed the step (see
    // trvUpdater::failedPart), or NoPart.
    trvInterface::PartType failedPart() const;
    // After canceled(): the version that board reported instead of its
    // image's (see trvUpdater::reportedVersion), or an empty text.
    QString failedPartVersion() const;
    int stepCount() const;
    int stepsDone() const;
    // Total progress, 0 to totalMaximum() (stepCount() * unitsPerStep).
    int totalValue() const;
    int totalMaximum() const;
    // The running step's engine; null between steps and when idle.
    trvUpdater* engine() const;

signals:
    // A step's engine has been made and is about to start; hasPart() tells its boards.
    void stepStarted();
    // The running engine's reports, passed on.
    void currentState(trvUpdater::State state, trvUpdater::Err error);
    void range(int min, int max);
    void process(int now);
    void totalProgress(int value);
    // A step has succeeded; the next one starts after this returns.
    void stepDone();
    // The first failure, on the boards hasPart() names; the update is over.
    void canceled(trvUpdater::Err error);
    // Every step has succeeded; the update is over.
    void done();
    // abort() has ended a running update, on the boards stepBoards() names.
    void aborted();

private slots:
    void engineState(trvUpdater::State state, trvUpdater::Err error);
    void engineRange(int min, int max);
    void engineProcess(int now);
    void engineDone();
    void engineCanceled(trvUpdater::Err error);

private:
    void nextStep();
    void release();

    trvInterface* device;
    Images images;
    trvTiming waits;
    QList<QList<trvInterface::PartType>> queue; // the steps not begun, each with its boards
    trvUpdater* updater = nullptr;
    QList<trvInterface::PartType> boards; // the running or last step's boards
    trvInterface::PartType current = trvInterface::NoPart;
    trvUpdater::State lastState = trvUpdater::Connecting;
    trvInterface::PartType refusing = trvInterface::NoPart;
    QString refusingVersion;
    bool running = false;
    int steps = 0;
    int finishedSteps = 0;
    int stepRange = 0;
    int total = 0;
};
