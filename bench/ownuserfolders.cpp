#include "ownuserfolders.h"

#include <QDir>
#include <QFile>

OwnUserFolders::OwnUserFolders()
{
    if (!root.isValid()) {
        return;
    }
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString folder = root.filePath(QString::fromLatin1(variable).toLower());
        QDir().mkpath(folder);
        qputenv(variable, QFile::encodeName(folder));
    }
}

bool OwnUserFolders::isValid() const
{
    return root.isValid();
}
