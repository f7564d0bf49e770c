#pragma once

#include "boardtable.h"
#include "hexreader.h"
#include "instancelock.h"
#include "servicelog.h"
#include "timeleft.h"
#include "trvinterface.h"
#include "trvtiming.h"
#include "updatehistory.h"
#include "updateplan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;
class ServiceRecorder;
class trvInstrument;

// What both front ends stand on, one per process: the tool's one instance
// lock, the link to the instrument, the instrument as the tool knows it
// (versions, images, the plan and the update), and the service record (the
// history, the log, the recorder and the report). The window and the command
// line make a host, listen to it and show what it says; they never make a
// link, an instrument, a history, a log, a recorder or a lock of their own.
class InstrumentHost : public QObject
{
    Q_OBJECT

public:
    using PartType = trvInterface::PartType;
    using Group = BoardTable::Group;

    // A firmware file offered for one of the instrument's board groups: read
    // and checked once; the image it holds is the one used.
    struct ImageOffer
    {
        QString fileName;
        HexReader image;
        // Its part code names one of the board groups, which is group.
        bool fitsGroup = false;
        Group group = BoardTable::Sensors;

        // Whether the file can be used: usable, and for one of the groups.
        bool isUsable() const;
    };

    // frontEnd names the program in the service record ("window", "command
    // line"); the timing is the instrument's unless a test hands shorter waits.
    explicit InstrumentHost(const QString& frontEnd, const trvTiming& timing = trvTiming(),
                            QObject* parent = nullptr);
    ~InstrumentHost() override;

    // --- The one copy that drives the instrument
    // Takes the tool's instance lock, if not yet held; false when another
    // copy holds it (or it cannot be made): lockFailureText() says why.
    bool takeLock();
    QString lockFailureText() const;

    // --- The link
    // When lookForInstrument() first looks.
    enum FirstLook {
        AtOnce,
        AtNextTick, // of the link's poll timer
    };
    // Looks for the instrument from now on, and opens it again whenever it
    // comes back.
    void lookForInstrument(FirstLook firstLook = AtOnce);
    // Closes the link for good: an update running is aborted, nothing more
    // is sent, nothing more opened.
    void closeLink();
    bool isConnected() const;
    // Why the instrument on USB cannot be opened (an errno value), or 0.
    int openRefusal() const;
    // That, with what fixes it, as one text; empty when it can be opened.
    QString refusalText() const;
    // The serial number of the instrument connected now, or last; empty
    // when it reports none.
    QString serialNumber() const;

    // --- Which instrument, where several are attached
    using Device = UsbHid::Device;
    // The instruments on USB as the link last looked (while one is
    // connected, as when it was opened).
    QList<Device> attached() const;
    // Several instruments are attached and none is chosen: none is opened
    // until chooseInstrument() or requireSerialNumber().
    bool choiceNeeded() const;
    // Opens the attached instrument with this identity (Device::identity()),
    // closing another connected now unless an update runs on it; the choice
    // stays until that instrument is unplugged, or another is chosen.
    void chooseInstrument(const QString& identity);
    // Opens only the instrument with this serial number, whether or not it
    // is attached yet, for as long as the host lives.
    void requireSerialNumber(const QString& serialNumber);
    // The identity chosen or required; empty when none is.
    QString chosenInstrument() const;
    // Leaves the instrument connected last unopened until it has been
    // unplugged: a bench takes the next one, never the same one twice.
    void passOverLastInstrument();

    // --- The instrument: versions, images, the plan and the update
    trvInstrument* instrument() const;
    // Reads the program's own image of every group; false, naming the first
    // damaged group in failed, when one is not usable.
    bool readBuiltInImages(Group* failed = nullptr);
    // Reads and checks the file once: whether it is usable and which group it
    // fits. Nothing changes until useImage().
    static ImageOffer offerImageFile(const QString& fileName);
    // Makes the offered image its group's; false, changing nothing, when the
    // offer is not usable.
    bool useImage(const ImageOffer& offer);
    // Where the group's image comes from: "built-in" or the file's name.
    QString imageSource(Group group) const;
    // The reasons to think twice before the planned update, one paragraph
    // each; empty when it may start at once. Where the front end has already
    // shown which boards are left out and the update would only reinstall,
    // those are not repeated.
    QStringList concerns(const UpdatePlan& plan, bool boardsShown) const;
    // Whether the plan can go on with its older boards kept as they are.
    static bool canKeepOlder(const UpdatePlan& plan);
    // The whole update's time left in seconds (see TimeLeft); -1 when not
    // known: no update runs, or its pace is not measured yet.
    int secondsLeft() const;

    // --- The service record
    ServiceRecorder* recorder() const;
    // Adds a line to the log, in English whatever the language: what the
    // user did in the front end (files offered, answers given, start, cancel).
    void logUserAction(const QString& what);
    const UpdateHistory& history() const;
    const ServiceLog& log() const;
    // The report for support, made by the named tool. instrumentNote, when
    // given, says why the instrument was not reached.
    QString supportReport(const QString& toolName, const QString& instrumentNote = QString()) const;

signals:
    // A connect: the boards are asked for their versions right after this.
    void connected();
    void disconnected();
    void versionReported(trvInterface::PartType board, const QString& version);
    // All seven boards have answered since the last connect.
    void allAnswered();
    // The main board has left for its restart; see trvInstrument::waitingForRestart().
    void waitingForRestart(int millisecondsAtMost);
    // secondsLeft() has changed; said at most once a second while an update
    // runs, and with -1 when it ends.
    void timeLeftChanged(int seconds);
    // openRefusal() has changed.
    void openRefusalChanged(int errorNumber);
    // attached(), choiceNeeded() or chosenInstrument() has changed.
    void attachedChanged();
    // The link's own failure text (a report that could not be written or read).
    void linkError(const QString& text);
    // The instrument just connected has, as its last recorded step, one that
    // did not finish (interrupted or canceled).
    void unfinishedUpdate(const HistoryRecord& record);
    // The history or the log cannot be written; said once.
    void recordUnavailable(const QString& text);

private slots:
    void linkAttachedChanged();

private:
    // Feeds the estimate from the update sequence.
    void followUpdates();
    void tellTimeLeft();

    InstanceLock lock;
    bool choiceUntilUnplugged = false; // the choice is the window's, not a required serial
    bool locked = false;
    UpdateHistory updateHistory;
    ServiceLog serviceLog;
    trvInterface* link;
    trvInstrument* tracked;
    ServiceRecorder* record;
    TimeLeft estimate;
    QElapsedTimer clock;   // the estimate's, from the update's start
    QTimer* timeLeftTicks; // runs while an update does
    int shownSecondsLeft = -1;
    int linePosition = 0; // in the running step's image text
};
