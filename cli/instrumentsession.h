#pragma once

#include "exitcode.h"
#include "instancelock.h"
#include "trvinterface.h"

#include <QMap>
#include <QObject>
#include <QString>

class QTimer;

// The instrument as trvloader-cli holds it: the tool's one lock, the link that
// looks for the instrument until the wait ends, and the boards' versions. As
// in the window, every connect asks all seven boards for their versions, and
// a connect that no board answers within 300 ms is dropped and made again.
class InstrumentSession : public QObject
{
    Q_OBJECT

public:
    using PartType = trvInterface::PartType;

    explicit InstrumentSession(QObject* parent = nullptr);
    ~InstrumentSession() override;

    // Takes the lock and looks for the instrument for at most waitMilliseconds;
    // an instrument found in that time has answerTime from its connect for its
    // boards to answer. Ends in ready() or failed(); a lock held by another
    // copy ends it in failed() at once, before the device is looked for.
    void start(int waitMilliseconds);
    // Closes the link for good: nothing more is sent, nothing more opened.
    void stop();

    trvInterface* device() const;
    bool isConnected() const;
    // Whether the board has answered since the last connect, and with what.
    bool hasAnswered(PartType board) const;
    QString reportedVersion(PartType board) const;

    // How long, after a connect, the boards have to answer before ready().
    static constexpr int answerTime = 1000;
    // A connect that no board answers in this time is dropped and made again.
    static constexpr int watchdogTime = 300;

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
    void firmwareVersion(trvInterface::PartType part, QString version);
    void watchdogExpired();
    void answerTimeOver();
    void waitOver();

private:
    void becomeReady();

    InstanceLock lock;
    trvInterface* link = nullptr;
    QTimer* waitTimer;
    QTimer* watchdog;
    QTimer* answerTimer;
    QMap<PartType, QString> versions; // boards that answered since the last connect
    bool waiting = false;             // between start() and ready() or failed()
    bool linked = false;              // the link is connected
    bool everConnected = false;       // the instrument was seen during the wait
    bool versionReceived = false;     // some board answered since the last connect
    bool waitExtended = false;        // the wait has been stretched for the boards' answers
    int waitTime = 0;
};
