#include "hexreader.h"

#include "hexline.h"

#include <QFile>
#include <QObject>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace {

constexpr quint8 dataRecord = 0x00;
constexpr quint8 endOfFileRecord = 0x01;
constexpr quint8 extendedLinearAddressRecord = 0x04;
constexpr quint8 checksumRecord = 0x80;

constexpr char endOfFileLine[] = ":00000001FF\r\n";

// The identification blocks in the first 64 KiB: a data record belongs to one
// when its start address lies in it.
constexpr quint32 identificationBlockSize = 0x40;
constexpr quint32 partBlock = 0x800;
constexpr quint32 versionBlock = 0x840;
constexpr quint32 dateBlock = 0x880;

// Room for the extended linear address records that sorting adds.
constexpr int addressRecordsRoom = 64;

// Walks the lines of a text, each with its terminator (the last one may have
// none), without copying them: each line refers into the text.
class LineWalker
{
public:
    explicit LineWalker(const QByteArray& whole) : text(whole) {}

    // The next line; false at the end of the text.
    bool next(QByteArray& line)
    {
        if (end >= text.size()) {
            return false;
        }
        start = end;
        ++lines;
        const int lineFeed = text.indexOf('\n', start);
        end = lineFeed < 0 ? text.size() : lineFeed + 1;
        line = QByteArray::fromRawData(text.constData() + start, end - start);
        return true;
    }
    // Where the last line begins in the text.
    int lineStart() const { return start; }
    // The number of the last line, counted from 1.
    int lineNumber() const { return lines; }

private:
    const QByteArray& text;
    int start = 0;
    int end = 0;
    int lines = 0;
};

// Whether a line holds anything before its first zero byte.
bool holdsText(const QByteArray& line)
{
    return !line.isEmpty() && line.at(0) != '\0';
}

// Whether a text holds no line with anything in it: nothing to read or to sort.
bool holdsNoText(const QByteArray& content)
{
    LineWalker lines(content);
    QByteArray line;
    while (lines.next(line)) {
        if (holdsText(line)) {
            return false;
        }
    }
    return true;
}

// A data byte of a record; bytes the record does not have count as 0.
quint8 dataByte(const HexLine& record, int index)
{
    return index < record.data.size() ? quint8(record.data.at(index)) : 0;
}

quint16 extendedLinearAddress(const HexLine& record)
{
    return quint16(dataByte(record, 0) << 8 | dataByte(record, 1));
}

// The address of a record in the 64 KiB segment that the last extended linear
// address record chose.
quint32 fullAddress(quint16 segment, quint16 address)
{
    return quint32(segment) << 16 | address;
}

// Two lower-case hexadecimal digits.
QByteArray hexByte(quint8 value)
{
    return QByteArray::number(value, 16).rightJustified(2, '0');
}

// The Intel HEX checksum of a record's bytes: their sum and it add up to 0.
quint8 recordChecksum(const QByteArray& bytes)
{
    quint8 sum = 0;
    for (const char byte : bytes) {
        sum = quint8(sum + quint8(byte));
    }
    return quint8(-sum);
}

QByteArray checksumRecordLine(quint8 imageChecksum)
{
    const QByteArray bytes = QByteArray::fromHex("0200008000") + char(imageChecksum);
    return ":0200008000" + hexByte(imageChecksum) + hexByte(recordChecksum(bytes)) + "\n";
}

QByteArray extendedLinearAddressLine(quint16 segment)
{
    const QByteArray address = QByteArray(1, char(segment >> 8)) + char(segment & 0xFF);
    const QByteArray bytes = QByteArray::fromHex("02000004") + address;
    return ":02000004" + address.toHex() + hexByte(recordChecksum(bytes)) + "\r\n";
}

// Reads the whole of a file, its size looked at first: FileAccessDenied if it
// cannot be opened or read (with the reason in fault), FileTooLarge if it is
// larger than a firmware file may be.
HexReader::Err readFile(const QString& fileName, QByteArray& content, FileFault& fault)
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

// Replaces a file's contents in one step: either all of text is there afterwards or the
// file is left as it was.
bool replaceFile(const QString& fileName, const QByteArray& text)
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

} // namespace

HexReader::HexReader() : state(FileAccessDenied), checksum(0) {}

HexReader::Err HexReader::read(const QString& fileName, bool writeChecksum)
{
    state = FileAccessDenied;
    fault = FileFault();
    QByteArray content;
    const Err loaded = readFile(fileName, content, fault);
    if (loaded != FileOk) {
        return state = loaded;
    }

    readBytes(content);
    if (writeChecksum && checksumRecordMissing) {
        if (!stamp(fileName, content)) {
            fault = FileFault::ofUnwritable(fileName);
            return state = WriteAccessDenied;
        }
        state = verdict(true);
    }
    return state;
}

HexReader::Err HexReader::readBytes(const QByteArray& content)
{
    fault = FileFault();
    checksumRecordMissing = false;
    if (content.size() > maximumFileSize) {
        return state = FileTooLarge;
    }

    startOver();
    if (holdsNoText(content)) {
        // Nothing to stamp either: a checksum record alone is no firmware.
        fault = FileFault(FileFault::Empty);
        return state = Corrupted;
    }
    bool hasChecksumRecord = false;
    const Err decoded = decode(content, hasChecksumRecord);
    if (decoded != FileOk) {
        return state = decoded;
    }
    checksumRecordMissing = !hasChecksumRecord;
    return state = verdict(hasChecksumRecord);
}

void HexReader::startOver()
{
    data.clear();
    part.clear();
    version.clear();
    date.clear();
}

HexReader::Err HexReader::decode(const QByteArray& content, bool& hasChecksumRecord)
{
    quint16 segment = 0;
    quint64 lowestAllowedStart = 0;
    bool endOfFile = false;

    data.reserve(content.size());
    LineWalker lines(content);
    QByteArray line;
    while (lines.next(line)) {
        if (!holdsText(line)) {
            continue;
        }
        const HexLine record(line);
        if (!endOfFile) {
            data.append(line.constData(), line.size());
        }
        if (!record.valid) {
            fault = FileFault::ofInvalidLine(line, lines.lineNumber());
            return InvalidData;
        }

        switch (record.type) {
        case dataRecord: {
            const quint32 start = fullAddress(segment, record.address);
            if (start < lowestAllowedStart) {
                return InvalidOrder;
            }
            lowestAllowedStart = quint64(start) + record.length;
            takeIdentification(start, record);
            break;
        }
        case endOfFileRecord:
            endOfFile = true;
            break;
        case extendedLinearAddressRecord:
            segment = extendedLinearAddress(record);
            break;
        case checksumRecord:
            checksum = dataByte(record, 1);
            hasChecksumRecord = true;
            break;
        default:
            break;
        }
    }
    return FileOk;
}

void HexReader::takeIdentification(quint32 address, const HexLine& record)
{
    QString* block = nullptr;
    switch (address & ~(identificationBlockSize - 1)) {
    case partBlock:
        block = &part;
        break;
    case versionBlock:
        block = &version;
        break;
    case dateBlock:
        block = &date;
        break;
    default:
        return;
    }
    const QByteArray text = record.picData();
    const int zero = text.indexOf('\0');
    block->append(QString::fromUtf8(zero < 0 ? text : text.left(zero)));
}

bool HexReader::stamp(const QString& fileName, const QByteArray& content)
{
    // A last line without line end would swallow the record: end it first. When that line
    // belongs to the image text, the text reads with its line end from now on, so that is
    // what the record must cover.
    QByteArray stamped = content;
    if (!content.isEmpty() && !content.endsWith('\n')) {
        stamped.append('\n');
        if (!data.isEmpty() && !data.endsWith('\n')) {
            data.append('\n');
        }
    }
    const quint8 computed = imageChecksum(data);
    stamped.append(checksumRecordLine(computed));
    if (!replaceFile(fileName, stamped)) {
        return false;
    }
    checksum = computed;
    return true;
}

HexReader::Err HexReader::verdict(bool hasChecksumRecord) const
{
    if (!hasChecksumRecord || checksum != imageChecksum(data)) {
        return Corrupted;
    }
    return part.isEmpty() || version.isEmpty() || date.isEmpty() ? NoValidFirmware : FileOk;
}

QString HexReader::fullName() const
{
    return QStringLiteral("%1-%2.hex (%3)").arg(part, version, date);
}

QString HexReader::stateDescription(Err err)
{
    switch (err) {
    case FileOk:
        return QObject::tr("Firmware file is OK");
    case FileAccessDenied:
        return QObject::tr("File access denied");
    case InvalidData:
        return QObject::tr("Firmware file contains invalid data");
    case Corrupted:
        return QObject::tr("Firmware file has been corrupted");
    case WriteAccessDenied:
        return QObject::tr("Write access denied");
    case InvalidOrder:
        return QObject::tr("Firmware file is in an invalid order");
    case NoValidFirmware:
        return QObject::tr("No valid firmware file");
    case FileTooLarge:
        return QObject::tr("Firmware file is too large");
    }
    return QObject::tr("Unknown state");
}

QString HexReader::stateDescription() const
{
    return stateDescription(state);
}

HexReader::Err HexReader::sort(const QString& fileName, FileFault* faultFound)
{
    FileFault unasked;
    FileFault& fault = faultFound ? *faultFound : unasked;
    fault = FileFault();
    QByteArray content;
    const Err loaded = readFile(fileName, content, fault);
    if (loaded != FileOk) {
        return loaded;
    }
    if (holdsNoText(content)) {
        fault = FileFault(FileFault::Empty);
        return Corrupted;
    }

    struct Entry
    {
        quint32 address; // full address
        int start;       // the line in content
        int size;
    };
    std::vector<Entry> entries;
    quint16 segment = 0;
    LineWalker lines(content);
    QByteArray line;
    while (lines.next(line)) {
        if (!holdsText(line)) {
            continue;
        }
        const HexLine record(line);
        if (!record.valid) {
            fault = FileFault::ofInvalidLine(line, lines.lineNumber());
            return InvalidData;
        }
        if (record.type == dataRecord) {
            entries.push_back(
                {fullAddress(segment, record.address), lines.lineStart(), line.size()});
        } else if (record.type == extendedLinearAddressRecord) {
            segment = extendedLinearAddress(record);
        }
    }
    // By address; of equal addresses the later line wins.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.address < b.address; });

    QByteArray sorted;
    sorted.reserve(content.size() + addressRecordsRoom);
    bool first = true;
    quint16 currentSegment = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i + 1 < entries.size() && entries[i + 1].address == entries[i].address) {
            continue;
        }
        const Entry& entry = entries[i];
        const quint16 segmentOfEntry = quint16(entry.address >> 16);
        if (first || segmentOfEntry != currentSegment) {
            sorted.append(extendedLinearAddressLine(segmentOfEntry));
        }
        first = false;
        currentSegment = segmentOfEntry;
        sorted.append(content.constData() + entry.start, entry.size);
        if (content.at(entry.start + entry.size - 1) != '\n') {
            sorted.append("\r\n");
        }
    }
    sorted.append(endOfFileLine);
    content.clear(); // its memory is not needed while the new text is written

    if (!replaceFile(fileName, sorted)) {
        fault = FileFault::ofUnwritable(fileName);
        return FileAccessDenied;
    }
    return FileOk;
}

quint8 HexReader::imageChecksum(const QByteArray& text)
{
    quint8 sum = 0;
    for (const char byte : text) {
        const quint8 rotated = quint8(sum << 1 | sum >> 7);
        sum = quint8(quint8(~rotated) + quint8(byte));
    }
    return sum;
}
