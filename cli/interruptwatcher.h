#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

// Turns Ctrl-C (SIGINT) into a signal on the event loop. The signal handler
// only writes a byte into a socket pair, the one thing it may safely do; the
// event loop sees the byte and emits interrupted(). While the watcher lives
// it replaces the process's SIGINT handling; the previous one comes back when
// it goes. One watcher at a time.
class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

    // Whether Ctrl-C is being watched (false when the socket pair or the
    // handler could not be set up; Ctrl-C then ends the program at once).
    bool isWatching() const;

signals:
    void interrupted();

private slots:
    void readInterrupts();

private:
    static void handleSignal(int signal);

    QSocketNotifier* notifier = nullptr;
    bool watching = false;
    struct sigaction previous = {}; // the handling before this watcher
};
