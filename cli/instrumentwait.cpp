#include "instrumentsession.h"

#include "filecommands.h"
#include "hexreader.h"
#include "sessionrecorder.h"
#include "trvsession.h"
#include "trvupdatesequence.h"

#include <QTimer>

InstrumentSession::InstrumentSession(const trvTiming& timing, QObject* parent)
    : QObject(parent), link(new trvInterface(this)), shared(new trvSession(link, timing, this)),
      record(new SessionRecorder(shared, QStringLiteral("command line"), &updateHistory,
                                 &serviceLog, this)),
      waitTimer(new QTimer(this)), answerTimer(new QTimer(this))
{
    for (QTimer* timer : {waitTimer, answerTimer}) {
        timer->setSingleShot(true);
    }
    answerTimer->setInterval(timing.answerTime);
    connect(waitTimer, &QTimer::timeout, this, &InstrumentSession::waitOver);
    connect(answerTimer, &QTimer::timeout, this, &InstrumentSession::answerTimeOver);
    connect(shared, &trvSession::connected, this, &InstrumentSession::linkConnected);
    connect(shared, &trvSession::disconnected, this, &InstrumentSession::linkDisconnected);
    connect(shared, &trvSession::versionReported, this, &InstrumentSession::versionReported);
    connect(shared, &trvSession::allAnswered, this, [this] {
        if (waiting) {
            becomeReady();
        }
    });
    connect(link, &trvInterface::error, this, &InstrumentSession::linkError);
}

InstrumentSession::~InstrumentSession()
{
    stop();
    // The recorder writes to members that go before the children do.
    delete record;
}

bool InstrumentSession::readBuiltInImages(QString* error)
{
    Group damaged = BoardTable::Sensors;
    if (!shared->readBuiltInImages(&damaged)) {
        *error =
            QObject::tr("The built-in image for %1 is damaged: %2")
                .arg(BoardTable::commandName(damaged), shared->image(damaged).stateDescription());
        return false;
    }
    return true;
}

bool InstrumentSession::readImageFile(Group group, const QString& fileName, QString* error)
{
    HexReader file;
    const HexReader::Err state = file.read(fileName, false);
    if (state != HexReader::FileOk) {
        *error = QObject::tr("%1: %2").arg(fileName, file.stateDescription());
        if (!file.fault.isNone()) {
            *error += QLatin1Char('\n') + file.fault.description();
        }
        if (state == HexReader::InvalidOrder) {
            *error += QLatin1Char('\n') + FileCommands::sortHint(fileName);
        }
        return false;
    }
    Group fileGroup = BoardTable::Sensors;
    if (!BoardTable::groupOfPartCode(file.part, &fileGroup)) {
        *error = QObject::tr("%1: the part code \"%2\" fits no board of the instrument")
                     .arg(fileName, file.part);
        return false;
    }
    if (fileGroup != group) {
        *error = QObject::tr("%1: an image for %2 (part code %3) cannot go to %4 (part code %5)")
                     .arg(fileName, BoardTable::commandName(fileGroup), file.part,
                          BoardTable::commandName(group), BoardTable::partCode(group));
        return false;
    }
    shared->useImage(file, fileName);
    return true;
}

QString InstrumentSession::imageSource(Group group) const
{
    const QString file = shared->imageFile(group);
    return file.isEmpty() ? QObject::tr("built-in") : file;
}

bool InstrumentSession::takeLock()
{
    // Held already: acquire() says so.
    if (!lock.acquire()) {
        record->log(lock.failureText());
        emit failed(ExitCode::AlreadyRunning, lock.failureText());
        return false;
    }
    return true;
}

void InstrumentSession::start(int waitMilliseconds)
{
    if (!takeLock()) {
        return;
    }
    waitTime = waitMilliseconds;
    waiting = true;
    opened = true;
    waitTimer->start(waitMilliseconds);
    link->setAutoconnect(true);
    // The first look at once, not a tick later.
    link->open();
}

void InstrumentSession::stop()
{
    waiting = false;
    for (QTimer* timer : {waitTimer, answerTimer}) {
        timer->stop();
    }
    if (opened) {
        // Messages still queued are dropped with the closed link, and what
        // it has already read is not told any more.
        opened = false;
        shared->disconnect(this);
        link->disconnect(this);
        shared->abort();
        link->setAutoconnect(false);
        link->close();
    }
}

SessionRecorder* InstrumentSession::recorder() const
{
    return record;
}

const UpdateHistory& InstrumentSession::history() const
{
    return updateHistory;
}

const ServiceLog& InstrumentSession::log() const
{
    return serviceLog;
}

trvSession* InstrumentSession::session() const
{
    return shared;
}

void InstrumentSession::linkConnected()
{
    everConnected = true;
    if (waiting) {
        answerTimer->start();
    }
    emit connected();
}

void InstrumentSession::linkDisconnected()
{
    answerTimer->stop();
    emit disconnected();
}

void InstrumentSession::answerTimeOver()
{
    bool anyAnswer = false;
    for (PartType board : BoardTable::boards()) {
        anyAnswer = anyAnswer || shared->hasAnswered(board);
    }
    if (waiting && shared->isConnected() && anyAnswer) {
        becomeReady();
    }
}

void InstrumentSession::waitOver()
{
    if (!waiting) {
        return;
    }
    if (!waitExtended && shared->isConnected() && answerTimer->isActive()) {
        // Found within the wait: its boards have their time to answer, once.
        waitExtended = true;
        waitTimer->start(answerTimer->remainingTime() + 1);
        return;
    }
    waiting = false;
    const int refusal = link->openRefusal();
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
