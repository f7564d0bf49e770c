#include "hexreader.h"
#include "hexsorter.h"
#include "lockedfolder.h"
#include "testimage.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray endOfFile = TestImage::endOfFileRecord();

// The identification blocks as the built-in images carry them: four records
// each, zeros after the text.
QByteArray identification(const QByteArray& date = "Mar  1 2016 08:00:00")
{
    TestImage image("KSENS", "v1.0");
    image.date = date;
    image.fullBlocks = true;
    return image.identification();
}

// An image text up to its end-of-file record: vectors, identification, code,
// and a line in the second 64 KiB.
QByteArray imageText(const QByteArray& identificationRecords = identification())
{
    return TestImage::extendedLinearAddressRecord(0) + TestImage::dataRecord(0x0000) +
           TestImage::dataRecord(0x0010) + identificationRecords + TestImage::dataRecord(0x08C0) +
           TestImage::dataRecord(0x08D0) + TestImage::extendedLinearAddressRecord(1) +
           TestImage::dataRecord(0x0000) + endOfFile;
}

QByteArray builtInImage(const QString& name)
{
    QFile file(":/firmware/" + name);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
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

// The number of the line of text that begins with the line given, counted from 1.
int lineOf(const QByteArray& text, const QByteArray& line)
{
    return text.left(text.indexOf(line)).count('\n') + 1;
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
    void sizeLimit_data();
    void sizeLimit();
    void sizeLimitInMemory();

    void stamping_data();
    void stamping();
    void failedStampLeavesFile();

    void sort_data();
    void sort();
    void failedSortLeavesFile_data();
    void failedSortLeavesFile();
    void lockedFolderIsNamed();
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
    QCOMPARE(contents, reader.data + TestImage::stampedChecksumRecord(reader.checksum));
    // Every line ends with CR LF.
    for (const QByteArray& line : reader.data.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        QVERIFY2(line.endsWith('\r'), line.constData());
    }
}

void tst_HexReader::verdicts_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<HexReader::Err>("state");
    QTest::addColumn<FileFault::Kind>("fault");
    QTest::addColumn<int>("faultLine");

    const QByteArray text = imageText();
    const quint8 checksum = HexReader::imageChecksum(text);
    const QByteArray image = TestImage::withChecksum(text);

    QTest::newRow("whole image") << image << HexReader::FileOk << FileFault::None << 0;
    QTest::newRow("lines after the end-of-file record are checked, not summed")
        << image + TestImage::dataRecord(0x0100) << HexReader::FileOk << FileFault::None << 0;
    QTest::newRow("the last checksum record counts")
        << text + TestImage::checksumRecord(checksum + 1) + TestImage::checksumRecord(checksum)
        << HexReader::FileOk << FileFault::None << 0;
    QTest::newRow("extended segment address ignored")
        << TestImage::withChecksum(TestImage::record(0x02, 0, QByteArray::fromHex("1000")) + text)
        << HexReader::FileOk << FileFault::None << 0;

    // Invalid data: the first line that is not a valid record, and what is wrong with it.
    const int imageLines = image.count('\n');
    QTest::newRow("wrong record checksum")
        << QByteArray(image).replace(TestImage::dataRecord(0x08D0),
                                     withWrongChecksum(TestImage::dataRecord(0x08D0)))
        << HexReader::InvalidData << FileFault::BadRecordChecksum
        << lineOf(image, TestImage::dataRecord(0x08D0));
    QTest::newRow("blank line after the checksum record")
        << image + "\r\n"
        << HexReader::InvalidData << FileFault::BlankLine << imageLines + 1;
    QTest::newRow("bad line after the end-of-file record")
        << image + ":0100000000\r\n"
        << HexReader::InvalidData << FileFault::NotARecord << imageLines + 1;
    QTest::newRow("text that is no record")
        << "; built by hand\r\n" + image << HexReader::InvalidData << FileFault::NotARecord << 1;
    QTest::newRow("record with a digit that is none")
        << QByteArray(image).replace(":020000040000FA", ":0200000400X1FA") << HexReader::InvalidData
        << FileFault::NotARecord << 1;
    QTest::newRow("end-of-file record with LF alone")
        << QByteArray(text).replace(endOfFile, ":00000001FF\n") +
               TestImage::checksumRecord(checksum)
        << HexReader::InvalidData << FileFault::LineFeedAlone << lineOf(text, endOfFile);
    QTest::newRow("end-of-file record without line end")
        << text.left(text.size() - 2) << HexReader::InvalidData << FileFault::NoLineEnd
        << lineOf(text, endOfFile);
    QTest::newRow("zero bytes skipped, yet counted as lines")
        << QByteArray("\0\r\n", 3) + "x\r\n"
        << HexReader::InvalidData << FileFault::NotARecord << 2;

    QTest::newRow("no checksum record") << text << HexReader::Corrupted << FileFault::None << 0;
    QTest::newRow("empty file") << QByteArray() << HexReader::Corrupted << FileFault::Empty << 0;
    QTest::newRow("zero bytes only")
        << QByteArray(8, '\0') << HexReader::Corrupted << FileFault::Empty << 0;
    QTest::newRow("checksum does not match") << text + TestImage::checksumRecord(checksum ^ 0x01)
                                             << HexReader::Corrupted << FileFault::None << 0;
    QTest::newRow("case of one hex letter changed")
        << QByteArray(image).replace(":020000040000FA", ":020000040000fA") << HexReader::Corrupted
        << FileFault::None << 0;

    QTest::newRow("overlapping records")
        << TestImage::withChecksum(TestImage::dataRecord(0x0000) +
                                   TestImage::record(0x00, 0x0008, "12345678") + endOfFile)
        << HexReader::InvalidOrder << FileFault::None << 0;
    QTest::newRow("descending records")
        << TestImage::withChecksum(TestImage::dataRecord(0x0100) + TestImage::dataRecord(0x0000) +
                                   endOfFile)
        << HexReader::InvalidOrder << FileFault::None << 0;
    QTest::newRow("lowered extended linear address")
        << TestImage::withChecksum(TestImage::extendedLinearAddressRecord(1) +
                                   TestImage::dataRecord(0x0000) +
                                   TestImage::extendedLinearAddressRecord(0) +
                                   TestImage::dataRecord(0x1000) + endOfFile)
        << HexReader::InvalidOrder << FileFault::None << 0;

    QTest::newRow("no identification") << TestImage::withChecksum(imageText(QByteArray()))
                                       << HexReader::NoValidFirmware << FileFault::None << 0;
    QTest::newRow("no date") << TestImage::withChecksum(imageText(identification(QByteArray())))
                             << HexReader::NoValidFirmware << FileFault::None << 0;
    QTest::newRow("identification above the first 64 KiB")
        << TestImage::withChecksum(TestImage::extendedLinearAddressRecord(1) + identification() +
                                   endOfFile)
        << HexReader::NoValidFirmware << FileFault::None << 0;
}

void tst_HexReader::verdicts()
{
    QFETCH(QByteArray, contents);
    QVERIFY(writeFile(fileName, contents));

    HexReader reader;
    QTEST(reader.read(fileName, false), "state");
    QTEST(reader.state, "state");
    QTEST(reader.fault.kind(), "fault");
    QTEST(reader.fault.line(), "faultLine");
    QCOMPARE(readFile(fileName), contents);

    // The same text held in memory reads alike.
    HexReader fromMemory;
    QTEST(fromMemory.readBytes(contents), "state");
    QTEST(fromMemory.state, "state");
    QTEST(fromMemory.fault.kind(), "fault");
    QTEST(fromMemory.fault.line(), "faultLine");
    QCOMPARE(fromMemory.data, reader.data);
    QCOMPARE(fromMemory.fullName(), reader.fullName());
    QCOMPARE(fromMemory.checksum, reader.checksum);
}

void tst_HexReader::imageTextEndsWithEndOfFileRecord()
{
    const QByteArray text = imageText(identification("Feb 12 2015 09:48:59"));
    QVERIFY(writeFile(fileName, TestImage::withChecksum(text) + TestImage::dataRecord(0x0100)));

    HexReader reader;
    QCOMPARE(reader.read(fileName, false), HexReader::FileOk);

    QCOMPARE(reader.data, text);
    QCOMPARE(reader.fullName(), "KSENS-v1.0.hex (Feb 12 2015 09:48:59)");
}

void tst_HexReader::failedOpenKeepsPreviousImage_data()
{
    QTest::addColumn<QString>("unreadable");
    QTest::addColumn<FileFault::Kind>("fault");

    QTest::newRow("missing file") << "missing.hex" << FileFault::NoSuchFile;
    QTest::newRow("folder") << "." << FileFault::Folder;
}

void tst_HexReader::failedOpenKeepsPreviousImage()
{
    QFETCH(QString, unreadable);
    HexReader reader;
    QCOMPARE(reader.read(":/firmware/kterm", false), HexReader::FileOk);
    const QByteArray data = reader.data;

    QCOMPARE(reader.read(dir->filePath(unreadable), false), HexReader::FileAccessDenied);

    QCOMPARE(reader.state, HexReader::FileAccessDenied);
    QTEST(reader.fault.kind(), "fault");
    QCOMPARE(reader.data, data);
    QCOMPARE(reader.fullName(), "KTERM-v2.1.hex (Jan 14 2015 17:26:03)");
    QCOMPARE(reader.checksum, quint8(0x1C));
}

void tst_HexReader::sizeLimit_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("writeChecksum");
    QTest::addColumn<HexReader::Err>("state");

    // A whole image followed by zero bytes up to the size: the zeros hold no text.
    QTest::newRow("at the limit") << HexReader::maximumFileSize << false << HexReader::FileOk;
    QTest::newRow("one byte over")
        << HexReader::maximumFileSize + 1 << false << HexReader::FileTooLarge;
    QTest::newRow("one byte over, stamping")
        << HexReader::maximumFileSize + 1 << true << HexReader::FileTooLarge;
    QTest::newRow("3 GiB") << qint64(3) * 1024 * 1024 * 1024 << false << HexReader::FileTooLarge;
}

// Sparse files, so that the large ones cost no disk space and, refused unread, no time.
void tst_HexReader::sizeLimit()
{
    QFETCH(qint64, size);
    QFETCH(bool, writeChecksum);
    QFETCH(HexReader::Err, state);
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(TestImage("KTERM", "v3.0").file()) > 0);
    QVERIFY(file.resize(size));
    file.close();
    HexReader reader;
    QCOMPARE(reader.read(":/firmware/kterm", false), HexReader::FileOk);

    QTEST(reader.read(fileName, writeChecksum), "state");

    QCOMPARE(QFileInfo(fileName).size(), size);
    if (state == HexReader::FileOk) {
        QCOMPARE(reader.version, "v3.0");
        return;
    }
    QCOMPARE(reader.stateDescription(), "Firmware file is too large");
    QCOMPARE(reader.fullName(), "KTERM-v2.1.hex (Jan 14 2015 17:26:03)");
    QCOMPARE(HexSorter::sort(fileName), HexReader::FileTooLarge);
    QCOMPARE(QFileInfo(fileName).size(), size);
}

void tst_HexReader::sizeLimitInMemory()
{
    // A whole image followed by zero bytes up to the limit: the zeros hold no text.
    QByteArray content = TestImage("KTERM", "v3.0").file();
    content.append(QByteArray(int(HexReader::maximumFileSize) - content.size(), '\0'));
    HexReader reader;
    QCOMPARE(reader.readBytes(content), HexReader::FileOk);
    QCOMPARE(reader.version, "v3.0");
    QCOMPARE(reader.read(":/firmware/kterm", false), HexReader::FileOk);

    content.append('\0');
    QCOMPARE(reader.readBytes(content), HexReader::FileTooLarge);

    QCOMPARE(reader.state, HexReader::FileTooLarge);
    QCOMPARE(reader.stateDescription(), "Firmware file is too large");
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
        << text + TestImage::checksumRecord(HexReader::imageChecksum(text) + 1) << QByteArray()
        << HexReader::Corrupted << HexReader::Corrupted;
    QTest::newRow("no identification")
        << imageText(QByteArray())
        << TestImage::stampedChecksumRecord(HexReader::imageChecksum(imageText(QByteArray())))
        << HexReader::NoValidFirmware << HexReader::NoValidFirmware;

    const QByteArray withoutEnd = text.left(text.size() - endOfFile.size());
    QTest::newRow("no end-of-file record: the record itself is summed next time")
        << withoutEnd << TestImage::stampedChecksumRecord(HexReader::imageChecksum(withoutEnd))
        << HexReader::FileOk << HexReader::Corrupted;

    // The record must not run into the last line.
    const QByteArray lastLineOpen = text + TestImage::dataRecord(0x0100, QByteArray());
    QTest::newRow("last line without line end")
        << lastLineOpen << "\n" + TestImage::stampedChecksumRecord(HexReader::imageChecksum(text))
        << HexReader::FileOk << HexReader::FileOk;

    // Ended for the record, the end-of-file line is summed as it reads from now on.
    const QByteArray endOfFileOpen = text.left(text.size() - 2) + "  ";
    QTest::newRow("end-of-file line without line end")
        << endOfFileOpen
        << "\n" + TestImage::stampedChecksumRecord(HexReader::imageChecksum(endOfFileOpen + "\n"))
        << HexReader::FileOk << HexReader::FileOk;

    QTest::newRow("invalid data") << text + "\r\n"
                                  << QByteArray() << HexReader::InvalidData
                                  << HexReader::InvalidData;
    QTest::newRow("empty file: no record to stamp")
        << QByteArray() << QByteArray() << HexReader::Corrupted << HexReader::Corrupted;
    QTest::newRow("invalid order")
        << TestImage::dataRecord(0x0100) + TestImage::dataRecord(0x0000) + endOfFile << QByteArray()
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
        << TestImage::withChecksum(text)
        << ":020000040000fa\r\n" + TestImage::dataRecord(0x0000) + TestImage::dataRecord(0x0010) +
               identification() + TestImage::dataRecord(0x08C0) + TestImage::dataRecord(0x08D0) +
               ":020000040001f9\r\n" + TestImage::dataRecord(0x0000) + endOfFile;
    QTest::newRow("same full address twice: the later one stays")
        << TestImage::dataRecord(0x0010) + TestImage::record(0x00, 0x0010, "later") +
               TestImage::dataRecord(0x0000)
        << ":020000040000fa\r\n" + TestImage::dataRecord(0x0000) +
               TestImage::record(0x00, 0x0010, "later") + endOfFile;
    QTest::newRow("descending segments")
        << TestImage::extendedLinearAddressRecord(0x01F0) + TestImage::dataRecord(0x0010) +
               TestImage::extendedLinearAddressRecord(0) + TestImage::dataRecord(0x0020) +
               TestImage::extendedLinearAddressRecord(0x01F0) + TestImage::dataRecord(0x0000)
        << ":020000040000fa\r\n" + TestImage::dataRecord(0x0020) + ":0200000401f009\r\n" +
               TestImage::dataRecord(0x0000) + TestImage::dataRecord(0x0010) + endOfFile;
    QTest::newRow("extended segment address ignored and dropped")
        << TestImage::extendedLinearAddressRecord(2) +
               TestImage::record(0x02, 0, QByteArray::fromHex("1000")) +
               TestImage::dataRecord(0x0010)
        << ":020000040002f8\r\n" + TestImage::dataRecord(0x0010) + endOfFile;
    QTest::newRow("reading goes on after the end-of-file record")
        << TestImage::dataRecord(0x0010) + endOfFile + TestImage::dataRecord(0x0000)
        << ":020000040000fa\r\n" + TestImage::dataRecord(0x0000) + TestImage::dataRecord(0x0010) +
               endOfFile;
    QTest::newRow("LF lines kept, last line without line end ended")
        << TestImage::dataRecord(0x0020, "\n") + TestImage::dataRecord(0x0010, QByteArray())
        << ":020000040000fa\r\n" + TestImage::dataRecord(0x0010) +
               TestImage::dataRecord(0x0020, "\n") + endOfFile;
    QTest::newRow("no data records") << endOfFile + TestImage::checksumRecord(0x7A) << endOfFile;
}

void tst_HexReader::sort()
{
    QFETCH(QByteArray, contents);
    QVERIFY(writeFile(fileName, contents));

    QCOMPARE(HexSorter::sort(fileName), HexReader::FileOk);

    QTEST(readFile(fileName), "sorted");
}

void tst_HexReader::failedSortLeavesFile_data()
{
    QTest::addColumn<bool>("replaceable");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<HexReader::Err>("result");
    QTest::addColumn<FileFault::Kind>("fault");
    QTest::addColumn<int>("faultLine");

    const QByteArray unordered =
        TestImage::dataRecord(0x0010) + TestImage::dataRecord(0x0000) + endOfFile;
    QTest::newRow("bad record checksum")
        << true << unordered + withWrongChecksum(TestImage::dataRecord(0x0020))
        << HexReader::InvalidData << FileFault::BadRecordChecksum << 4;
    QTest::newRow("empty file") << true << QByteArray() << HexReader::Corrupted << FileFault::Empty
                                << 0;
    QTest::newRow("file cannot be replaced")
        << false << unordered << HexReader::FileAccessDenied << FileFault::NotWritten << 0;
}

void tst_HexReader::failedSortLeavesFile()
{
    QFETCH(bool, replaceable);
    QFETCH(QByteArray, contents);
    const QString file = replaceable ? fileName : unreplaceableFile();
    QVERIFY(writeFile(file, contents));

    FileFault fault;
    QTEST(HexSorter::sort(file, &fault), "result");
    QTEST(fault.kind(), "fault");
    QTEST(fault.line(), "faultLine");

    QCOMPARE(readFile(file), contents);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 1);
    QCOMPARE(HexSorter::sort(dir->filePath("missing.hex"), &fault), HexReader::FileAccessDenied);
    QCOMPARE(fault.kind(), FileFault::NoSuchFile);
}

// A writable file in a folder that cannot be written: the folder is to blame.
void tst_HexReader::lockedFolderIsNamed()
{
    QVERIFY(QDir(dir->path()).mkdir("locked"));
    const QString file = dir->filePath("locked/image.hex");
    const QByteArray text = imageText(); // to be sorted and stamped
    QVERIFY(writeFile(file, text));
    LockedFolder folder(dir->filePath("locked"));
    if (!folder.isLocked()) {
        QSKIP("cannot keep this user from writing a folder");
    }
    QVERIFY(QFileInfo(file).isWritable());

    FileFault fault;
    QCOMPARE(HexSorter::sort(file, &fault), HexReader::FileAccessDenied);
    QCOMPARE(fault.kind(), FileFault::FolderNotWritable);
    HexReader reader;
    QCOMPARE(reader.read(file, true), HexReader::WriteAccessDenied);
    QCOMPARE(reader.fault.kind(), FileFault::FolderNotWritable);
    QCOMPARE(readFile(file), text);
}

void tst_HexReader::sortThenStampReadsOk()
{
    // Records scrambled over two segments, one written twice, an old checksum record.
    QVERIFY(writeFile(fileName, TestImage::extendedLinearAddressRecord(1) +
                                    TestImage::dataRecord(0x0000) +
                                    TestImage::extendedLinearAddressRecord(0) + identification() +
                                    TestImage::dataRecord(0x0000) + TestImage::dataRecord(0x08C0) +
                                    TestImage::dataRecord(0x0010) + TestImage::dataRecord(0x08C0) +
                                    endOfFile + TestImage::checksumRecord(0x12)));
    HexReader reader;
    QCOMPARE(reader.read(fileName, false), HexReader::InvalidOrder);

    QCOMPARE(HexSorter::sort(fileName), HexReader::FileOk);
    QCOMPARE(reader.read(fileName, true), HexReader::FileOk);
    const QByteArray prepared = readFile(fileName);
    QCOMPARE(HexReader().read(fileName, false), HexReader::FileOk);

    // Preparing the file again gives the same file.
    QCOMPARE(HexSorter::sort(fileName), HexReader::FileOk);
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

    QCOMPARE(HexSorter::sort(fileName), HexReader::FileOk);
    HexReader reader;
    QCOMPARE(reader.read(fileName, true), HexReader::FileOk);

    QCOMPARE(reader.data.size(), builtIn.data.size());
    QCOMPARE(reader.data.toUpper(), builtIn.data);
    QVERIFY(reader.checksum != builtIn.checksum);
}

QTEST_APPLESS_MAIN(tst_HexReader)
#include "tst_hexreader.moc"
