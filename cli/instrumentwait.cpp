#include "instrumentwait.h"

#include "boardtable.h"
#include "instrumenthost.h"
#include "trvinstrument.h"
#include "usbhid.h"
#include "usertexts.h"

#include <QTimer>

#include <algorithm>
#include <cerrno>

InstrumentWait::InstrumentWait(InstrumentHost* host, int answerMilliseconds, QObject* parent)
    : QObject(parent), instrumentHost(host), waitTimer(new QTimer(this)),
      answerTimer(new QTimer(this))
{
    for (QTimer* timer : {waitTimer, answerTimer}) {
        timer->setSingleShot(true);
    }
    answerTimer->setInterval(answerMilliseconds);
    connect(waitTimer, &QTimer::timeout, this, &InstrumentWait::waitOver);
    connect(answerTimer, &QTimer::timeout, this, &InstrumentWait::answerTimeOver);
    connect(host, &InstrumentHost::connected, this, &InstrumentWait::linkConnected);
    connect(host, &InstrumentHost::disconnected, this, &InstrumentWait::linkDisconnected);
    connect(host, &InstrumentHost::openRefusalChanged, this, &InstrumentWait::openRefusalChanged);
    connect(host, &InstrumentHost::attachedChanged, this, &InstrumentWait::attachedChanged);
    connect(host, &InstrumentHost::allAnswered, this, [this] {
        if (waiting) {
            becomeReady();
        }
    });
}

InstrumentWait::~InstrumentWait()
{
    stop();
}

InstrumentHost* InstrumentWait::host() const
{
    return instrumentHost;
}

bool InstrumentWait::instrumentSeen() const
{
    return everConnected;
}

bool InstrumentWait::takeLock()
{
    if (!instrumentHost->takeLock()) {
        emit failed(ExitCode::AlreadyRunning, instrumentHost->lockFailureText());
        return false;
    }
    return true;
}

void InstrumentWait::start(int waitMilliseconds)
{
    if (!takeLock()) {
        return;
    }
    waitTime = waitMilliseconds;
    waiting = true;
    opened = true;
    waitTimer->start(waitMilliseconds);
    instrumentHost->lookForInstrument(InstrumentHost::AtOnce);
}

void InstrumentWait::stop()
{
    waiting = false;
    for (QTimer* timer : {waitTimer, answerTimer}) {
        timer->stop();
    }
    if (opened) {
        opened = false;
        disconnect(instrumentHost, nullptr, this, nullptr);
        instrumentHost->closeLink();
    }
}

void InstrumentWait::linkConnected()
{
    everConnected = true;
    if (waiting) {
        answerTimer->start();
    }
}

void InstrumentWait::linkDisconnected()
{
    answerTimer->stop();
}

void InstrumentWait::answerTimeOver()
{
    const trvInstrument* instrument = instrumentHost->instrument();
    bool anyAnswer = false;
    for (trvInterface::PartType board : BoardTable::boards()) {
        anyAnswer = anyAnswer || instrument->hasAnswered(board);
    }
    if (waiting && instrument->isConnected() && anyAnswer) {
        becomeReady();
    }
}

void InstrumentWait::waitOver()
{
    if (!waiting) {
        return;
    }
    if (!waitExtended && instrumentHost->isConnected() && answerTimer->isActive()) {
        // Found within the wait: its boards have their time to answer, once.
        waitExtended = true;
        waitTimer->start(answerTimer->remainingTime() + 1);
        return;
    }
    waiting = false;
    QString reason;
    ExitCode::Code code = ExitCode::NoInstrument;
    if (instrumentHost->openRefusal() != 0) {
        code = ExitCode::CannotOpen;
        reason = refusalText(instrumentHost->openRefusal());
    } else if (everConnected) {
        reason = tr("The instrument was found, but none of its boards answered within %1 s.")
                     .arg(waitTime / 1000.0);
    } else if (!instrumentHost->chosenInstrument().isEmpty()) {
        reason = tr("No instrument with the serial number %1 found within %2 s.")
                     .arg(instrumentHost->chosenInstrument())
                     .arg(waitTime / 1000.0);
        QStringList present;
        for (const UsbHid::Device& device : instrumentHost->attached()) {
            present.append(UserTexts::deviceName(device));
        }
        reason += QLatin1Char(' ') +
                  (present.isEmpty() ? tr("No other instrument is connected.")
                                     : tr("Connected: %1.").arg(present.join(QStringLiteral(", "))));
    } else {
        reason = tr("No instrument found within %1 s. Is it plugged in and switched on?")
                     .arg(waitTime / 1000.0);
    }
    stop();
    emit failed(code, reason);
}

void InstrumentWait::openRefusalChanged(int errorNumber)
{
    if (!waiting || errorNumber == 0) {
        return;
    }
    const double seconds = std::max(0, waitTimer->remainingTime()) / 1000.0;
    emit refused(errorNumber,
                 UsbHid::refusalDescription(errorNumber) + QLatin1Char(' ') +
                     tr("Still waiting, up to %1 s.").arg(QString::number(seconds, 'f', 1)));
}

void InstrumentWait::attachedChanged()
{
    if (!waiting || !instrumentHost->choiceNeeded()) {
        return;
    }
    waiting = false;
    const QString reason = UserTexts::severalText(instrumentHost->attached()) + QLatin1Char('\n') +
                           tr("Choose one with --serial SERIAL; nothing has been sent.");
    stop();
    emit failed(ExitCode::SeveralInstruments, reason);
}

QString InstrumentWait::refusalText(int errorNumber)
{
    const QString remedy =
        errorNumber == EBUSY
            ? tr("Close the other program that uses the instrument, then run the command again.")
            : UsbHid::refusalRemedy(errorNumber);
    return UsbHid::refusalDescription(errorNumber) + QLatin1Char('\n') + remedy;
}

void InstrumentWait::becomeReady()
{
    waiting = false;
    waitTimer->stop();
    answerTimer->stop();
    emit ready();
}
