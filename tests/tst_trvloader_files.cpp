// The window's firmware images: the built-in ones, files loaded by the user
// through the load buttons, and the hidden stamping tool (Ctrl+Alt+F8, or
// Ctrl+Shift+F8 where the desktop keeps the first for itself).

#include "fileoffering.h"
#include "hexreader.h"
#include "instrument.h"
#include "servicelog.h"
#include "testimage.h"
#include "testtiming.h"
#include "trvloader.h"
#include "windowtesting.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <algorithm>

namespace {

// The first code record of every image here begins with these characters: a non-digit in
// place of its letter makes the record invalid, the letter in lower case changes the image
// text but leaves the record valid.
const QByteArray firstCodeStart = ":10000000B0";
const QByteArray invalidFirstCodeStart = ":10000000G0";
const QByteArray changedFirstCodeStart = ":10000000b0";

// An image without identification.
QByteArray unidentifiedImageText()
{
    return TestImage::extendedLinearAddressRecord(0) + TestImage::dataRecord(0x0000) +
           TestImage::endOfFileRecord();
}

// A sensor image whose text, up to and including its end-of-file record, is
// exactly bytes long (at least 500): TestImage's, and behind its
// identification data records in the 64 KiB segments above it, 16 bytes
// each, the last one or two longer to make up the rest.
QByteArray sensorImageText(int bytes)
{
    const QByteArray end = TestImage::endOfFileRecord();
    QByteArray text = TestImage("KSENS", "v2.0").text();
    text.chop(end.size());
    quint16 segment = 0;
    int address = 0; // where the next record goes in the segment open
    const auto openSegment = [&] {
        text += TestImage::extendedLinearAddressRecord(++segment);
        address = 0;
    };
    const auto append = [&](int dataBytes) {
        text += TestImage::record(0x00, quint16(address), QByteArray(dataBytes, '\x5A'));
        address += dataBytes;
    };
    const auto rest = [&] { return bytes - text.size() - end.size(); };

    // A record of n data bytes (up to 255) is 13 + 2n characters long: the
    // last two records make up any even rest up to 1046, and a record of 16
    // bytes before them an odd one.
    openSegment();
    while (rest() > 1046) {
        if (address + 16 > 0x10000) {
            openSegment();
        }
        append(16);
    }
    if (address + 3 * 255 > 0x10000) {
        openSegment();
    }
    if (rest() % 2 == 1 && rest() > 523) {
        append(16);
    }
    if (rest() % 2 == 1) {
        append((rest() - 13) / 2);
    } else {
        append((rest() - 26) / 4);
        append((rest() - 13) / 2);
    }
    return text + end;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Presses OK in the message box; shows "title | text | detailed text".
QString pressOkShowingDetails(QWidget* modal)
{
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box || !box->button(QMessageBox::Ok)) {
        QMetaObject::invokeMethod(modal, "reject");
        return QString("no OK button in ") + modal->metaObject()->className();
    }
    const QString seen = box->windowTitle() + " | " + box->text() + " | " + box->detailedText();
    box->button(QMessageBox::Ok)->click();
    return seen;
}

QString label(QWidget& window, const QString& name)
{
    return child<QLabel>(window, name)->text();
}

const QString builtInMainboard = "KZENT-v3.3.hex (Feb 12 2015 09:48:59, 197 kB)";
const QString builtInTerminal = "KTERM-v2.1.hex (Jan 14 2015 17:26:03, 118 kB)";
const QString builtInSensor = "KSENS-v1.9.hex (Feb  9 2016 10:21:05,  89 kB)";

} // namespace

class tst_trvloader_files : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void builtInImages();
    void sizeText_data();
    void sizeText();
    void failedImageShowsOnlyItsFailure_data();
    void failedImageShowsOnlyItsFailure();

    void replaceAnsweredNoThenYes();
    void threeFilesThreeQuestionsOneRefresh();
    void brokenFile_data();
    void brokenFile();
    void unreadableFile_data();
    void unreadableFile();
    void unknownPartCode();
    void fileChangedBeforeYes();

    void stampingToolShortcuts_data();
    void stampingToolShortcuts();
    void stampingToolSortsStampsAndOffers();
    void stampingToolTwiceGivesSameFile();
    void stampingToolFailures_data();
    void stampingToolFailures();
    void stampingToolReadOnlyFile();

private:
    // Shows the window on the instrument and switches to advanced mode, where the load buttons are.
    void openAdvanced(trvLoader& window);
    // Clicks the load button and answers the dialogs that follow.
    QStringList load(trvLoader& window, const QList<ModalAnswers::Step>& steps);
    // Opens the stamping tool by its shortcut and answers the dialogs that follow.
    // Opens the stamping tool with its shortcut and answers its dialogs.
    QStringList stamp(trvLoader& window, const QList<ModalAnswers::Step>& steps,
                      Qt::KeyboardModifiers modifiers = Qt::ControlModifier | Qt::AltModifier);

    QTemporaryDir folder;
};

void tst_trvloader_files::initTestCase()
{
    QVERIFY(folder.isValid());
    QVERIFY(applyStyleSheet());
}

void tst_trvloader_files::init()
{
    sim::instrument().reset();
    // Each case reads in the log only what it did.
    QFile::remove(ServiceLog::defaultFileName());
}

void tst_trvloader_files::openAdvanced(trvLoader& window)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* advanced = child<QCheckBox>(window, "advanced");
    QTRY_VERIFY(advanced->isEnabled());
    QTest::mouseClick(advanced, Qt::LeftButton);
    QVERIFY(child<QWidget>(window, "controlWidget")->isVisible());
}

QStringList tst_trvloader_files::load(trvLoader& window, const QList<ModalAnswers::Step>& steps)
{
    return answerDialogs(
        [&] { QTest::mouseClick(child<QToolButton>(window, "loadSensor"), Qt::LeftButton); },
        steps);
}

QStringList tst_trvloader_files::stamp(trvLoader& window, const QList<ModalAnswers::Step>& steps,
                                       Qt::KeyboardModifiers modifiers)
{
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) {
        return {"the window did not become active"};
    }
    return answerDialogs([&] { QTest::keyClick(&window, Qt::Key_F8, modifiers); }, steps);
}

void tst_trvloader_files::builtInImages()
{
    sim::instrument().unplug();
    trvLoader window;
    QCOMPARE(label(window, "fileStateMainboard"), builtInMainboard);
    QCOMPARE(label(window, "fileStateTerminal"), builtInTerminal);
    QCOMPARE(label(window, "fileStateSensor"), builtInSensor);
    for (trvInterface::PartType part : allBoards) {
        QCOMPARE(label(window, "version" + boardSuffix(part)), QString());
    }
}

void tst_trvloader_files::sizeText_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QString>("text");

    // A valid image has its identification, a few hundred bytes: no image
    // is smaller than a three-digit number of bytes.
    QTest::newRow("500 bytes") << 500 << "500 Byte";
    QTest::newRow("1024 bytes") << 1024 << "1024 Byte";
    QTest::newRow("1025 bytes") << 1025 << "  1 kB";
    QTest::newRow("89 KiB") << 89 * 1024 << " 89 kB";
    QTest::newRow("197 KiB") << 197 * 1024 << "197 kB";
    QTest::newRow("1 MiB") << 1048576 << "1024 kB";
    QTest::newRow("1 MiB and a byte") << 1048577 << "  1 MB";
    QTest::newRow("3 MiB") << 3 * 1048576 << "  3 MB";
}

// The image's size, as its row shows it once loaded: a number of three
// characters at least and its unit.
void tst_trvloader_files::sizeText()
{
    QFETCH(int, bytes);
    QFETCH(QString, text);

    const QByteArray image = sensorImageText(bytes);
    QCOMPARE(image.size(), bytes);
    writeFile(folder.filePath("sized.hex"), TestImage::withChecksum(image));
    trvLoader window;
    openAdvanced(window);
    load(window, {choose(folder.path(), {"sized.hex"}), press(QMessageBox::Yes)});
    QCOMPARE(label(window, "fileStateSensor"),
             "KSENS-v2.0.hex (Mar  3 2017 11:22:33, " + text + ")");
}

void tst_trvloader_files::failedImageShowsOnlyItsFailure_data()
{
    QTest::addColumn<QString>("change"); // what happens to the files while the question is open

    QTest::newRow("removed") << "removed";
    QTest::newRow("an invalid record") << "invalid record";
    QTest::newRow("text changed") << "changed";
    QTest::newRow("records out of order") << "unsorted";
    QTest::newRow("no identification") << "unidentified";
}

// A file is read and checked once, before its question: what the file
// becomes while the question is open does not reach the instrument. The
// image checked is the image used, and the boards' rows go on showing what
// they reported.
void tst_trvloader_files::failedImageShowsOnlyItsFailure()
{
    QFETCH(QString, change);

    sim::instrument().setVersion(sim::Terminal, 7);
    sim::instrument().setVersion(sim::Sensor4, 8);
    sim::BoardFaults absent;
    absent.absent = true;
    sim::instrument().setFaults(sim::Sensor3, absent);
    const QList<TestImage> images = {TestImage("KTERM", "v3.0"), TestImage("KSENS", "v2.0")};
    const QStringList names = {"panel.hex", "sensor.hex"};
    for (int i = 0; i < images.size(); ++i) {
        writeFile(folder.filePath(names[i]), images[i].file());
    }
    const auto breakFile = [&](int i) {
        const QString path = folder.filePath(names[i]);
        QByteArray content = images[i].text();
        if (change == "removed") {
            QVERIFY(QFile::remove(path));
            return;
        }
        if (change == "invalid record") {
            content.replace(firstCodeStart, invalidFirstCodeStart);
        } else if (change == "unsorted") {
            const QByteArray first = TestImage::dataRecord(0x0000);
            const QByteArray second = TestImage::dataRecord(0x0010);
            content.replace(first + second, second + first);
        } else if (change == "unidentified") {
            content = unidentifiedImageText();
        }
        QByteArray bytes = TestImage::withChecksum(content);
        if (change == "changed") {
            bytes = images[i].file();
            bytes.replace(firstCodeStart, changedFirstCodeStart);
        }
        writeFile(path, bytes);
    };

    trvLoader window;
    openAdvanced(window);
    QTRY_COMPARE(label(window, "versionTerminal"), QString("v0.7"));
    QTRY_COMPARE(label(window, "versionSensor4"), QString("v0.8"));
    const QStringList seen =
        load(window, {choose(folder.path(), names), press(QMessageBox::Yes, [&] { breakFile(0); }),
                      press(QMessageBox::Yes, [&] { breakFile(1); })});
    QCOMPARE(seen.size(), 3);
    QVERIFY2(label(window, "fileStateTerminal").startsWith("KTERM-v3.0.hex (Mar  3 2017"),
             qPrintable(label(window, "fileStateTerminal")));
    QVERIFY2(label(window, "fileStateSensor").startsWith("KSENS-v2.0.hex (Mar  3 2017"),
             qPrintable(label(window, "fileStateSensor")));
    QCOMPARE(label(window, "versionTerminal"), QString("v0.7"));
    QCOMPARE(label(window, "versionSensor4"), QString("v0.8"));
    QCOMPARE(label(window, "versionSensor3"), QString());
    QCOMPARE(label(window, "fileStateMainboard"), builtInMainboard);
}

void tst_trvloader_files::replaceAnsweredNoThenYes()
{
    const QString path = folder.filePath("sensor-new.hex");
    writeFile(path, TestImage("KSENS", "v2.0").file());
    trvLoader window;
    openAdvanced(window);

    const QString question =
        "Load firmware file | Do you want to replace the firmware file of the Sensor Boards\n"
        "\"KSENS-v1.9.hex (Feb  9 2016 10:21:05)\"\nwith selected firmware file?\n"
        "\"KSENS-v2.0.hex (Mar  3 2017 11:22:33)\"";
    QCOMPARE(load(window, {choose(folder.path(), {"sensor-new.hex"}), press(QMessageBox::No)}),
             QStringList({"Load firmware files | Firmware (*.hex)", question}));
    QCOMPARE(label(window, "fileStateSensor"), builtInSensor);

    QCOMPARE(load(window, {choose(folder.path(), {"sensor-new.hex"}), press(QMessageBox::Yes)}),
             QStringList({"Load firmware files | Firmware (*.hex)", question}));
    // The size shown is that of the text up to the end-of-file record: the
    // address record (17 bytes), two code and five identification records
    // (45 each), the end-of-file record (13), without the checksum record.
    QCOMPARE(label(window, "fileStateSensor"),
             QString("KSENS-v2.0.hex (Mar  3 2017 11:22:33, 345 Byte)"));
    QCOMPARE(label(window, "fileStateMainboard"), builtInMainboard);

    // The log has the file and both answers.
    const QString offered = "window: Firmware file " + path +
                            " offered for sensors (KSENS v2.0): asked whether to use it, answered ";
    const QString log = ServiceLog().tail(ServiceLog::defaultMaximumSize);
    QVERIFY2(log.indexOf(offered + "No\n") >= 0 &&
                 log.indexOf(offered + "Yes\n") > log.indexOf(offered + "No\n"),
             qPrintable(log));
}

void tst_trvloader_files::threeFilesThreeQuestionsOneRefresh()
{
    writeFile(folder.filePath("a-main.hex"), TestImage("KZENT", "v4.0").file());
    writeFile(folder.filePath("b-panel.hex"), TestImage("KTERM", "v3.0").file());
    writeFile(folder.filePath("c-sensor.hex"), TestImage("KSENS", "v2.0").file());
    trvLoader window;
    openAdvanced(window);

    // While the questions are asked, the rows still show what they showed before.
    QStringList labelsDuringQuestions;
    auto rows = [&] {
        labelsDuringQuestions << label(window, "fileStateMainboard") + " / " +
                                     label(window, "fileStateTerminal") + " / " +
                                     label(window, "fileStateSensor");
    };
    const QStringList seen =
        load(window, {choose(folder.path(), {"a-main.hex", "b-panel.hex", "c-sensor.hex"}),
                      press(QMessageBox::Yes, rows), press(QMessageBox::Yes, rows),
                      press(QMessageBox::Yes, rows)});
    QCOMPARE(seen.size(), 4);
    // Loaded through the sensor boards' button, each question names the group it is for.
    const QString replace = "Load firmware file | Do you want to replace the firmware file of the ";
    QVERIFY2(seen[1].startsWith(replace + "Main Board\n"), qPrintable(seen[1]));
    QVERIFY2(seen[1].contains("\"KZENT-v4.0.hex (Mar  3 2017 11:22:33)\""), qPrintable(seen[1]));
    QVERIFY2(seen[2].startsWith(replace + "Control Panel\n"), qPrintable(seen[2]));
    QVERIFY2(seen[2].contains("\"KTERM-v3.0.hex (Mar  3 2017 11:22:33)\""), qPrintable(seen[2]));
    QVERIFY2(seen[3].startsWith(replace + "Sensor Boards\n"), qPrintable(seen[3]));
    QVERIFY2(seen[3].contains("\"KSENS-v2.0.hex (Mar  3 2017 11:22:33)\""), qPrintable(seen[3]));
    const QString before = builtInMainboard + " / " + builtInTerminal + " / " + builtInSensor;
    QCOMPARE(labelsDuringQuestions, QStringList({before, before, before}));

    QVERIFY(label(window, "fileStateMainboard").startsWith("KZENT-v4.0.hex (Mar  3 2017"));
    QVERIFY(label(window, "fileStateTerminal").startsWith("KTERM-v3.0.hex (Mar  3 2017"));
    QVERIFY(label(window, "fileStateSensor").startsWith("KSENS-v2.0.hex (Mar  3 2017"));
}

void tst_trvloader_files::brokenFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("details"); // what exactly, behind "Show Details..."

    const QByteArray good = TestImage("KSENS", "v2.0").text();
    // The cause and the fix, as the command line gives them.
    QTest::newRow("no checksum record")
        << good << "Firmware file has been corrupted"
        << "Its checksum record is missing or does not fit its text. For a file changed on "
           "purpose, sort it (which drops the old record) and stamp it.\n"
           "The stamping tool of the window (Ctrl+Alt+F8) does both, as does\n"
           "  trvloader-cli sort FILE && trvloader-cli stamp FILE";
    QByteArray badLine = TestImage::withChecksum(good);
    badLine.replace(firstCodeStart, invalidFirstCodeStart);
    QTest::newRow("invalid record") << badLine << "Firmware file contains invalid data"
                                    << "Line 2 is not an Intel HEX record.";
    QByteArray lineFeedAlone = TestImage::withChecksum(good);
    lineFeedAlone.replace(TestImage::endOfFileRecord(), ":00000001FF\n");
    QTest::newRow("end-of-file record ended by LF alone")
        << lineFeedAlone << "Firmware file contains invalid data"
        << QString("Line %1 ends with LF alone; this record needs CR LF. Convert the file to CR LF "
                   "line ends, for example with unix2dos or sed -i 's/\\r*$/\\r/'.")
               .arg(good.count('\n'));
    QTest::newRow("empty file") << QByteArray() << "Firmware file has been corrupted"
                                << "The file is empty.";
    QTest::newRow("no identification")
        << TestImage::withChecksum(unidentifiedImageText()) << "No valid firmware file"
        << "";
}

void tst_trvloader_files::brokenFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, description);
    QFETCH(QString, details);

    const QString path = folder.filePath("broken.hex");
    writeFile(path, bytes);
    trvLoader window;
    openAdvanced(window);
    const QStringList seen =
        load(window, {choose(folder.path(), {"broken.hex"}), pressOkShowingDetails});
    QCOMPARE(seen.value(1), QString("Load firmwar efile | An error occured while loading firmware "
                                    "file\n\"%1\"\n%2 | %3")
                                .arg(path, description, QString(details).replace("FILE", path)));
    QCOMPARE(seen.size(), 2);
    QCOMPARE(label(window, "fileStateSensor"), builtInSensor);
    const QString log = ServiceLog().tail(ServiceLog::defaultMaximumSize);
    QVERIFY2(log.contains("window: Firmware file " + path + " offered: not usable ("),
             qPrintable(log));
}

void tst_trvloader_files::unreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("details");

    QTest::newRow("no such file") << "gone.hex"
                                  << "There is no such file.";
    QTest::newRow("a folder") << ""
                              << "It is a folder, not a file.";
}

// "File access denied" alone would not tell a missing file from a folder: the details do.
void tst_trvloader_files::unreadableFile()
{
    QFETCH(QString, name);
    QFETCH(QString, details);

    const QString path = name.isEmpty() ? folder.path() : folder.filePath(name);
    trvLoader window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QStringList seen = answerDialogs(
        [&] {
            QMetaObject::invokeMethod(window.findChild<FileOffering*>(), "offerFile",
                                      Q_ARG(QString, path));
        },
        {pressOkShowingDetails});
    QCOMPARE(seen, QStringList(QString("Load firmwar efile | An error occured while loading "
                                       "firmware file\n\"%1\"\nFile access denied | %2")
                                   .arg(path, details)));
}

void tst_trvloader_files::unknownPartCode()
{
    const QString path = folder.filePath("other.hex");
    writeFile(path, TestImage("KPEDL", "v1.0").file());
    trvLoader window;
    openAdvanced(window);
    // Refused at once: no question about a file that no board can take.
    const QStringList seen =
        load(window, {choose(folder.path(), {"other.hex"}), press(QMessageBox::Ok)});
    QVERIFY2(seen.value(1).startsWith("Load firmware file | The firmware file\n") &&
                 seen.value(1).contains("KPEDL") && seen.value(1).contains("no board"),
             qPrintable(seen.value(1)));
    QCOMPARE(seen.size(), 2);
    QVERIFY(ServiceLog()
                .tail(ServiceLog::defaultMaximumSize)
                .contains("window: Firmware file " + path +
                          " offered: for no board (part code KPEDL), refused\n"));
    QCOMPARE(label(window, "fileStateMainboard"), builtInMainboard);
    QCOMPARE(label(window, "fileStateTerminal"), builtInTerminal);
    QCOMPARE(label(window, "fileStateSensor"), builtInSensor);
}

// A file that is damaged while the question is open: Yes takes the image
// that was checked, not what the file has become.
void tst_trvloader_files::fileChangedBeforeYes()
{
    const QString path = folder.filePath("panel.hex");
    writeFile(path, TestImage("KTERM", "v3.0").file());
    trvLoader window;
    openAdvanced(window);
    QByteArray damaged = TestImage("KTERM", "v3.0").file();
    damaged.replace(firstCodeStart, changedFirstCodeStart);

    load(window, {choose(folder.path(), {"panel.hex"}),
                  press(QMessageBox::Yes, [&] { writeFile(path, damaged); })});
    QVERIFY2(label(window, "fileStateTerminal").startsWith("KTERM-v3.0.hex (Mar  3 2017"),
             qPrintable(label(window, "fileStateTerminal")));
}

void tst_trvloader_files::stampingToolSortsStampsAndOffers()
{
    // Records out of order: the second code record comes first.
    QByteArray text = TestImage("KSENS", "v2.1").text();
    const QByteArray first = TestImage::dataRecord(0x0000), second = TestImage::dataRecord(0x0010);
    text.replace(first + second, second + first);
    const QString path = folder.filePath("unsorted.hex");
    writeFile(path, text);
    HexReader before;
    QCOMPARE(before.read(path, false), HexReader::InvalidOrder);

    trvLoader window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QStringList seen =
        stamp(window, {choose(folder.path(), {"unsorted.hex"}), press(QMessageBox::Yes)});
    QCOMPARE(seen.value(0), QString("Firmware files | Firmware (*.hex)"));
    QVERIFY2(seen.value(1).contains("with selected firmware file?\n\"KSENS-v2.1.hex"),
             qPrintable(seen.value(1)));
    QCOMPARE(seen.size(), 2);

    HexReader after;
    QCOMPARE(after.read(path, false), HexReader::FileOk);
    QCOMPARE(after.version, QString("v2.1"));
    // The tool ends with the built-in images, whatever was answered.
    QCOMPARE(label(window, "fileStateSensor"), builtInSensor);
}

void tst_trvloader_files::stampingToolShortcuts_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Ctrl+Alt+F8") << int(Qt::ControlModifier | Qt::AltModifier);
    QTest::newRow("Ctrl+Shift+F8") << int(Qt::ControlModifier | Qt::ShiftModifier);
}

void tst_trvloader_files::stampingToolShortcuts()
{
    QFETCH(int, modifiers);
    trvLoader window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const ModalAnswers::Step cancel = [](QWidget* modal) {
        const QString title = modal->windowTitle();
        QMetaObject::invokeMethod(modal, "reject");
        return title;
    };
    QCOMPARE(stamp(window, {cancel}, Qt::KeyboardModifiers(modifiers)),
             QStringList{"Firmware files"});
}

void tst_trvloader_files::stampingToolTwiceGivesSameFile()
{
    const QString path = folder.filePath("twice.hex");
    writeFile(path, TestImage("KTERM", "v3.1").file());

    trvLoader window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(stamp(window, {choose(folder.path(), {"twice.hex"}), press(QMessageBox::No)}).size(),
             2);
    const QByteArray once = fileBytes(path);
    QCOMPARE(stamp(window, {choose(folder.path(), {"twice.hex"}), press(QMessageBox::No)}).size(),
             2);
    QCOMPARE(fileBytes(path), once);
    QCOMPARE(once.count(":0200008000"), 1);
    HexReader reader;
    QCOMPARE(reader.read(path, false), HexReader::FileOk);
}

void tst_trvloader_files::stampingToolFailures_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message"); // "FILE" in its details stands for the file's path
    QTest::addColumn<bool>("stampedAfter");

    QByteArray overlapping = TestImage("KSENS", "v2.2").text();
    overlapping.replace(TestImage::dataRecord(0x0010), TestImage::dataRecord(0x0008));
    QTest::newRow("overlapping records")
        << overlapping << "Firmware files | Firmware file is in an invalid order | FILE" << false;
    QByteArray invalid = TestImage("KSENS", "v2.2").text();
    invalid.replace(firstCodeStart, invalidFirstCodeStart);
    QTest::newRow("invalid record") << invalid
                                    << "Firmware files | Firmware file contains invalid data | "
                                       "FILE\nLine 2 is not an Intel HEX record."
                                    << false;
    QTest::newRow("empty file")
        << QByteArray()
        << "Firmware files | Firmware file has been corrupted | FILE\nThe file is empty." << false;
    QTest::newRow("no identification")
        << unidentifiedImageText() << "Firmware files | No valid firmware file | FILE" << true;
}

// A failing file gets its error box and the tool goes on with the next file.
void tst_trvloader_files::stampingToolFailures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(bool, stampedAfter);

    writeFile(folder.filePath("a-failing.hex"), bytes);
    writeFile(folder.filePath("b-good.hex"), TestImage("KZENT", "v4.2").text());
    trvLoader window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QStringList seen = stamp(window, {choose(folder.path(), {"a-failing.hex", "b-good.hex"}),
                                            pressOkShowingDetails, press(QMessageBox::Yes)});
    QCOMPARE(seen.value(1), QString(message).replace("FILE", folder.filePath("a-failing.hex")));
    QVERIFY2(seen.value(2).contains("\"KZENT-v4.2.hex"), qPrintable(seen.value(2)));
    QCOMPARE(seen.size(), 3);
    QCOMPARE(fileBytes(folder.filePath("a-failing.hex")).contains(":0200008000"), stampedAfter);
    QCOMPARE(label(window, "fileStateMainboard"), builtInMainboard);
}

void tst_trvloader_files::stampingToolReadOnlyFile()
{
    const QString path = folder.filePath("locked.hex");
    const QByteArray text = TestImage("KSENS", "v2.3").text();
    writeFile(path, text);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    bool immutable = false;
    if (QFileInfo(path).isWritable()) {
        // Permissions do not stop the superuser; the immutable attribute does.
        immutable = QProcess::execute("chattr", {"+i", path}) == 0;
        if (!immutable) {
            QSKIP("cannot make a file read-only for this user");
        }
    }
    auto unlock = qScopeGuard([&] {
        if (immutable) {
            QProcess::execute("chattr", {"-i", path});
        }
    });

    trvLoader window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QStringList seen =
        stamp(window, {choose(folder.path(), {"locked.hex"}), pressOkShowingDetails});
    QCOMPARE(seen.value(1), "Firmware files | File access denied | " + path +
                                "\nThis user may not write the file.");
    QCOMPARE(seen.size(), 2);
    QCOMPARE(fileBytes(path), text);
}

QTEST_MAIN(tst_trvloader_files)
#include "tst_trvloader_files.moc"
