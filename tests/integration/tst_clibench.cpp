// trvloader-cli on a service bench: the real program, with the system's
// hidapi, on emulated instruments that umockdev presents as hidraw device
// nodes, each with its own serial number. Run under umockdev-wrapper: the
// program, started from here, inherits the preload and finds the devices
// this test hosts.

#include "hidrawinstrument.h"
#include "testimage.h"
#include "toolprocess.h"
#include "waiting.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QList<sim::Board> boards = {sim::Sensor5, sim::Sensor1,  sim::Sensor2,  sim::Sensor3,
                                  sim::Sensor4, sim::Terminal, sim::Mainboard};
// What the boards run before an update: older than the built-in images.
const QList<int> olderVersions = {15, 11, 12, 13, 14, 19, 31};
// The built-in images' versions, in tenths.
const QList<int> builtInVersions = {19, 19, 19, 19, 19, 21, 33};
// Small images at those versions, for a quick update.
const QList<std::pair<const char*, const char*>> smallImages = {
    {"KSENS", "v1.9"}, {"KTERM", "v2.1"}, {"KZENT", "v3.3"}};
const QStringList serials = {"QX40-204871", "SN0002", "SN0003"};

} // namespace

class tst_clibench : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void severalAttachedNeedASerial();
    void updateOfOneLeavesTheOtherAlone();
    void repeatUpdatesEachOnce();
    void skipCurrentSendsNothing();
    void versionsCheck_data();
    void versionsCheck();

private:
    void plug(int index);
    void unplug(int index);
    // Runs trvloader-cli to its end; its exit code, or -1.
    int runTool(ToolProcess& tool, const QStringList& arguments, int timeout);
    void startTool(ToolProcess& tool, const QStringList& arguments);
    QStringList firmwareOptions() const;
    int outputReports(int index);
    int dataMessages(int index);
    static QList<QJsonObject> jsonLines(const QByteArray& output);

    std::unique_ptr<sim::HidrawInstrument> front;
    QTemporaryDir runtimeFolder;
    QTemporaryDir imageFolder;
};

void tst_clibench::initTestCase()
{
    QVERIFY(runtimeFolder.isValid());
    QVERIFY(imageFolder.isValid());
    for (const auto& image : smallImages) {
        TestImage small(image.first, image.second);
        small.codeLines = 40;
        QFile file(imageFolder.filePath(QString::fromLatin1(image.first) + ".hex"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(small.file()) > 0);
    }
    front = std::make_unique<sim::HidrawInstrument>();
    QString error;
    QVERIFY2(front->start(&error), qPrintable(error));
    for (int index = 1; index < serials.size(); ++index) {
        QCOMPARE(front->addInstrument(serials.at(index),
                                      [](sim::Instrument& instrument) { instrument.unplug(); }),
                 index);
    }
}

// Every instrument of the bench unplugged, with firmware older than the images.
void tst_clibench::init()
{
    for (int index = 0; index < serials.size(); ++index) {
        front->withInstrument(index, [](sim::Instrument& instrument) {
            instrument.reset();
            instrument.unplug();
            instrument.setBoardRestartTime(0);
            instrument.setMainboardRestartTime(1500);
            for (int i = 0; i < boards.size(); ++i) {
                instrument.setVersion(boards.at(i), olderVersions.at(i));
            }
        });
    }
    for (int index = 0; index < serials.size(); ++index) {
        QVERIFY(waitUntil([&] { return front->deviceNode(index).isEmpty(); }, 2000));
    }
}

void tst_clibench::plug(int index)
{
    front->withInstrument(index, [](sim::Instrument& instrument) {
        instrument.clearLog();
        instrument.plug();
    });
    QVERIFY(waitUntil([&] { return !front->deviceNode(index).isEmpty(); }, 2000));
}

void tst_clibench::unplug(int index)
{
    front->withInstrument(index, [](sim::Instrument& instrument) { instrument.unplug(); });
}

void tst_clibench::startTool(ToolProcess& tool, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtimeFolder.path());
    tool.setProcessEnvironment(environment);
    tool.start(TRV_CLI, arguments);
    QVERIFY2(tool.waitForStarted(5000), qPrintable(tool.errorString()));
}

int tst_clibench::runTool(ToolProcess& tool, const QStringList& arguments, int timeout)
{
    startTool(tool, arguments);
    if (!waitUntil([&tool] { return tool.state() == QProcess::NotRunning; }, timeout)) {
        return -1;
    }
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

QStringList tst_clibench::firmwareOptions() const
{
    return {"--firmware", "sensors=" + imageFolder.filePath("KSENS.hex"),
            "--firmware", "terminal=" + imageFolder.filePath("KTERM.hex"),
            "--firmware", "mainboard=" + imageFolder.filePath("KZENT.hex")};
}

int tst_clibench::outputReports(int index)
{
    return front->withInstrument(
        index, [](sim::Instrument& instrument) { return instrument.outputReports().size(); });
}

int tst_clibench::dataMessages(int index)
{
    return front->withInstrument(index, [](sim::Instrument& instrument) {
        int count = 0;
        for (const QByteArray& message : instrument.messages()) {
            count += message.startsWith('\x03') ? 1 : 0;
        }
        return count;
    });
}

QList<QJsonObject> tst_clibench::jsonLines(const QByteArray& output)
{
    QList<QJsonObject> objects;
    for (const QByteArray& line : output.split('\n')) {
        if (!line.isEmpty()) {
            objects.append(QJsonDocument::fromJson(line).object());
        }
    }
    return objects;
}

// Two attached: versions names both and sends nothing; --serial chooses one.
void tst_clibench::severalAttachedNeedASerial()
{
    plug(0);
    plug(1);
    ToolProcess refused;
    QCOMPARE(runTool(refused, {"versions", "--wait", "5"}, 20000), 16);
    const QString said = QString::fromUtf8(refused.readAllStandardError());
    QVERIFY2(said.contains("Several instruments are connected: ") && said.contains(serials.at(0)) &&
                 said.contains(serials.at(1)) && said.contains("--serial"),
             qPrintable(said));
    QCOMPARE(outputReports(0) + outputReports(1), 0);

    ToolProcess chosen;
    QCOMPARE(runTool(chosen, {"versions", "--serial", "SN0002", "--json"}, 20000), 0);
    const QJsonObject result = jsonLines(chosen.readAllStandardOutput()).last();
    QCOMPARE(result.value("instrument").toObject().value("serial").toString(), QString("SN0002"));
    QCOMPARE(outputReports(0), 0);
}

// A whole update of one of two, the main board's restart included: not a
// byte to the other, every board of the chosen one verified, and the time
// left told as it goes.
void tst_clibench::updateOfOneLeavesTheOtherAlone()
{
    plug(0);
    plug(1);
    ToolProcess tool;
    QCOMPARE(runTool(tool, QStringList{"update", "--serial", "SN0002", "--json"} + firmwareOptions(),
                     90000),
             0);
    QCOMPARE(outputReports(0), 0);
    front->withInstrument(1, [](sim::Instrument& instrument) {
        for (int i = 0; i < boards.size(); ++i) {
            QCOMPARE(instrument.version(boards.at(i)), builtInVersions.at(i));
        }
    });
    int estimates = 0;
    for (const QJsonObject& event : jsonLines(tool.readAllStandardOutput())) {
        if (event.value("event") == "connected" || event.value("event") == "result") {
            QCOMPARE(event.value("instrument").toObject().value("serial").toString(),
                     QString("SN0002"));
        }
        if (event.value("event") == "progress") {
            QVERIFY(event.contains("secondsLeft"));
            estimates += event.value("secondsLeft").isDouble() ? 1 : 0;
        }
    }
    QVERIFY(estimates > 0);
}

// update --repeat --count 3 over three instruments plugged in one after
// another, each as the last is unplugged: three results, three serial
// numbers, each instrument updated once.
void tst_clibench::repeatUpdatesEachOnce()
{
    plug(0);
    ToolProcess tool;
    startTool(tool, QStringList{"update", "--repeat", "--count", "3", "--json"} +
                        firmwareOptions());
    QByteArray output;
    QStringList resultSerials;
    QVERIFY(waitUntil(
        [&] {
            output += tool.readAllStandardOutput();
            const QList<QJsonObject> events = jsonLines(output);
            QStringList seen;
            for (const QJsonObject& event : events) {
                if (event.value("event") == "instrument-result") {
                    seen.append(event.value("instrument").toObject().value("serial").toString());
                }
            }
            // The technician swaps the instrument once its result is told.
            for (int done = resultSerials.size(); done < seen.size(); ++done) {
                unplug(done);
                if (done + 1 < serials.size()) {
                    plug(done + 1);
                }
            }
            resultSerials = seen;
            return tool.state() == QProcess::NotRunning;
        },
        150000));
    output += tool.readAllStandardOutput();
    QVERIFY2(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0,
             output + tool.readAllStandardError());
    QCOMPARE(resultSerials, serials);
    const QJsonObject result = jsonLines(output).last();
    QCOMPARE(result.value("event").toString(), QString("result"));
    QCOMPARE(result.value("updated").toInt(), 3);
    for (int index = 0; index < serials.size(); ++index) {
        front->withInstrument(index, [](sim::Instrument& instrument) {
            QCOMPARE(instrument.version(sim::Mainboard), builtInVersions.last());
        });
    }
}

// An instrument already current gets no data line.
void tst_clibench::skipCurrentSendsNothing()
{
    front->withInstrument(0, [](sim::Instrument& instrument) {
        for (int i = 0; i < boards.size(); ++i) {
            instrument.setVersion(boards.at(i), builtInVersions.at(i));
        }
    });
    plug(0);
    ToolProcess tool;
    QCOMPARE(runTool(tool, QStringList{"update", "--skip-current", "--json"} + firmwareOptions(),
                     30000),
             0);
    QCOMPARE(dataMessages(0), 0);
    const QJsonObject result = jsonLines(tool.readAllStandardOutput()).last();
    QCOMPARE(result.value("outcome").toString(), QString("current"));
}

void tst_clibench::versionsCheck_data()
{
    QTest::addColumn<int>("mainboardVersion");
    QTest::addColumn<int>("code");
    QTest::newRow("every board current") << builtInVersions.last() << 0;
    QTest::newRow("the main board older") << builtInVersions.last() - 1 << 15;
}

void tst_clibench::versionsCheck()
{
    QFETCH(int, mainboardVersion);
    QFETCH(int, code);
    front->withInstrument(0, [&](sim::Instrument& instrument) {
        for (int i = 0; i < boards.size(); ++i) {
            instrument.setVersion(boards.at(i), builtInVersions.at(i));
        }
        instrument.setVersion(sim::Mainboard, mainboardVersion);
    });
    plug(0);
    ToolProcess tool;
    QCOMPARE(runTool(tool, {"versions", "--check"}, 20000), code);
}

QTEST_GUILESS_MAIN(tst_clibench)
#include "tst_clibench.moc"
