#include "testimage.h"

#include "hexreader.h"

#include <QSaveFile>

namespace {

enum RecordType : quint8 {
    DataType = 0x00,
    EndOfFileType = 0x01,
    ExtendedLinearAddressType = 0x04,
    ChecksumType = 0x80,
};

enum Address : quint16 {
    PartBlock = 0x800,
    VersionBlock = 0x840,
    DateBlock = 0x880,
    LongLine = 0x1000,
};

// Code and identification records carry 16 bytes, text records eight characters of them;
// the built-in images give each identification block four records.
constexpr int recordBytes = 16;
constexpr int charactersPerRecord = 8;
constexpr int recordsPerBlock = 4;

quint8 checksumOf(const QByteArray& bytes)
{
    quint8 sum = 0;
    for (const char byte : bytes) {
        sum = quint8(sum + quint8(byte));
    }
    return quint8(-sum);
}

} // namespace

TestImage::TestImage(const QByteArray& partCode, const QByteArray& versionText)
    : part(partCode), version(versionText)
{
}

QByteArray TestImage::text() const
{
    QByteArray lines = extendedLinearAddressRecord(0);
    for (int line = 0; line < codeLines; ++line) {
        lines += dataRecord(quint16(line * recordBytes));
    }
    lines += identification();
    if (longLineBytes > 0) {
        lines += record(DataType, LongLine, QByteArray(longLineBytes, '\x5A'));
    }
    return lines + endOfFileRecord();
}

QByteArray TestImage::file() const
{
    return withChecksum(text());
}

QByteArray TestImage::identification() const
{
    return identificationBlock(PartBlock, part, fullBlocks) +
           identificationBlock(VersionBlock, version, fullBlocks) +
           identificationBlock(DateBlock, date, fullBlocks);
}

bool TestImage::load(HexReader& reader, const QString& path) const
{
    QSaveFile out(path);
    const QByteArray contents = file();
    if (!out.open(QIODevice::WriteOnly) || out.write(contents) != contents.size() ||
        !out.commit()) {
        return false;
    }
    return reader.read(path, false) == HexReader::FileOk;
}

QByteArray TestImage::record(quint8 type, quint16 address, const QByteArray& data,
                             const QByteArray& lineEnd)
{
    QByteArray bytes;
    bytes += char(data.size());
    bytes += char(address >> 8);
    bytes += char(address & 0xFF);
    bytes += char(type);
    bytes += data;
    bytes += char(checksumOf(bytes));
    return ":" + bytes.toHex().toUpper() + lineEnd;
}

QByteArray TestImage::dataRecord(quint16 address, const QByteArray& lineEnd)
{
    return record(DataType, address, QByteArray(recordBytes, char(0xB0 + (address >> 4))), lineEnd);
}

QByteArray TestImage::extendedLinearAddressRecord(quint16 segment)
{
    return record(ExtendedLinearAddressType, 0,
                  QByteArray(1, char(segment >> 8)) + char(segment & 0xFF));
}

QByteArray TestImage::endOfFileRecord()
{
    return record(EndOfFileType, 0, QByteArray());
}

QByteArray TestImage::checksumRecord(quint8 imageChecksum)
{
    return record(ChecksumType, 0, QByteArray(1, '\0') + char(imageChecksum));
}

QByteArray TestImage::stampedChecksumRecord(quint8 imageChecksum)
{
    return checksumRecord(imageChecksum).toLower().replace("\r\n", "\n");
}

QByteArray TestImage::withChecksum(const QByteArray& text)
{
    return text + checksumRecord(HexReader::imageChecksum(text));
}

QByteArray TestImage::identificationBlock(quint16 base, const QByteArray& text, bool fullBlock)
{
    const int needed = (text.size() + charactersPerRecord - 1) / charactersPerRecord;
    const int records = fullBlock ? recordsPerBlock : needed;
    QByteArray lines;
    for (int index = 0; index < records; ++index) {
        QByteArray bytes(recordBytes, '\0');
        const QByteArray characters = text.mid(index * charactersPerRecord, charactersPerRecord);
        for (int i = 0; i < characters.size(); ++i) {
            bytes[(i / 2) * 4 + i % 2] = characters.at(i);
        }
        lines += record(DataType, quint16(base + index * recordBytes), bytes);
    }
    return lines;
}
