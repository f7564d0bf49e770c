#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class HexReader;

// A small firmware image as Intel HEX text, and the single records images are
// made of, with upper-case digits and CR LF as build tools write them.
//
// Any part code makes a valid image for the boards of that part ("KZENT" the
// main board, "KTERM" the control panel, "KSENS" the sensor boards).
//
// The image: an extended linear address record for the first 64 KiB,
// codeLines data records from address 0 on, the identification blocks for
// part, version and date, an optional long data record, and the end-of-file
// record.
class TestImage
{
public:
    explicit TestImage(const QByteArray& partCode = "KSENS",
                       const QByteArray& versionText = "v1.0");

    // The image text up to and including its end-of-file record.
    QByteArray text() const;
    // The whole file: the text and the checksum record over it.
    QByteArray file() const;
    // The records of the three identification blocks; an empty string gives none.
    QByteArray identification() const;
    // Writes file() to path and reads it into reader, as a user's file is read;
    // whether the reader found it a valid image.
    bool load(HexReader& reader, const QString& path) const;

    // One record; its checksum is computed.
    static QByteArray record(quint8 type, quint16 address, const QByteArray& data,
                             const QByteArray& lineEnd = "\r\n");
    // A data record of 16 bytes, each 0xB0 plus the address divided by 16 (its
    // low 8 bits): the line at address 0 begins ":10000000B0".
    static QByteArray dataRecord(quint16 address, const QByteArray& lineEnd = "\r\n");
    // Chooses the 64 KiB segment of the data records that follow.
    static QByteArray extendedLinearAddressRecord(quint16 segment);
    static QByteArray endOfFileRecord();
    static QByteArray checksumRecord(quint8 imageChecksum);
    // The checksum record as stamping appends it: lower-case digits, LF alone.
    static QByteArray stampedChecksumRecord(quint8 imageChecksum);
    // text and the checksum record over it.
    static QByteArray withChecksum(const QByteArray& text);
    // An identification text at base (0x800, 0x840 or 0x880): two characters
    // in every four data bytes, eight to a 16-byte record, as many records as
    // the text needs, or four with zeros after the text when fullBlock is set,
    // as in the built-in images.
    static QByteArray identificationBlock(quint16 base, const QByteArray& text,
                                          bool fullBlock = false);

    QByteArray part;
    QByteArray version;
    QByteArray date = "Mar  3 2017 11:22:33";
    int codeLines = 2;       // 16-byte data records before the identification
    int longLineBytes = 0;   // when above 0, one more data record of this many bytes at 0x1000
    bool fullBlocks = false; // identification blocks of four records each
};
