#pragma once

#include <QCoreApplication>
#include <QLockFile>
#include <QString>

// Keeps a second copy of the update tools (the window or the command line) from
// driving the instrument that one copy already drives: a lock file of the user's
// (see defaultPath()), taken over from a process that died holding it.
class InstanceLock
{
    Q_DECLARE_TR_FUNCTIONS(InstanceLock)

public:
    InstanceLock(); // the lock file at defaultPath()
    explicit InstanceLock(const QString& path);

    // False when another living process holds it, and also when the lock file
    // cannot be made at all (failureText() then says why): without the lock
    // nothing would stop a second copy.
    bool acquire();
    qint64 holderProcess() const; // after a failed acquire(): the holder's process id, 0 if unknown
    QString holderName() const;   // its application name, if known
    // After a failed acquire(): what the user is told, for either reason.
    QString failureText() const;
    QString path() const;

    // "The firmware update tool is already running in its window (process
    // %1). ..." and what to do; the holder's application name (trvloader or
    // trvloader-cli) says which of the two, when it is known.
    static QString alreadyRunningText(qint64 process, const QString& application = QString());
    // The lock file when nothing else is asked for. On the free desktops it is
    // in the user's runtime folder, or, where there is none, in the shared
    // folder for temporary files, named for the user; on Windows and macOS in
    // the user's own folder for temporary files.
    static QString defaultPath();

private:
    QString lockPath;
    QLockFile lock;
    qint64 holder = 0;
    QString holderApplication;
};
