#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// One firmware image: an Intel HEX file checked line by line and as a whole,
// with its identification strings and the image checksum from its checksum
// record.
class HexReader
{
    Q_GADGET

public:
    enum Err {
        FileOk = 0,
        FileAccessDenied = 1,
        InvalidData = 2,
        Corrupted = 3,
        WriteAccessDenied = 4,
        InvalidOrder = 5,
        NoValidFirmware = 6,
    };
    Q_ENUM(Err)

    HexReader();

    // Reads and checks the file; with writeChecksum a missing checksum record
    // is appended to it first. The result is also kept in state. A file that
    // cannot be opened leaves the other members as they were; a checksum
    // record that cannot be written whole leaves the file as it was
    // (WriteAccessDenied).
    Err read(const QString& fileName, bool writeChecksum);
    // "PART-VERSION.hex (DATE)"
    QString fullName() const;
    static QString stateDescription(Err err);
    QString stateDescription() const;

    // Rewrites the file with its data records in address order, each 64 KiB
    // segment behind its own extended linear address record, and one
    // end-of-file record; other records are dropped. The new text replaces the
    // file only once all of it is written: on any failure the file is left as
    // it was.
    static Err sort(const QString& fileName);

    // The 8-bit checksum over an image text that the checksum record carries.
    static quint8 imageChecksum(const QByteArray& text);

    Err state;
    QByteArray data; // the image text up to and including the end-of-file record
    QString part;    // e.g. KZENT
    QString version; // e.g. v3.3
    QString date;    // e.g. Feb 12 2015 09:48:59
    quint8 checksum; // from the checksum record, or as written by stamping
};
