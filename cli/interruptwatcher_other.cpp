// Ctrl-C and SIGTERM where there are no POSIX signals to wake the event loop:
// the handler sets a flag to the signal's number, which the event loop looks
// at a few dozen times a second.

#include "interruptwatcher.h"

#include <QTimer>

#include <csignal>

namespace {
volatile std::sig_atomic_t interruptSeen = 0;

void handleSignal(int signal)
{
    interruptSeen = signal;
    // Some systems restore the default handling once a handler has run; a
    // handler may set its own signal's handling again.
    std::signal(signal, &handleSignal);
}

// How often the event loop looks at the flag, in milliseconds: Ctrl-C still
// stops the sending within a few lines.
constexpr int lookPeriod = 20;
} // namespace

struct InterruptWatcher::Handling
{
    QTimer* looking = nullptr;
    bool watching = false;
    void (*previous)(int) = SIG_DFL;     // the handling of SIGINT before this watcher
    void (*previousTerm)(int) = SIG_DFL; // ...and of SIGTERM
};

InterruptWatcher::InterruptWatcher(QObject* parent)
    : QObject(parent), handling(std::make_unique<Handling>())
{
    interruptSeen = 0;
    handling->previous = std::signal(SIGINT, &handleSignal);
    handling->previousTerm = std::signal(SIGTERM, &handleSignal);
    handling->watching = handling->previous != SIG_ERR && handling->previousTerm != SIG_ERR;
    if (!handling->watching) {
        return;
    }
    handling->looking = new QTimer(this);
    handling->looking->setInterval(lookPeriod);
    connect(handling->looking, SIGNAL(timeout()), this, SLOT(readInterrupts()));
    handling->looking->start();
}

InterruptWatcher::~InterruptWatcher()
{
    if (handling->watching) {
        std::signal(SIGINT, handling->previous);
        std::signal(SIGTERM, handling->previousTerm);
    }
}

bool InterruptWatcher::isWatching() const
{
    return handling->watching;
}

void InterruptWatcher::readInterrupts()
{
    if (interruptSeen) {
        const int signalNumber = interruptSeen;
        interruptSeen = 0;
        emit interrupted(signalNumber);
    }
}
