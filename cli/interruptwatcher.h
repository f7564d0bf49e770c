#pragma once

#include <QObject>

#include <memory>

// Turns Ctrl-C (SIGINT), SIGTERM and SIGHUP (where the system has it) into a
// signal on the event loop: the signal handler only leaves a mark, the one
// thing it may safely do, and the event loop emits interrupted() when it sees
// it. While the watcher lives it replaces the process's handling of those
// signals; the previous one comes back when it goes. One watcher at a time.
class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

    // Whether the signals are being watched (false when the handler could
    // not be set up; they then end the program at once).
    bool isWatching() const;

signals:
    // The first of the signals seen since the last emission, by its number.
    void interrupted(int signalNumber);

private slots:
    void readInterrupts();

private:
    struct Handling; // this system's handler, its mark and the handling it replaced

    std::unique_ptr<Handling> handling;
};
