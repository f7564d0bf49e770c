#include "imagemaker.h"

#include "hexreader.h"

#include <QList>

#include <algorithm>
#include <random>

namespace {

constexpr int recordBytes = 16;
constexpr quint32 codeStart = 0x1000; // above the identification blocks
const QByteArray endOfFile = ":00000001FF\r\n";

// Text as the identification blocks carry it: two characters in every four bytes.
QByteArray blockRecords(quint32 base, const QByteArray& text)
{
    QByteArray lines;
    for (int record = 0; record < 4; ++record) {
        QByteArray bytes;
        for (int i = 0; i < 8; i += 2) {
            const int at = record * 8 + i;
            bytes.append(at < text.size() ? text.at(at) : '\0');
            bytes.append(at + 1 < text.size() ? text.at(at + 1) : '\0');
            bytes.append(2, '\0');
        }
        lines += ImageMaker::record(base + quint32(record) * recordBytes, 0x00, bytes);
    }
    return lines;
}

QByteArray segmentRecord(quint32 address)
{
    const quint16 upper = quint16(address >> 16);
    return ImageMaker::record(0, 0x04, QByteArray(1, char(upper >> 8)) + char(upper & 0xFF));
}

} // namespace

ImageMaker::ImageMaker(const QString& partCode, const QString& versionText)
    : part(partCode), version(versionText)
{
}

QByteArray ImageMaker::record(quint32 address, quint8 type, const QByteArray& bytes)
{
    QByteArray raw;
    raw.append(char(bytes.size()));
    raw.append(char((address >> 8) & 0xFF));
    raw.append(char(address & 0xFF));
    raw.append(char(type));
    raw.append(bytes);
    quint8 sum = 0;
    for (const char byte : raw) {
        sum = quint8(sum + quint8(byte));
    }
    raw.append(char(quint8(-sum)));
    return ':' + raw.toHex().toUpper() + "\r\n";
}

QByteArray ImageMaker::identification() const
{
    return blockRecords(0x800, part.toUtf8()) + blockRecords(0x840, version.toUtf8()) +
           blockRecords(0x880, "Dec 10 2026 01:00:00");
}

QList<QByteArray> ImageMaker::codeRecords(qint64 fileSize, quint32 seed,
                                          QList<quint32>* addresses) const
{
    std::mt19937 random(seed);
    const qint64 lineSize = 9 + 2 * recordBytes + 2 + 2;
    const qint64 count = std::max<qint64>(1, (fileSize - identification().size()) / lineSize);
    QList<QByteArray> lines;
    lines.reserve(int(count));
    QByteArray bytes(recordBytes, '\0');
    for (qint64 i = 0; i < count; ++i) {
        for (char& byte : bytes) {
            byte = char(random());
        }
        const quint32 address = codeStart + quint32(i) * recordBytes;
        lines.append(record(address & 0xFFFF, 0x00, bytes));
        addresses->append(address);
    }
    return lines;
}

QByteArray ImageMaker::ordered(qint64 fileSize, quint32 seed) const
{
    QList<quint32> addresses;
    const QList<QByteArray> lines = codeRecords(fileSize, seed, &addresses);
    QByteArray text = segmentRecord(0) + identification();
    text.reserve(int(fileSize + fileSize / 20));
    quint16 upper = 0;
    for (int i = 0; i < lines.size(); ++i) {
        if (quint16(addresses.at(i) >> 16) != upper) {
            upper = quint16(addresses.at(i) >> 16);
            text += segmentRecord(addresses.at(i));
        }
        text += lines.at(i);
    }
    text += endOfFile;
    const quint8 checksum = HexReader::imageChecksum(text);
    return text + record(0, 0x80, QByteArray(1, '\0') + char(checksum));
}

QByteArray ImageMaker::shuffled(qint64 fileSize, quint32 seed) const
{
    QList<quint32> addresses;
    QList<QByteArray> lines = codeRecords(fileSize, seed, &addresses);
    QList<int> order;
    for (int i = 0; i < lines.size(); ++i) {
        order.append(i);
    }
    std::shuffle(order.begin(), order.end(), std::mt19937(seed + 1));

    QByteArray text = identification();
    text.reserve(int(fileSize + fileSize / 10));
    int upper = 0;
    for (const int i : qAsConst(order)) {
        if (int(addresses.at(i) >> 16) != upper) {
            upper = int(addresses.at(i) >> 16);
            text += segmentRecord(addresses.at(i));
        }
        text += lines.at(i);
    }
    return text + endOfFile;
}
