#include "instrumentsession.h"

#include "boardnames.h"
#include "trvupdatesequence.h"

#include <QTimer>

InstrumentSession::InstrumentSession(QObject* parent)
    : QObject(parent), waitTimer(new QTimer(this)), watchdog(new QTimer(this)),
      answerTimer(new QTimer(this))
{
    for (QTimer* timer : {waitTimer, watchdog, answerTimer}) {
        timer->setSingleShot(true);
    }
    watchdog->setInterval(watchdogTime);
    answerTimer->setInterval(answerTime);
    connect(waitTimer, SIGNAL(timeout()), this, SLOT(waitOver()));
    connect(watchdog, SIGNAL(timeout()), this, SLOT(watchdogExpired()));
    connect(answerTimer, SIGNAL(timeout()), this, SLOT(answerTimeOver()));
}

InstrumentSession::~InstrumentSession()
{
    stop();
}

void InstrumentSession::start(int waitMilliseconds)
{
    if (!lock.acquire()) {
        emit failed(ExitCode::AlreadyRunning, lock.failureText());
        return;
    }
    waitTime = waitMilliseconds;
    waiting = true;
    link = new trvInterface(this);
    connect(link, SIGNAL(connected()), this, SLOT(linkConnected()));
    connect(link, SIGNAL(disconnected()), this, SLOT(linkDisconnected()));
    connect(link, SIGNAL(firmwareVersion(trvInterface::PartType, QString)), this,
            SLOT(firmwareVersion(trvInterface::PartType, QString)));
    connect(link, SIGNAL(error(QString)), this, SIGNAL(linkError(QString)));
    waitTimer->start(waitMilliseconds);
    link->setAutoconnect(true);
    // The first look at once, not a tick later.
    link->open();
}

void InstrumentSession::stop()
{
    waiting = false;
    for (QTimer* timer : {waitTimer, watchdog, answerTimer}) {
        timer->stop();
    }
    if (link) {
        // Messages still queued are dropped with the closed link. Later, since
        // this may run inside one of the link's own signals.
        link->setAutoconnect(false);
        link->disconnect(this);
        link->close();
        link->deleteLater();
        link = nullptr;
    }
    linked = false;
}

trvInterface* InstrumentSession::device() const
{
    return link;
}

bool InstrumentSession::isConnected() const
{
    return linked;
}

bool InstrumentSession::hasAnswered(PartType board) const
{
    return versions.contains(board);
}

QString InstrumentSession::reportedVersion(PartType board) const
{
    return versions.value(board);
}

void InstrumentSession::linkConnected()
{
    linked = true;
    everConnected = true;
    versionReceived = false;
    versions.clear();
    link->requestFirmwareVersion();
    watchdog->start();
    if (waiting) {
        answerTimer->start();
    }
    emit connected();
}

void InstrumentSession::linkDisconnected()
{
    const bool was = linked;
    linked = false;
    answerTimer->stop();
    if (was) {
        emit disconnected();
    }
}

void InstrumentSession::firmwareVersion(trvInterface::PartType part, QString version)
{
    versionReceived = true;
    if (BoardNames::commandName(part).isEmpty()) {
        return;
    }
    versions.insert(part, version);
    emit versionReported(part, version);
    if (waiting && versions.size() == trvUpdateSequence::rowOrder().size()) {
        becomeReady();
    }
}

void InstrumentSession::watchdogExpired()
{
    if (!versionReceived && link) {
        // The link opens the instrument again on its next tick.
        link->close();
    }
}

void InstrumentSession::answerTimeOver()
{
    if (waiting && linked && versionReceived) {
        becomeReady();
    }
}

void InstrumentSession::waitOver()
{
    if (!waiting) {
        return;
    }
    if (!waitExtended && linked && answerTimer->isActive()) {
        // Found within the wait: its boards have their time to answer, once.
        waitExtended = true;
        waitTimer->start(answerTimer->remainingTime() + 1);
        return;
    }
    waiting = false;
    const int refusal = link ? link->openRefusal() : 0;
    QString reason;
    ExitCode::Code code = ExitCode::NoInstrument;
    if (refusal != 0) {
        code = ExitCode::CannotOpen;
        reason = UsbHid::refusalDescription(refusal) + QLatin1Char('\n') +
                 UsbHid::refusalRemedy(refusal);
    } else if (everConnected) {
        reason = tr("The instrument was found, but none of its boards answered within %1 s.")
                     .arg(waitTime / 1000.0);
    } else {
        reason = tr("No instrument found within %1 s. Is it plugged in and switched on?")
                     .arg(waitTime / 1000.0);
    }
    stop();
    emit failed(code, reason);
}

void InstrumentSession::becomeReady()
{
    waiting = false;
    waitTimer->stop();
    answerTimer->stop();
    emit ready();
}
