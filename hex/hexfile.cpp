#include "hexfile.h"

#include <QFile>
#include <QSaveFile>

HexReader::Err HexFile::read(const QString& fileName, QByteArray& content, FileFault& fault)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        fault = FileFault::ofUnreadable(fileName);
        return HexReader::FileAccessDenied;
    }
    if (file.size() > HexReader::maximumFileSize) {
        return HexReader::FileTooLarge;
    }
    // A file that does not know its size (a pipe) is read no further than one byte past the limit.
    content = file.isSequential() ? file.read(HexReader::maximumFileSize + 1) : file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fault = FileFault::ofUnreadable(fileName);
        return HexReader::FileAccessDenied;
    }
    return content.size() > HexReader::maximumFileSize ? HexReader::FileTooLarge
                                                       : HexReader::FileOk;
}

bool HexFile::replace(const QString& fileName, const QByteArray& text)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(text) != text.size()) {
        return false;
    }
    return file.commit();
}
