#include "lockedfolder.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

constexpr QFile::Permissions readAndEnter = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

bool writable(const QString& path)
{
    return QFileInfo(path).isWritable();
}

} // namespace

LockedFolder::LockedFolder(const QString& folder) : path(folder)
{
    QFile::setPermissions(path, readAndEnter);
    if (writable(path)) {
        immutable = QProcess::execute("chattr", {"+i", path}) == 0;
    }
    locked = !writable(path);
}

LockedFolder::~LockedFolder()
{
    if (immutable) {
        QProcess::execute("chattr", {"-i", path});
    }
    QFile::setPermissions(path, readAndEnter | QFile::WriteOwner);
}
