// Fault soak: many whole updates of all seven boards against the emulated
// instrument (in-process), each with seeded random faults, checked after
// every run.
//
//   bench_soak [--runs 500] [--seed 1] [--first 0] [--builtin] [--window] [--verbose]
//
// Run i uses the random sequence of seed + i, so `--first i --runs 1` repeats
// it alone. Faults, one or two per run (some runs have none): boards absent
// from the start, boards that go silent, refused starts, zero
// acknowledgements, refused ends, wrong versions after the update, dropped
// replies, garbage input reports, unplugs at a random data message or at a
// random time (plugged in again later), and reply latency jitter.
//
// Checked after every run:
//  - it ended, done or failed, within the time the protocol's time-outs allow;
//  - it reported success only if every selected board holds exactly the
//    image text and reports the image's version;
//  - after a failure nothing but version requests (the window's own, at each
//    connect) reached the instrument;
//  - no engine outlives its step.
// By default the update is run by the shared update sequence that the window
// uses, without the window's widgets, with small images made up for the soak (about 60 lines
// each), so that many runs fit in little time; --builtin uses the built-in
// images. --window runs the real window instead (built-in images, start
// button clicked once all found boards are shown), its watchdog and its own
// version requests included.

#include "hexreader.h"
#include "imagemaker.h"
#include "instrument.h"
#include "ownuserfolders.h"
#include "trvinterface.h"
#include "trvloader.h"
#include "trvupdatesequence.h"
#include "updatelog.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QMessageBox>
#include <QMetaEnum>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

namespace {

using Part = trvInterface::PartType;

const QList<Part> allBoards = {
    trvInterface::Sensor1, trvInterface::Sensor2,  trvInterface::Sensor3,  trvInterface::Sensor4,
    trvInterface::Sensor5, trvInterface::Terminal, trvInterface::Mainboard};
constexpr int oldVersion = 10; // v1.0 on every board before the update

enum class Fault {
    None,
    Absent,
    Silent,
    NotReady,
    ZeroAck,
    RefuseEnd,
    WrongVersion,
    DropReply,
    Garbage,
    UnplugAtLine,
    UnplugAtTime,
};

const char* faultName(Fault fault)
{
    switch (fault) {
    case Fault::None:
        return "none";
    case Fault::Absent:
        return "absent board";
    case Fault::Silent:
        return "silent board";
    case Fault::NotReady:
        return "refused start";
    case Fault::ZeroAck:
        return "zero ack";
    case Fault::RefuseEnd:
        return "refused end";
    case Fault::WrongVersion:
        return "wrong version";
    case Fault::DropReply:
        return "dropped reply";
    case Fault::Garbage:
        return "garbage reports";
    case Fault::UnplugAtLine:
        return "unplug at a line";
    case Fault::UnplugAtTime:
        return "unplug at a time";
    }
    return "?";
}

int tenths(const QString& version)
{
    const QStringList digits = version.mid(1).split('.');
    return digits.value(0).toInt() * 10 + digits.value(1).toInt();
}

void runLoop(int ms, const std::function<bool()>& until = {})
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (clock.elapsed() >= ms || (until && until())) {
            loop.quit();
        }
    });
    check.start(1);
    loop.exec();
}

struct Images
{
    HexReader mainboard;
    HexReader terminal;
    HexReader sensors;
    HexReader* of(Part board)
    {
        return board == trvInterface::Mainboard  ? &mainboard
               : board == trvInterface::Terminal ? &terminal
                                                 : &sensors;
    }
};

bool loadImages(Images& images, bool builtin, const QTemporaryDir& folder)
{
    if (builtin) {
        return images.mainboard.read(":/firmware/kzent", false) == HexReader::FileOk &&
               images.terminal.read(":/firmware/kterm", false) == HexReader::FileOk &&
               images.sensors.read(":/firmware/ksens", false) == HexReader::FileOk;
    }
    const struct
    {
        const char* part;
        const char* version;
        HexReader* reader;
    } made[] = {{"KZENT", "v2.1", &images.mainboard},
                {"KTERM", "v3.1", &images.terminal},
                {"KSENS", "v1.1", &images.sensors}};
    for (const auto& image : made) {
        const QString name = folder.filePath(QString(image.part) + ".hex");
        QFile file(name);
        const QByteArray text = ImageMaker(image.part, image.version).ordered(3200);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
            return false;
        }
        file.close();
        if (image.reader->read(name, false) != HexReader::FileOk) {
            return false;
        }
    }
    return true;
}

struct Tally
{
    int runs = 0;
    int succeeded = 0;
    int noDevice = 0;
    int notStarted = 0;
    QMap<QString, int> failures;      // by reason and state
    QMap<QString, int> faultsApplied; // by fault
    int falseSuccesses = 0;
    int hangs = 0;
    int leaks = 0;
    int sentAfterFailure = 0;
    QStringList problems; // the runs that broke a rule, to repeat them
};

// What runs the update: the shared update sequence alone, or the real window.
class Driver
{
public:
    virtual ~Driver() = default;
    // Boards whose version has been reported, as the window enables them.
    virtual QList<Part> found() const = 0;
    virtual void start(const QList<Part>& boards) = 0;
    // Whether start() began an update (the window's button may be disabled by then).
    virtual bool hasStarted() const = 0;
    virtual bool isRunning() const = 0;
    virtual bool succeeded() const = 0;
    virtual QString failure() const = 0;
    virtual int liveEngines() const = 0;
};

class StepDriver : public Driver
{
public:
    explicit StepDriver(Images& images)
        : sequence(&interface, sequenceImages(images)),
          run(&sequence, &interface, sequenceImages(images))
    {
        // Like the window, ask every board for its version at each connect.
        QObject::connect(&interface, &trvInterface::connected, &interface,
                         qOverload<>(&trvInterface::requestFirmwareVersion));
        QObject::connect(&interface, &trvInterface::firmwareVersion, [this](Part board, QString) {
            if (!sequence.isRunning() && !boards.contains(board) && allBoards.contains(board)) {
                boards.append(board);
            }
        });
        interface.setAutoconnect(true);
    }
    QList<Part> found() const override { return boards; }
    void start(const QList<Part>& selected) override { run.start(selected); }
    bool hasStarted() const override { return true; }
    bool isRunning() const override { return sequence.isRunning(); }
    bool succeeded() const override { return run.succeeded(); }
    QString failure() const override
    {
        return QStringLiteral("%1 in %2")
            .arg(trvUpdater::errorDescription(run.error()),
                 QMetaEnum::fromType<trvUpdater::State>().valueToKey(run.steps().last().lastState));
    }
    int liveEngines() const override { return run.liveEngines(); }

private:
    static trvUpdateSequence::Images sequenceImages(Images& images)
    {
        trvUpdateSequence::Images chosen;
        chosen.mainboard = &images.mainboard;
        chosen.terminal = &images.terminal;
        chosen.sensors = &images.sensors;
        return chosen;
    }

    trvInterface interface;
    trvUpdateSequence sequence;
    UpdateLog run;
    QList<Part> boards;
};

class WindowDriver : public Driver
{
public:
    WindowDriver() : window(std::make_unique<trvLoader>())
    {
        window->show();
        total = window->findChild<QProgressBar*>("totalProgress");
        startButton = window->findChild<QPushButton*>("startUpdate");
        if (!total || !startButton) {
            qFatal("the window has no start button or total bar");
        }
    }
    QList<Part> found() const override
    {
        QList<Part> boards;
        for (Part board : allBoards) {
            const QString name = QStringLiteral("check%1").arg(
                QMetaEnum::fromType<trvInterface::PartType>().valueToKey(board));
            const auto* box = window->findChild<QCheckBox*>(name);
            if (box && box->isEnabled()) {
                boards.append(board);
            }
        }
        return boards;
    }
    void start(const QList<Part>&) override
    {
        // A user who sees the question before the update (a silent board, for
        // instance) and goes on.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                    yes->click();
                }
            }
        });
        answer.start(10);
        startButton->click();
        started = window->findChild<trvUpdater*>() != nullptr;
    }
    bool hasStarted() const override { return started; }
    bool isRunning() const override
    {
        return started && window->findChild<trvUpdater*>() != nullptr &&
               !total->property("done").toBool() && !total->property("error").toBool();
    }
    bool succeeded() const override { return total->property("done").toBool(); }
    QString failure() const override { return total->format(); }
    int liveEngines() const override { return window->findChildren<trvUpdater*>().size(); }

private:
    std::unique_ptr<trvLoader> window;
    QProgressBar* total = nullptr;
    QPushButton* startButton = nullptr;
    bool started = false;
};

class SoakRun
{
public:
    SoakRun(int runNumber, quint32 seed, Images& soakImages)
        : number(runNumber), random(seed), images(soakImages)
    {
    }

    void execute(Tally& tally)
    {
        sim::Instrument& instrument = sim::instrument();
        instrument.reset();
        const int maxLatency = pick(0, 3);
        instrument.setReplyLatency(0, maxLatency);
        instrument.setBoardRestartTime(pick(0, 300));
        instrument.setMainboardRestartTime(1100 + pick(0, 400));
        for (Part board : allBoards) {
            instrument.setVersion(sim::Board(board), oldVersion);
        }

        QList<Fault> faults;
        const int count = pick(0, 9) < 2 ? 0 : pick(0, 9) < 7 ? 1 : 2;
        for (int i = 0; i < count; ++i) {
            faults.append(Fault(pick(int(Fault::Absent), int(Fault::UnplugAtTime))));
        }
        if (faults.isEmpty()) {
            faults.append(Fault::None);
        }
        for (Fault fault : faults) {
            ++tally.faultsApplied[faultName(fault)];
        }
        description = QStringLiteral("run %1 (faults:").arg(number);
        for (Fault fault : faults) {
            description += QStringLiteral(" %1").arg(faultName(fault));
        }
        description += QStringLiteral(")");

        // Boards not fitted are never selected: the window enables only those that answer.
        for (Fault fault : faults) {
            if (fault == Fault::Absent) {
                sim::BoardFaults absent;
                absent.absent = true;
                instrument.setFaults(sim::Board(pick(int(sim::Sensor1), int(sim::Terminal))),
                                     absent);
            }
        }

        std::unique_ptr<Driver> run;
        if (useWindow) {
            run = std::make_unique<WindowDriver>();
        } else {
            run = std::make_unique<StepDriver>(images);
        }
        runLoop(useWindow ? 1000 : 300, [&] { return run->found().size() == 7; });
        runLoop(20);
        const QList<Part> selected = run->found();
        ++tally.runs;
        if (!selected.contains(trvInterface::Mainboard)) {
            ++tally.noDevice;
            return;
        }

        QObject scope; // the faults' timers of this run
        int lines = 0;
        for (Part board :
             {trvInterface::Sensor1, trvInterface::Terminal, trvInterface::Mainboard}) {
            lines += images.of(board)->data.count('\n');
        }
        for (Fault fault : faults) {
            applyFault(fault, selected, lines, &scope);
        }

        run->start(selected);
        const qint64 bound = timeBound(selected, maxLatency);
        QElapsedTimer clock;
        clock.start();
        runLoop(500); // the window's engine appears with the click
        runLoop(int(bound), [&] { return !run->isRunning(); });
        const qint64 took = clock.elapsed();
        if (!run->hasStarted()) {
            ++tally.notStarted; // a fault took the instrument away before the click
            return;
        }
        const int sentAtEnd = instrument.messages().size();

        if (run->isRunning()) {
            ++tally.hangs;
            tally.problems.append(
                QStringLiteral("%1: still running after %2 ms").arg(description).arg(bound));
            return; // the engine is left to die with the link
        }

        // Read before the instrument may come back: a connect after the failure
        // replaces the window's error text with its ready look.
        const QString failure = run->failure();

        // After a failure: the window only asks for versions at each connect.
        runLoop(run->succeeded() ? 20 : 300);
        if (!run->succeeded()) {
            const QList<QByteArray> messages = instrument.messages();
            for (int i = sentAtEnd; i < messages.size(); ++i) {
                if (quint8(messages.at(i).at(0)) != 0x01) {
                    ++tally.sentAfterFailure;
                    tally.problems.append(QStringLiteral("%1: message %2 sent after the failure")
                                              .arg(description, QString(messages.at(i).toHex())));
                    break;
                }
            }
        }
        if (run->liveEngines() != 0) {
            ++tally.leaks;
            tally.problems.append(QStringLiteral("%1: %2 engines alive after the run")
                                      .arg(description)
                                      .arg(run->liveEngines()));
        }

        if (run->succeeded()) {
            ++tally.succeeded;
            for (Part board : selected) {
                const HexReader* image = images.of(board);
                if (instrument.storedText(sim::Board(board)) != image->data ||
                    instrument.version(sim::Board(board)) != tenths(image->version)) {
                    ++tally.falseSuccesses;
                    tally.problems.append(
                        QStringLiteral("%1: success, but board %2 holds %3 bytes, version %4")
                            .arg(description)
                            .arg(int(board))
                            .arg(instrument.storedText(sim::Board(board)).size())
                            .arg(instrument.version(sim::Board(board))));
                    break;
                }
            }
        } else {
            ++tally.failures[failure];
        }
        if (verbose) {
            std::printf("%s: %s in %lld ms\n", qPrintable(description),
                        run->succeeded() ? "done" : "failed", took);
        }
    }

    static bool verbose;
    static bool useWindow;

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

    // How long the run may take at most: every line at the slowest reply, every
    // request up to its time-out once, the version retries, the main board's
    // restart and return, and some room for a loaded machine.
    qint64 timeBound(const QList<Part>& selected, int maxLatency)
    {
        qint64 bound = 2000;
        bool sensorStep = false;
        for (Part board : selected) {
            const bool sensor = board >= trvInterface::Sensor1 && board <= trvInterface::Sensor5;
            if (sensor && sensorStep) {
                continue;
            }
            sensorStep = sensorStep || sensor;
            const qint64 lines = images.of(board)->data.count('\n');
            bound += lines * (maxLatency + 3) + 3 * 1000; // lines; version, start, end
            bound += board == trvInterface::Mainboard ? 1000 + 10000 + 500 : 11 * 1000 + 1000;
        }
        return bound * 3 / 2;
    }

    Part anyOf(const QList<Part>& boards) { return boards.at(pick(0, boards.size() - 1)); }

    void applyFault(Fault fault, const QList<Part>& selected, int lines, QObject* scope)
    {
        sim::Instrument& instrument = sim::instrument();
        const sim::Board board = sim::Board(anyOf(selected));
        sim::BoardFaults faults = instrument.faults(board);
        switch (fault) {
        case Fault::None:
        case Fault::Absent:
            return;
        case Fault::Silent:
            faults.silent = true;
            break;
        case Fault::NotReady:
            faults.notReady = true;
            break;
        case Fault::ZeroAck:
            faults.zeroAckAtLine = pick(1, images.of(Part(board))->data.count('\n'));
            break;
        case Fault::RefuseEnd:
            faults.refuseEnd = true;
            break;
        case Fault::WrongVersion:
            faults.versionAfterUpdate = pick(0, 1) ? oldVersion : pick(0, 255);
            break;
        case Fault::DropReply:
            faults.dropReplyAt = pick(1, images.of(Part(board))->data.count('\n') + 6);
            break;
        case Fault::Garbage:
            for (int i = pick(1, 5); i > 0; --i) {
                QByteArray report;
                for (int record = pick(1, 21); record > 0; --record) {
                    report.append(char(pick(0, 9) < 8 ? pick(1, 4) : pick(0, 255)));
                    report.append(char(pick(0, 9) < 8 ? pick(0, 7) : pick(0, 255)));
                    report.append(char(pick(0, 1) ? pick(0, 1) : pick(0, 255)));
                }
                QTimer::singleShot(pick(0, lines + 3000), scope,
                                   [report] { sim::instrument().injectReport(report); });
            }
            return;
        case Fault::UnplugAtLine:
            instrument.unplugAtDataMessage(pick(1, lines));
            QTimer::singleShot(pick(0, lines + 1000), scope, [] { sim::instrument().plug(); });
            return;
        case Fault::UnplugAtTime: {
            const int at = pick(0, lines + 3000);
            QTimer::singleShot(at, scope, [] { sim::instrument().unplug(); });
            QTimer::singleShot(at + pick(20, 2000), scope, [] { sim::instrument().plug(); });
            return;
        }
        }
        instrument.setFaults(board, faults);
    }

    int number;
    std::mt19937 random;
    Images& images;
    QString description;
};

bool SoakRun::verbose = false;
bool SoakRun::useWindow = false;

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    OwnUserFolders folders;
    QApplication application(argc, argv);
    if (!folders.isValid()) {
        std::fprintf(stderr, "no temporary folder for the window's own folders\n");
        return 1;
    }
    int runs = 500;
    int first = 0;
    quint32 seed = 1;
    bool builtin = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--builtin") == 0) {
            builtin = true;
        } else if (std::strcmp(argv[i], "--window") == 0) {
            SoakRun::useWindow = builtin = true;
        } else if (std::strcmp(argv[i], "--verbose") == 0) {
            SoakRun::verbose = true;
        } else if (i + 1 < argc && std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[++i]);
        } else if (i + 1 < argc && std::strcmp(argv[i], "--first") == 0) {
            first = std::atoi(argv[++i]);
        } else if (i + 1 < argc && std::strcmp(argv[i], "--seed") == 0) {
            seed = quint32(std::strtoul(argv[++i], nullptr, 10));
        }
    }

    QTemporaryDir folder;
    Images images;
    if (!folder.isValid() || !loadImages(images, builtin, folder)) {
        std::fprintf(stderr, "the images do not read\n");
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    Tally tally;
    for (int i = first; i < first + runs; ++i) {
        SoakRun(i, seed + quint32(i), images).execute(tally);
        if ((i - first + 1) % 50 == 0) {
            std::printf("%d runs, %lld s\n", i - first + 1, clock.elapsed() / 1000);
        }
        std::fflush(stdout);
    }

    std::printf("\nFault soak: %d runs (seed %u, runs %d to %d, %s images, %s) in %lld s\n",
                tally.runs, seed, first, first + runs - 1, builtin ? "built-in" : "small made-up",
                SoakRun::useWindow ? "the window" : "the shared update sequence",
                clock.elapsed() / 1000);
    std::printf("  succeeded: %d\n  no main board, no update: %d\n  instrument gone before the "
                "start, no update: %d\n",
                tally.succeeded, tally.noDevice, tally.notStarted);
    int failed = 0;
    for (int count : qAsConst(tally.failures)) {
        failed += count;
    }
    std::printf("  failed: %d\n", failed);
    for (auto reason = tally.failures.cbegin(); reason != tally.failures.cend(); ++reason) {
        std::printf("    %4d  %s\n", reason.value(), qPrintable(reason.key()));
    }
    std::printf("  faults applied:\n");
    for (auto fault = tally.faultsApplied.cbegin(); fault != tally.faultsApplied.cend(); ++fault) {
        std::printf("    %4d  %s\n", fault.value(), qPrintable(fault.key()));
    }
    std::printf("  false successes: %d\n  hangs: %d\n  engines outliving their step: %d\n"
                "  runs that sent more than version requests after failing: %d\n",
                tally.falseSuccesses, tally.hangs, tally.leaks, tally.sentAfterFailure);
    for (const QString& problem : qAsConst(tally.problems)) {
        std::printf("  PROBLEM %s\n", qPrintable(problem));
    }
    std::printf("repeat with: %s --runs %d --seed %u --first %d%s\n", argv[0], runs, seed, first,
                SoakRun::useWindow ? " --window"
                : builtin          ? " --builtin"
                                   : "");
    return tally.problems.isEmpty() ? 0 : 1;
}
