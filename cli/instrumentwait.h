#pragma once

#include "boardtable.h"
#include "exitcode.h"
#include "instancelock.h"
#include "servicelog.h"
#include "trvinterface.h"
#include "trvtiming.h"
#include "updatehistory.h"

#include <QObject>
#include <QString>

class QTimer;
class SessionRecorder;
class trvSession;

// The instrument as trvloader-cli holds it, the same for every command that
// talks to it: the tool's one lock, the firmware images, and the link that
// looks for the instrument until the wait ends and then gives its boards the
// timing's answerTime to report their versions. The connection life itself
// (the version requests, the watchdog) is the shared session's.
class InstrumentSession : public QObject
{
    Q_OBJECT

public:
    using PartType = trvInterface::PartType;
    using Group = BoardTable::Group;

    explicit InstrumentSession(const trvTiming& timing = trvTiming(), QObject* parent = nullptr);
    ~InstrumentSession() override;

    // Reads the built-in images; false, with the reason in error, when one is
    // damaged (a damaged program).
    bool readBuiltInImages(QString* error);
    // Makes the file the image of the group. A file that is not usable, or
    // whose part code does not fit the group, is refused with the reader's own
    // text and, for a file out of order, the hint to sort it; the image stays.
    bool readImageFile(Group group, const QString& fileName, QString* error);
    // Where the group's image came from: "built-in" or the file's name.
    QString imageSource(Group group) const;

    // Takes the tool's one lock, if not yet held; false, with failed() emitted
    // at once, when another copy holds it.
    bool takeLock();
    // Takes the lock and looks for the instrument for at most waitMilliseconds;
    // an instrument found in that time has answerTime from its connect for its
    // boards to answer. Ends in ready() or failed(); a lock held by another
    // copy ends it in failed() at once, before the device is looked for.
    void start(int waitMilliseconds);
    // Closes the link for good: nothing more is sent, nothing more opened.
    void stop();

    // The versions, the images, the plan and the update.
    trvSession* session() const;
    // The service record of the session: its history and its log.
    SessionRecorder* recorder() const;
    const UpdateHistory& history() const;
    const ServiceLog& log() const;

signals:
    // The instrument is connected and its boards have answered: all seven, or
    // those that did within answerTime.
    void ready();
    // The wait has ended without that, or the lock is held by another copy.
    void failed(ExitCode::Code code, const QString& reason);
    void connected();
    void disconnected();
    // The link's own failure text (a report that could not be written or read).
    void linkError(const QString& text);
    void versionReported(trvInterface::PartType board, const QString& version);

private slots:
    void linkConnected();
    void linkDisconnected();
    void answerTimeOver();
    void waitOver();

private:
    void becomeReady();

    InstanceLock lock;
    trvInterface* link;
    trvSession* shared;
    UpdateHistory updateHistory;
    ServiceLog serviceLog;
    SessionRecorder* record;
    QTimer* waitTimer;
    QTimer* answerTimer;
    bool waiting = false;       // between start() and ready() or failed()
    bool opened = false;        // start() has opened the link
    bool everConnected = false; // the instrument was seen during the wait
    bool waitExtended = false;  // the wait has been stretched for the boards' answers
    int waitTime = 0;
};
