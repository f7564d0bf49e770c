// Ctrl-C, SIGTERM and SIGHUP on POSIX systems: the handler writes the
// signal's number as a byte into a socket pair, which wakes the event loop at
// once.

#include "interruptwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The socket pair: the handler writes to [0], the event loop reads [1].
int interruptSockets[2] = {-1, -1};

// The signals that stop a run as Ctrl-C does.
constexpr int watchedSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int watchedCount = int(sizeof watchedSignals / sizeof watchedSignals[0]);

void handleSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    // Nothing else is safe in a signal handler; a full socket already holds
    // an interrupt that the loop has yet to see.
    [[maybe_unused]] const ssize_t written = ::write(interruptSockets[0], &byte, 1);
    errno = savedErrno;
}
} // namespace

struct InterruptWatcher::Handling
{
    QSocketNotifier* notifier = nullptr;
    bool watching = false;
    struct sigaction previous[watchedCount] = {}; // the handling before this watcher
};

InterruptWatcher::InterruptWatcher(QObject* parent)
    : QObject(parent), handling(std::make_unique<Handling>())
{
    if (interruptSockets[0] >= 0 ||
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, interruptSockets) != 0) {
        return;
    }
    // A full socket must not block the handler, nor an empty one the loop.
    for (int socket : interruptSockets) {
        fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
    }
    handling->notifier = new QSocketNotifier(interruptSockets[1], QSocketNotifier::Read, this);
    connect(handling->notifier, SIGNAL(activated(int)), this, SLOT(readInterrupts()));

    struct sigaction action = {};
    action.sa_handler = &handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    handling->watching = true;
    for (int i = 0; i < watchedCount; ++i) {
        handling->watching = sigaction(watchedSignals[i], &action, &handling->previous[i]) == 0 &&
                             handling->watching;
    }
}

InterruptWatcher::~InterruptWatcher()
{
    if (handling->notifier) {
        for (int i = 0; i < watchedCount; ++i) {
            sigaction(watchedSignals[i], &handling->previous[i], nullptr);
        }
    }
    if (handling->notifier) {
        delete handling->notifier;
        for (int& socket : interruptSockets) {
            ::close(socket);
            socket = -1;
        }
    }
}

bool InterruptWatcher::isWatching() const
{
    return handling->watching;
}

void InterruptWatcher::readInterrupts()
{
    char bytes[16];
    int first = 0;
    ssize_t count = 0;
    while ((count = ::read(interruptSockets[1], bytes, sizeof bytes)) > 0) {
        if (first == 0) {
            first = bytes[0];
        }
    }
    if (first != 0) {
        emit interrupted(first);
    }
}
