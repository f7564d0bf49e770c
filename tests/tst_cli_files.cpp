// trvloader-cli without the instrument: checking, sorting and stamping
// firmware files, the command line's errors, the help and the version.

#include "clitool.h"
#include "hexreader.h"
#include "lockedfolder.h"
#include "testimage.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// The result of one run of the tool.
struct Run
{
    int exitCode = -1;
    QString output;
    QString errors;
};

// What check shows of a readable image, after its part code line.
// The SHA-256 that sha256sum prints for a file of these bytes.
QString sha256Of(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString details(const TestImage& image)
{
    return "  Name:        " + image.part + "-" + image.version +
           ".hex\n"
           "  Version:     " +
           image.version +
           "\n"
           "  Build date:  " +
           image.date + "\n  Size:        " + QString::number(image.text().size()) +
           " bytes\n  Checksum:    0x" +
           QString::number(HexReader::imageChecksum(image.text()), 16)
               .rightJustified(2, '0')
               .toUpper() +
           "\n  SHA-256:     " + sha256Of(image.file()) + "\n";
}

// The image with its first two data records swapped, and no checksum record.
QByteArray outOfOrderText(const TestImage& image)
{
    const QByteArray first = TestImage::dataRecord(0x00);
    const QByteArray second = TestImage::dataRecord(0x10);
    QByteArray text = image.text();
    text.replace(first + second, second + first);
    return text;
}

} // namespace

class tst_cli_files : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void check_data();
    void check();
    void checkAsJson();
    void sortThenStamp();
    void refusedSortOrStamp_data();
    void refusedSortOrStamp();
    void usageErrors_data();
    void usageErrors();
    void helpAndVersion_data();
    void helpAndVersion();

private:
    // Runs the tool on the arguments; these commands end without the event loop.
    Run run(const QStringList& arguments);
    QString writeFile(const QString& name, const QByteArray& contents) const;
    QByteArray contents(const QString& path) const;

    QTemporaryDir folder;
};

void tst_cli_files::initTestCase()
{
    QVERIFY(folder.isValid());
}

Run tst_cli_files::run(const QStringList& arguments)
{
    QBuffer output;
    QBuffer errors;
    output.open(QIODevice::WriteOnly);
    errors.open(QIODevice::WriteOnly);
    Run result;
    CliTool tool(&output, &errors, ReportWriter::Lines);
    connect(&tool, &CliTool::finished, this, [&result](int code) { result.exitCode = code; });
    tool.start(arguments);
    result.output = QString::fromUtf8(output.data());
    result.errors = QString::fromUtf8(errors.data());
    return result;
}

QString tst_cli_files::writeFile(const QString& name, const QByteArray& contents) const
{
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) {
        qFatal("cannot write %s", qPrintable(file.fileName()));
    }
    return file.fileName();
}

QByteArray tst_cli_files::contents(const QString& path) const
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_cli_files::check_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("expectedExit");
    QTest::addColumn<QString>("expected"); // the output, "FILE" standing for the file's path

    QFile builtIn(":/firmware/kzent");
    QVERIFY(builtIn.open(QIODevice::ReadOnly));
    const QByteArray builtInBytes = builtIn.readAll();
    QTest::newRow("built-in main board image") << builtInBytes << 0
                                               << "FILE: Firmware file is OK\n"
                                                  "  Part code:   KZENT (mainboard)\n"
                                                  "  Name:        KZENT-v3.3.hex\n"
                                                  "  Version:     v3.3\n"
                                                  "  Build date:  Feb 12 2015 09:48:59\n"
                                                  "  Size:        201709 bytes\n"
                                                  "  Checksum:    0x3D\n"
                                                  "  SHA-256:     " +
                                                      sha256Of(builtInBytes) + "\n";
    const TestImage sensors("KSENS", "v2.3");
    QTest::newRow("sensor image") << sensors.file() << 0
                                  << "FILE: Firmware file is OK\n"
                                     "  Part code:   KSENS (sensors)\n" +
                                         details(sensors);
    const TestImage unknown("KXYZ", "v2.3");
    QTest::newRow("part code of no board")
        << unknown.file() << 6
        << "FILE: The part code \"KXYZ\" fits no board of the instrument\n"
           "  Part code:   KXYZ\n" +
               details(unknown);
    QTest::newRow("out of order")
        << TestImage::withChecksum(outOfOrderText(TestImage("KTERM", "v2.3"))) << 6
        << "FILE: Firmware file is in an invalid order\n"
           "  Put its records in address order first (this rewrites the file), then stamp it:\n"
           "    trvloader-cli sort FILE && trvloader-cli stamp FILE\n";
    QTest::newRow("no checksum record")
        << TestImage("KTERM", "v2.3").text() << 6
        << "FILE: Firmware file has been corrupted\n"
           "  Its checksum record is missing or does not fit its text. For a file changed on "
           "purpose, sort it (which drops the old record) and stamp it:\n"
           "    trvloader-cli sort FILE && trvloader-cli stamp FILE\n";
    // The cause in place of advice that does not fit it.
    QTest::newRow("empty") << QByteArray() << 6
                           << "FILE: Firmware file has been corrupted\n"
                              "  The file is empty.\n";
    const QString convert = "Convert the file to CR LF line ends, for example with unix2dos or "
                            "sed -i 's/\\r*$/\\r/'.";
    QByteArray lineFeedAlone = TestImage("KTERM", "v2.3").file();
    lineFeedAlone.replace(TestImage::endOfFileRecord(), ":00000001FF\n");
    QTest::newRow("end-of-file record ended by LF alone")
        << lineFeedAlone << 6
        << "FILE: Firmware file contains invalid data\n"
           "  Line " +
               QString::number(
                   lineFeedAlone.left(lineFeedAlone.indexOf(":00000001FF\n")).count('\n') + 1) +
               " ends with LF alone; this record needs CR LF. " + convert + "\n";
    // Not one line to blame, but the file's line ends.
    const QByteArray allLineFeeds = TestImage("KTERM", "v2.3").file().replace("\r\n", "\n");
    QTest::newRow("every line ended by LF alone")
        << allLineFeeds << 6
        << QString("FILE: Firmware file contains invalid data\n"
                   "  The file's lines end with LF alone, all %1 of them; its records need CR LF. ")
                   .arg(allLineFeeds.count('\n')) +
               convert + "\n";
}

// The verdict in the reader's words, what the file holds, and what to do about it.
void tst_cli_files::check()
{
    QFETCH(QByteArray, file);
    QFETCH(int, expectedExit);
    QFETCH(QString, expected);

    const QString path = writeFile("checked.hex", file);
    const Run result = run({"check", path});
    QCOMPARE(result.exitCode, expectedExit);
    QCOMPARE(result.output, QString(expected).replace("FILE", path));
}

// Several files at once, as one result object; one bad file makes the result bad.
void tst_cli_files::checkAsJson()
{
    const QString good = writeFile("good.hex", TestImage("KTERM", "v2.3").file());
    const QString bad = writeFile("bad.hex", TestImage("KTERM", "v2.3").text());
    const QString blank = writeFile("blank.hex", "\r\n" + TestImage("KTERM", "v2.3").file());
    const Run result = run({"check", "--json", good, bad, blank});
    QCOMPARE(result.exitCode, 6);
    QCOMPARE(result.errors, bad + ": Firmware file has been corrupted\n" + blank +
                                ": Firmware file contains invalid data\n"
                                "Line 1 is blank; every line must hold a record.\n");

    const QList<QByteArray> lines = result.output.toUtf8().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.last().isEmpty());
    const QJsonObject object = QJsonDocument::fromJson(lines.first()).object();
    QCOMPARE(object.value("event").toString(), QString("result"));
    QCOMPARE(object.value("result").toString(), QString("fileRefused"));
    QCOMPARE(object.value("exitCode").toInt(), 6);
    const QJsonArray files = object.value("files").toArray();
    QCOMPARE(files.size(), 3);
    const QJsonObject first = files.at(0).toObject();
    QCOMPARE(first.value("file").toString(), good);
    QCOMPARE(first.value("usable").toBool(), true);
    // One shape in JSON: a kind is a group, the checksum a number, the
    // SHA-256 the file's as sha256sum prints it.
    QVERIFY(!first.contains("board"));
    QCOMPARE(first.value("kind").toString(), QString("terminal"));
    QCOMPARE(first.value("group").toString(), QString("Control Panel"));
    QCOMPARE(first.value("checksum"),
             QJsonValue(int(HexReader::imageChecksum(TestImage("KTERM", "v2.3").text()))));
    QCOMPARE(first.value("sha256").toString(), sha256Of(TestImage("KTERM", "v2.3").file()));
    QCOMPARE(first.value("version").toString(), QString("v2.3"));
    const QJsonObject second = files.at(1).toObject();
    QCOMPARE(second.value("usable").toBool(), false);
    QCOMPARE(second.value("state").toString(), QString("Corrupted"));
    QVERIFY(!second.contains("version"));
    QVERIFY(!second.contains("fault"));
    const QJsonObject third = files.at(2).toObject();
    QCOMPARE(third.value("state").toString(), QString("InvalidData"));
    QCOMPARE(third.value("fault").toString(), QString("BlankLine"));
    QCOMPARE(third.value("line").toInt(), 1);
    QCOMPARE(third.value("detail").toString(),
             QString("Line 1 is blank; every line must hold a record."));
}

// A file out of order becomes usable through sort and stamp; a second stamp changes nothing.
void tst_cli_files::sortThenStamp()
{
    const TestImage image("KSENS", "v2.7");
    const QString path = writeFile("prepared.hex", outOfOrderText(image));

    Run result = run({"sort", path});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.output, path +
                                ": sorted. It has no checksum record now; stamp it next:\n"
                                "  trvloader-cli stamp " +
                                path + "\n");
    QCOMPARE(run({"check", path}).exitCode, 6);

    result = run({"stamp", path});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.errors.isEmpty(), qPrintable(result.errors));
    const QByteArray stamped = contents(path);
    HexReader reader;
    QCOMPARE(reader.read(path, false), HexReader::FileOk);
    QVERIFY(stamped.endsWith(TestImage::stampedChecksumRecord(reader.checksum)));
    const QString checksum =
        "0x" + QString::number(reader.checksum, 16).rightJustified(2, '0').toUpper();
    QCOMPARE(result.output, path + ": stamped, checksum " + checksum +
                                ". Firmware file is OK\n  KSENS-v2.7.hex (Mar  3 2017 11:22:33)\n");
    QCOMPARE(run({"check", path}).exitCode, 0);

    result = run({"stamp", path});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.output.startsWith(path + ": already stamped, checksum " + checksum));
    QCOMPARE(contents(path), stamped);
}

void tst_cli_files::refusedSortOrStamp_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("where"); // "file", "missing", "folder" or "locked folder"
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");

    QByteArray invalid = TestImage("KSENS", "v2.3").text();
    invalid.insert(invalid.indexOf('\n') + 1, "not a record\r\n");
    QByteArray wrongSum = TestImage("KSENS", "v2.3").text();
    wrongSum += TestImage::checksumRecord(HexReader::imageChecksum(wrongSum) + 1);

    const QString invalidData = HexReader::stateDescription(HexReader::InvalidData);
    const QString accessDenied = HexReader::stateDescription(HexReader::FileAccessDenied);
    const QString corrupted = HexReader::stateDescription(HexReader::Corrupted);
    const QString folderNotWritable = "\nThe folder of the file cannot be written";

    QTest::newRow("sort, invalid line")
        << "sort"
        << "file" << invalid << invalidData + "\nLine 2 is not an Intel HEX record.";
    QTest::newRow("sort, no such file")
        << "sort"
        << "missing" << QByteArray() << accessDenied + "\nThere is no such file.";
    QTest::newRow("sort, empty file")
        << "sort"
        << "file" << QByteArray() << corrupted + "\nThe file is empty.";
    QTest::newRow("sort, folder cannot be written")
        << "sort"
        << "locked folder" << outOfOrderText(TestImage("KSENS", "v2.3"))
        << accessDenied + folderNotWritable;
    QTest::newRow("stamp, a folder")
        << "stamp"
        << "folder" << QByteArray() << accessDenied + "\nIt is a folder, not a file.";
    QTest::newRow("stamp, empty file")
        << "stamp"
        << "file" << QByteArray() << corrupted + "\nThe file is empty.";
    QTest::newRow("stamp, folder cannot be written")
        << "stamp"
        << "locked folder" << TestImage("KSENS", "v2.3").text()
        << HexReader::stateDescription(HexReader::WriteAccessDenied) + folderNotWritable;
    QTest::newRow("stamp, out of order") << "stamp"
                                         << "file" << outOfOrderText(TestImage("KSENS", "v2.3"))
                                         << HexReader::stateDescription(HexReader::InvalidOrder) +
                                                "\nPut its records in address order first";
    QTest::newRow("stamp, wrong checksum record")
        << "stamp"
        << "file" << wrongSum
        << corrupted + "\nIts checksum record is missing or does not fit its text.";
    QTest::newRow("stamp, no identification")
        << "stamp"
        << "file" << TestImage("", "").text()
        << HexReader::stateDescription(HexReader::NoValidFirmware) +
               "\nThe checksum record has been added.";
}

// A failed sort or stamp says why in the reader's words and leaves the file
// as it was, apart from a checksum record that was added.
void tst_cli_files::refusedSortOrStamp()
{
    QFETCH(QString, command);
    QFETCH(QString, where);
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);

    QString path = folder.filePath("missing.hex");
    std::unique_ptr<LockedFolder> locked;
    if (where == "file") {
        path = writeFile("refused.hex", file);
    } else if (where == "folder") {
        path = folder.path();
    } else if (where == "locked folder") {
        QDir(folder.path()).mkdir("locked");
        path = writeFile("locked/refused.hex", file);
        locked = std::make_unique<LockedFolder>(folder.filePath("locked"));
        if (!locked->isLocked()) {
            QSKIP("cannot keep this user from writing a folder");
        }
    }
    const Run result = run({command, path});
    QCOMPARE(result.exitCode, 6);
    QVERIFY2(result.errors.startsWith(path + ": " + reason), qPrintable(result.errors));
    QVERIFY(result.output.isEmpty());
    if (where != "missing" && where != "folder" && !reason.contains("has been added")) {
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(contents(path), file);
    }
}

void tst_cli_files::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("command"); // as the JSON result names it; empty: null

    QTest::newRow("nothing") << QStringList() << "No command given." << QString();
    QTest::newRow("unknown command")
        << QStringList{"flash"} << "Unknown command \"flash\"." << QString();
    QTest::newRow("unknown option")
        << QStringList{"--loud"} << "Unknown option 'loud'." << QString();
    QTest::newRow("unknown option of a command")
        << QStringList{"check", "--wait", "3", "a.hex"} << "Unknown option 'wait'."
        << "check";
    QTest::newRow("unknown board")
        << QStringList{"update", "sensor6"} << "Unknown board \"sensor6\"; use all, sensors"
        << "update";
    QTest::newRow("wait not a number")
        << QStringList{"update", "--wait", "soon"} << "--wait takes a number of seconds"
        << "update";
    QTest::newRow("negative wait")
        << QStringList{"versions", "--wait", "-1"} << "--wait takes a number of seconds"
        << "versions";
    QTest::newRow("firmware without kind")
        << QStringList{"update", "--firmware", "a.hex"} << "--firmware takes KIND=FILE"
        << "update";
    QTest::newRow("firmware for an unknown kind")
        << QStringList{"update", "--firmware", "keys=a.hex"} << "--firmware takes KIND=FILE"
        << "update";
    QTest::newRow("firmware twice for a kind")
        << QStringList{"update", "--firmware", "terminal=a.hex", "--firmware", "terminal=b.hex"}
        << "--firmware is given twice for terminal."
        << "update";
    QTest::newRow("firmware for boards not updated")
        << QStringList{"update", "sensor2", "terminal", "--firmware", "mainboard=a.hex"}
        << "--firmware is given for mainboard, but no board of it is being updated."
        << "update";
    QTest::newRow("versions with an argument")
        << QStringList{"versions", "all"} << "\"versions\" takes no arguments."
        << "versions";
    QTest::newRow("check without file") << QStringList{"check"} << "No file given."
                                        << "check";
    QTest::newRow("sort of two files")
        << QStringList{"sort", "a.hex", "b.hex"} << "Give exactly one file."
        << "sort";
    QTest::newRow("stamp without file") << QStringList{"stamp"} << "Give exactly one file."
                                        << "stamp";
}

// A command line that makes no sense ends with the usage error and where to
// find help; as JSON, with a result that names the command.
void tst_cli_files::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    QFETCH(QString, command);

    const Run result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.errors.startsWith(reason), qPrintable(result.errors));
    QVERIFY(result.errors.contains("--help\" for help.\n"));
    QVERIFY(result.output.isEmpty());

    const Run json = run(QStringList{"--json"} + arguments);
    QCOMPARE(json.exitCode, 2);
    QCOMPARE(json.errors, result.errors);
    const QJsonObject object = QJsonDocument::fromJson(json.output.toUtf8()).object();
    QCOMPARE(json.output.count('\n'), 1);
    QCOMPARE(object.value("event").toString(), QString("result"));
    QCOMPARE(object.value("exitCode").toInt(), 2);
    QCOMPARE(object.value("command"),
             command.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(command));
}

void tst_cli_files::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");

    QStringList exitCodes;
    for (const char* line :
         {"    0  success", "    1  Internal program error", "    2  usage error",
          "    3  no instrument answered within the wait",
          "    4  the instrument is there but cannot be opened",
          "    5  another copy of the update tool is running",
          "    6  a firmware file is not usable", "    7  a board asked for did not answer",
          "    8  an image is older than the version a board runs",
          "   10  No response from device", "   11  Firmware update mode could not be startet",
          "   12  Errors while transfering data", "   13  Invalid firmware file",
          "   14  Update could not be finished", "  129  stopped by SIGHUP",
          "  130  canceled with Ctrl-C", "  143  stopped by SIGTERM"}) {
        exitCodes << QString("\n") + line;
    }
    QTest::newRow("program") << QStringList{"--help"}
                             << QStringList{"Usage: trvloader-cli [--json] COMMAND",
                                            "\n  versions ",
                                            "\n  update [BOARD...] ",
                                            "\n  check FILE... ",
                                            "\n  sort FILE ",
                                            "\n  stamp FILE "} +
                                    exitCodes;
    QTest::newRow("update") << QStringList{"update", "--help"}
                            << QStringList{"Usage: trvloader-cli update [options] [BOARD...]\n",
                                           "--wait <SECONDS>",
                                           "--firmware <KIND=FILE>",
                                           "--skip-missing",
                                           "--allow-older",
                                           "--json",
                                           "Exit codes: see trvloader-cli --help."};
    QTest::newRow("stamp") << QStringList{"stamp", "-h"}
                           << QStringList{"Usage: trvloader-cli stamp [options] FILE\n"};
    QTest::newRow("version") << QStringList{"--version"}
                             << QStringList{"trvloader-cli 1.15\nhidapi 0.",
                                            QString("\nQt ") + qVersion() + " (built with 5."};
}

void tst_cli_files::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);

    const Run result = run(arguments);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.errors.isEmpty());
    for (const QString& text : expected) {
        QVERIFY2(result.output.contains(text), qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(tst_cli_files)
#include "tst_cli_files.moc"
