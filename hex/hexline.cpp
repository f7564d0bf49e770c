#include "hexline.h"

namespace {

// The value of every character taken as a hexadecimal digit; 0 for the others.
struct DigitValues
{
    quint8 value[256] = {};
    constexpr DigitValues()
    {
        for (int c = '0'; c <= '9'; ++c) {
            value[c] = quint8(c - '0');
        }
        for (int c = 'A'; c <= 'F'; ++c) {
            value[c] = quint8(c - 'A' + 10);
        }
        for (int c = 'a'; c <= 'f'; ++c) {
            value[c] = quint8(c - 'a' + 10);
        }
    }
};
constexpr DigitValues digitValues;
} // namespace

quint8 hex2char(char c)
{
    return digitValues.value[quint8(c)];
}

quint8 hex2char(char hi, char lo)
{
    return quint8(hex2char(hi) * 16 + hex2char(lo));
}

quint16 hex2short(char a, char b, char c, char d)
{
    return quint16(hex2char(a) * 4096 + hex2char(b) * 256 + hex2char(c) * 16 + hex2char(d));
}

namespace {

// The shortest text that can hold a record: ":LLAAAATTCC" and a two-character line end.
constexpr int shortestRecordLine = 13;
// Where the fields stand in the line: ":LLAAAATT", then the data, two digits a byte.
constexpr int lengthAt = 1;
constexpr int addressAt = 3;
constexpr int typeAt = 7;
constexpr int dataAt = 9;

// Text travels in the first two bytes of every group of four data bytes.
constexpr int textGroupSize = 4;
constexpr int textBytesPerGroup = 2;

// The character at position, or a non-digit past the end of the line.
char charAt(const QByteArray& line, int position)
{
    return position < line.size() ? line.at(position) : '\0';
}

quint8 byteAt(const QByteArray& line, int position)
{
    return hex2char(charAt(line, position), charAt(line, position + 1));
}

} // namespace

HexLine::HexLine(const QByteArray& line)
{
    if (line.size() < shortestRecordLine || line.at(0) != ':') {
        return;
    }

    length = byteAt(line, lengthAt);
    address = hex2short(charAt(line, addressAt), charAt(line, addressAt + 1),
                        charAt(line, addressAt + 2), charAt(line, addressAt + 3));
    type = byteAt(line, typeAt);
    quint8 sum = quint8(length + (address >> 8) + (address & 0xFF) + type);
    data.resize(length);
    char* bytes = data.data();
    for (int i = 0; i < length; ++i) {
        const quint8 byte = byteAt(line, dataAt + 2 * i);
        bytes[i] = char(byte);
        sum = quint8(sum + byte);
    }
    checksum = byteAt(line, dataAt + 2 * length);
    valid = quint8(sum + checksum) == 0;
}

QByteArray HexLine::picData() const
{
    QByteArray text;
    text.reserve((data.size() + 1) / 2);
    for (int i = 0; i < data.size(); ++i) {
        if (i % textGroupSize < textBytesPerGroup) {
            text.append(data.at(i));
        }
    }
    return text;
}

quint16 HexLine::segment() const
{
    const quint8 high = data.size() > 0 ? quint8(data.at(0)) : 0;
    const quint8 low = data.size() > 1 ? quint8(data.at(1)) : 0;
    return quint16(high << 8 | low);
}

QByteArray HexLine::compose(quint8 type, quint16 address, const QByteArray& data,
                            const char* lineEnd)
{
    QByteArray bytes;
    bytes.reserve(data.size() + 5);
    bytes += char(data.size());
    bytes += char(address >> 8);
    bytes += char(address & 0xFF);
    bytes += char(type);
    bytes += data;
    // The record's bytes and its checksum add up to 0.
    quint8 sum = 0;
    for (const char byte : bytes) {
        sum = quint8(sum + quint8(byte));
    }
    bytes += char(quint8(0x100 - sum));
    return ':' + bytes.toHex() + lineEnd;
}
