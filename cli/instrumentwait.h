#pragma once

#include "exitcode.h"
#include "trvinterface.h"

#include <QObject>
#include <QString>

class InstrumentHost;
class QTimer;

// How trvloader-cli waits for the instrument, the same for every command that
// talks to it: it takes the host's one lock, then looks for the instrument
// until the wait ends and gives the boards of an instrument found the
// timing's answerTime to report their versions.
class InstrumentWait : public QObject
{
    Q_OBJECT

public:
    // The host is borrowed and must outlive the wait.
    InstrumentWait(InstrumentHost* host, int answerMilliseconds, QObject* parent = nullptr);
    ~InstrumentWait() override;

    InstrumentHost* host() const;
    // Whether the instrument was seen on USB during the wait.
    bool instrumentSeen() const;

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

signals:
    // The instrument is connected and its boards have answered: all seven, or
    // those that did within answerTime.
    void ready();
    // The wait has ended without that, the lock is held by another copy, or
    // several instruments are attached and none is chosen (at once).
    void failed(ExitCode::Code code, const QString& reason);
    // The instrument is there, but it cannot be opened (errorNumber, as
    // InstrumentHost::openRefusal() gives it): said at once, in text; the
    // wait goes on.
    void refused(int errorNumber, const QString& text);

private slots:
    void linkConnected();
    void linkDisconnected();
    void answerTimeOver();
    void waitOver();
    void openRefusalChanged(int errorNumber);
    void attachedChanged();

private:
    void becomeReady();
    // Why the instrument cannot be opened, and what to do about it from the
    // command line, which has ended by the time the user reads it.
    static QString refusalText(int errorNumber);

    InstrumentHost* instrumentHost;
    QTimer* waitTimer;
    QTimer* answerTimer;
    bool waiting = false;       // between start() and ready() or failed()
    bool opened = false;        // start() has opened the link
    bool everConnected = false; // the instrument was seen during the wait
    bool waitExtended = false;  // the wait has been stretched for the boards' answers
    int waitTime = 0;
};
