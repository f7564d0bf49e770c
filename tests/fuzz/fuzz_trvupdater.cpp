// One update step driven by an arbitrary stream of events: raw and well-formed
// replies from any board, healthy answers to what the engine asked, lost
// requests, connects, disconnects and time-outs. The engine talks to the
// emulated instrument with every board silent, which logs every message that
// leaves; the replies come only from the stream.
//
// Checked after every event:
//  - done() only when every board of the step has reported the image's
//    version after its end was accepted, after every line went out once, in
//    order, and the end carried the image checksum;
//  - at most one of done() and canceled(), once, canceled() never NoError;
//  - nothing is sent after done() or canceled(), and no time-out stays armed;
//  - no data line is sent twice or out of order; progress never falls;
//  - no line and no end message leaves before every board of the step has
//    acknowledged the line before it, in a report delivered after that line
//    left.
//
// Input: byte 0 picks the step (main board, control panel, or a set of
// sensor boards); the rest is a stream of events, one byte each plus
// arguments.

#include "fuzzcheck.h"
#include "hexreader.h"
#include "instrument.h"
#include "testimage.h"
#include "trvinterface.h"
#include "trvupdater.h"

#include <QCoreApplication>
#include <QSet>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

using Part = trvInterface::PartType;

constexpr int oldVersion = 10;   // v1.0, what the boards report before the update
constexpr int imageVersion = 11; // v1.1, the image's version

// A small image: the identification blocks and one code line.
HexReader* image()
{
    static HexReader* const reader = [] {
        TestImage text("KSENS", "v1.1");
        text.codeLines = 1;
        auto* created = new HexReader;
        if (created->readBytes(text.file()) != HexReader::FileOk || created->version != "v1.1") {
            fuzzFailure("the fuzz image reads", __FILE__, __LINE__);
        }
        return created;
    }();
    return reader;
}

QList<QByteArray> imageLines()
{
    QList<QByteArray> lines;
    const QByteArray& text = image()->data;
    int start = 0;
    while (start < text.size()) {
        const int lineFeed = text.indexOf('\n', start);
        const int end = lineFeed < 0 ? text.size() : lineFeed + 1;
        lines.append(text.mid(start, end - start));
        start = end;
    }
    return lines;
}

class Input
{
public:
    Input(const uint8_t* bytes, size_t size) : bytes(bytes), size(size) {}
    bool atEnd() const { return position >= size; }
    quint8 next() { return position < size ? bytes[position++] : 0; }

private:
    const uint8_t* bytes;
    size_t size;
    size_t position = 0;
};

QByteArray reply(int code, int part, int value)
{
    QByteArray bytes;
    bytes.append(char(code));
    bytes.append(char(part));
    bytes.append(char(value));
    return bytes;
}

// One run: the engine, what it sent, and what the stream told it.
class Run
{
public:
    Run(Part step, const QList<Part>& sensors)
        : part(step), boards(step == trvInterface::NoPart ? sensors : QList<Part>{step}),
          lines(imageLines())
    {
        sim::Instrument& instrument = sim::instrument();
        instrument.reset();
        sim::BoardFaults silent;
        silent.silent = true;
        for (int board = sim::Sensor1; board <= sim::Mainboard; ++board) {
            instrument.setFaults(sim::Board(board), silent);
        }
        interface.open();
        FUZZ_CHECK(instrument.isPlugged());

        engine = std::make_unique<trvUpdater>(&interface, image(), part);
        for (Part sensor : sensors) {
            engine->addPart(sensor);
        }
        timer = engine->findChild<QTimer*>();
        QObject::connect(engine.get(), &trvUpdater::done, [this] { finish(true); });
        QObject::connect(engine.get(), &trvUpdater::canceled, [this](trvUpdater::Err error) {
            FUZZ_CHECK(error != trvUpdater::NoError);
            finish(false);
        });
        QObject::connect(engine.get(), &trvUpdater::range, [this](int, int max) {
            FUZZ_CHECK(!rangeSeen && max == image()->data.size());
            rangeSeen = true;
        });
        QObject::connect(engine.get(), &trvUpdater::process, [this](int now) {
            FUZZ_CHECK(now >= progress && now <= image()->data.size());
            progress = now;
        });
        engine->start();
        collectSent();
    }

    void event(Input& input)
    {
        switch (input.next() % 10) {
        case 0: { // any report at all
            QByteArray report;
            const int length = input.next() % 8;
            for (int i = 0; i < length; ++i) {
                report.append(char(input.next()));
            }
            deliver(report);
            break;
        }
        case 1: { // a positive reply of any kind from some board
            const int code = 1 + input.next() % 4;
            deliver(reply(code, someBoard(input), code == 1 ? imageVersion : 1));
            break;
        }
        case 2: { // a negative reply
            deliver(reply(2 + input.next() % 3, someBoard(input), 0));
            break;
        }
        case 3: // a version from some board
            deliver(reply(1, someBoard(input), input.next() % 2 ? oldVersion : input.next()));
            break;
        case 4: // the time-out, if one is armed
            if (timer->isActive()) {
                timer->stop();
                QMetaObject::invokeMethod(engine.get(), "timeout");
            }
            break;
        case 5:
            emit interface.connected();
            break;
        case 6:
            emit interface.disconnected();
            break;
        case 7: // healthy boards answer all that is pending
            answer(pending.size());
            break;
        case 8: // healthy boards answer the oldest request
            answer(1);
            break;
        case 9: // the oldest request is lost
            if (!pending.isEmpty()) {
                pending.removeFirst();
            }
            break;
        }
        collectSent();
    }

    // For looking at single inputs (TRV_FUZZ_TRACE set): how the step ended.
    void printOutcome() const
    {
        std::fprintf(stderr, "step %d: %s after %d of %d lines\n", int(part),
                     !finished   ? "still running"
                     : succeeded ? "done"
                                 : "canceled",
                     linesSent, int(lines.size()));
    }

private:
    Part someBoard(Input& input)
    {
        const quint8 choice = input.next();
        if (choice < 200 && !boards.isEmpty()) {
            return boards.at(choice % boards.size());
        }
        return Part(choice % 9); // any board, the group, or one that does not exist
    }

    void deliver(const QByteArray& report)
    {
        // What the stream says about the boards of the step, before the engine hears it.
        for (int offset = 0; offset + 3 <= report.size(); offset += 3) {
            const int code = quint8(report.at(offset));
            if (code < 1 || code > 4) {
                break;
            }
            const Part board = Part(qint8(report.at(offset + 1)));
            const int value = qint8(report.at(offset + 2));
            if (!boards.contains(board)) {
                continue;
            }
            if (code == 3 && value != 0) {
                acknowledged.insert(board);
            }
            if (code == 4 && value != 0 && endSent.contains(board)) {
                endAccepted.insert(board);
            }
            if (code == 1 && value == imageVersion && allEndsAccepted()) {
                newVersionReported.insert(board);
            }
        }
        interface.dataInput(report);
    }

    // Whether every board of the step has acknowledged the last line sent since it left.
    bool allAcknowledged() const
    {
        for (Part board : boards) {
            if (!acknowledged.contains(board)) {
                return false;
            }
        }
        return true;
    }

    bool allEndsAccepted() const
    {
        for (Part board : boards) {
            if (!endAccepted.contains(board)) {
                return false;
            }
        }
        return true;
    }

    // Replies of healthy boards to the first count pending requests, in one report.
    void answer(int count)
    {
        QByteArray report;
        for (int i = 0; i < count && !pending.isEmpty(); ++i) {
            const QByteArray request = pending.takeFirst();
            const int code = quint8(request.at(0));
            const Part addressed = Part(quint8(request.at(1)));
            QList<Part> answering;
            if (addressed == trvInterface::NoPart && code != 4 && code != 5) {
                for (Part sensor : boards) {
                    if (sensor >= trvInterface::Sensor1 && sensor <= trvInterface::Sensor5) {
                        answering.append(sensor);
                    }
                }
            } else if (boards.contains(addressed)) {
                answering.append(addressed);
            }
            for (Part board : answering) {
                switch (code) {
                case 1:
                    report +=
                        reply(1, board, endAccepted.contains(board) ? imageVersion : oldVersion);
                    break;
                case 2:
                case 3:
                case 4:
                    report += reply(code, board, 1);
                    break;
                default:
                    break;
                }
            }
        }
        if (report.size() > 63) {
            report.truncate(63);
        }
        deliver(report);
    }

    // Takes what the engine queued off the link and checks it.
    void collectSent()
    {
        sim::Instrument& instrument = sim::instrument();
        int reports;
        do {
            reports = instrument.outputReports().size();
            interface.polling();
        } while (instrument.outputReports().size() != reports);

        const QList<QByteArray> messages = instrument.messages();
        instrument.clearLog();
        if (finished) {
            FUZZ_CHECK(messages.isEmpty());
        }
        if (finished) {
            FUZZ_CHECK(!timer->isActive());
        }
        for (const QByteArray& message : messages) {
            FUZZ_CHECK(message.size() >= 2);
            const int code = quint8(message.at(0));
            const Part addressed = Part(quint8(message.at(1)));
            FUZZ_CHECK(addressed == part || boards.contains(addressed));
            if (code == 3) {
                FUZZ_CHECK(linesSent < lines.size());
                FUZZ_CHECK(message.mid(3) == lines.at(linesSent));
                FUZZ_CHECK(linesSent == 0 || allAcknowledged());
                acknowledged.clear();
                ++linesSent;
            } else if (code == 4) {
                FUZZ_CHECK(linesSent == lines.size());
                FUZZ_CHECK(linesSent == 0 || !endSent.isEmpty() || allAcknowledged());
                FUZZ_CHECK(message.size() == 3 && quint8(message.at(2)) == image()->checksum);
                endSent.insert(addressed);
            }
            pending.append(message);
        }
    }

    void finish(bool success)
    {
        FUZZ_CHECK(!finished);
        collectSent(); // what was sent up to here is fine
        finished = true;
        succeeded = success;
        if (!succeeded) {
            return;
        }
        FUZZ_CHECK(linesSent == lines.size());
        for (Part board : boards) {
            FUZZ_CHECK(endAccepted.contains(board) && newVersionReported.contains(board));
        }
    }

    trvInterface interface;
    const Part part;
    const QList<Part> boards;
    const QList<QByteArray> lines;
    std::unique_ptr<trvUpdater> engine;
    QTimer* timer = nullptr;
    QList<QByteArray> pending; // requests not yet answered or lost
    int linesSent = 0;
    QSet<int> acknowledged; // boards that acknowledged the last line sent, since it left
    QSet<int> endSent;
    QSet<int> endAccepted;
    QSet<int> newVersionReported;
    bool finished = false;
    bool succeeded = false;
    bool rangeSeen = false;
    int progress = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    image();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    Input input(bytes, size);
    const quint8 step = input.next();
    Part part = trvInterface::NoPart;
    QList<Part> sensors;
    switch (step % 3) {
    case 0:
        part = trvInterface::Mainboard;
        break;
    case 1:
        part = trvInterface::Terminal;
        break;
    default:
        for (int sensor = trvInterface::Sensor1; sensor <= trvInterface::Sensor5; ++sensor) {
            if (step & (1 << (sensor + 2))) {
                sensors.append(Part(sensor));
            }
        }
        if (sensors.isEmpty()) {
            sensors.append(trvInterface::Sensor1);
        }
        break;
    }
    Run run(part, sensors);
    while (!input.atEnd()) {
        run.event(input);
    }
    static const bool trace = qEnvironmentVariableIsSet("TRV_FUZZ_TRACE");
    if (trace) {
        run.printOutcome();
    }
    return 0;
}
