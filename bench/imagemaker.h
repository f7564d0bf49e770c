#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Firmware images made up for benchmarks and the soak: identification blocks
// (part, version, date), code in 16-byte data records from address 0 upwards
// across as many 64 KiB segments as the size needs, the end-of-file record and
// a stamped checksum record. CR LF line ends, upper-case digits, as the
// built-in images have them.
class ImageMaker
{
public:
    ImageMaker(const QString& part, const QString& version);

    // An image of about fileSize bytes, its data records in ascending order.
    QByteArray ordered(qint64 fileSize, quint32 seed = 1) const;
    // The same records in a shuffled order, each behind an extended linear
    // address record when its segment differs from the line before; no
    // checksum record (what a sort gets before stamping).
    QByteArray shuffled(qint64 fileSize, quint32 seed = 1) const;

    // One record line with its checksum and CR LF.
    static QByteArray record(quint32 address, quint8 type, const QByteArray& bytes);

private:
    QByteArray identification() const;
    QList<QByteArray> codeRecords(qint64 fileSize, quint32 seed, QList<quint32>* addresses) const;

    QString part;
    QString version;
};
