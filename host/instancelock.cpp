#include "instancelock.h"

#include <QDir>
#include <QFileInfo>

InstanceLock::InstanceLock() : InstanceLock(defaultPath()) {}

InstanceLock::InstanceLock(const QString& path) : lockPath(path), lock(path)
{
    // The tool may run for hours: only the death of its holder frees the
    // lock, never its age.
    lock.setStaleLockTime(0);
}

bool InstanceLock::acquire()
{
    holder = 0;
    holderApplication.clear();
    if (lock.isLocked()) {
        return true;
    }
    // A lock file left by a process that no longer runs is taken over here.
    if (lock.tryLock(0)) {
        return true;
    }
    if (lock.error() == QLockFile::LockFailedError) {
        QString hostName;
        if (!lock.getLockInfo(&holder, &hostName, &holderApplication)) {
            holder = 0;
            holderApplication.clear();
        }
    }
    return false;
}

qint64 InstanceLock::holderProcess() const
{
    return holder;
}

QString InstanceLock::holderName() const
{
    return holderApplication;
}

QString InstanceLock::path() const
{
    return lockPath;
}

QString InstanceLock::failureText() const
{
    switch (lock.error()) {
    case QLockFile::NoError:
        return QString();
    case QLockFile::LockFailedError:
        return alreadyRunningText(holder, holderApplication);
    case QLockFile::PermissionError:
    case QLockFile::UnknownError:
        break;
    }
    const QString folder = QFileInfo(lockPath).absolutePath();
    QString reason;
    if (lock.error() == QLockFile::PermissionError) {
        reason = tr("you may not write to its folder");
    } else if (!QFileInfo(folder).isDir()) {
        reason = tr("its folder does not exist");
    } else {
        reason = tr("the file system refused it");
    }
    return tr("The firmware update tool cannot make its lock file \"%1\": %2. The lock keeps a "
              "second copy of the tool from talking to the instrument at the same time, so the "
              "tool does not start without it. Make sure that the folder \"%3\" exists and that "
              "you may write to it, then start the tool again.")
        .arg(QDir::toNativeSeparators(lockPath), reason, QDir::toNativeSeparators(folder));
}

QString InstanceLock::alreadyRunningText(qint64 process, const QString& application)
{
    QString running;
    if (process > 0 && application == QLatin1String("trvloader")) {
        running = tr("The firmware update tool is already running in its window (trvloader, "
                     "process %1).")
                      .arg(process);
    } else if (process > 0 && application == QLatin1String("trvloader-cli")) {
        running = tr("The firmware update tool is already running on the command line "
                     "(trvloader-cli, process %1).")
                      .arg(process);
    } else if (process > 0) {
        running = tr("The firmware update tool is already running (process %1).").arg(process);
    } else {
        running = tr("The firmware update tool is already running.");
    }
    return running + QLatin1Char(' ') +
           tr("Only one copy at a time may talk to the instrument: two at once would break the "
              "update of a board. Use the copy that is running, or close it (or let its update "
              "finish) and start the tool again.");
}
