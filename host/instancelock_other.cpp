// The lock file's folder on Windows and macOS: the user's own folder for
// temporary files (their runtime location is a lasting folder, the home folder
// on Windows, which the lock should not litter).

#include "instancelock.h"

#include <QStandardPaths>

QString InstanceLock::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation) +
           QStringLiteral("/trvloader.lock");
}
