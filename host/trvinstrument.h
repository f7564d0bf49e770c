#pragma once

#include "boardtable.h"
#include "hexreader.h"
#include "trvinterface.h"
#include "trvtiming.h"
#include "trvupdater.h"
#include "updateplan.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class QTimer;
class trvUpdateSequence;

// The instrument as the tool knows it, between the link and an update: on
// every connect all seven boards are asked for their versions, and a connect
// that no board answers within the timing's watchdogTimeout is dropped, so
// that the link makes it again; the versions the boards reported since; the
// firmware image of each board group; the plan of an update of the boards
// asked for; and the update itself, with the wait for a late main board.
class trvInstrument : public QObject
{
    Q_OBJECT

public:
    using PartType = trvInterface::PartType;
    using Group = BoardTable::Group;

    // How the last update failed.
    struct Failure
    {
        // The engine's reason; NoError when the last update has not failed.
        trvUpdater::Err error = trvUpdater::NoError;
        // The failed step's boards, in the order of the rows.
        QList<PartType> boards;
        // The board whose reply failed the step; NoPart when none did.
        PartType refusing = trvInterface::NoPart;
        // The instrument left USB during the step, other than for the main
        // board's own restart.
        bool disconnected = false;
        // The refusing board ran another version after the update: the one
        // it reported, and its image's that was expected; empty otherwise.
        QString reported;
        QString expected;
    };

    // The protocol object is borrowed and must outlive the instrument.
    explicit trvInstrument(trvInterface* device, const trvTiming& timing = trvTiming(),
                           QObject* parent = nullptr);
    ~trvInstrument() override;

    trvInterface* device() const;
    // The update of the boards, on its images and timing.
    trvUpdateSequence* sequence() const;
    // The waits of the watchdog and of every update; the defaults are the instrument's.
    void setTiming(const trvTiming& waits);
    const trvTiming& timing() const;

    // --- The connection
    bool isConnected() const;
    // Why the instrument on USB cannot be opened (an errno value), or 0.
    int openRefusal() const;
    // The USB serial number of the instrument opened last; empty for none.
    QString serialNumber() const;
    // Whether the board has answered since the last connect, and with what.
    bool hasAnswered(PartType board) const;
    QString reportedVersion(PartType board) const;
    // Asks all seven boards for their versions again.
    void askVersions();
    // Whether the update is in the main board's restart, when the instrument
    // is away from USB on purpose.
    bool mainboardRestarting() const;

    // --- The firmware images, one per board group
    // Reads the program's own image of every group. False when one of them is
    // not usable or carries another group's part code; failed then names the
    // first such group.
    bool readBuiltInImages(Group* failed = nullptr);
    const HexReader& image(Group group) const;
    const HexReader& imageFor(PartType board) const;
    // The file the group's image was read from; empty for the built-in one.
    QString imageFile(Group group) const;
    // Whether every group's image is usable.
    bool imagesUsable() const;
    // Makes the read file the image of the group its part code names; false,
    // changing nothing, when the part code fits no group.
    bool useImage(const HexReader& file, const QString& fileName);

    // --- The update
    UpdatePlan plan(const QList<PartType>& asked) const;
    // The plan with its older boards kept as they are: the others are
    // updated as the plan says.
    UpdatePlan withoutOlder(const UpdatePlan& plan) const;
    // The plan with the boards that already run their image's version left
    // out (UpdatePlan::withoutCurrent()).
    UpdatePlan withoutCurrent(const UpdatePlan& plan) const;
    // Whether the plan was made on the connection open now: a plan of an
    // earlier connection, or one made while none was open, is not.
    bool isCurrent(const UpdatePlan& plan) const;
    // Starts the update of the plan's boards; false, doing nothing, while an
    // update runs, when the plan has no board, or when it is not current:
    // the instrument it was made for has gone since.
    bool start(const UpdatePlan& plan);
    // Whether an update runs, the wait for a late main board included.
    bool isUpdating() const;
    // Ends a running update at once (trvUpdateSequence::abort), or the wait
    // for a late main board; aborted() tells so.
    void abort();
    // How the last update failed, once updateFailed() has said so.
    Failure failure() const;
    // The boards the last update left out, since they had not answered.
    QList<PartType> leftOut() const;
    // The boards of the last update that already ran their image's version.
    QList<PartType> reinstalled() const;
    // Whether the last update's main board came back with the new version
    // only after the engine had given up on it.
    bool cameBackLate() const;

signals:
    // A connect: the versions of the last one are forgotten, and all seven
    // boards are asked for theirs right after this returns.
    void connected();
    // A connection has ended.
    void disconnected();
    // openRefusal() has changed.
    void openRefusalChanged(int errorNumber);
    // The link's own failure text (a report that could not be written or read).
    void linkError(const QString& text);
    // One of the seven boards has answered since the last connect.
    void versionReported(trvInterface::PartType board, const QString& version);
    // All seven boards have answered since the last connect.
    void allAnswered();
    // Every step of the update has succeeded (the main board's perhaps late).
    void updateSucceeded();
    // The update has failed for good; failure() tells how.
    void updateFailed();
    // The main board has left for its restart: the engine waits for it up to
    // millisecondsAtMost (the timing's restartWait and reconnectTimeout).
    void waitingForRestart(int millisecondsAtMost);
    // The main board has not come back within the engine's wait: the instrument
    // listens for it for the timing's lateReturnTimeout more.
    void waitingForLateReturn();
    // abort() has ended an update, or the wait for its late main board.
    void aborted();

private slots:
    void linkConnected();
    void linkDisconnected();
    void firmwareVersion(trvInterface::PartType part, QString version);
    void watchdogExpired();
    void stepStarted();
    void stepState(trvUpdater::State state, trvUpdater::Err error);
    void sequenceCanceled(trvUpdater::Err error);
    void lateReturnOver();

private:
    // The update's end, once the main board has come back or not.
    void lateReturnDecided(bool succeeded);
    // The version of each board's image, for the plan.
    QMap<PartType, QString> imageVersions() const;

    trvInterface* link;
    trvTiming waits;
    HexReader images[3];   // by Group
    QString imageFiles[3]; // by Group; empty: built-in
    trvUpdateSequence* updates;
    QTimer* watchdog;
    QTimer* lateReturn;               // runs while the instrument listens for a late main board
    QMap<PartType, QString> versions; // boards that answered since the last connect
    bool linked = false;
    int connections = 0;          // connects since the start; the current one's number
    bool versionReceived = false; // any answer since the last connect, of any part
    Failure lastFailure;
    QList<PartType> leftOutBoards;
    QList<PartType> reinstalledBoards;
    bool late = false;
    trvUpdater::State lastStepState = trvUpdater::Connecting; // before a failure
    bool lostDuringStep = false; // the link went away in the running step
};
