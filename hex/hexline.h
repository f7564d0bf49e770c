#pragma once

#include <QByteArray>
#include <QtGlobal>

// Value of one hexadecimal digit; anything that is not a digit counts as 0.
quint8 hex2char(char c);
// One byte from two hexadecimal digits, the high one first.
quint8 hex2char(char hi, char lo);
// A 16-bit number from four hexadecimal digits, the most significant first.
quint16 hex2short(char a, char b, char c, char d);

// One Intel HEX record, decoded from one line of a file (terminator included);
// compose() writes the line of a new one. A line too short to hold a record
// (13 characters, line end included) or not starting with ":" leaves valid
// false and data empty; characters missing from a shorter line than its length
// field announces count as 0.
class HexLine
{
public:
    // The record types that firmware files hold.
    enum Type : quint8 {
        DataRecord = 0x00,
        EndOfFileRecord = 0x01,
        ExtendedLinearAddressRecord = 0x04, // the upper 16 bits of the addresses that follow
        ChecksumRecord = 0x80,              // the image checksum, in its second data byte
    };

    explicit HexLine(const QByteArray& line);

    // The line of a record with at most 255 data bytes: lower-case digits, the
    // record checksum computed, then lineEnd.
    static QByteArray compose(quint8 type, quint16 address, const QByteArray& data,
                              const char* lineEnd);

    // The text-carrying bytes: the first two of every group of four data bytes.
    QByteArray picData() const;
    // What an extended linear address record sets: the upper 16 bits of the
    // addresses that follow. Data bytes the record does not have count as 0.
    quint16 segment() const;
    // The address of the record's first data byte, behind records that set segment.
    quint32 fullAddress(quint16 segment) const { return quint32(segment) << 16 | address; }

    bool valid = false; // a complete record whose checksum matches
    quint8 length = 0;
    quint16 address = 0;
    quint8 type = 0;
    quint8 checksum = 0; // as written in the line
    QByteArray data;
};
