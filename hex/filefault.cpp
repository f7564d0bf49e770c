#include "filefault.h"

#include "hexline.h"
#include "linewalker.h"

#include <QFileInfo>
#include <QMetaEnum>

namespace {

// Where the fields of a record stand in its line: ":LLAAAATT", then the data,
// two digits a byte, then the checksum.
constexpr int lengthAt = 1;
constexpr int dataAt = 9;

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Whether the line holds every digit its record needs: the fields, as many
// data bytes as its length field announces, and the checksum.
bool holdsAllDigits(const QByteArray& line)
{
    if (line.size() < dataAt || !isHexDigit(line.at(lengthAt)) ||
        !isHexDigit(line.at(lengthAt + 1))) {
        return false;
    }
    const int length = hex2char(line.at(lengthAt), line.at(lengthAt + 1));
    const int end = dataAt + 2 * length + 2;
    if (line.size() < end) {
        return false;
    }
    for (int i = lengthAt; i < end; ++i) {
        if (!isHexDigit(line.at(i))) {
            return false;
        }
    }
    return true;
}

} // namespace

FileFault::FileFault(Kind kind, int line) : what(kind), lineNumber(line) {}

FileFault FileFault::ofUnreadable(const QString& fileName)
{
    const QFileInfo file(fileName);
    if (!file.exists()) {
        return FileFault(NoSuchFile);
    }
    if (file.isDir()) {
        return FileFault(Folder);
    }
    return FileFault(NotReadable);
}

FileFault FileFault::ofUnwritable(const QString& fileName)
{
    const QFileInfo file(fileName);
    if (!QFileInfo(file.absolutePath()).isWritable()) {
        return FileFault(FolderNotWritable);
    }
    if (file.exists() && !file.isWritable()) {
        return FileFault(FileNotWritable);
    }
    return FileFault(NotWritten);
}

FileFault FileFault::ofInvalidLine(const QByteArray& line, int lineNumber, const QByteArray& text)
{
    if (line.trimmed().isEmpty()) {
        return FileFault(BlankLine, lineNumber);
    }
    if (line.endsWith("\r\n")) {
        // As required: nothing to say about the line end.
    } else if (line.endsWith('\n')) {
        if (HexLine(line.left(line.size() - 1) + "\r\n").valid) {
            FileFault fault(LineFeedAlone, lineNumber);
            LineWalker lines(text);
            QByteArray each;
            while (lines.next(each)) {
                if (!LineWalker::holdsText(each)) {
                    continue;
                }
                ++fault.textLines;
                if (each.endsWith('\n') && !each.endsWith("\r\n")) {
                    ++fault.lineFeedsAlone;
                    if (fault.firstLineFeedAlone == 0) {
                        fault.firstLineFeedAlone = lines.lineNumber();
                    }
                }
            }
            return fault;
        }
    } else if (HexLine(line + "\r\n").valid) {
        return FileFault(NoLineEnd, lineNumber);
    }
    if (!line.startsWith(':') || !holdsAllDigits(line)) {
        return FileFault(NotARecord, lineNumber);
    }
    return FileFault(BadRecordChecksum, lineNumber);
}

QString FileFault::description() const
{
    switch (what) {
    case None:
        return QString();
    case NoSuchFile:
        return QObject::tr("There is no such file.");
    case Folder:
        return QObject::tr("It is a folder, not a file.");
    case NotReadable:
        return QObject::tr("This user may not read the file.");
    case Empty:
        return QObject::tr("The file is empty.");
    case BlankLine:
        return QObject::tr("Line %1 is blank; every line must hold a record.").arg(lineNumber);
    case NotARecord:
        return QObject::tr("Line %1 is not an Intel HEX record.").arg(lineNumber);
    case BadRecordChecksum:
        return QObject::tr("Line %1: the record checksum is wrong.").arg(lineNumber);
    case LineFeedAlone: {
        const QString convert =
            QObject::tr("Convert the file to CR LF line ends, for example with unix2dos or "
                        "sed -i 's/\\r*$/\\r/'.");
        if (lineFeedsAlone <= 1) {
            return QObject::tr("Line %1 ends with LF alone; this record needs CR LF.")
                       .arg(lineNumber) +
                   QLatin1Char(' ') + convert;
        }
        if (lineFeedsAlone == textLines) {
            return QObject::tr("The file's lines end with LF alone, all %1 of them; its records "
                               "need CR LF.")
                       .arg(lineFeedsAlone) +
                   QLatin1Char(' ') + convert;
        }
        return QObject::tr("%1 of the file's %2 lines end with LF alone, from line %3 on; its "
                           "records need CR LF.")
                   .arg(lineFeedsAlone)
                   .arg(textLines)
                   .arg(firstLineFeedAlone) +
               QLatin1Char(' ') + convert;
    }
    case NoLineEnd:
        return QObject::tr("Line %1 has no line end; this record needs CR LF.").arg(lineNumber);
    case FolderNotWritable:
        return QObject::tr("The folder of the file cannot be written: the new text is written "
                           "to a new file in that folder first.");
    case FileNotWritable:
        return QObject::tr("This user may not write the file.");
    case NotWritten:
        return QObject::tr("The new text could not be written; is the disk full?");
    }
    return QString();
}

QString FileFault::name() const
{
    const char* key = QMetaEnum::fromType<Kind>().valueToKey(what);
    return key ? QString::fromLatin1(key) : QString::number(what);
}
