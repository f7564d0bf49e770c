#pragma once

#include "filefault.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class HexLine;

// One firmware image: an Intel HEX text, from a file or held in memory,
// checked line by line and as a whole, with its identification strings and
// the image checksum from its checksum record.
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
        FileTooLarge = 7,
    };
    Q_ENUM(Err)

    // Larger files are refused before they are read; the largest image is
    // under 200 kB.
    static constexpr qint64 maximumFileSize = 16 * 1024 * 1024;

    HexReader();

    // Reads and checks the file; with writeChecksum a missing checksum record
    // is appended to it first. The result is also kept in state. A file that
    // cannot be opened leaves the other members as they were; a checksum
    // record that cannot be written whole leaves the file as it was
    // (WriteAccessDenied). A file larger than maximumFileSize is not read
    // (FileTooLarge) and leaves the other members as they were too. An empty
    // file is Corrupted and is not stamped. What exactly went wrong is kept in
    // fault. The content is checked as readBytes() checks it.
    Err read(const QString& fileName, bool writeChecksum);
    // Reads and checks an image held in memory with the same checks, states
    // and faults as read(), less those of the file: nothing is opened and
    // nothing stamped, so an image without a checksum record is Corrupted.
    // The result is also kept in state. More than maximumFileSize bytes are
    // not read (FileTooLarge) and leave the other members as they were.
    Err readBytes(const QByteArray& content);
    // "PART-VERSION.hex (DATE)"
    QString fullName() const;
    static QString stateDescription(Err err);
    QString stateDescription() const;

    // The 8-bit checksum over an image text that the checksum record carries.
    static quint8 imageChecksum(const QByteArray& text);

    Err state;
    QByteArray data; // the image text up to and including the end-of-file record
    QString part;    // e.g. KZENT
    QString version; // e.g. v3.3
    QString date;    // e.g. Feb 12 2015 09:48:59
    quint8 checksum; // from the checksum record, or as written by stamping
    // The SHA-256 of the file's bytes as read (and stamped) by read(), the one
    // sha256sum prints for it, in hexadecimal; empty after readBytes() alone.
    QString fileSha256;
    // The cause behind a state other than FileOk, where the state does not say
    // it all: which line is wrong and how, why the file cannot be read or
    // written back, that it is empty. None otherwise.
    FileFault fault;

private:
    // The steps of reading, in their order; stamping is read()'s alone.
    void startOver();
    // Takes the image text, the identification strings and the checksum record
    // from content; InvalidData (with its fault) or InvalidOrder stop at the
    // record concerned, otherwise FileOk.
    Err decode(const QByteArray& content, bool& hasChecksumRecord);
    // Appends the text of a data record to the identification string whose
    // block its address lies in, if any.
    void takeIdentification(quint32 address, const HexLine& record);
    // Appends a checksum record over the image text to the file and takes its
    // checksum; false if the file cannot be written.
    bool stamp(const QString& fileName, const QByteArray& content);
    Err verdict(bool hasChecksumRecord) const;

    // Whether the last readBytes() decoded the whole text and found no
    // checksum record: what read() stamps.
    bool checksumRecordMissing = false;
};
