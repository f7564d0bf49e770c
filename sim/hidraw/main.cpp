// trvloader-emulated: runs the unchanged trvloader, with the system's hidapi,
// on an emulated instrument that umockdev presents as a hidraw device.

#include "hexreader.h"
#include "hidrawinstrument.h"
#include "launchoptions.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const preloadLibrary = "libumockdev-preload.so.0";
const char* const restartedMark = "TRV_EMULATED_PRELOADED";

volatile std::sig_atomic_t stopSignal = 0;

void stopRequested(int signal)
{
    stopSignal = signal;
}

bool preloadLoaded()
{
    void* library = dlopen(preloadLibrary, RTLD_NOW | RTLD_NOLOAD);
    if (library) {
        dlclose(library);
    }
    return library != nullptr;
}

// Starts this program again with umockdev's preload library, as
// umockdev-wrapper would: only then do trvloader and the testbed meet.
[[noreturn]] void restartWithPreload(char* argv[])
{
    const QByteArray previous = qgetenv("LD_PRELOAD");
    QByteArray preload = preloadLibrary;
    if (!previous.isEmpty()) {
        preload += ':' + previous;
    }
    qputenv("LD_PRELOAD", preload);
    qputenv(restartedMark, "1");
    execv("/proc/self/exe", argv);
    std::perror("trvloader-emulated: cannot start itself again");
    std::exit(1);
}

// The boards' firmware when nothing else is asked for: two tenths older than
// the built-in image for that board, so that an update has something to do.
void setOlderThanBuiltIn(LaunchOptions& options)
{
    const QList<std::pair<QString, QList<sim::Board>>> images = {
        {":/firmware/kzent", {sim::Mainboard}},
        {":/firmware/kterm", {sim::Terminal}},
        {":/firmware/ksens",
         {sim::Sensor1, sim::Sensor2, sim::Sensor3, sim::Sensor4, sim::Sensor5}},
    };
    for (const auto& image : images) {
        HexReader reader;
        if (reader.read(image.first, false) != HexReader::FileOk) {
            continue;
        }
        const QStringList digits = reader.version.mid(1).split(QLatin1Char('.'));
        const int tenths = digits.value(0).toInt() * 10 + digits.value(1).toInt();
        for (sim::Board board : image.second) {
            if (!options.versions.contains(board)) {
                options.versions[board] = std::max(0, tenths - 2);
            }
        }
    }
}

QString loaderProgram(const LaunchOptions& options)
{
    if (!options.program.isEmpty()) {
        return options.program;
    }
    if (QFileInfo(QStringLiteral(TRV_LOADER_PATH)).isExecutable()) {
        return QStringLiteral(TRV_LOADER_PATH);
    }
    return QStandardPaths::findExecutable(QStringLiteral("trvloader"));
}

pid_t startLoader(const QString& program, const QStringList& arguments)
{
    std::vector<QByteArray> texts{program.toLocal8Bit()};
    for (const QString& argument : arguments) {
        texts.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        // The tool goes when the launcher goes, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(1);
        }
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        // Among the launcher's descriptors is the other end of the device
        // node: held open by the tool, it would keep the node from hanging up
        // when the instrument goes.
        if (close_range(3, ~0U, 0) != 0) {
            for (int descriptor = 3; descriptor < sysconf(_SC_OPEN_MAX); ++descriptor) {
                close(descriptor);
            }
        }
        execv(argv[0], argv.data());
        std::perror("trvloader-emulated: cannot start trvloader");
        _exit(127);
    }
    return child;
}

} // namespace

int main(int argc, char* argv[])
{
    if (!preloadLoaded()) {
        if (qEnvironmentVariableIsSet(restartedMark)) {
            std::fprintf(stderr,
                         "trvloader-emulated: %s cannot be loaded; install the Debian "
                         "package libumockdev0\n",
                         preloadLibrary);
            return 1;
        }
        restartWithPreload(argv);
    }
    qunsetenv(restartedMark);

    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    LaunchOptions options;
    QString error;
    if (!options.parse(arguments, &error)) {
        std::fprintf(stderr, "trvloader-emulated: %s\n\n%s", qPrintable(error),
                     qPrintable(LaunchOptions::usage()));
        return 2;
    }
    if (options.helpWanted) {
        std::printf("%s", qPrintable(LaunchOptions::usage()));
        return 0;
    }
    const QString program = loaderProgram(options);
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "trvloader-emulated: no trvloader to run (build it, or name it "
                             "with --program)\n");
        return 1;
    }
    setOlderThanBuiltIn(options);

    sim::HidrawInstrument front;
    front.setReplyDelay(options.minReplyDelay, options.maxReplyDelay);
    front.setOpenRefusal(options.openRefusal);
    // Every instrument is set up alike, and waits for --plug-after.
    const auto setUp = [&options](sim::Instrument& instrument) {
        options.applyTo(instrument);
        if (options.plugAfter > 0) {
            instrument.unplug();
        }
    };
    front.withInstrument([&](sim::Instrument& instrument) {
        instrument.setSerialNumber(options.serialNumber(0));
        setUp(instrument);
    });
    const int together = options.oneAfterAnother ? 1 : std::max(1, options.instruments);
    for (int index = 1; index < together; ++index) {
        front.addInstrument(options.serialNumber(index), setUp);
    }
    if (!front.start(&error)) {
        std::fprintf(stderr, "trvloader-emulated: %s\n", qPrintable(error));
        return 1;
    }

    std::signal(SIGINT, stopRequested);
    std::signal(SIGTERM, stopRequested);
    const pid_t loader = startLoader(program, options.programArguments);
    if (loader < 0) {
        std::perror("trvloader-emulated: cannot start trvloader");
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    const Clock::time_point never;
    const auto started = Clock::now();
    bool plugPending = options.plugAfter > 0;
    // Plugs the instrument at index in again --replug-after its unplug by a
    // fault, which began at unpluggedSince (never: it is in). False when it
    // is out for good.
    const auto replugAfterFault = [&](int index, Clock::time_point& unpluggedSince,
                                      Clock::time_point now) {
        const bool plugged = front.withInstrument(
            index, [](sim::Instrument& instrument) { return instrument.isPlugged(); });
        if (plugged) {
            unpluggedSince = never;
        } else if (options.replugAfter < 0) {
            return false;
        } else if (unpluggedSince == never) {
            unpluggedSince = now;
        } else if (now - unpluggedSince >= milliseconds(options.replugAfter)) {
            front.withInstrument(index, [](sim::Instrument& instrument) { instrument.plug(); });
            unpluggedSince = never;
        }
        return true;
    };
    std::vector<Clock::time_point> unpluggedSince(std::size_t(together), never);
    // One after another: the instrument on the bench (or the last one there),
    // whether it is still there, when it came or went, and since when its
    // update has been finished.
    int current = 0;
    bool onBench = true;
    auto cameOrWent = started;
    auto finishedSince = never;
    // A finished update that stays so this long is the whole update, not a
    // step of it: the tool starts its next board within milliseconds.
    const milliseconds finishedSettles(500);
    int status = 0;
    bool forwarded = false;
    for (;; std::this_thread::sleep_for(milliseconds(10))) {
        const pid_t ended = waitpid(loader, &status, WNOHANG);
        if (ended == loader || (ended < 0 && errno != EINTR)) {
            break;
        }
        if (stopSignal && !forwarded) {
            kill(loader, stopSignal);
            forwarded = true;
        }
        const auto now = Clock::now();
        if (plugPending) {
            if (now - started >= milliseconds(options.plugAfter)) {
                for (int index = 0; index < together; ++index) {
                    front.withInstrument(index,
                                         [](sim::Instrument& instrument) { instrument.plug(); });
                }
                plugPending = false;
                cameOrWent = now;
            }
        } else if (!options.oneAfterAnother) {
            for (int index = 0; index < together; ++index) {
                replugAfterFault(index, unpluggedSince[std::size_t(index)], now);
            }
        } else if (onBench) {
            const qint64 time = sim::HidrawInstrument::now();
            const bool finished =
                front.withInstrument(current, [time](sim::Instrument& instrument) {
                    return instrument.updateFinished(time);
                });
            finishedSince = !finished ? never : finishedSince == never ? now : finishedSince;
            const bool done = finished && now - finishedSince >= finishedSettles;
            const bool overdue =
                options.unplugAfter >= 0 && now - cameOrWent >= milliseconds(options.unplugAfter);
            if (!replugAfterFault(current, unpluggedSince[0], now) || done || overdue) {
                front.withInstrument(current,
                                     [](sim::Instrument& instrument) { instrument.unplug(); });
                onBench = false;
                cameOrWent = now;
            }
        } else if ((options.instruments == 0 || current + 1 < options.instruments) &&
                   now - cameOrWent >= milliseconds(options.nextAfter)) {
            current = front.addInstrument(
                options.serialNumber(current + 1),
                [&options](sim::Instrument& instrument) { options.applyTo(instrument); });
            onBench = true;
            cameOrWent = now;
            finishedSince = never;
            unpluggedSince[0] = never;
        }
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
