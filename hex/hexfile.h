#pragma once

#include "filefault.h"
#include "hexreader.h"

#include <QByteArray>
#include <QString>

// A firmware file as a whole: read in one go, its size looked at first, and
// replaced in one step.
class HexFile
{
public:
    // Reads the whole of a file: FileAccessDenied if it cannot be opened or
    // read (with the reason in fault), FileTooLarge if it is larger than
    // HexReader::maximumFileSize, otherwise FileOk.
    static HexReader::Err read(const QString& fileName, QByteArray& content, FileFault& fault);
    // Replaces a file's contents in one step: either all of text is there
    // afterwards, or the file is left as it was and the result is false.
    static bool replace(const QString& fileName, const QByteArray& text);
};
