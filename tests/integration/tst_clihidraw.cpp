// trvloader-cli as users run it: the real program, with the system's hidapi,
// on the emulated instrument that umockdev presents as a hidraw device node.
// Run under umockdev-wrapper: the program, started from here, inherits the
// preload and finds the device this test hosts. Part of it runs the program
// as another user (nobody), which needs root.

#include "hexreader.h"
#include "hidrawinstrument.h"
#include "instancelock.h"
#include "testimage.h"
#include "toolprocess.h"
#include "updatehistory.h"
#include "usbhid.h"
#include "waiting.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Each board and the part code of its image.
const QList<std::pair<sim::Board, const char*>> boards = {
    {sim::Sensor5, "KSENS"},   {sim::Sensor1, "KSENS"}, {sim::Sensor2, "KSENS"},
    {sim::Sensor3, "KSENS"},   {sim::Sensor4, "KSENS"}, {sim::Terminal, "KTERM"},
    {sim::Mainboard, "KZENT"},
};
// Small images at the built-in images' versions, newer than what the boards run.
const QList<std::pair<const char*, const char*>> smallImages = {
    {"KSENS", "v1.9"}, {"KTERM", "v2.1"}, {"KZENT", "v3.3"}};

// The program with its standard output on a terminal of the given width.
class TerminalToolProcess : public ToolProcess
{
public:
    explicit TerminalToolProcess(unsigned short columns)
    {
        winsize size = {};
        size.ws_row = 24;
        size.ws_col = columns;
        if (openpty(&master, &slave, nullptr, nullptr, &size) == 0) {
            for (int descriptor : {master, slave}) {
                fcntl(descriptor, F_SETFD, FD_CLOEXEC);
            }
            fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~TerminalToolProcess() override
    {
        for (int descriptor : {master, slave}) {
            if (descriptor >= 0) {
                ::close(descriptor);
            }
        }
    }
    bool isValid() const { return master >= 0; }
    // Once started: the terminal is the program's alone.
    void releaseTerminal()
    {
        ::close(slave);
        slave = -1;
    }
    // What the program has written to the terminal so far.
    QByteArray readTerminal()
    {
        char buffer[4096];
        ssize_t count = 0;
        while ((count = ::read(master, buffer, sizeof buffer)) > 0) {
            written.append(buffer, int(count));
        }
        return written;
    }

protected:
    void setupChildProcess() override
    {
        ::dup2(slave, STDOUT_FILENO);
        ToolProcess::setupChildProcess();
    }

private:
    int master = -1;
    int slave = -1;
    QByteArray written;
};

} // namespace

class tst_clihidraw : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void wholeUpdateWhileASecondCopyIsRefused();
    void copyOfAnotherUserFindsTheInstrumentBusy();
    void interruptMidTransfer_data();
    void interruptMidTransfer();
    void failureNamed_data();
    void failureNamed();
    void userMayNotOpenTheInstrument();
    void killedUpdateIsNamedAndReported();
    void progressFitsANarrowTerminal();

private:
    // Starts trvloader-cli with the arguments; its own runtime folder keeps its lock.
    void startTool(ToolProcess& process, const QStringList& arguments);
    int dataMessages();
    // Whether the board received nothing but version requests.
    bool onlyAskedForVersion(sim::Board board);

    // The small image file for a part code.
    QString imageFile(const char* partCode) const
    {
        return imageFolder.filePath(QString::fromLatin1(partCode) + ".hex");
    }

    std::unique_ptr<sim::HidrawInstrument> front;
    QTemporaryDir runtimeFolder;
    QTemporaryDir imageFolder;
};

void tst_clihidraw::initTestCase()
{
    QVERIFY(runtimeFolder.isValid());
    QVERIFY(imageFolder.isValid());
    for (const auto& image : smallImages) {
        TestImage small(image.first, image.second);
        small.codeLines = 40;
        QFile file(imageFile(image.first));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(small.file()) > 0);
    }
    front = std::make_unique<sim::HidrawInstrument>();
    QString error;
    QVERIFY2(front->start(&error), qPrintable(error));
}

void tst_clihidraw::init()
{
    // Older firmware than the built-in images; fast boards, and the main
    // board's restart as long as the update needs it to be.
    front->withInstrument([](sim::Instrument& instrument) {
        instrument.reset();
        instrument.setBoardRestartTime(0);
        instrument.setMainboardRestartTime(1500);
        const QList<int> versions = {15, 11, 12, 13, 14, 19, 31};
        for (int i = 0; i < boards.size(); ++i) {
            instrument.setVersion(boards.at(i).first, versions.at(i));
        }
    });
    QVERIFY(waitUntil([this] { return !front->deviceNode().isEmpty(); }, 2000));
}

void tst_clihidraw::cleanup()
{
    front->shareWithOtherUsers(true, true);
}

void tst_clihidraw::startTool(ToolProcess& process, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtimeFolder.path());
    process.setProcessEnvironment(environment);
    process.start(TRV_CLI, arguments);
    QVERIFY2(process.waitForStarted(5000), qPrintable(process.errorString()));
}

int tst_clihidraw::dataMessages()
{
    return front->withInstrument([](sim::Instrument& instrument) {
        int count = 0;
        for (const QByteArray& message : instrument.messages()) {
            count += message.startsWith('\x03') ? 1 : 0;
        }
        return count;
    });
}

bool tst_clihidraw::onlyAskedForVersion(sim::Board board)
{
    return front->withInstrument([board](sim::Instrument& instrument) {
        for (const QByteArray& message : instrument.received(board)) {
            if (!message.startsWith('\x01')) {
                return false;
            }
        }
        return true;
    });
}

// All seven boards through the real program; a second copy started meanwhile
// finds the first and ends without opening the instrument.
void tst_clihidraw::wholeUpdateWhileASecondCopyIsRefused()
{
    ToolProcess tool;
    startTool(tool,
              {"update", "--json", "--firmware", "sensors=" + imageFile("KSENS"), "--firmware",
               "terminal=" + imageFile("KTERM"), "--firmware", "mainboard=" + imageFile("KZENT")});
    QVERIFY(waitUntil([this] { return dataMessages() >= 10; }, 10000));

    ToolProcess second;
    startTool(second, {"update", "--wait", "1", "--json"});
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitCode(), 5);
    const QString refusal = QString::fromUtf8(second.readAllStandardError());
    // It names the copy that runs: the command line, not the window.
    QVERIFY2(refusal.startsWith("The firmware update tool is already running on the command line "
                                "(trvloader-cli, process " +
                                QString::number(tool.processId()) + ")."),
             qPrintable(refusal));
    QCOMPARE(refusal.section('\n', 0, 0),
             InstanceLock::alreadyRunningText(tool.processId(), "trvloader-cli"));
    // No word of a wait: the result alone, naming its command.
    const QByteArray secondSaid = second.readAllStandardOutput();
    QCOMPARE(secondSaid.count('\n'), 1);
    const QJsonObject refused = QJsonDocument::fromJson(secondSaid).object();
    QCOMPARE(refused.value("event").toString(), QString("result"));
    QCOMPARE(refused.value("command").toString(), QString("update"));

    QVERIFY(waitUntil([&tool] { return tool.state() == QProcess::NotRunning; }, 90000));
    const QByteArray errors = tool.readAllStandardError();
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QVERIFY2(tool.exitCode() == 0, errors.constData());

    const QList<QByteArray> lines = tool.readAllStandardOutput().trimmed().split('\n');
    const QJsonObject result = QJsonDocument::fromJson(lines.last()).object();
    QCOMPARE(result.value("result").toString(), QString("success"));
    const QJsonArray outcomes = result.value("boards").toArray();
    QCOMPARE(outcomes.size(), boards.size());
    for (int i = 0; i < boards.size(); ++i) {
        QCOMPARE(outcomes.at(i).toObject().value("outcome").toString(), QString("updated"));
        HexReader image;
        QCOMPARE(image.read(imageFile(boards.at(i).second), false), HexReader::FileOk);
        const sim::Board board = boards.at(i).first;
        const auto installed = front->withInstrument([board](sim::Instrument& instrument) {
            return std::make_pair(instrument.storedText(board), instrument.version(board));
        });
        QVERIFY2(installed.first == image.data, boards.at(i).second);
        QCOMPARE(QStringLiteral("v%1.%2").arg(installed.second / 10).arg(installed.second % 10),
                 image.version);
    }
    // Each line of the output was one JSON object.
    for (const QByteArray& line : lines) {
        QVERIFY2(QJsonDocument::fromJson(line).isObject(), line.constData());
    }
}

// A copy of another user, or of root under sudo (as here: no runtime folder,
// and nothing said about that), does not see the first copy's lock file, but
// finds the instrument held: it says that another program is using it and
// what to do, and ends without a word to the instrument.
void tst_clihidraw::copyOfAnotherUserFindsTheInstrumentBusy()
{
    const auto versionRequests = [this] {
        return front->withInstrument([](sim::Instrument& instrument) {
            int count = 0;
            for (const QByteArray& message : instrument.messages()) {
                count += message.startsWith('\x01') ? 1 : 0;
            }
            return count;
        });
    };
    // The built-in images: the first copy holds the instrument for seconds.
    ToolProcess first;
    startTool(first, {"update"});
    QVERIFY(waitUntil([this] { return dataMessages() >= 100; }, 10000));
    const int asked = versionRequests();

    QTemporaryDir otherTemporary; // its lock file's folder
    QVERIFY(otherTemporary.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("XDG_RUNTIME_DIR");
    environment.insert("TMPDIR", otherTemporary.path());
    ToolProcess other;
    other.setProcessEnvironment(environment);
    other.start(TRV_CLI, {"versions", "--wait", "0.5"});
    QVERIFY(waitUntil([&other] { return other.state() == QProcess::NotRunning; }, 10000));
    const QString errors = QString::fromUtf8(other.readAllStandardError());
    QVERIFY2(other.exitCode() == 4, qPrintable(errors));
    // Said at once, then again with what to do when the wait is over.
    QVERIFY2(errors.contains(UsbHid::refusalDescription(EBUSY) + " Still waiting, up to "),
             qPrintable(errors));
    QVERIFY2(errors.contains(UsbHid::refusalDescription(EBUSY) +
                             "\nClose the other program that uses the instrument, then run the "
                             "command again.\n"),
             qPrintable(errors));
    QVERIFY2(!errors.contains("XDG_RUNTIME_DIR"), qPrintable(errors));
    QCOMPARE(versionRequests(), asked);

    ::kill(pid_t(first.processId()), SIGINT);
    QVERIFY(first.waitForFinished(3000));
    QCOMPARE(first.exitCode(), 130);
}

void tst_clihidraw::interruptMidTransfer_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
}

// SIGINT, SIGTERM or SIGHUP in the middle of a transfer: sending stops at
// once, the program says which boards may need a new update, the history
// records the step as canceled, and the program ends with the signal's own
// exit code.
void tst_clihidraw::interruptMidTransfer()
{
    QFETCH(int, signalNumber);
    QFETCH(int, exitCode);
    QFile::remove(UpdateHistory::defaultFileName());
    ToolProcess tool;
    startTool(tool, {"update"});
    QVERIFY(waitUntil([this] { return dataMessages() >= 100; }, 10000));
    ::kill(pid_t(tool.processId()), signalNumber);
    QVERIFY(tool.waitForFinished(3000));
    const int sent = front->withInstrument(
        [](sim::Instrument& instrument) { return instrument.messages().size(); });

    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), exitCode);
    const QList<HistoryRecord> records = UpdateHistory().records();
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.first().outcome, HistoryRecord::Canceled);
    const QString errors = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(errors.contains("Canceled: sending stopped at once.\n"
                             "These boards may now need a new update: Keys 12-20 (sensor5), "
                             "Keys 21-42 (sensor1), Keys 43-64 (sensor2), Keys 65-86 (sensor3), "
                             "Keys 87-108 (sensor4).\n"
                             "Not updated, still on their old firmware: Control Panel "
                             "(terminal), Main Board (mainboard).\n"),
             qPrintable(errors));
    // Once the tool has let the node go, nothing more can reach the instrument.
    QVERIFY(waitUntil([this] { return !front->isNodeOpen(); }, 3000));
    QCOMPARE(front->withInstrument(
                 [](sim::Instrument& instrument) { return instrument.messages().size(); }),
             sent);
    QVERIFY(dataMessages() < 200);
    QVERIFY(onlyAskedForVersion(sim::Terminal));
    QVERIFY(onlyAskedForVersion(sim::Mainboard));
}

void tst_clihidraw::failureNamed_data()
{
    QTest::addColumn<bool>("unplugged"); // else Keys 43-64 refuses a line
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("refusedBy");

    QTest::newRow("unplugged during the sensor step")
        << true << 10
        << "The instrument was disconnected during the update of Sensor Boards.\n"
           "Plug the instrument in and start the update again.\n"
        << QString();
    QTest::newRow("a sensor board refuses a line")
        << false << 12
        << "Keys 43-64 (sensor2): Errors while transfering data\n"
           "Running the update again brings the boards back.\n"
        << "sensor2";
}

// An unplug in the middle of a step is said as such, and a refusing board by
// its names, in the text and in the result, with the engine's exit code.
void tst_clihidraw::failureNamed()
{
    QFETCH(bool, unplugged);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(QString, refusedBy);

    front->withInstrument([unplugged](sim::Instrument& instrument) {
        if (unplugged) {
            instrument.unplugAtDataMessage(20);
        } else {
            sim::BoardFaults faults;
            faults.zeroAckAtLine = 20;
            instrument.setFaults(sim::Sensor2, faults);
        }
    });
    ToolProcess tool;
    startTool(tool, {"update", "sensors", "--json", "--firmware", "sensors=" + imageFile("KSENS")});
    QVERIFY(waitUntil([&tool] { return tool.state() == QProcess::NotRunning; }, 20000));
    const QString errors = QString::fromUtf8(tool.readAllStandardError());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QVERIFY2(tool.exitCode() == exitCode, qPrintable(errors));
    QVERIFY2(errors.startsWith(said), qPrintable(errors));

    const QList<QByteArray> lines = tool.readAllStandardOutput().trimmed().split('\n');
    const QJsonObject failure =
        QJsonDocument::fromJson(lines.last()).object().value("failure").toObject();
    QCOMPARE(failure.value("disconnected").toBool(), unplugged);
    QCOMPARE(failure.value("refusedBy").toString(), refusedBy);
    QCOMPARE(failure.value("text").toString(), said.section('\n', 0, 0));
}

// Run by a user who may not open the instrument's node, the program says so
// and what fixes it for a program installed outside a build tree, with its
// own exit code.
void tst_clihidraw::userMayNotOpenTheInstrument()
{
    if (getuid() != 0) {
        QSKIP("only root can run a program as another user");
    }
    const QString runuser = QStandardPaths::findExecutable("runuser", {"/usr/sbin", "/sbin"});
    const passwd* nobody = getpwnam("nobody");
    if (runuser.isEmpty() || !nobody) {
        QSKIP("no runuser, or no user nobody");
    }
    // A copy of the program every user may run, and a runtime folder of nobody's own.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString program = folder.filePath("trvloader-cli");
    const QString nobodyRuntime = folder.filePath("runtime");
    QVERIFY(QFile::copy(TRV_CLI, program));
    QVERIFY(QDir(folder.path()).mkdir("runtime"));
    QVERIFY(::chown(QFile::encodeName(nobodyRuntime).constData(), nobody->pw_uid, nobody->pw_gid) ==
            0);
    const auto everyone =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(folder.path(), everyone));
    QVERIFY(QFile::setPermissions(program, everyone));
    QVERIFY(QFile::setPermissions(nobodyRuntime,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    // umockdev names the socket of a program's udev monitor after its
    // descriptor number and leaves it behind when the program ends: the
    // monitor of a later program that gets the same number cannot be made,
    // and that program then looks for the device on every tick, which the
    // preload ends after some fifty refused opens. No program runs now.
    QDir testbed(QFile::decodeName(qgetenv("UMOCKDEV_DIR")));
    QVERIFY(testbed.exists());
    for (const QString& socket : testbed.entryList({"event*"}, QDir::System)) {
        QVERIFY(testbed.remove(socket));
    }

    front->shareWithOtherUsers(false, true);
    ToolProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", nobodyRuntime);
    tool.setProcessEnvironment(environment);
    tool.start(runuser, {"-u", "nobody", "--", program, "versions", "--wait", "0.5"});
    QVERIFY(waitUntil([&tool] { return tool.state() == QProcess::NotRunning; }, 10000));
    const QString errors = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(tool.exitCode() == 4, qPrintable(errors));
    // Not run from a build tree: the package's rule is in place.
    QVERIFY2(errors.contains(UsbHid::refusalDescription(EACCES) +
                             "\nUnplug the instrument and plug it in again. If that does not "
                             "help, install the update tool's package again (sudo apt install "
                             "--reinstall trvloader).\n"),
             qPrintable(errors));
    QVERIFY(front->withInstrument(
        [](sim::Instrument& instrument) { return instrument.messages().isEmpty(); }));
}

// On a terminal narrower than the progress line, the redrawn line is cut to
// the terminal's width, so that it never wraps into lines of its own.
void tst_clihidraw::progressFitsANarrowTerminal()
{
    const int columns = 40;
    TerminalToolProcess tool(columns);
    QVERIFY(tool.isValid());
    startTool(tool, {"update", "terminal", "--firmware", "terminal=" + imageFile("KTERM")});
    tool.releaseTerminal();
    QVERIFY(waitUntil(
        [&tool] {
            tool.readTerminal();
            return tool.state() == QProcess::NotRunning;
        },
        60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());

    const QString shown = QString::fromUtf8(tool.readTerminal());
    const QRegularExpression redraw("\r([^\r\n]*)\x1b\\[K");
    int redraws = 0;
    int cut = 0;
    for (auto match = redraw.globalMatch(shown); match.hasNext(); ++redraws) {
        const QString line = match.next().captured(1);
        QVERIFY2(line.size() < columns, qPrintable(line));
        cut += line.endsWith(QChar(0x2026)) ? 1 : 0;
    }
    QVERIFY2(redraws > 2, qPrintable(shown));
    QVERIFY2(cut > 0, qPrintable(shown));
}

// The program killed in the middle of a step: the history reads it back as
// interrupted, the next start names the step's boards, and the report for
// support shows the instrument, its boards and that record.
void tst_clihidraw::killedUpdateIsNamedAndReported()
{
    QFile::remove(UpdateHistory::defaultFileName());
    ToolProcess tool;
    startTool(tool, {"update"});
    QVERIFY(waitUntil([this] { return dataMessages() >= 100; }, 10000));
    tool.kill();
    QVERIFY(tool.waitForFinished(3000));

    ToolProcess history;
    startTool(history, {"history", "--json"});
    QVERIFY(history.waitForFinished(5000));
    QCOMPARE(history.exitCode(), 0);
    const QList<QByteArray> lines = history.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 2); // the record and the result
    const QJsonObject record = QJsonDocument::fromJson(lines.first()).object();
    QCOMPARE(record.value("outcome").toString(), QString("interrupted"));
    QCOMPARE(record.value("frontEnd").toString(), QString("command line"));
    QCOMPARE(record.value("serialNumber").toString(),
             QString(sim::Instrument::defaultSerialNumber));
    QCOMPARE(record.value("boards").toArray().size(), 5);
    QCOMPARE(record.value("versionsBefore").toObject().value("sensor1").toString(),
             QString("v1.1"));
    QVERIFY(record.value("ended").isNull());

    ToolProcess versions;
    startTool(versions, {"versions", "--json"});
    QVERIFY(versions.waitForFinished(15000));
    QCOMPARE(versions.exitCode(), 0);
    QJsonObject interrupted;
    for (const QByteArray& line : versions.readAllStandardOutput().trimmed().split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        if (event.value("event").toString() == "unfinished") {
            interrupted = event;
        }
    }
    QCOMPARE(interrupted.value("boards").toArray(), record.value("boards").toArray());

    ToolProcess report;
    startTool(report, {"report"});
    QVERIFY(report.waitForFinished(15000));
    QCOMPARE(report.exitCode(), 0);
    const QString text = QString::fromUtf8(report.readAllStandardOutput());
    QVERIFY2(text.contains(QString("Instrument: connected, serial number %1")
                               .arg(sim::Instrument::defaultSerialNumber)),
             qPrintable(text));
    QVERIFY(text.contains(QRegularExpression("mainboard +Main Board +v3\\.1 ")));
    QVERIFY(text.contains(
        QRegularExpression("sensor5,sensor1,sensor2,sensor3,sensor4 .* interrupted")));
    QVERIFY(text.contains("Update of sensor5, sensor1, sensor2, sensor3, sensor4: Transfer"));
}

QTEST_GUILESS_MAIN(tst_clihidraw)
#include "tst_clihidraw.moc"
