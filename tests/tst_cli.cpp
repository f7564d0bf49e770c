// trvloader-cli on the emulated instrument: whole updates, each way an update
// can fail and its exit code, refused files, missing boards, older images,
// Ctrl-C, the wait for the instrument and the version list.

#include "clitool.h"
#include "hexreader.h"
#include "instancelock.h"
#include "instrument.h"
#include "testimage.h"
#include "testtiming.h"
#include "translations.h"
#include "trvtiming.h"
#include "trvupdater.h"
#include "updatehistory.h"
#include "usbhid.h"
#include "waiting.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <functional>
#include <memory>

Q_DECLARE_METATYPE(sim::BoardFaults)
Q_DECLARE_METATYPE(sim::Board)
Q_DECLARE_METATYPE(ReportWriter::Style)

namespace {

sim::Instrument& instrument()
{
    return sim::instrument();
}

// Each board's command-line name.
const QList<std::pair<sim::Board, QString>> boardNames = {
    {sim::Sensor5, "sensor5"},     {sim::Sensor1, "sensor1"}, {sim::Sensor2, "sensor2"},
    {sim::Sensor3, "sensor3"},     {sim::Sensor4, "sensor4"}, {sim::Terminal, "terminal"},
    {sim::Mainboard, "mainboard"},
};

const QStringList allSensors = {"sensor5", "sensor1", "sensor2", "sensor3", "sensor4"};

// The small images of the test's folder, newer than what the boards run.
const TestImage sensorsImage("KSENS", "v2.3");
const TestImage terminalImage("KTERM", "v2.4");
const TestImage mainboardImage("KZENT", "v3.5");

sim::Board boardNamed(const QString& name)
{
    for (const auto& board : boardNames) {
        if (board.second == name) {
            return board.first;
        }
    }
    qFatal("no board %s", qPrintable(name));
    return sim::NoPart;
}

QString versionText(int tenths)
{
    return QStringLiteral("v%1.%2").arg(tenths / 10).arg(tenths % 10);
}

int messagesWithCode(char code)
{
    int count = 0;
    for (const QByteArray& message : instrument().messages()) {
        count += message.startsWith(code) ? 1 : 0;
    }
    return count;
}

// Whether the board received nothing but version requests.
bool onlyAskedForVersion(sim::Board board)
{
    for (const QByteArray& message : instrument().received(board)) {
        if (!message.startsWith('\x01')) {
            return false;
        }
    }
    return true;
}

sim::BoardFaults faultsWith(const std::function<void(sim::BoardFaults&)>& set)
{
    sim::BoardFaults faults;
    set(faults);
    return faults;
}

} // namespace

class tst_cli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void wholeUpdateAsJson();
    void progressAsText_data();
    void progressAsText();
    void progressFitsTheTerminal();
    void engineFailure_data();
    void engineFailure();
    void failureInTheResult_data();
    void failureInTheResult();
    void lateMainboard_data();
    void lateMainboard();
    void restartWaitIsSaid_data();
    void restartWaitIsSaid();
    void timeLeftInProgress();
    void refusedFile_data();
    void refusedFile();
    void missingBoard();
    void skipMissing_data();
    void skipMissing();
    void skipCurrent_data();
    void skipCurrent();
    void olderImage_data();
    void olderImage();
    void reinstalledBoardIsSaid();
    void versionsAfterTheUpdate();
    void interruptMidTransfer();
    void interruptIsCanceledEverywhere();
    void interruptWhileWaiting();
    void noInstrument_data();
    void noInstrument();
    void alreadyRunning();
    void instrumentFoundAtOnceIsHeard();
    void versionList_data();
    void versionList();
    void versionCheck_data();
    void versionCheck();
    void serviceRecord();
    void reportIsEnglishInEveryLanguage();
    void unwritableRecordIsSaidOnce();
    void historyTableFitsItsBoards();
    void reportShowsTheHomeFolderAsTilde();
    void severalInstruments_data();
    void severalInstruments();
    void benchUpdatesEachInstrumentOnce();
    void benchEndsWithASummary();

private:
    // Starts the tool with these arguments; finished() is caught from here on.
    void startTool(const QStringList& arguments, ReportWriter::Style style = ReportWriter::Lines);
    // Waits at the event loop's real pace for the tool to end; its exit code, or -1.
    int waitForExit(int timeout);
    int runTool(const QStringList& arguments, int timeout,
                ReportWriter::Style style = ReportWriter::Lines)
    {
        startTool(arguments, style);
        return waitForExit(timeout);
    }
    QString output() const { return QString::fromUtf8(outputBuffer.data()); }
    QString errors() const { return QString::fromUtf8(errorBuffer.data()); }
    // The error output past the note of the wait.
    QString errorsAfterNotes() const
    {
        QString text = errors();
        if (text.startsWith(QStringLiteral("Waiting for the instrument (up to "))) {
            text = text.mid(text.indexOf('\n') + 1);
        }
        return text;
    }
    // Every line of the output as a JSON object; fails the test on any other line.
    QList<QJsonObject> jsonLines();
    // The small images as --firmware options, one per kind of the boards
    // named as on the command line (every kind when none is named).
    QStringList smallImages(const QStringList& boards = QStringList()) const;
    // Writes a file into the test's folder; its path.
    QString writeFile(const QString& name, const QByteArray& contents) const;
    // Whether nothing more reaches the instrument for a while after the tool has ended.
    bool nothingMoreSent();

    QTemporaryDir folder;
    QByteArray runtimeFolder;
    // Short waits, where their length is not what a test checks.
    trvTiming timing;
    QBuffer outputBuffer;
    QBuffer errorBuffer;
    std::unique_ptr<CliTool> tool;
    int terminalColumns = 0; // the width of the tool's terminal; 0: no limit
    int exitCode = -1;
    int messagesAtExit = 0;
};

void tst_cli::initTestCase()
{
    QVERIFY(folder.isValid());
    // The tool's lock goes into a runtime folder of this test's own, so that
    // other programs of the same user running meanwhile cannot hold it.
    QVERIFY(QDir(folder.path()).mkdir("runtime"));
    QFile::setPermissions(folder.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.filePath("runtime")));

    writeFile("sensors.hex", sensorsImage.file());
    writeFile("terminal.hex", terminalImage.file());
    writeFile("mainboard.hex", mainboardImage.file());
}

void tst_cli::init()
{
    // Each case starts with no update recorded.
    QFile::remove(UpdateHistory::defaultFileName());
    timing = TestTiming::inProcess();
    terminalColumns = 0;
    sim::clearBench();
    instrument().reset();
    instrument().setMainboardRestartTime(timing.restartWait * 2);
    const QList<int> versions = {15, 11, 12, 13, 14, 19, 31};
    for (int i = 0; i < boardNames.size(); ++i) {
        instrument().setVersion(boardNames.at(i).first, versions.at(i));
    }
    exitCode = -1;
}

void tst_cli::cleanup()
{
    tool.reset();
    // Let what the tool released with deleteLater() go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    outputBuffer.close();
    errorBuffer.close();
}

void tst_cli::startTool(const QStringList& arguments, ReportWriter::Style style)
{
    // A case may run the tool more than once: each run's output on its own.
    outputBuffer.close();
    errorBuffer.close();
    outputBuffer.setData(QByteArray());
    errorBuffer.setData(QByteArray());
    outputBuffer.open(QIODevice::WriteOnly);
    errorBuffer.open(QIODevice::WriteOnly);
    exitCode = -1;
    tool = std::make_unique<CliTool>(&outputBuffer, &errorBuffer, style, timing);
    if (terminalColumns > 0) {
        tool->setTerminalColumns([this] { return terminalColumns; });
    }
    connect(tool.get(), &CliTool::finished, this, [this](int code) {
        exitCode = code;
        messagesAtExit = instrument().messages().size();
    });
    tool->start(arguments);
}

int tst_cli::waitForExit(int timeout)
{
    waitUntil([this] { return exitCode >= 0; }, timeout);
    return exitCode;
}

QList<QJsonObject> tst_cli::jsonLines()
{
    QList<QJsonObject> objects;
    const QByteArrayList lines = outputBuffer.data().split('\n');
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) {
            continue;
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (!document.isObject()) {
            qWarning("not a JSON object: %s (%s)", line.constData(),
                     qPrintable(error.errorString()));
            return {};
        }
        objects.append(document.object());
    }
    return objects;
}

QStringList tst_cli::smallImages(const QStringList& boards) const
{
    QStringList options;
    for (const QString& kind : QStringList{"sensors", "terminal", "mainboard"}) {
        const bool named = std::any_of(boards.cbegin(), boards.cend(), [&](const QString& board) {
            return board.startsWith(kind.chopped(1)) || board == "all";
        });
        if (boards.isEmpty() || named) {
            options << "--firmware" << kind + "=" + folder.filePath(kind + ".hex");
        }
    }
    return options;
}

QString tst_cli::writeFile(const QString& name, const QByteArray& contents) const
{
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) {
        qFatal("cannot write %s", qPrintable(file.fileName()));
    }
    return file.fileName();
}

bool tst_cli::nothingMoreSent()
{
    // Longer than any time-out after which the engine or the link would send again.
    QTest::qWait(3 * std::max(timing.requestTimeout, timing.watchdogTimeout));
    return instrument().messages().size() == messagesAtExit;
}

// All seven boards from image files, every event as a JSON object on a line
// of its own, and the result naming every board and its image file.
void tst_cli::wholeUpdateAsJson()
{
    const QList<int> versionsBefore = {15, 11, 12, 13, 14, 19, 31};
    QCOMPARE(runTool(QStringList{"update", "--json"} + smallImages(), 10000), 0);
    QVERIFY2(errors().isEmpty(), qPrintable(errors()));

    const QList<QJsonObject> events = jsonLines();
    QVERIFY(!events.isEmpty());
    QStringList steps;
    QStringList succeeded;
    int lastPercent = -1;
    QString progressGroup;
    bool reconnected = false;
    for (const QJsonObject& event : events) {
        const QString kind = event.value("event").toString();
        if (kind == "step") {
            steps << event.value("group").toString();
            lastPercent = -1;
        } else if (kind == "progress") {
            const int percent = event.value("percent").toInt();
            QVERIFY2(percent > lastPercent, qPrintable(QString::number(percent)));
            lastPercent = percent;
            progressGroup = event.value("group").toString();
        } else if (kind == "state" && event.value("state").toString() == "Succeeded") {
            QCOMPARE(lastPercent, 100);
            succeeded << event.value("group").toString();
        } else if (kind == "connected" && !steps.isEmpty()) {
            reconnected = true; // the main board back from its restart
        }
    }
    const QStringList groups = {"Sensor Boards", "Control Panel", "Main Board"};
    QCOMPARE(steps, groups);
    QCOMPARE(succeeded, groups);
    QVERIFY(reconnected);

    const QJsonObject result = events.last();
    QCOMPARE(result.value("event").toString(), QString("result"));
    QCOMPARE(result.value("command").toString(), QString("update"));
    QCOMPARE(result.value("result").toString(), QString("success"));
    QCOMPARE(result.value("exitCode").toInt(), 0);
    QCOMPARE(result.value("stepsDone").toInt(), 3);
    const QJsonArray boards = result.value("boards").toArray();
    QCOMPARE(boards.size(), 7);
    for (int i = 0; i < boards.size(); ++i) {
        const QJsonObject board = boards.at(i).toObject();
        const sim::Board which = boardNames.at(i).first;
        QCOMPARE(board.value("board").toString(), boardNames.at(i).second);
        QCOMPARE(board.value("outcome").toString(), QString("updated"));
        QCOMPARE(board.value("before").toString(), versionText(versionsBefore.at(i)));
        QVERIFY(!board.value("reinstall").toBool());

        // The board holds its image, line for line, and runs its version.
        const QString file = which == sim::Mainboard  ? "mainboard.hex"
                             : which == sim::Terminal ? "terminal.hex"
                                                      : "sensors.hex";
        const TestImage& image = which == sim::Mainboard  ? mainboardImage
                                 : which == sim::Terminal ? terminalImage
                                                          : sensorsImage;
        QCOMPARE(board.value("imageSource").toString(), folder.filePath(file));
        QCOMPARE(board.value("image").toString(), QString(image.version));
        QVERIFY2(instrument().storedText(which) == image.text(), qPrintable(file));
        QCOMPARE(versionText(instrument().version(which)), QString(image.version));
        QCOMPARE(board.value("after").toString(), QString(image.version));
    }
}

void tst_cli::progressAsText_data()
{
    QTest::addColumn<ReportWriter::Style>("style");
    QTest::newRow("lines") << ReportWriter::Lines;
    QTest::newRow("terminal") << ReportWriter::Terminal;
}

// Off a terminal one line per state; on a terminal one line per step, redrawn.
// The notes about the wait go to the error output, the plan, progress and
// summary to the output.
void tst_cli::progressAsText()
{
    QFETCH(ReportWriter::Style, style);
    QCOMPARE(
        runTool(QStringList{"update", "sensors", "terminal"} + smallImages({"sensors", "terminal"}),
                10000, style),
        0);
    const QString text = output();
    // The output holds results alone; the notes about the wait are on the error output.
    QVERIFY2(text.startsWith("Instrument QX40-204871\nBoards to update:\n"), qPrintable(text));
    QVERIFY2(errors().startsWith("Waiting for the instrument (up to 10 s)...\n"),
             qPrintable(errors()));
    QVERIFY2(text.contains("Step 1 of 2, Sensor Boards: Keys 12-20 (sensor5), Keys 21-42 "
                           "(sensor1), Keys 43-64 (sensor2), Keys 65-86 (sensor3), Keys 87-108 "
                           "(sensor4)\n"),
             qPrintable(text));
    QVERIFY2(text.contains("Step 2 of 2: Control Panel (terminal)\n"), qPrintable(text));
    QVERIFY(text.contains("  terminal   Control Panel    v1.9 -> v2.4\n"));
    QVERIFY(text.endsWith("Firmware update successfull\n"
                          "  sensor5    Keys 12-20       v1.5 -> v2.3\n"
                          "  sensor1    Keys 21-42       v1.1 -> v2.3\n"
                          "  sensor2    Keys 43-64       v1.2 -> v2.3\n"
                          "  sensor3    Keys 65-86       v1.3 -> v2.3\n"
                          "  sensor4    Keys 87-108      v1.4 -> v2.3\n"
                          "  terminal   Control Panel    v1.9 -> v2.4\n"));

    const QString transfer = trvUpdater::stateDesription(trvUpdater::Transfer);
    const QString finished = trvUpdater::stateDesription(trvUpdater::Succeeded);
    if (style == ReportWriter::Lines) {
        QVERIFY(!text.contains('\r'));
        QVERIFY(text.contains("\n[1/2] Sensor Boards: " + transfer + " (total 0%)\n"));
        QVERIFY(text.contains("\n[2/2] Control Panel: " + finished + " (total 100%)\n"));
        // One line per state of each step.
        QCOMPARE(text.count(QRegularExpression("^\\[1/2\\]", QRegularExpression::MultilineOption)),
                 6);
    } else {
        QVERIFY(text.contains("\r[1/2] Sensor Boards: " + transfer + " 100% (total 50%)\x1b[K"));
        QVERIFY(text.contains("\r[2/2] Control Panel: " + finished + " 100% (total 100%)\x1b[K\n"));
        // Each step's line is redrawn in place and ended once.
        QCOMPARE(text.count(QRegularExpression("\\[1/2\\][^\\r]*\\n")), 1);
    }
}

// On a narrow terminal the redrawn line and the line of each step are cut to
// fit, ending in an ellipsis, so that they never wrap into lines of their
// own; the plan and the summary stay whole.
void tst_cli::progressFitsTheTerminal()
{
    terminalColumns = 30;
    QCOMPARE(
        runTool(QStringList{"update", "sensors", "terminal"} + smallImages({"sensors", "terminal"}),
                10000, ReportWriter::Terminal),
        0);
    const QString text = output();
    for (const QString step : {"Step 1 of 2, Sensor Boards: Keys 12-20 (sensor5)",
                               "Step 2 of 2: Control Panel (terminal)"}) {
        QVERIFY(step.size() >= terminalColumns);
        QVERIFY2(text.contains("\n" + step.left(terminalColumns - 2) + QChar(0x2026) + "\n"),
                 qPrintable(text));
    }
    QVERIFY2(text.contains("  terminal   Control Panel    v1.9 -> v2.4  (" +
                           folder.filePath("terminal.hex") + ")\n"),
             qPrintable(text));
    const QRegularExpression redraw("\r([^\r\n]*)\x1b\\[K");
    int redraws = 0;
    for (auto match = redraw.globalMatch(text); match.hasNext(); ++redraws) {
        const QString shown = match.next().captured(1);
        QVERIFY2(shown.size() < terminalColumns, qPrintable(shown));
    }
    QVERIFY(redraws > 2);
    const QString last =
        "[2/2] Control Panel: " + trvUpdater::stateDesription(trvUpdater::Succeeded) +
        " 100% (total 100%)";
    QVERIFY(last.size() >= terminalColumns);
    QVERIFY2(text.contains("\r" + last.left(terminalColumns - 2) + QChar(0x2026) + "\x1b[K\n"),
             qPrintable(text));
}

void tst_cli::engineFailure_data()
{
    QTest::addColumn<QStringList>("boards");
    QTest::addColumn<sim::Board>("faultyBoard");
    QTest::addColumn<sim::BoardFaults>("faults");
    QTest::addColumn<int>("expectedExit");
    QTest::addColumn<trvUpdater::Err>("error");
    QTest::addColumn<QString>("named");      // the refusing board, else the step's group
    QTest::addColumn<char>("lastMessage");   // the code of the last message sent
    QTest::addColumn<QStringList>("unsure"); // boards that may need a new update
    QTest::addColumn<QStringList>("untouched");

    QTest::newRow("a sensor board not ready")
        << QStringList{"sensors"} << sim::Sensor3
        << faultsWith([](sim::BoardFaults& f) { f.notReady = true; }) << 11
        << trvUpdater::StartFailed << "Keys 65-86 (sensor3)" << '\x02' << allSensors
        << QStringList();
    QTest::newRow("the control panel refuses a line")
        << QStringList{"terminal"} << sim::Terminal
        << faultsWith([](sim::BoardFaults& f) { f.zeroAckAtLine = 3; }) << 12
        << trvUpdater::TransferFailed << "Control Panel (terminal)" << '\x03'
        << QStringList{"terminal"} << QStringList();
    QTest::newRow("the control panel stops answering")
        << QStringList{"terminal"}
        << sim::Terminal
        // Its replies: the versions at the connect and for the engine, the
        // start, the first two lines; the third line's is lost.
        << faultsWith([](sim::BoardFaults& f) { f.dropReplyAt = 6; }) << 10
        << trvUpdater::NoResponse << "Control Panel" << '\x03' << QStringList{"terminal"}
        << QStringList();
    QTest::newRow("a sensor board refuses the end")
        << QStringList{"sensor2", "sensor4"} << sim::Sensor2
        << faultsWith([](sim::BoardFaults& f) { f.refuseEnd = true; }) << 13
        << trvUpdater::InvalidFirmware << "Keys 43-64 (sensor2)" << '\x04'
        << QStringList{"sensor2", "sensor4"} << QStringList();
    QTest::newRow("the control panel runs another version")
        << QStringList{"terminal"} << sim::Terminal
        << faultsWith([](sim::BoardFaults& f) { f.versionAfterUpdate = 9; }) << 14
        << trvUpdater::FinishFailed << "Control Panel (terminal)" << '\x01'
        << QStringList{"terminal"} << QStringList();
    QTest::newRow("the main board runs another version after its restart")
        << QStringList{"mainboard"} << sim::Mainboard
        << faultsWith([](sim::BoardFaults& f) { f.versionAfterUpdate = 30; }) << 14
        << trvUpdater::FinishFailed << "Main Board (mainboard)" << '\x01'
        << QStringList{"mainboard"} << QStringList();
    QTest::newRow("the second of three steps fails")
        << QStringList{"all"} << sim::Terminal
        << faultsWith([](sim::BoardFaults& f) { f.zeroAckAtLine = 2; }) << 12
        << trvUpdater::TransferFailed << "Control Panel (terminal)" << '\x03'
        << QStringList{"terminal"} << QStringList{"mainboard"};
}

// The failure's own exit code and the engine's text; nothing is sent after it;
// the boards that may need a new update and those not touched are named.
void tst_cli::engineFailure()
{
    QFETCH(QStringList, boards);
    QFETCH(sim::Board, faultyBoard);
    QFETCH(sim::BoardFaults, faults);
    QFETCH(int, expectedExit);
    QFETCH(trvUpdater::Err, error);
    QFETCH(QString, named);
    QFETCH(char, lastMessage);
    QFETCH(QStringList, unsure);
    QFETCH(QStringList, untouched);

    instrument().setFaults(faultyBoard, faults);
    QCOMPARE(runTool(QStringList{"update"} + boards + smallImages(boards), 20000), expectedExit);
    const QString said = errorsAfterNotes();
    QVERIFY2(
        said.section('\n', 0, 0).startsWith(named + ": " + trvUpdater::errorDescription(error)),
        qPrintable(said));
    QVERIFY2(said.section('\n', 1, 1) == "Running the update again brings the boards back.",
             qPrintable(said));
    QVERIFY2(said.section('\n', 2, 2) ==
                 "If it fails again, send support the report that trvloader-cli report prints.",
             qPrintable(said));
    QVERIFY(nothingMoreSent());
    QCOMPARE(instrument().messages().last().at(0), lastMessage);

    const auto namedAfter = [&said](const QString& heading, const QStringList& names) {
        const QRegularExpressionMatch line =
            QRegularExpression("^" + QRegularExpression::escape(heading) + "(.*)\\.$",
                               QRegularExpression::MultilineOption)
                .match(said);
        QStringList found;
        for (const auto& board : boardNames) {
            if (line.captured(1).contains("(" + board.second + ")")) {
                found << board.second;
            }
        }
        QStringList expected;
        for (const auto& board : boardNames) {
            if (names.contains(board.second)) {
                expected << board.second;
            }
        }
        return found == expected;
    };
    QVERIFY2(namedAfter("These boards may now need a new update: ", unsure), qPrintable(said));
    QVERIFY2(namedAfter("Not updated, still on their old firmware: ", untouched), qPrintable(said));
    for (const QString& board : untouched) {
        QVERIFY(onlyAskedForVersion(boardNamed(board)));
    }
}

void tst_cli::refusedFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");

    QByteArray changed = TestImage("KSENS", "v2.3").file();
    changed.replace(":10", ":11"); // a length that does not fit the record's data
    QByteArray wrongSum = TestImage("KTERM", "v2.3").text();
    wrongSum += TestImage::checksumRecord(HexReader::imageChecksum(wrongSum) + 1);
    const QByteArray first = TestImage::dataRecord(0x00);
    const QByteArray second = TestImage::dataRecord(0x10);
    QByteArray outOfOrder = TestImage("KSENS", "v2.3").text();
    outOfOrder.replace(first + second, second + first);

    QTest::newRow("invalid data") << "sensors" << changed
                                  << HexReader::stateDescription(HexReader::InvalidData) +
                                         "\nLine 2 is not an Intel HEX record.";
    QTest::newRow("checksum does not fit")
        << "terminal" << wrongSum << HexReader::stateDescription(HexReader::Corrupted);
    QTest::newRow("out of order") << "sensors" << TestImage::withChecksum(outOfOrder)
                                  << HexReader::stateDescription(HexReader::InvalidOrder) +
                                         "\nPut its records in address order first";
    QTest::newRow("no such file") << "mainboard" << QByteArray()
                                  << HexReader::stateDescription(HexReader::FileAccessDenied) +
                                         "\nThere is no such file.";
    QTest::newRow("image for another board")
        << "sensors" << TestImage("KTERM", "v2.3").file()
        << "an image for terminal (part code KTERM) cannot go to sensors (part code KSENS)";
    QTest::newRow("unknown part code") << "mainboard" << TestImage("KXYZ", "v2.3").file()
                                       << "the part code \"KXYZ\" fits no board";
}

// A file that is not usable is refused with the reader's text before the
// instrument is even opened; the JSON result says so for the command.
void tst_cli::refusedFile()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);

    const QString path =
        contents.isEmpty() ? folder.filePath("missing.hex") : writeFile("refused.hex", contents);
    QCOMPARE(runTool({"update", "--json", "--firmware", kind + "=" + path}, 5000), 6);
    QVERIFY2(errorsAfterNotes().startsWith(path + ": " + reason), qPrintable(errors()));
    QVERIFY(errors().contains("Nothing has been sent to the instrument."));
    QVERIFY(instrument().messages().isEmpty());
    // The result alone, naming its command.
    const QList<QJsonObject> events = jsonLines();
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().value("event").toString(), QString("result"));
    QCOMPARE(events.first().value("command").toString(), QString("update"));
    QCOMPARE(events.first().value("exitCode").toInt(), 6);
}

// A board asked for that does not answer ends the update before it begins.
void tst_cli::missingBoard()
{
    instrument().setFaults(sim::Sensor3, faultsWith([](sim::BoardFaults& f) { f.silent = true; }));
    QCOMPARE(runTool({"update"}, 5000), 7);
    QVERIFY2(errorsAfterNotes().startsWith("These boards did not answer: Keys 65-86 (sensor3).\n"),
             qPrintable(errors()));
    for (const auto& board : boardNames) {
        QVERIFY(onlyAskedForVersion(board.first));
    }
}

void tst_cli::skipMissing_data()
{
    QTest::addColumn<ReportWriter::Style>("style");
    QTest::newRow("text") << ReportWriter::Lines;
    QTest::newRow("json") << ReportWriter::Json;
}

// With --skip-missing the others are updated, the silent one left alone and
// named as not updated in the final summary, and with an outcome of its own.
void tst_cli::skipMissing()
{
    QFETCH(ReportWriter::Style, style);
    instrument().setFaults(sim::Sensor3, faultsWith([](sim::BoardFaults& f) { f.silent = true; }));
    QStringList arguments{"update", "sensors", "terminal", "--skip-missing"};
    if (style == ReportWriter::Json) {
        arguments << "--json";
    }
    QCOMPARE(runTool(arguments + smallImages({"sensors", "terminal"}), 10000, style), 0);
    QCOMPARE(instrument().version(sim::Sensor3), 13);
    if (style == ReportWriter::Lines) {
        QVERIFY2(output().endsWith("Firmware update successfull\n"
                                   "  sensor5    Keys 12-20       v1.5 -> v2.3\n"
                                   "  sensor1    Keys 21-42       v1.1 -> v2.3\n"
                                   "  sensor2    Keys 43-64       v1.2 -> v2.3\n"
                                   "  sensor4    Keys 87-108      v1.4 -> v2.3\n"
                                   "  terminal   Control Panel    v1.9 -> v2.4\n"
                                   "  sensor3    Keys 65-86       not updated: did not answer\n"),
                 qPrintable(output()));
        return;
    }
    const QList<QJsonObject> events = jsonLines();
    QVERIFY(!events.isEmpty());
    QMap<QString, QString> outcomes;
    for (const QJsonValue& board : events.last().value("boards").toArray()) {
        outcomes[board.toObject().value("board").toString()] =
            board.toObject().value("outcome").toString();
    }
    const QMap<QString, QString> expected = {{"sensor1", "updated"}, {"sensor2", "updated"},
                                             {"sensor3", "skipped"}, {"sensor4", "updated"},
                                             {"sensor5", "updated"}, {"terminal", "updated"}};
    QCOMPARE(outcomes, expected);
    QVERIFY(instrument().storedText(sim::Sensor3).isEmpty());
    QCOMPARE(instrument().version(sim::Sensor3), 13);
    QCOMPARE(instrument().version(sim::Sensor4), 23);
    QVERIFY(onlyAskedForVersion(sim::Mainboard));
}

void tst_cli::skipCurrent_data()
{
    QTest::addColumn<QStringList>("current"); // boards that run their image's version
    QTest::addColumn<ReportWriter::Style>("style");
    QTest::newRow("one current, text") << QStringList{"terminal"} << ReportWriter::Lines;
    QTest::newRow("one current, json") << QStringList{"terminal"} << ReportWriter::Json;
    QTest::newRow("all current, text")
        << QStringList{"terminal", "mainboard"} << ReportWriter::Lines;
    QTest::newRow("all current, json")
        << QStringList{"terminal", "mainboard"} << ReportWriter::Json;
}

// With --skip-current a board that runs its image's version receives no
// update message and is named as already current; when all are, nothing is
// sent, the result says so, and the exit code is 0.
void tst_cli::skipCurrent()
{
    QFETCH(QStringList, current);
    QFETCH(ReportWriter::Style, style);
    instrument().setVersion(sim::Terminal, 24);
    if (current.contains("mainboard")) {
        instrument().setVersion(sim::Mainboard, 35);
    }
    QStringList arguments{"update", "terminal", "mainboard", "--skip-current"};
    if (style == ReportWriter::Json) {
        arguments << "--json";
    }
    QCOMPARE(runTool(arguments + smallImages({"terminal", "mainboard"}), 10000, style), 0);
    for (const QString board : {"terminal", "mainboard"}) {
        if (current.contains(board)) {
            QCOMPARE(instrument().updateMessagesReceived(boardNamed(board)), 0);
            QVERIFY(onlyAskedForVersion(boardNamed(board)));
        }
    }
    const bool allCurrent = current.size() == 2;
    if (!allCurrent) {
        QCOMPARE(instrument().version(sim::Mainboard), 35);
        QVERIFY(instrument().updateMessagesReceived(sim::Mainboard) > 0);
    }
    if (style == ReportWriter::Lines) {
        QVERIFY2(errors().contains("Left out, since they already run their image's version: " +
                                   QString(allCurrent ? "Control Panel (terminal), Main Board "
                                                        "(mainboard).\n"
                                                      : "Control Panel (terminal).\n")),
                 qPrintable(errors()));
        if (allCurrent) {
            QCOMPARE(output(), QString("Instrument QX40-204871\n"
                                       "Every board asked for already runs its image's version: "
                                       "nothing was sent.\n"));
        } else {
            QVERIFY2(output().endsWith(
                         "  mainboard  Main Board       v3.1 -> v3.5\n"
                         "  terminal   Control Panel    v2.4  (already current, not sent)\n"),
                     qPrintable(output()));
        }
        return;
    }
    const QJsonObject result = jsonLines().last();
    QCOMPARE(result.value("exitCode").toInt(), 0);
    QCOMPARE(result.value("outcome").toString(), QString(allCurrent ? "current" : "updated"));
    QMap<QString, QString> outcomes;
    for (const QJsonValue& board : result.value("boards").toArray()) {
        const QJsonObject entry = board.toObject();
        outcomes[entry.value("board").toString()] = entry.value("outcome").toString();
        if (entry.value("outcome").toString() == "current") {
            QCOMPARE(entry.value("after"), entry.value("before"));
        }
    }
    const QMap<QString, QString> expected = {{"terminal", "current"},
                                             {"mainboard", allCurrent ? "current" : "updated"}};
    QCOMPARE(outcomes, expected);
}

void tst_cli::failureInTheResult_data()
{
    QTest::addColumn<QString>("boards");
    QTest::addColumn<sim::Board>("faultyBoard");
    QTest::addColumn<sim::BoardFaults>("faults");
    QTest::addColumn<int>("expectedExit");
    QTest::addColumn<QString>("refusedBy"); // empty: none
    QTest::addColumn<bool>("disconnected");
    QTest::addColumn<QString>("said");  // the error output's first lines
    QTest::addColumn<QString>("after"); // the refusing board's "after"; empty: null

    QTest::newRow("a sensor board refuses a line")
        << "sensors" << sim::Sensor2 << faultsWith([](sim::BoardFaults& f) { f.zeroAckAtLine = 2; })
        << 12 << "sensor2" << false
        << "Keys 43-64 (sensor2): Errors while transfering data\n"
           "Running the update again brings the boards back.\n"
        << QString();
    QTest::newRow("the control panel is not ready")
        << "terminal" << sim::Terminal << faultsWith([](sim::BoardFaults& f) { f.notReady = true; })
        << 11 << "terminal" << false
        << "Control Panel (terminal): Firmware update mode could not be startet\n"
        << QString();
    QTest::newRow("a sensor board refuses the end")
        << "sensors" << sim::Sensor4 << faultsWith([](sim::BoardFaults& f) { f.refuseEnd = true; })
        << 13 << "sensor4" << false << "Keys 87-108 (sensor4): Invalid firmware file\n"
        << QString();
    QTest::newRow("the control panel reports another version")
        << "terminal" << sim::Terminal
        << faultsWith([](sim::BoardFaults& f) { f.versionAfterUpdate = 20; }) << 14 << "terminal"
        << false
        << "Control Panel (terminal): Update could not be finished: it reports v2.0, v2.4 was "
           "expected\n"
        << "v2.0";
    QTest::newRow("the main board reports another version")
        << "mainboard" << sim::Mainboard
        << faultsWith([](sim::BoardFaults& f) { f.versionAfterUpdate = 34; }) << 14 << "mainboard"
        << false
        << "Main Board (mainboard): Update could not be finished: it reports v3.4, v3.5 was "
           "expected\n"
        << "v3.4";
    QTest::newRow("unplugged during the sensor step")
        << "sensors" << sim::NoPart << sim::BoardFaults() << 10 << QString() << true
        << "The instrument was disconnected during the update of Sensor Boards.\n"
           "Plug the instrument in and start the update again.\n"
           "If it fails again, send support the report that trvloader-cli report prints.\n"
           "These boards may now need a new update: Keys 12-20 (sensor5), Keys 21-42 (sensor1), "
           "Keys 43-64 (sensor2), Keys 65-86 (sensor3), Keys 87-108 (sensor4).\n"
        << QString();
}

// The board that refused, or the unplug, in the text and in the result.
void tst_cli::failureInTheResult()
{
    QFETCH(QString, boards);
    QFETCH(sim::Board, faultyBoard);
    QFETCH(sim::BoardFaults, faults);
    QFETCH(int, expectedExit);
    QFETCH(QString, refusedBy);
    QFETCH(bool, disconnected);
    QFETCH(QString, said);
    QFETCH(QString, after);

    if (faultyBoard == sim::NoPart) {
        instrument().unplugAtDataMessage(2);
    } else {
        instrument().setFaults(faultyBoard, faults);
    }
    QCOMPARE(runTool(QStringList{"update", boards, "--json"} + smallImages({boards}), 10000,
                     ReportWriter::Json),
             expectedExit);
    QVERIFY2(errorsAfterNotes().startsWith(said), qPrintable(errors()));

    const QList<QJsonObject> events = jsonLines();
    QVERIFY(!events.isEmpty());
    const QJsonObject result = events.last();
    QCOMPARE(result.value("exitCode").toInt(), expectedExit);
    QVERIFY(result.value("error").toString().startsWith(said.section('\n', 0, 0)));
    const QJsonObject failure = result.value("failure").toObject();
    QCOMPARE(failure.value("refusedBy").toString(), refusedBy);
    QCOMPARE(failure.value("refusedBy").isNull(), refusedBy.isEmpty());
    QCOMPARE(failure.value("disconnected").toBool(), disconnected);
    QCOMPARE(failure.value("text").toString(), said.section('\n', 0, 0));
    for (const QJsonValue& board : result.value("boards").toArray()) {
        const QJsonObject entry = board.toObject();
        if (entry.value("board").toString() == refusedBy) {
            QCOMPARE(entry.value("after").toString(), after);
            QCOMPARE(entry.value("after").isNull(), after.isEmpty());
        }
    }
}

void tst_cli::lateMainboard_data()
{
    QTest::addColumn<int>("versionAfter"); // tenths; -1: the image's
    QTest::addColumn<int>("expectedExit");
    QTest::newRow("back late with the new version") << -1 << 0;
    QTest::newRow("back late with another version") << 34 << 14;
}

// A main board back after the engine's wait: its version decides, and the
// text says it came late.
void tst_cli::lateMainboard()
{
    QFETCH(int, versionAfter);
    QFETCH(int, expectedExit);
    TestTiming::shortenLateReturn(timing);
    instrument().setMainboardRestartTime(TestTiming::lateMainboardRestartTime(timing));
    instrument().setFaults(sim::Mainboard, faultsWith([&](sim::BoardFaults& f) {
                               f.versionAfterUpdate = versionAfter;
                           }));
    QCOMPARE(runTool(QStringList{"update", "mainboard"} + smallImages({"mainboard"}),
                     timing.reconnectTimeout + timing.lateReturnTimeout * 3),
             expectedExit);
    QVERIFY2(output().contains(QString("Main Board: not back yet, waiting up to %1 s more...\n")
                                   .arg(timing.lateReturnTimeout / 1000.0)),
             qPrintable(output()));
    if (expectedExit == 0) {
        QVERIFY2(output().endsWith("  mainboard  Main Board       v3.1 -> v3.5\n"
                                   "Main Board came back late, with v3.5.\n"),
                 qPrintable(output()));
    } else {
        QVERIFY2(errorsAfterNotes().startsWith("Main Board (mainboard): Update could not be "
                                               "finished: it reports v3.4, v3.5 was expected\n"),
                 qPrintable(errors()));
    }
}

void tst_cli::restartWaitIsSaid_data()
{
    QTest::addColumn<bool>("json");
    QTest::newRow("text") << false;
    QTest::newRow("json") << true;
}

// The main board's restart is said once, after its data and before it is back,
// with the most the tool waits for it.
void tst_cli::restartWaitIsSaid()
{
    QFETCH(bool, json);
    const double seconds = (timing.restartWait + timing.reconnectTimeout) / 1000.0;
    QStringList arguments =
        QStringList{"update", "terminal", "mainboard"} + smallImages({"terminal", "mainboard"});
    if (json) {
        arguments << "--json";
    }
    QCOMPARE(runTool(arguments, 10000), 0);
    if (!json) {
        const QString said =
            QString("Main Board is restarting: waiting up to %1 s for it to come back...\n")
                .arg(seconds);
        QCOMPARE(output().count(said), 1);
        QVERIFY2(output().indexOf(said) > output().indexOf("[2/2] Main Board: "),
                 qPrintable(output()));
        return;
    }
    const QList<QJsonObject> events = jsonLines();
    int mainboardStep = -1;
    int waiting = -1;
    int back = -1;
    for (int i = 0; i < events.size(); ++i) {
        const QString kind = events.at(i).value("event").toString();
        if (kind == "step" && events.at(i).value("group").toString() == "Main Board") {
            mainboardStep = i;
        } else if (kind == "waitingForRestart") {
            QCOMPARE(waiting, -1);
            waiting = i;
            QCOMPARE(events.at(i).value("seconds").toDouble(), seconds);
            QCOMPARE(events.at(i).value("group").toString(), QString("Main Board"));
        } else if (kind == "connected" && waiting >= 0 && back < 0) {
            back = i;
        }
    }
    QVERIFY(mainboardStep >= 0);
    QVERIFY(waiting > mainboardStep);
    QVERIFY(back > waiting);
}

// Each progress event carries the time left: unknown (null) until the pace
// is measured, then known, and falling as the lines go.
void tst_cli::timeLeftInProgress()
{
    TestImage longImage("KZENT", "v3.6");
    longImage.codeLines = 120; // all that fits below the identification
    const QString file = writeFile("long-mainboard.hex", longImage.file());
    instrument().setReplyLatency(20, 20);
    QCOMPARE(runTool({"update", "mainboard", "--json", "--firmware", "mainboard=" + file}, 60000),
             0);
    QList<QJsonValue> secondsLeft;
    for (const QJsonObject& event : jsonLines()) {
        if (event.value("event").toString() == "progress") {
            QVERIFY(event.contains("secondsLeft"));
            secondsLeft.append(event.value("secondsLeft"));
        }
    }
    QVERIFY(secondsLeft.size() > 50);
    const auto firstKnown = std::find_if(secondsLeft.cbegin(), secondsLeft.cend(),
                                         [](const QJsonValue& value) { return !value.isNull(); });
    QVERIFY(firstKnown != secondsLeft.cend());
    QVERIFY(secondsLeft.first().isNull());
    for (auto value = firstKnown; value != secondsLeft.cend(); ++value) {
        QVERIFY(value->isDouble());
    }
    QVERIFY2(
        secondsLeft.last().toInt() < firstKnown->toInt(),
        qPrintable(QString("%1 -> %2").arg(firstKnown->toInt()).arg(secondsLeft.last().toInt())));
}

void tst_cli::olderImage_data()
{
    QTest::addColumn<bool>("allowOlder");
    QTest::newRow("refused") << false;
    QTest::newRow("allowed") << true;
}

// An image older than what its board runs is installed only when asked for.
void tst_cli::olderImage()
{
    QFETCH(bool, allowOlder);
    instrument().setVersion(sim::Terminal, 25);
    QStringList arguments =
        QStringList{"update", "terminal", "sensor1"} + smallImages({"terminal", "sensor1"});
    if (allowOlder) {
        arguments << "--allow-older";
    }
    const int code = runTool(arguments, 10000);
    if (allowOlder) {
        QCOMPARE(code, 0);
        QCOMPARE(instrument().version(sim::Terminal), 24);
        QVERIFY(errors().contains("Control Panel (terminal): installed v2.5, image v2.4 is older"));
    } else {
        QCOMPARE(code, 8);
        QVERIFY2(errors().contains("Control Panel (terminal): installed v2.5, image v2.4 is older\n"
                                   "Install it anyway with --allow-older."),
                 qPrintable(errors()));
        QVERIFY(onlyAskedForVersion(sim::Terminal));
        QVERIFY(onlyAskedForVersion(sim::Sensor1));
    }
}

// A board that already runs its image's version is updated all the same, and
// said to be reinstalled, in the plan and in the summary.
void tst_cli::reinstalledBoardIsSaid()
{
    instrument().setVersion(sim::Terminal, 24);
    QCOMPARE(
        runTool(QStringList{"update", "terminal", "sensor1"} + smallImages({"terminal", "sensor1"}),
                10000),
        0);
    const QString text = output();
    QVERIFY2(text.contains("  terminal   Control Panel    v2.4 -> v2.4  (" +
                           folder.filePath("terminal.hex") + ", reinstalled)\n"),
             qPrintable(text));
    QVERIFY(text.contains("  sensor1    Keys 21-42       v1.1 -> v2.3  (" +
                          folder.filePath("sensors.hex") + ")\n"));
    QVERIFY2(text.endsWith("Firmware update successfull\n"
                           "  sensor1    Keys 21-42       v1.1 -> v2.3\n"
                           "  terminal   Control Panel    v2.4 -> v2.4  (reinstalled)\n"),
             qPrintable(text));
    QVERIFY(instrument().updateMessagesReceived(sim::Terminal) > 0);
}

// The result gives each board's version after the update, as far as it is
// known: the image's for an updated board, the old one for a board that was
// not reached, none for the board whose step failed.
void tst_cli::versionsAfterTheUpdate()
{
    instrument().setVersion(sim::Terminal, 24);
    instrument().setFaults(sim::Terminal,
                           faultsWith([](sim::BoardFaults& f) { f.zeroAckAtLine = 2; }));
    QCOMPARE(runTool(QStringList{"update", "--json"} + smallImages(), 20000), 12);
    const QList<QJsonObject> events = jsonLines();
    QVERIFY(!events.isEmpty());
    QMap<QString, QJsonObject> boards;
    for (const QJsonValue& board : events.last().value("boards").toArray()) {
        boards[board.toObject().value("board").toString()] = board.toObject();
    }
    QCOMPARE(boards.size(), 7);
    QCOMPARE(boards["sensor3"].value("outcome").toString(), QString("updated"));
    QCOMPARE(boards["sensor3"].value("after"), QJsonValue("v2.3"));
    QCOMPARE(boards["sensor3"].value("reinstall"), QJsonValue(false));
    QCOMPARE(boards["terminal"].value("outcome").toString(), QString("failed"));
    QCOMPARE(boards["terminal"].value("after"), QJsonValue(QJsonValue::Null));
    QCOMPARE(boards["terminal"].value("reinstall"), QJsonValue(true));
    QCOMPARE(boards["mainboard"].value("outcome").toString(), QString("notStarted"));
    QCOMPARE(boards["mainboard"].value("after"), QJsonValue("v3.1"));
    // Before the update there is no after.
    for (const QJsonObject& event : events) {
        if (event.value("event").toString() == "plan") {
            for (const QJsonValue& board : event.value("boards").toArray()) {
                QVERIFY(!board.toObject().contains("after"));
            }
        }
    }
}

// Ctrl-C in the middle of a transfer stops sending at once and names the boards it leaves.
void tst_cli::interruptMidTransfer()
{
    // A sensor image long enough to be stopped in the middle of.
    TestImage longer("KSENS", "v2.3");
    longer.codeLines = 120;
    startTool({"update", "--firmware", "sensors=" + writeFile("longer.hex", longer.file()),
               "--firmware", "terminal=" + folder.filePath("terminal.hex"), "--firmware",
               "mainboard=" + folder.filePath("mainboard.hex")});
    QVERIFY(waitUntil([] { return messagesWithCode('\x03') >= 50; }, 10000));
    std::raise(SIGINT);
    QCOMPARE(waitForExit(2000), 130);
    QVERIFY(nothingMoreSent());
    QVERIFY(messagesWithCode('\x03') < 100);

    QVERIFY2(errorsAfterNotes().startsWith(
                 "Canceled: sending stopped at once.\n"
                 "These boards may now need a new update: Keys 12-20 (sensor5), "
                 "Keys 21-42 (sensor1), Keys 43-64 (sensor2), Keys 65-86 "
                 "(sensor3), Keys 87-108 (sensor4).\n"
                 "Not updated, still on their old firmware: Control Panel "
                 "(terminal), Main Board (mainboard).\n"),
             qPrintable(errors()));
    QVERIFY(onlyAskedForVersion(sim::Terminal));
    QVERIFY(onlyAskedForVersion(sim::Mainboard));

    // The next start names the boards the canceled step left behind.
    // It is a note: on the error output, the table alone on the output.
    QCOMPARE(runTool({"versions"}, 5000), 0);
    QVERIFY2(errorsAfterNotes().startsWith(
                 "The update of Keys 12-20, Keys 21-42, Keys 43-64, Keys 65-86, "
                 "Keys 87-108 started "),
             qPrintable(errors()));
    QVERIFY(errors().contains("was canceled before it finished. These boards may need a new "
                              "update. Running the update again brings the boards back.\n"));
    QVERIFY2(output().startsWith("Instrument QX40-204871\nBoard "), qPrintable(output()));
}

// One word for a Ctrl-C in the middle of a step: the JSON result and the
// history both call it canceled.
void tst_cli::interruptIsCanceledEverywhere()
{
    TestImage longer("KSENS", "v2.3");
    longer.codeLines = 120;
    startTool({"update", "--json", "sensors", "--firmware",
               "sensors=" + writeFile("longer.hex", longer.file())});
    QVERIFY(waitUntil([] { return messagesWithCode('\x03') >= 50; }, 10000));
    std::raise(SIGINT);
    QCOMPARE(waitForExit(2000), 130);

    const QJsonObject result = jsonLines().last();
    QCOMPARE(result.value("boards").toArray().size(), 5);
    for (const QJsonValue& board : result.value("boards").toArray()) {
        QCOMPARE(board.toObject().value("outcome").toString(), QString("canceled"));
    }
    const QList<HistoryRecord> records = UpdateHistory().records();
    QVERIFY(!records.isEmpty());
    QCOMPARE(HistoryRecord::outcomeName(records.last().outcome), QString("canceled"));
}

// Ctrl-C while the tool waits for the instrument ends the wait at once.
void tst_cli::interruptWhileWaiting()
{
    instrument().unplug();
    startTool({"versions", "--wait", "20"});
    QCOMPARE(exitCode, -1); // waiting
    std::raise(SIGINT);
    QCOMPARE(waitForExit(1000), 130);
    QCOMPARE(errorsAfterNotes(), QString("Canceled.\n"));
}

void tst_cli::noInstrument_data()
{
    QTest::addColumn<bool>("plugged");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<int>("expectedExit");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("refusedAs"); // the refused event's reason; empty: none

    QTest::newRow("not plugged in")
        << false << 0 << 3 << "No instrument found within 0.3 s." << QString();
    QTest::newRow("every board silent")
        << true << 0 << 3 << "The instrument was found, but none of its boards answered"
        << QString();
    QTest::newRow("user may not open it")
        << true << EACCES << 4
        << UsbHid::refusalDescription(EACCES) + "\n" + UsbHid::refusalRemedy(EACCES)
        << "permission";
    // The command has ended: nothing connects by itself once the other program is closed.
    QTest::newRow("in use") << true << EBUSY << 4
                            << UsbHid::refusalDescription(EBUSY) +
                                   "\nClose the other program that uses the instrument, then "
                                   "run the command again."
                            << "busy";
}

// When the wait ends without an instrument it could talk to, the tool says
// why; an instrument there but refused is said at once, and waited for.
void tst_cli::noInstrument()
{
    QFETCH(bool, plugged);
    QFETCH(int, refusal);
    QFETCH(int, expectedExit);
    QFETCH(QString, reason);
    QFETCH(QString, refusedAs);

    if (!plugged) {
        instrument().unplug();
    } else if (refusal != 0) {
        instrument().setOpenRefusal(refusal);
    } else {
        for (const auto& board : boardNames) {
            instrument().setFaults(board.first,
                                   faultsWith([](sim::BoardFaults& f) { f.silent = true; }));
        }
    }
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(runTool({"update", "--wait", "0.3"}, 3000), expectedExit);
    // The whole wait, less the few per cent a coarse timer may fire early.
    QVERIFY(clock.elapsed() >= 300 * 9 / 10);
    if (refusedAs.isEmpty()) {
        QVERIFY2(errorsAfterNotes().startsWith(reason), qPrintable(errors()));
    } else {
        QVERIFY2(errorsAfterNotes().startsWith(UsbHid::refusalDescription(refusal) +
                                               " Still waiting, up to "),
                 qPrintable(errors()));
        QVERIFY2(errors().endsWith("\n" + reason + "\n"), qPrintable(errors()));
        QCOMPARE(runTool({"update", "--wait", "0.3", "--json"}, 3000), expectedExit);
        const QList<QJsonObject> events = jsonLines();
        QVERIFY(std::any_of(events.cbegin(), events.cend(), [&](const QJsonObject& event) {
            return event.value("event") == "refused" && event.value("reason") == refusedAs;
        }));
    }
    for (const auto& board : boardNames) {
        QVERIFY(onlyAskedForVersion(board.first));
    }
}

// A second copy of the tool does not open the instrument, nor announce a wait for it.
void tst_cli::alreadyRunning()
{
    InstanceLock other;
    QVERIFY(other.acquire());
    QCOMPARE(runTool({"update", "--json"}, 3000), 5);
    QVERIFY2(
        errors().startsWith(InstanceLock::alreadyRunningText(QCoreApplication::applicationPid())),
        qPrintable(errors()));
    QVERIFY(instrument().messages().isEmpty());
    // Not told to wait for an instrument it never looks for: the result alone.
    const QList<QJsonObject> events = jsonLines();
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().value("event").toString(), QString("result"));
    QCOMPARE(events.first().value("command").toString(), QString("update"));
}

// Without any wait, an instrument found at the first look still has its
// boards' time to answer.
void tst_cli::instrumentFoundAtOnceIsHeard()
{
    QCOMPARE(runTool({"versions", "--wait", "0"}, 3000), 0);
    QCOMPARE(output().count('\n'), 9);
    QVERIFY(!output().contains("did not answer"));
}

void tst_cli::versionList_data()
{
    QTest::addColumn<ReportWriter::Style>("style");
    QTest::addColumn<QString>("notes"); // on the error output
    const QString waiting = "Waiting for the instrument (up to 10 s)...\n";
    QTest::newRow("lines") << ReportWriter::Lines << waiting;
    QTest::newRow("terminal") << ReportWriter::Terminal << waiting;
    QTest::newRow("json") << ReportWriter::Json << QString();
}

// Each board with what it runs, or that it did not answer, and the image's
// version: the table alone on the output, also on a terminal.
void tst_cli::versionList()
{
    QFETCH(ReportWriter::Style, style);
    QFETCH(QString, notes);
    const bool json = style == ReportWriter::Json;
    instrument().setFaults(sim::Sensor4, faultsWith([](sim::BoardFaults& f) { f.silent = true; }));
    QStringList arguments = {"versions", "--firmware",
                             "terminal=" + folder.filePath("terminal.hex")};
    if (json) {
        arguments << "--json";
    }
    QCOMPARE(runTool(arguments, 5000, style), 0);
    QCOMPARE(errors(), notes);
    if (!json) {
        QCOMPARE(output(), QString("Instrument QX40-204871\n"
                                   "Board      Name           Installed        Image\n"
                                   "sensor5    Keys 12-20     v1.5             v1.9\n"
                                   "sensor1    Keys 21-42     v1.1             v1.9\n"
                                   "sensor2    Keys 43-64     v1.2             v1.9\n"
                                   "sensor3    Keys 65-86     v1.3             v1.9\n"
                                   "sensor4    Keys 87-108    did not answer   v1.9\n"
                                   "terminal   Control Panel  v1.9             v2.4\n"
                                   "mainboard  Main Board     v3.1             v3.3\n"));
        return;
    }
    const QList<QJsonObject> events = jsonLines();
    QCOMPARE(events.size(), 1);
    const QJsonArray boards = events.first().value("boards").toArray();
    QCOMPARE(boards.size(), 7);
    const QJsonObject silent = boards.at(4).toObject();
    QCOMPARE(silent.value("board").toString(), QString("sensor4"));
    QCOMPARE(silent.value("answered").toBool(), false);
    QVERIFY(silent.value("installed").isNull());
    const QJsonObject panel = boards.at(5).toObject();
    QCOMPARE(panel.value("installed").toString(), QString("v1.9"));
    QCOMPARE(panel.value("image").toString(), QString("v2.4"));
    QCOMPARE(panel.value("imageSource").toString(), folder.filePath("terminal.hex"));
}

// Each step of an update from the command line is recorded, also a failed
// one with its reason; history lists them newest first, filtered and limited;
// the report shows them with the instrument.
void tst_cli::versionCheck_data()
{
    QTest::addColumn<QString>("board"); // the board that differs; empty: none
    QTest::addColumn<int>("version");   // its version in tenths; -1: silent
    QTest::addColumn<int>("expectedExit");
    QTest::addColumn<QString>("said");
    QTest::newRow("all current") << QString() << 0 << 0 << QString();
    QTest::newRow("one older") << "sensor2" << 22 << 15
                               << "Not running their image's version: Keys 43-64 (sensor2).";
    QTest::newRow("one newer") << "terminal" << 25 << 15
                               << "Not running their image's version: Control Panel (terminal).";
    QTest::newRow("one silent") << "sensor3" << -1 << 15 << "Did not answer: Keys 65-86 (sensor3).";
}

// versions --check exits 0 only when every board runs its image's version;
// an older, a newer or a silent board is not current.
void tst_cli::versionCheck()
{
    QFETCH(QString, board);
    QFETCH(int, version);
    QFETCH(int, expectedExit);
    QFETCH(QString, said);
    for (const QString& sensor : allSensors) {
        instrument().setVersion(boardNamed(sensor), 23);
    }
    instrument().setVersion(sim::Terminal, 24);
    instrument().setVersion(sim::Mainboard, 35);
    if (version < 0) {
        instrument().setFaults(boardNamed(board),
                               faultsWith([](sim::BoardFaults& f) { f.silent = true; }));
    } else if (!board.isEmpty()) {
        instrument().setVersion(boardNamed(board), version);
    }
    QCOMPARE(runTool(QStringList{"versions", "--check", "--json"} + smallImages(), 10000),
             expectedExit);
    const QJsonObject result = jsonLines().last();
    QCOMPARE(result.value("result").toString(),
             QString(expectedExit == 0 ? "success" : "notCurrent"));
    QCOMPARE(result.value("error").toString(), said);
    QCOMPARE(result.value("allCurrent").toBool(), expectedExit == 0);
    for (const QJsonValue& entry : result.value("boards").toArray()) {
        QCOMPARE(entry.toObject().value("current").toBool(),
                 entry.toObject().value("board").toString() != board);
    }
    // Without --check the same instrument is listed with success.
    QCOMPARE(runTool(QStringList{"versions"} + smallImages(), 10000), 0);
}

void tst_cli::serviceRecord()
{
    QCOMPARE(runTool(QStringList{"update", "terminal"} + smallImages({"terminal"}), 10000), 0);
    instrument().setFaults(sim::Mainboard,
                           faultsWith([](sim::BoardFaults& f) { f.refuseEnd = true; }));
    QVERIFY(runTool(QStringList{"update", "mainboard"} + smallImages({"mainboard"}), 10000) != 0);

    const QList<HistoryRecord> records = UpdateHistory().records();
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].frontEnd, QString("command line"));
    QCOMPARE(records[0].outcome, HistoryRecord::Updated);
    QCOMPARE(records[0].image, QString("terminal.hex"));
    QCOMPARE(records[0].versionsAfter.value("terminal"), QString("v2.4"));
    QCOMPARE(records[1].outcome, HistoryRecord::Failed);
    QCOMPARE(records[1].failureReason, QString("InvalidFirmware"));

    QCOMPARE(runTool({"history", "--json"}, 3000), 0);
    QList<QJsonObject> events = jsonLines();
    QCOMPARE(events.size(), 3);
    QCOMPARE(events[0].value("boards").toArray(), QJsonArray{"mainboard"});
    QCOMPARE(events[0].value("outcome").toString(), QString("failed"));
    QCOMPARE(events[0].value("failureReason").toString(), QString("InvalidFirmware"));
    QCOMPARE(events[1].value("boards").toArray(), QJsonArray{"terminal"});
    for (const char* field :
         {"started", "ended", "serialNumber", "tool", "toolVersion", "versionsBefore",
          "versionsAfter", "imageChecksum", "imageSha256", "durationMs"}) {
        QVERIFY2(!events[1].value(field).isUndefined(), field);
    }
    QCOMPARE(events[2].value("records").toInt(), 2);

    QCOMPARE(runTool({"history", "--json", "--limit", "1"}, 3000), 0);
    QCOMPARE(jsonLines().size(), 2);
    QCOMPARE(runTool({"history", "--json", "--instrument", "QX40-999"}, 3000), 0);
    QCOMPARE(jsonLines().size(), 1);
    // Nothing found names the filter that found nothing.
    QCOMPARE(runTool({"history", "--instrument", "QX40-999"}, 3000), 0);
    QVERIFY2(output().startsWith("No update of the instrument with serial number QX40-999 "
                                 "recorded in "),
             qPrintable(output()));
    QCOMPARE(runTool({"history"}, 3000), 0);
    QVERIFY2(output().contains(
                 QRegularExpression("terminal +v1\\.9 -> v2\\.4 +terminal\\.hex v2\\.4 +updated")),
             qPrintable(output()));

    instrument().unplug();
    QCOMPARE(runTool({"report", "--wait", "0"}, 3000), 0);
    QVERIFY2(output().contains("Instrument: No instrument found"), qPrintable(output()));
    QVERIFY(
        output().contains("failed (" + trvUpdater::errorDescription(trvUpdater::InvalidFirmware)));
}

// The report is for support: in a German session its instrument line is
// still English, for a refused instrument and for one not found.
void tst_cli::reportIsEnglishInEveryLanguage()
{
    QTranslator german; // removes itself when it goes
    QVERIFY(german.load(QLocale(QLocale::German, QLocale::Germany), "trvloader", "_",
                        Translations::builtInFolder()));
    QCoreApplication::installTranslator(&german);
    QVERIFY(UsbHid::refusalDescription(EACCES) !=
            UsbHid::refusalDescription(EACCES, UsbHid::English));

    instrument().setOpenRefusal(EACCES);
    QCOMPARE(runTool({"report", "--wait", "0.3"}, 3000), 0);
    QVERIFY2(output().contains("Instrument: The instrument is connected, but this user may not "
                               "open it.\n"),
             qPrintable(output()));
    QVERIFY2(!output().contains(UsbHid::refusalDescription(EACCES)), qPrintable(output()));

    instrument().setOpenRefusal(0);
    instrument().unplug();
    QCOMPARE(runTool({"report", "--wait", "0"}, 3000), 0);
    QVERIFY2(output().contains("Instrument: No instrument found within 0 s."),
             qPrintable(output()));
}

// A history and log that cannot be written are said once; the update goes on.
void tst_cli::unwritableRecordIsSaidOnce()
{
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    const QString blocker = writeFile("not-a-folder", "");
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker));
    const int exit = runTool(QStringList{"update", "terminal"} + smallImages({"terminal"}), 10000);
    qputenv("XDG_DATA_HOME", dataHome);
    QCOMPARE(exit, 0);
    QCOMPARE(errors().count("Warning: "), 1);
    QVERIFY2(errors().contains("not-a-folder"), qPrintable(errors()));
    QCOMPARE(instrument().version(sim::Terminal), 24);
}

// The boards column of the history is as wide as five sensor boards: every
// row's versions stand under their heading.
void tst_cli::historyTableFitsItsBoards()
{
    QCOMPARE(
        runTool(QStringList{"update", "sensors", "terminal"} + smallImages({"sensors", "terminal"}),
                10000),
        0);
    QCOMPARE(runTool({"history"}, 3000), 0);
    const QStringList lines = output().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const int versions = lines[0].indexOf("Versions");
    QVERIFY(versions > 0);
    QVERIFY2(lines[1].indexOf("v1.9 -> v2.4") == versions, qPrintable(output()));
    QVERIFY2(lines[2].indexOf("v1.5, v1.1, v1.2, v1.3, v1.4 -> v2.3") == versions,
             qPrintable(output()));
    QVERIFY(lines[2].contains(" sensor5,sensor1,sensor2,sensor3,sensor4 "));
}

// What is sent to support names no login: the home folder is ~.
void tst_cli::reportShowsTheHomeFolderAsTilde()
{
    const QByteArray home = qgetenv("HOME");
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    const QString alice = folder.filePath("home/alice");
    QVERIFY(QDir().mkpath(alice));
    qputenv("HOME", QFile::encodeName(alice));
    qputenv("XDG_DATA_HOME", QFile::encodeName(alice + "/.local/share"));
    QCOMPARE(runTool(QStringList{"update", "terminal"} + smallImages({"terminal"}), 10000), 0);
    instrument().unplug();
    const int exit = runTool({"report", "--wait", "0"}, 3000);
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", dataHome);
    QCOMPARE(exit, 0);
    const QString text = output();
    QVERIFY2(text.contains("Data folder: ~/.local/share/Kelmor/trvloader\n"), qPrintable(text));
    QVERIFY2(text.contains("Log (~/.local/share/Kelmor/trvloader/trvloader.log"), qPrintable(text));
    QVERIFY2(!text.contains("alice"), qPrintable(text));
}

void tst_cli::severalInstruments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said"); // begins the output, or the errors when it fails
    QTest::addColumn<QString>("serial"); // of the result's instrument; empty: none
    const QString both = "Several instruments are connected: QX40-204871, SN0002.\n"
                         "Choose one with --serial SERIAL; nothing has been sent.\n";
    QTest::newRow("versions refuses") << QStringList{"versions"} << 16 << both << QString();
    QTest::newRow("update refuses") << QStringList{"update"} << 16 << both << QString();
    QTest::newRow("--serial chooses")
        << QStringList{"versions", "--serial", "SN0002"} << 0 << "Instrument SN0002\nBoard "
        << "SN0002";
    QTest::newRow("an unknown serial names those there")
        << QStringList{"versions", "--serial", "SN0009", "--wait", "0.2"} << 3
        << "No instrument with the serial number SN0009 found within 0.2 s. Connected: "
           "QX40-204871, SN0002.\n"
        << QString();
}

// With two instruments attached no command picks one by itself: each names
// both, and --serial chooses; nothing is sent to the other.
void tst_cli::severalInstruments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, said);
    QFETCH(QString, serial);
    sim::Instrument& second = sim::instrumentAt(1);
    QCOMPARE(runTool(arguments, 5000), code);
    QVERIFY2((code == 0 ? output() : errorsAfterNotes()).startsWith(said),
             qPrintable(output() + errors()));
    if (serial != "SN0002") {
        QVERIFY(second.outputReports().isEmpty());
    }
    QVERIFY(instrument().outputReports().isEmpty());

    QCOMPARE(runTool(arguments + QStringList{"--json"}, 5000, ReportWriter::Json), code);
    const QJsonObject result = jsonLines().last();
    QCOMPARE(result.value("exitCode").toInt(), code);
    if (serial.isEmpty()) {
        QStringList attached;
        for (const QJsonValue& device : result.value("attached").toArray()) {
            attached.append(device.toObject().value("serial").toString());
        }
        QCOMPARE(attached, QStringList({"QX40-204871", "SN0002"}));
    } else {
        QCOMPARE(result.value("instrument").toObject().value("serial").toString(), serial);
    }
}

// Three instruments, plugged in one after another, the second left plugged
// in while the third comes: three results, three serial numbers, each updated
// once.
void tst_cli::benchUpdatesEachInstrumentOnce()
{
    auto plugNext = [this](int index) {
        sim::Instrument& next = sim::instrumentAt(index);
        next.setMainboardRestartTime(timing.restartWait * 2);
        return &next;
    };
    startTool(QStringList{"update", "--repeat", "--count", "3", "--json"} + smallImages(),
              ReportWriter::Json);
    auto resultsSoFar = [this] {
        QStringList serials;
        for (const QByteArray& line : outputBuffer.data().split('\n')) {
            const QJsonObject event = QJsonDocument::fromJson(line).object();
            if (event.value("event") == "instrument-result") {
                serials.append(event.value("instrument").toObject().value("serial").toString());
            }
        }
        return serials;
    };
    QVERIFY(waitUntil([&] { return resultsSoFar().size() == 1; }, 10000));
    instrument().unplug();
    sim::Instrument* second = plugNext(1);
    QVERIFY(waitUntil([&] { return resultsSoFar().size() == 2; }, 10000));
    const int heardBySecond = second->messages().size();
    plugNext(2); // the second stays plugged in
    QCOMPARE(waitForExit(10000), 0);
    QCOMPARE(resultsSoFar(), QStringList({"QX40-204871", "SN0002", "SN0003"}));
    QCOMPARE(second->messages().size(), heardBySecond);
    for (int index = 0; index < 3; ++index) {
        QCOMPARE(sim::instrumentAt(index).version(sim::Mainboard), 35);
    }

    const QJsonObject result = jsonLines().last();
    QCOMPARE(result.value("event").toString(), QString("result"));
    QCOMPARE(result.value("exitCode").toInt(), 0);
    QCOMPARE(result.value("updated").toInt(), 3);
    QCOMPARE(result.value("instruments").toArray().size(), 3);
}

// Ctrl-C while the bench waits for the next instrument ends it with a
// summary; a failed instrument does not end it, but the exit code says so.
void tst_cli::benchEndsWithASummary()
{
    instrument().setFaults(sim::Terminal,
                           faultsWith([](sim::BoardFaults& f) { f.refuseEnd = true; }));
    startTool(QStringList{"update", "--repeat", "terminal"} + smallImages({"terminal"}));
    QVERIFY(waitUntil([this] { return output().contains("QX40-204871: failed"); }, 10000));
    instrument().unplug();
    sim::instrumentAt(1);
    QVERIFY(waitUntil([this] { return output().contains("SN0002: updated in "); }, 10000));
    QCOMPARE(exitCode, -1); // waits for the next
    std::raise(SIGINT);
    QCOMPARE(waitForExit(1000), 17);
    QVERIFY2(output().contains("SN0002: updated in "), qPrintable(output()));
    QVERIFY2(output().contains(" s: terminal v1.0 -> v2.4\n"), qPrintable(output()));
    QVERIFY2(output().endsWith(
                 "Bench: 1 updated (SN0002), 1 failed (QX40-204871), 0 already current.\n"),
             qPrintable(output()));
}

QTEST_GUILESS_MAIN(tst_cli)
#include "tst_cli.moc"
