// HexReader::read and HexSorter::sort against objcopy (binutils) and srec_cat
// (srecord) on the same generated images: throughput and peak memory, each
// operation in a process of its own so that its peak resident size is its own.
//
//   bench_hexfiles [--sizes 200k,2M,20M] [--repeat 5]
//
// Reading: our read of an ordered, stamped image (it checks every record, the
// order, the identification blocks and the image checksum) against
// `objcopy -I ihex -O ihex in out` and `srec_cat in -intel -o out -intel`.
// Sorting: our sort of the same records in shuffled order against the same two
// commands on that file (both put records in address order on output).
// Throughput is the file size over the best CPU time (user + system) of the
// runs; wall times are shown as well. Peak memory is measured by /usr/bin/time
// (Debian package time) where it is there. objcopy on shuffled records takes time
// growing with the square of their count: above 2 MB it runs once, for at most
// a minute (shown as FAILED when stopped).

#include "hexreader.h"
#include "hexsorter.h"
#include "imagemaker.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Measure
{
    double wallMs = 1e300;
    double cpuMs = 1e300;
    double peakMb = 0;
    bool ok = true;
};

double seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// Where the peak resident size of a command is written. A child of ours would
// count, from before it runs the command, the pages it shares with this
// process; /usr/bin/time, small itself, measures the command alone.
QString peakFile;

// Runs a program to its end: wall and CPU time, peak resident size.
Measure runOnce(QStringList command)
{
    const bool timed = !peakFile.isEmpty();
    if (timed) {
        command = QStringList{"/usr/bin/time", "-f", "%M", "-o", peakFile} + command;
    }
    std::vector<QByteArray> storage;
    for (const QString& part : command) {
        storage.push_back(part.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& part : storage) {
        argv.push_back(part.data());
    }
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        // The other tools warn about every record out of order: not what is measured.
        if (FILE* quiet = std::freopen("/dev/null", "w", stderr)) {
            (void)quiet;
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    Measure m;
    m.wallMs = std::chrono::duration<double, std::milli>(end - start).count();
    m.cpuMs = (seconds(usage.ru_utime) + seconds(usage.ru_stime)) * 1000;
    m.peakMb = double(usage.ru_maxrss) / 1024; // kB on Linux
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (timed) {
        QFile file(peakFile);
        if (file.open(QIODevice::ReadOnly)) {
            // The last line; a failed command has a line about its exit status first.
            const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
            m.peakMb = lines.last().trimmed().toDouble() / 1024;
        }
    }
    return m;
}

// The best of several runs; before each, prepare() may lay out fresh input.
template <typename Prepare> Measure runBest(const QStringList& command, int repeat, Prepare prepare)
{
    Measure best;
    for (int i = 0; i < repeat; ++i) {
        prepare();
        const Measure m = runOnce(command);
        best.ok = best.ok && m.ok;
        best.wallMs = std::min(best.wallMs, m.wallMs);
        best.cpuMs = std::min(best.cpuMs, m.cpuMs);
        best.peakMb = std::max(best.peakMb, m.peakMb);
    }
    return best;
}

qint64 parseSize(QString text)
{
    qint64 factor = 1;
    if (text.endsWith('k', Qt::CaseInsensitive)) {
        factor = 1000;
    } else if (text.endsWith('M', Qt::CaseInsensitive)) {
        factor = 1000 * 1000;
    }
    if (factor > 1) {
        text.chop(1);
    }
    return qint64(text.toDouble() * double(factor));
}

bool writeFile(const QString& name, const QByteArray& content)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The operations in a process of their own.
int worker(const QString& operation, const QString& fileName)
{
    if (operation == "idle") {
        return 0;
    }
    if (operation == "read") {
        HexReader reader;
        return reader.read(fileName, false) == HexReader::FileOk ? 0 : 1;
    }
    if (operation == "sort") {
        return HexSorter::sort(fileName) == HexReader::FileOk ? 0 : 1;
    }
    return 2;
}

void printRow(const char* size, const char* tool, const char* operation, qint64 bytes,
              const Measure& m, double baselineMb)
{
    std::printf("%-6s %-9s %-5s %9.1f %9.1f %9.1f %9.1f %9.1f %6.2f%s\n", size, tool, operation,
                m.wallMs, m.cpuMs, double(bytes) / 1e6 / (m.cpuMs / 1000), m.peakMb,
                m.peakMb - baselineMb, (m.peakMb - baselineMb) / (double(bytes) / 1048576),
                m.ok ? "" : "  FAILED");
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "--worker") == 0) {
        return worker(argv[2], argv[3]);
    }

    QStringList sizes = {"200k", "2M", "20M"};
    int repeat = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--sizes") == 0) {
            sizes = QString(argv[i + 1]).split(',');
        } else if (std::strcmp(argv[i], "--repeat") == 0) {
            repeat = std::max(1, std::atoi(argv[i + 1]));
        }
    }

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString self = QFile::decodeName(argv[0]);
    const QString output = folder.filePath("out.hex");
    if (QFile::exists("/usr/bin/time")) {
        peakFile = folder.filePath("peak.txt");
    }
    const Measure baseline = runOnce({self, "--worker", "idle", "-"});

    std::printf("HEX files: best of %d runs each; MB/s = file size / CPU time; "
                "memory = peak resident size, then above an idle process of ours (%.1f MB) or "
                "above nothing for the other tools, and that over the file size\n",
                repeat, baseline.peakMb);
    std::printf("%-6s %-9s %-5s %9s %9s %9s %9s %9s %6s\n", "size", "tool", "op", "wall ms",
                "cpu ms", "MB/s", "peak MB", "above MB", "x file");
    bool allOk = true;
    const ImageMaker maker("KZENT", "v9.9");
    for (const QString& sizeText : sizes) {
        const qint64 size = parseSize(sizeText);
        const QString ordered = folder.filePath("ordered-" + sizeText + ".hex");
        const QString shuffled = folder.filePath("shuffled-" + sizeText + ".hex");
        const QString sortWork = folder.filePath("sort-" + sizeText + ".hex");
        // Only files from here on: what this process holds would count for its children.
        if (!writeFile(ordered, maker.ordered(size)) ||
            !writeFile(shuffled, maker.shuffled(size))) {
            std::fprintf(stderr, "cannot write the images\n");
            return 1;
        }
        const qint64 bytes = QFile(ordered).size();
        const qint64 shuffledBytes = QFile(shuffled).size();
        const QByteArray label = sizeText.toUtf8();
        auto nothing = [] {};
        auto freshCopy = [&] {
            QFile::remove(sortWork);
            QFile::copy(shuffled, sortWork);
        };

        const Measure ourRead = runBest({self, "--worker", "read", ordered}, repeat, nothing);
        const Measure objcopyRead =
            runBest({"objcopy", "-I", "ihex", "-O", "ihex", ordered, output}, repeat, nothing);
        const Measure srecRead =
            runBest({"srec_cat", ordered, "-intel", "-o", output, "-intel"}, repeat, nothing);
        const Measure ourSort = runBest({self, "--worker", "sort", sortWork}, repeat, freshCopy);
        // objcopy's time on records out of order grows with the square of their number:
        // above 2 MB it runs once, stopped after a minute.
        const bool large = size > 2 * 1000 * 1000;
        const Measure objcopySort =
            runBest({"timeout", "60", "objcopy", "-I", "ihex", "-O", "ihex", shuffled, output},
                    large ? 1 : repeat, nothing);
        const Measure srecSort =
            runBest({"srec_cat", shuffled, "-intel", "-o", output, "-intel"}, repeat, nothing);

        printRow(label, "HexReader", "read", bytes, ourRead, baseline.peakMb);
        printRow(label, "objcopy", "read", bytes, objcopyRead, 0);
        printRow(label, "srec_cat", "read", bytes, srecRead, 0);
        printRow(label, "HexSorter", "sort", shuffledBytes, ourSort, baseline.peakMb);
        printRow(label, "objcopy", "sort", shuffledBytes, objcopySort, 0);
        printRow(label, "srec_cat", "sort", shuffledBytes, srecSort, 0);
        std::printf("%-6s ratios: read %.2fx objcopy, %.2fx srec_cat; sort %.2fx objcopy, "
                    "%.2fx srec_cat (CPU time); sort peak %.2fx the file above idle "
                    "(targets: read >= 3x objcopy, sort >= 2x, sort peak <= 3x)\n",
                    label.constData(), objcopyRead.cpuMs / ourRead.cpuMs,
                    srecRead.cpuMs / ourRead.cpuMs, objcopySort.cpuMs / ourSort.cpuMs,
                    srecSort.cpuMs / ourSort.cpuMs,
                    (ourSort.peakMb - baseline.peakMb) / (double(shuffledBytes) / 1048576));
        allOk = allOk && ourRead.ok && ourSort.ok;
    }
    std::printf("repeat with: %s --sizes %s --repeat %d\n", argv[0],
                sizes.join(',').toUtf8().constData(), repeat);
    return allOk ? 0 : 1;
}
