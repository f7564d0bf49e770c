#include "fuzzfile.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

FuzzFile::FuzzFile()
{
    const QString base = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    folder = QStringLiteral("%1/trvfuzz-%2").arg(base).arg(::getpid());
    QDir().mkpath(folder);
    file = folder + QStringLiteral("/image.hex");
}

FuzzFile::~FuzzFile()
{
    QDir(folder).removeRecursively();
}

QString FuzzFile::path() const
{
    return file;
}

void FuzzFile::write(const QByteArray& content) const
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(content) != content.size()) {
        fuzzFailure("scratch file written", __FILE__, __LINE__);
    }
}

QByteArray FuzzFile::content() const
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        fuzzFailure("scratch file readable", __FILE__, __LINE__);
    }
    return in.readAll();
}
