// The lock file's folder on the free desktops: the user's runtime folder.

#include "instancelock.h"

#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

QString InstanceLock::defaultPath()
{
    // Root under sudo or su, or a login without a desktop session, has no
    // runtime folder: Qt, asked for one, would make one of its own and warn
    // about it on standard error. For a folder named but unusable it says
    // why, and gives none.
    const QString runtimeFolder =
        qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")
            ? QString()
            : QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtimeFolder.isEmpty()) {
        // The folder for temporary files is shared by every user here.
        return QDir::tempPath() + QStringLiteral("/trvloader-%1.lock").arg(::getuid());
    }
    return runtimeFolder + QStringLiteral("/trvloader.lock");
}
