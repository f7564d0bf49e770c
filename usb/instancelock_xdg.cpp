// The lock file's folder on the free desktops: the user's runtime folder.

#include "instancelock.h"

#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

QString InstanceLock::defaultPath()
{
    // Qt has already said on standard error why it found no runtime folder.
    const QString runtimeFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtimeFolder.isEmpty()) {
        // The folder for temporary files is shared by every user here.
        return QDir::tempPath() + QStringLiteral("/trvloader-%1.lock").arg(::getuid());
    }
    return runtimeFolder + QStringLiteral("/trvloader.lock");
}
