#include "hexreader.h"

#include "hexfile.h"
#include "hexline.h"
#include "linewalker.h"

#include <QCryptographicHash>
#include <QObject>

namespace {

// The identification blocks in the first 64 KiB: a data record belongs to one
// when its start address lies in it.
constexpr quint32 identificationBlockSize = 0x40;
constexpr quint32 partBlock = 0x800;
constexpr quint32 versionBlock = 0x840;
constexpr quint32 dateBlock = 0x880;

QByteArray checksumRecordLine(quint8 imageChecksum)
{
    return HexLine::compose(HexLine::ChecksumRecord, 0, QByteArray(1, '\0') + char(imageChecksum),
                            "\n");
}

QString sha256Text(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace

HexReader::HexReader() : state(FileAccessDenied), checksum(0) {}

HexReader::Err HexReader::read(const QString& fileName, bool writeChecksum)
{
    state = FileAccessDenied;
    fault = FileFault();
    QByteArray content;
    const Err loaded = HexFile::read(fileName, content, fault);
    if (loaded != FileOk) {
        return state = loaded;
    }

    readBytes(content);
    fileSha256 = sha256Text(content);
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
    fileSha256.clear();
    checksumRecordMissing = false;
    if (content.size() > maximumFileSize) {
        return state = FileTooLarge;
    }

    startOver();
    if (LineWalker::holdsNoText(content)) {
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
        if (!LineWalker::holdsText(line)) {
            continue;
        }
        const HexLine record(line);
        if (!endOfFile) {
            data.append(line.constData(), line.size());
        }
        if (!record.valid) {
            fault = FileFault::ofInvalidLine(line, lines.lineNumber(), content);
            return InvalidData;
        }

        switch (record.type) {
        case HexLine::DataRecord: {
            const quint32 start = record.fullAddress(segment);
            if (start < lowestAllowedStart) {
                return InvalidOrder;
            }
            lowestAllowedStart = quint64(start) + record.length;
            takeIdentification(start, record);
            break;
        }
        case HexLine::EndOfFileRecord:
            endOfFile = true;
            break;
        case HexLine::ExtendedLinearAddressRecord:
            segment = record.segment();
            break;
        case HexLine::ChecksumRecord:
            checksum = record.data.size() > 1 ? quint8(record.data.at(1)) : 0;
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
    if (!HexFile::replace(fileName, stamped)) {
        return false;
    }
    checksum = computed;
    fileSha256 = sha256Text(stamped);
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

quint8 HexReader::imageChecksum(const QByteArray& text)
{
    quint8 sum = 0;
    for (const char byte : text) {
        const quint8 rotated = quint8(sum << 1 | sum >> 7);
        sum = quint8(quint8(~rotated) + quint8(byte));
    }
    return sum;
}
