#include "hexreader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// One record with upper-case digits, as a build tool writes it.
QByteArray record(quint16 address, quint8 type, const QByteArray& data,
                  const QByteArray& lineEnd = "\r\n")
{
    QByteArray bytes;
    bytes += char(data.size());
    bytes += char(address >> 8);
    bytes += char(address & 0xFF);
    bytes += char(type);
    bytes += data;
    quint8 sum = 0;
    for (const char byte : bytes)
        sum = quint8(sum + quint8(byte));
    bytes += char(quint8(-sum));
    return ":" + bytes.toHex().toUpper() + lineEnd;
}

QByteArray dataRecord(quint16 address, const QByteArray& lineEnd = "\r\n")
{
    return record(address, 0x00, QByteArray(16, char(address >> 4)), lineEnd);
}

QByteArray upperAddress(quint16 upper)
{
    return record(0, 0x04, QByteArray(1, char(upper >> 8)) + char(upper & 0xFF));
}

QByteArray checksumRecord(quint8 imageChecksum)
{
    return record(0, 0x80, QByteArray(1, '\0') + char(imageChecksum));
}

// The record that stamping appends.
QByteArray stampedRecord(quint8 imageChecksum)
{
    return ":0200008000" + QByteArray(1, char(imageChecksum)).toHex() +
           QByteArray(1, char(quint8(-(0x82 + imageChecksum)))).toHex() + "\n";
}

const QByteArray endOfFile = ":00000001FF\r\n";

// An identification block at base: two characters per four bytes, four records.
QByteArray identificationBlock(quint16 base, const QByteArray& text)
{
    QByteArray bytes;
    for (int i = 0; i < 32; i += 2)
        bytes += text.mid(i, 2).leftJustified(2, '\0') + QByteArray(2, '\0');
    QByteArray lines;
    for (int i = 0; i < 4; ++i)
        lines += record(quint16(base + 16 * i), 0x00, bytes.mid(16 * i, 16));
    return lines;
}

QByteArray identification(const QByteArray& date = "Mar  1 2016 08:00:00")
{
    return identificationBlock(0x800, "KSENS") + identificationBlock(0x840, "v1.0") +
           identificationBlock(0x880, date);
}

// An image text up to its end-of-file record: vectors, identification, code.
QByteArray imageText(const QByteArray& identificationRecords = identification())
{
    return upperAddress(0) + dataRecord(0x0000) + dataRecord(0x0010) + identificationRecords +
           dataRecord(0x08C0) + dataRecord(0x08D0) + upperAddress(1) + dataRecord(0x0000) +
           endOfFile;
}

QByteArray withChecksum(const QByteArray& text)
{
    return text + checksumRecord(HexReader::imageChecksum(text));
}

QByteArray builtInImage(const QString& name)
{
    QFile file(":/firmware/" + name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeFile(const QString& fileName, const QByteArray& contents)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray readFile(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The same line with its record checksum off by one.
QByteArray withWrongChecksum(QByteArray line)
{
    const int lastDigit = line.indexOf('\r') - 1;
    line[lastDigit] = line.at(lastDigit) == '0' ? '1' : '0';
    return line;
}

} // namespace

class tst_HexReader : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void imageChecksum_data();
    void imageChecksum();
    void builtInImages_data();
    void builtInImages();
    void verdicts_data();
    void verdicts();
    void imageTextEndsWithEndOfFileRecord();
    void failedOpenKeepsPreviousImage_data();
    void failedOpenKeepsPreviousImage();

    void stamping_data();
    void stamping();
    void failedStampLeavesFile();

    void sort_data();
    void sort();
    void failedSortLeavesFile_data();
    void failedSortLeavesFile();
    void sortThenStampReadsOk();
    void builtInImageResorted_data();
    void builtInImageResorted();

private:
    // A file in a folder of its own whose name leaves no room for a temporary name beside
    // it (a folder entry is at most 255 bytes long): it can be read and written, but never
    // be replaced by a new file.
    QString unreplaceableFile() const { return dir->filePath(QString(250, 'n')); }

    QScopedPointer<QTemporaryDir> dir;
    QString fileName;
};

void tst_HexReader::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    fileName = dir->filePath("image.hex");
}

void tst_HexReader::imageChecksum_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("checksum");

    QTest::newRow("abc") << QByteArray("abc") << 0x1F;
    QTest::newRow("end-of-file record with CR LF") << endOfFile << 0x7A;
    QTest::newRow("nothing") << QByteArray() << 0x00;
}

void tst_HexReader::imageChecksum()
{
    QFETCH(QByteArray, text);
    QTEST(int(HexReader::imageChecksum(text)), "checksum");
}

void tst_HexReader::builtInImages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fullName");
    QTest::addColumn<int>("checksum");
    QTest::addColumn<int>("kilobytes");

    QTest::newRow("main board") << "kzent"
                                << "KZENT-v3.3.hex (Feb 12 2015 09:48:59)" << 0x3D << 197;
    QTest::newRow("control panel") << "kterm"
                                   << "KTERM-v2.1.hex (Jan 14 2015 17:26:03)" << 0x1C << 118;
    QTest::newRow("sensor boards") << "ksens"
                                   << "KSENS-v1.9.hex (Feb  9 2016 10:21:05)" << 0x30 << 89;
}

void tst_HexReader::builtInImages()
{
    QFETCH(QString, name);
    const QByteArray contents = builtInImage(name);

    HexReader reader;
    QCOMPARE(reader.read(":/firmware/" + name, false), HexReader::FileOk);

    QTEST(reader.fullName(), "fullName");
    QTEST(int(reader.checksum), "checksum");
    QTEST(qRound(reader.data.size() / 1024.0), "kilobytes");
    // The image text is everything but the checksum record behind the end-of-file record.
    QVERIFY(reader.data.endsWith(endOfFile));
    QCOMPARE(contents, reader.data + stampedRecord(reader.checksum));
    // Every line goes to the board in one data message.
    for (const QByteArray& line : reader.data.split('\n')) {
        if (line.isEmpty())
            continue;
        QVERIFY2(line.endsWith('\r') && line.size() + 1 <= 61, line.constData());
    }
}

void tst_HexReader::verdicts_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<HexReader::Err>("state");

    const QByteArray text = imageText();
    const quint8 checksum = HexReader::imageChecksum(text);
    const QByteArray image = withChecksum(text);

    QTest::newRow("whole image") << image << HexReader::FileOk;
    QTest::newRow("lines after the end-of-file record are checked, not summed")
        << image + dataRecord(0x0100) << HexReader::FileOk;
    QTest::newRow("the last checksum record counts")
        << text + checksumRecord(checksum + 1) + checksumRecord(checksum) << HexReader::FileOk;
    QTest::newRow("extended segment address ignored")
        << withChecksum(record(0, 0x02, QByteArray::fromHex("1000")) + text) << HexReader::FileOk;

    QTest::newRow("wrong record checksum")
        << QByteArray(image).replace(dataRecord(0x08D0), withWrongChecksum(dataRecord(0x08D0)))
        << HexReader::InvalidData;
    QTest::newRow("blank line after the checksum record") << image + "\r\n"
                                                          << HexReader::InvalidData;
    QTest::newRow("bad line after the end-of-file record") << image + ":0100000000\r\n"
                                                           << HexReader::InvalidData;
    QTest::newRow("end-of-file record with LF alone")
        << QByteArray(text).replace(endOfFile, ":00000001FF\n") + checksumRecord(checksum)
        << HexReader::InvalidData;

    QTest::newRow("no checksum record") << text << HexReader::Corrupted;
    QTest::newRow("checksum does not match")
        << text + checksumRecord(checksum ^ 0x01) << HexReader::Corrupted;
    QTest::newRow("case of one hex letter changed")
        << QByteArray(image).replace(":020000040000FA", ":020000040000fA") << HexReader::Corrupted;

    QTest::newRow("overlapping records")
        << withChecksum(dataRecord(0x0000) + record(0x0008, 0x00, "12345678") + endOfFile)
        << HexReader::InvalidOrder;
    QTest::newRow("descending records")
        << withChecksum(dataRecord(0x0100) + dataRecord(0x0000) + endOfFile)
        << HexReader::InvalidOrder;
    QTest::newRow("lowered extended linear address")
        << withChecksum(upperAddress(1) + dataRecord(0x0000) + upperAddress(0) +
                        dataRecord(0x1000) + endOfFile)
        << HexReader::InvalidOrder;

    QTest::newRow("no identification")
        << withChecksum(imageText(QByteArray())) << HexReader::NoValidFirmware;
    QTest::newRow("no date") << withChecksum(imageText(identification(QByteArray())))
                             << HexReader::NoValidFirmware;
    QTest::newRow("identification above the first 64 KiB")
        << withChecksum(upperAddress(1) + identification() + endOfFile)
        << HexReader::NoValidFirmware;
}

void tst_HexReader::verdicts()
{
    QFETCH(QByteArray, contents);
    QVERIFY(writeFile(fileName, contents));

    HexReader reader;
    QTEST(reader.read(fileName, false), "state");
    QTEST(reader.state, "state");
    QCOMPARE(readFile(fileName), contents);
}

void tst_HexReader::imageTextEndsWithEndOfFileRecord()
{
    const QByteArray text = imageText(identification("Feb 12 2015 09:48:59"));
    QVERIFY(writeFile(fileName, withChecksum(text) + dataRecord(0x0100)));

    HexReader reader;
    QCOMPARE(reader.read(fileName, false), HexReader::FileOk);

    QCOMPARE(reader.data, text);
    QCOMPARE(reader.fullName(), "KSENS-v1.0.hex (Feb 12 2015 09:48:59)");
}

void tst_HexReader::failedOpenKeepsPreviousImage_data()
{
    QTest::addColumn<QString>("unreadable");

    QTest::newRow("missing file") << "missing.hex";
    QTest::newRow("folder") << ".";
}

void tst_HexReader::failedOpenKeepsPreviousImage()
{
    QFETCH(QString, unreadable);
    HexReader reader;
    QCOMPARE(reader.read(":/firmware/kterm", false), HexReader::FileOk);
    const QByteArray data = reader.data;

    QCOMPARE(reader.read(dir->filePath(unreadable), false), HexReader::FileAccessDenied);

    QCOMPARE(reader.state, HexReader::FileAccessDenied);
    QCOMPARE(reader.data, data);
    QCOMPARE(reader.fullName(), "KTERM-v2.1.hex (Jan 14 2015 17:26:03)");
    QCOMPARE(reader.checksum, quint8(0x1C));
}

void tst_HexReader::stamping_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("appended");
    QTest::addColumn<HexReader::Err>("state");
    QTest::addColumn<HexReader::Err>("stateAfterwards");

    const QByteArray mainBoard = builtInImage("kzent");
    QTest::newRow("image without checksum record")
        << mainBoard.left(mainBoard.indexOf(endOfFile) + endOfFile.size())
        << QByteArray(":02000080003d41\n") << HexReader::FileOk << HexReader::FileOk;

    const QByteArray text = imageText();
    QTest::newRow("record already there, even a wrong one")
        << text + checksumRecord(HexReader::imageChecksum(text) + 1) << QByteArray()
        << HexReader::Corrupted << HexReader::Corrupted;
    QTest::newRow("no identification")
        << imageText(QByteArray())
        << stampedRecord(HexReader::imageChecksum(imageText(QByteArray())))
        << HexReader::NoValidFirmware << HexReader::NoValidFirmware;

    const QByteArray withoutEnd = text.left(text.size() - endOfFile.size());
    QTest::newRow("no end-of-file record: the record itself is summed next time")
        << withoutEnd << stampedRecord(HexReader::imageChecksum(withoutEnd)) << HexReader::FileOk
        << HexReader::Corrupted;

    // The record must not run into the last line.
    const QByteArray lastLineOpen = text + dataRecord(0x0100, QByteArray());
    QTest::newRow("last line without line end")
        << lastLineOpen << "\n" + stampedRecord(HexReader::imageChecksum(text)) << HexReader::FileOk
        << HexReader::FileOk;

    // Ended for the record, the end-of-file line is summed as it reads from now on.
    const QByteArray endOfFileOpen = text.left(text.size() - 2) + "  ";
    QTest::newRow("end-of-file line without line end")
        << endOfFileOpen << "\n" + stampedRecord(HexReader::imageChecksum(endOfFileOpen + "\n"))
        << HexReader::FileOk << HexReader::FileOk;

    QTest::newRow("invalid data") << text + "\r\n"
                                  << QByteArray() << HexReader::InvalidData
                                  << HexReader::InvalidData;
    QTest::newRow("invalid order")
        << dataRecord(0x0100) + dataRecord(0x0000) + endOfFile << QByteArray()
        << HexReader::InvalidOrder << HexReader::InvalidOrder;
}

void tst_HexReader::stamping()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, appended);
    QVERIFY(writeFile(fileName, contents));

    HexReader reader;
    QTEST(reader.read(fileName, true), "state");

    QCOMPARE(readFile(fileName), contents + appended);
    HexReader again;
    QTEST(again.read(fileName, false), "stateAfterwards");
}

void tst_HexReader::failedStampLeavesFile()
{
    const QByteArray text = imageText();
    const QString file = unreplaceableFile();
    QVERIFY(writeFile(file, text));

    HexReader reader;
    QCOMPARE(reader.read(file, true), HexReader::WriteAccessDenied);

    QCOMPARE(reader.state, HexReader::WriteAccessDenied);
    QCOMPARE(readFile(file), text);
}

void tst_HexReader::sort_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("sorted");

    const QByteArray text = imageText();
    QTest::newRow("image in order")
        << withChecksum(text)
        << ":020000040000fa\r\n" + dataRecord(0x0000) + dataRecord(0x0010) + identification() +
               dataRecord(0x08C0) + dataRecord(0x08D0) + ":020000040001f9\r\n" +
               dataRecord(0x0000) + endOfFile;
    QTest::newRow("same full address twice: the later one stays")
        << dataRecord(0x0010) + record(0x0010, 0x00, "later") + dataRecord(0x0000)
        << ":020000040000fa\r\n" + dataRecord(0x0000) + record(0x0010, 0x00, "later") + endOfFile;
    QTest::newRow("descending segments")
        << upperAddress(0x01F0) + dataRecord(0x0010) + upperAddress(0) + dataRecord(0x0020) +
               upperAddress(0x01F0) + dataRecord(0x0000)
        << ":020000040000fa\r\n" + dataRecord(0x0020) + ":0200000401f009\r\n" + dataRecord(0x0000) +
               dataRecord(0x0010) + endOfFile;
    QTest::newRow("extended segment address ignored and dropped")
        << upperAddress(2) + record(0, 0x02, QByteArray::fromHex("1000")) + dataRecord(0x0010)
        << ":020000040002f8\r\n" + dataRecord(0x0010) + endOfFile;
    QTest::newRow("reading goes on after the end-of-file record")
        << dataRecord(0x0010) + endOfFile + dataRecord(0x0000)
        << ":020000040000fa\r\n" + dataRecord(0x0000) + dataRecord(0x0010) + endOfFile;
    QTest::newRow("LF lines kept, last line without line end ended")
        << dataRecord(0x0020, "\n") + dataRecord(0x0010, QByteArray())
        << ":020000040000fa\r\n" + dataRecord(0x0010) + dataRecord(0x0020, "\n") + endOfFile;
    QTest::newRow("no data records") << endOfFile + checksumRecord(0x7A) << endOfFile;
}

void tst_HexReader::sort()
{
    QFETCH(QByteArray, contents);
    QVERIFY(writeFile(fileName, contents));

    QCOMPARE(HexReader::sort(fileName), HexReader::FileOk);

    QTEST(readFile(fileName), "sorted");
}

void tst_HexReader::failedSortLeavesFile_data()
{
    QTest::addColumn<bool>("replaceable");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<HexReader::Err>("result");

    const QByteArray unordered = dataRecord(0x0010) + dataRecord(0x0000) + endOfFile;
    QTest::newRow("bad record checksum")
        << true << unordered + withWrongChecksum(dataRecord(0x0020)) << HexReader::InvalidData;
    QTest::newRow("file cannot be replaced") << false << unordered << HexReader::FileAccessDenied;
}

void tst_HexReader::failedSortLeavesFile()
{
    QFETCH(bool, replaceable);
    QFETCH(QByteArray, contents);
    const QString file = replaceable ? fileName : unreplaceableFile();
    QVERIFY(writeFile(file, contents));

    QTEST(HexReader::sort(file), "result");

    QCOMPARE(readFile(file), contents);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 1);
    QCOMPARE(HexReader::sort(dir->filePath("missing.hex")), HexReader::FileAccessDenied);
}

void tst_HexReader::sortThenStampReadsOk()
{
    // Records scrambled over two segments, one written twice, an old checksum record.
    QVERIFY(writeFile(fileName, upperAddress(1) + dataRecord(0x0000) + upperAddress(0) +
                                    identification() + dataRecord(0x0000) + dataRecord(0x08C0) +
                                    dataRecord(0x0010) + dataRecord(0x08C0) + endOfFile +
                                    checksumRecord(0x12)));
    HexReader reader;
    QCOMPARE(reader.read(fileName, false), HexReader::InvalidOrder);

    QCOMPARE(HexReader::sort(fileName), HexReader::FileOk);
    QCOMPARE(reader.read(fileName, true), HexReader::FileOk);
    const QByteArray prepared = readFile(fileName);
    QCOMPARE(HexReader().read(fileName, false), HexReader::FileOk);

    // Preparing the file again gives the same file.
    QCOMPARE(HexReader::sort(fileName), HexReader::FileOk);
    QCOMPARE(HexReader().read(fileName, true), HexReader::FileOk);
    QCOMPARE(readFile(fileName), prepared);
}

void tst_HexReader::builtInImageResorted_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("main board") << "kzent";
    QTest::newRow("control panel") << "kterm";
    QTest::newRow("sensor boards") << "ksens";
}

// The built-in images write their extended linear address records in upper case; sorting
// rewrites them in lower case, which changes the image checksum.
void tst_HexReader::builtInImageResorted()
{
    QFETCH(QString, name);
    HexReader builtIn;
    QCOMPARE(builtIn.read(":/firmware/" + name, false), HexReader::FileOk);
    QVERIFY(writeFile(fileName, builtInImage(name)));

    QCOMPARE(HexReader::sort(fileName), HexReader::FileOk);
    HexReader reader;
    QCOMPARE(reader.read(fileName, true), HexReader::FileOk);

    QCOMPARE(reader.data.size(), builtIn.data.size());
    QCOMPARE(reader.data.toUpper(), builtIn.data);
    QVERIFY(reader.checksum != builtIn.checksum);
}

QTEST_APPLESS_MAIN(tst_HexReader)
#include "tst_hexreader.moc"
