#pragma once

#include <QByteArray>
#include <QtGlobal>

// Value of one hexadecimal digit; anything that is not a digit counts as 0.
quint8 hex2char(char c);
// One byte from two hexadecimal digits, the high one first.
quint8 hex2char(char hi, char lo);
// A 16-bit number from four hexadecimal digits, the most significant first.
quint16 hex2short(char a, char b, char c, char d);

// One Intel HEX record, decoded from one line of a file (terminator included).
// A line too short to hold a record (13 characters, line end included) or not
// starting with ":" leaves valid false and data empty; characters missing from
// a shorter line than its length field announces count as 0.
class HexLine
{
public:
    explicit HexLine(const QByteArray& line);

    // The text-carrying bytes: the first two of every group of four data bytes.
    QByteArray picData() const;

    bool valid = false; // a complete record whose checksum matches
    quint8 length = 0;
    quint16 address = 0;
    quint8 type = 0;
    quint8 checksum = 0; // as written in the line
    QByteArray data;
};
