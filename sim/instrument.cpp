#include "instrument.h"

#include "hexline.h"
#include "hexreader.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cstring>

namespace sim {

namespace {
constexpr unsigned short instrumentVendor = 0x04D8;
constexpr unsigned short instrumentProduct = 0xF93C;
constexpr int outputReportSize = 65; // report ID first
constexpr int inputReportSize = 64;  // no report ID
constexpr int recordSize = 3;
constexpr int recordsPerReport = inputReportSize / recordSize; // 21
constexpr int healthyVersion = 10;                             // v1.0
constexpr int defaultMainboardRestartTime = 1500;

enum Code : unsigned char {
    VersionCode = 0x01,
    StartCode = 0x02,
    DataCode = 0x03,
    EndCode = 0x04,
    RestartCode = 0x05,
};

const std::array<Board, 5> sensorBoards{Sensor1, Sensor2, Sensor3, Sensor4, Sensor5};

// Byte i of bytes, or 0 past the end.
quint8 byteAt(const QByteArray& bytes, int i)
{
    return i < bytes.size() ? static_cast<quint8>(bytes.at(i)) : 0;
}

bool isBoard(int part)
{
    return part >= Sensor1 && part <= Mainboard;
}

// Cuts the messages out of an output report's payload. A zero byte where a
// message would begin ends them; an unknown code takes the rest of the
// payload (without its zero padding) as one message.
QList<QByteArray> splitMessages(const QByteArray& payload)
{
    QList<QByteArray> messages;
    int position = 0;
    while (position < payload.size()) {
        const auto code = static_cast<unsigned char>(payload.at(position));
        if (code == 0) {
            break;
        }
        int length = 0;
        switch (code) {
        case VersionCode:
        case StartCode:
        case RestartCode:
            length = 2;
            break;
        case EndCode:
            length = 3;
            break;
        case DataCode:
            length = position + 2 < payload.size()
                         ? 3 + static_cast<unsigned char>(payload.at(position + 2))
                         : payload.size() - position;
            break;
        default: {
            QByteArray rest = payload.mid(position);
            while (rest.endsWith('\0')) {
                rest.chop(1);
            }
            messages.append(rest);
            return messages;
        }
        }
        messages.append(payload.mid(position, length));
        position += length;
    }
    return messages;
}

// The version (in tenths) that the image's version block names, as "vX.Y",
// found as the tool finds it in a firmware file; -1 when the text holds no
// such version or it does not fit a byte.
int imageVersion(const QByteArray& text)
{
    // The lines of a transfer carry no checksum record: the reader's verdict
    // does not matter here, only what it took from the version block.
    HexReader image;
    image.readBytes(text);
    static const QRegularExpression pattern("^v(\\d{1,2})\\.(\\d)$");
    const QRegularExpressionMatch match = pattern.match(image.version);
    if (!match.hasMatch()) {
        return -1;
    }
    const int tenths = match.captured(1).toInt() * 10 + match.captured(2).toInt();
    return tenths <= 0xFF ? tenths : -1;
}
} // namespace

struct Instrument::Impl
{
    // How far a board has come with its last update.
    enum class Progress {
        None,      // it has taken no update start
        Started,   // ...and has not installed the new firmware (yet)
        Installed, // ...and runs it, not yet asked for its version
        Verified,  // ...and has answered a version request since
    };

    struct BoardState
    {
        BoardFaults faults;
        int version = healthyVersion;
        bool updateMode = false;
        int linesInTransfer = 0;       // data lines received since the update start
        QList<QByteArray> storedLines; // the valid lines of the last transfer
        QList<QByteArray> received;    // messages taken as meant for this board
        qint64 busyUntil = 0;          // silent before this time (restarting)
        int versionAfterRestart = -1;  // main board: installed when it restarts
        int repliesSinceFaultsSet = 0;
        Progress progress = Progress::None;
    };

    struct Reply
    {
        QByteArray record;
        qint64 due;
    };

    std::array<BoardState, Mainboard + 1> boards; // index 0 (the group) unused
    bool plugged = true;
    bool writeFails = false;
    bool readFails = false;
    bool nonblockingFails = false;
    int openRefusal = 0;
    QString serialNumber;
    int unplugAtDataMessage = 0; // 0: never
    int dataMessagesSeen = 0;
    int minLatency = 0;
    int maxLatency = 0;
    quint32 randomState = 1;
    int boardRestartTime = 0;
    int mainboardRestartTime = defaultMainboardRestartTime;
    qint64 mainboardBackAt = 0; // off the bus before this time
    bool injectedPending = false;
    QByteArray injected;
    QList<Reply> replies; // in the order the boards send them
    qint64 lastDue = 0;
    // Connections from firstValidConnection on are alive; going off the bus
    // moves it past every connection given out so far.
    int nextConnection = 1;
    int firstValidConnection = 1;
    QString lastError;
    QList<QByteArray> messages;
    QList<QByteArray> outputReports;
    QList<QByteArray> inputReports;

    BoardState& board(Board which) { return boards[which]; }

    bool onBus(qint64 now) const
    {
        return plugged && !boards[Mainboard].faults.absent && now >= mainboardBackAt;
    }

    bool alive(int connection) const
    {
        return connection >= firstValidConnection && connection < nextConnection;
    }

    void goOffBus()
    {
        firstValidConnection = nextConnection;
        replies.clear();
    }

    int nextLatency()
    {
        if (maxLatency <= minLatency) {
            return minLatency;
        }
        randomState = randomState * 1103515245u + 12345u;
        return minLatency + int((randomState >> 16) % quint32(maxLatency - minLatency + 1));
    }

    bool answers(Board which, qint64 now) const
    {
        const BoardState& state = boards[which];
        return !state.faults.absent && !state.faults.silent && now >= state.busyUntil;
    }

    void reply(Board which, Code code, int value, qint64 due)
    {
        BoardState& state = board(which);
        ++state.repliesSinceFaultsSet;
        if (state.repliesSinceFaultsSet == state.faults.dropReplyAt) {
            return;
        }
        QByteArray record(recordSize, '\0');
        record[0] = static_cast<char>(code);
        record[1] = static_cast<char>(which);
        record[2] = static_cast<char>(value & 0xFF);
        replies.append({record, due});
    }

    // The boards a message reaches: the named one, or for the group every
    // sensor board (for data blocks only those in update mode). Absent
    // boards get nothing.
    QList<Board> addressees(Code code, int part) const
    {
        QList<Board> result;
        if (part == NoPart && code != EndCode && code != RestartCode) {
            for (Board sensor : sensorBoards) {
                if (code == DataCode && !boards[sensor].updateMode) {
                    continue;
                }
                result.append(sensor);
            }
        } else if (isBoard(part)) {
            result.append(Board(part));
        }
        result.erase(std::remove_if(result.begin(), result.end(),
                                    [this](Board b) { return boards[b].faults.absent; }),
                     result.end());
        return result;
    }

    void handle(const QByteArray& message, qint64 now, qint64 due)
    {
        if (message.size() < 2) {
            return;
        }
        const auto code = static_cast<Code>(static_cast<unsigned char>(message.at(0)));
        const int part = static_cast<unsigned char>(message.at(1));
        if (code == DataCode) {
            ++dataMessagesSeen;
        }
        for (Board which : addressees(code, part)) {
            board(which).received.append(message);
            if (!answers(which, now)) {
                continue;
            }
            switch (code) {
            case VersionCode:
                reply(which, VersionCode, board(which).version, due);
                if (board(which).progress == Progress::Installed) {
                    board(which).progress = Progress::Verified;
                }
                break;
            case StartCode:
                start(which, due);
                break;
            case DataCode:
                data(which, message.mid(3, byteAt(message, 2)), due);
                break;
            case EndCode:
                if (message.size() >= 3) {
                    end(which, static_cast<quint8>(message.at(2)), now, due);
                }
                break;
            case RestartCode:
                restart(which, now);
                break;
            }
        }
    }

    void start(Board which, qint64 due)
    {
        BoardState& state = board(which);
        state.progress = Progress::Started;
        if (state.faults.notReady) {
            state.updateMode = false;
            reply(which, StartCode, 0, due);
            return;
        }
        state.updateMode = true;
        state.linesInTransfer = 0;
        state.storedLines.clear();
        reply(which, StartCode, 1, due);
    }

    void data(Board which, const QByteArray& block, qint64 due)
    {
        BoardState& state = board(which);
        if (!state.updateMode) {
            reply(which, DataCode, 0, due);
            return;
        }
        ++state.linesInTransfer;
        if (state.linesInTransfer == state.faults.zeroAckAtLine || !HexLine(block).valid) {
            reply(which, DataCode, 0, due);
            return;
        }
        state.storedLines.append(block);
        reply(which, DataCode, 1, due);
    }

    void end(Board which, quint8 checksum, qint64 now, qint64 due)
    {
        BoardState& state = board(which);
        const bool wasUpdating = state.updateMode;
        state.updateMode = false;
        const QByteArray text = state.storedLines.join();
        if (!wasUpdating || state.faults.refuseEnd || HexReader::imageChecksum(text) != checksum) {
            reply(which, EndCode, 0, due);
            return;
        }
        int newVersion = state.faults.versionAfterUpdate;
        if (newVersion < 0) {
            newVersion = imageVersion(text);
        }
        if (newVersion < 0) {
            newVersion = state.version;
        }
        reply(which, EndCode, 1, due);
        if (which == Mainboard) {
            state.versionAfterRestart = newVersion;
        } else {
            state.version = newVersion;
            state.busyUntil = now + boardRestartTime;
            state.progress = Progress::Installed;
        }
    }

    void restart(Board which, qint64 now)
    {
        BoardState& state = board(which);
        state.updateMode = false;
        if (state.versionAfterRestart >= 0) {
            state.version = state.versionAfterRestart;
            state.versionAfterRestart = -1;
            state.progress = Progress::Installed;
        }
        if (which == Mainboard) {
            mainboardBackAt = now + mainboardRestartTime;
            goOffBus();
        } else {
            state.busyUntil = now + boardRestartTime;
        }
    }
};

Instrument::Instrument(const QString& serialNumber)
    : madeWithSerialNumber(serialNumber), d(std::make_unique<Impl>())
{
    reset();
}

Instrument::~Instrument() = default;

void Instrument::reset()
{
    // Connection numbers go on counting, so that a handle from before stays
    // what it was (alive or stale).
    const int nextConnection = d->nextConnection;
    const int firstValidConnection = d->firstValidConnection;
    *d = Impl();
    d->nextConnection = nextConnection;
    d->firstValidConnection = firstValidConnection;
    d->serialNumber = madeWithSerialNumber;
}

void Instrument::plug()
{
    d->plugged = true;
}

void Instrument::unplug()
{
    d->plugged = false;
    d->goOffBus();
}

void Instrument::unplugAtDataMessage(int n)
{
    d->unplugAtDataMessage = n > 0 ? d->dataMessagesSeen + n : 0;
}

void Instrument::setReplyLatency(int minLatency, int maxLatency)
{
    d->minLatency = std::max(0, minLatency);
    d->maxLatency = std::max(d->minLatency, maxLatency);
    d->randomState = 1;
}

void Instrument::setBoardRestartTime(int ms)
{
    d->boardRestartTime = std::max(0, ms);
}

void Instrument::setMainboardRestartTime(int ms)
{
    d->mainboardRestartTime = std::max(0, ms);
}

void Instrument::setVersion(Board board, int tenths)
{
    if (isBoard(board)) {
        d->board(board).version = tenths;
    }
}

void Instrument::setFaults(Board board, const BoardFaults& faults)
{
    if (!isBoard(board)) {
        return;
    }
    const bool wasAbsent = d->board(board).faults.absent;
    d->board(board).faults = faults;
    d->board(board).repliesSinceFaultsSet = 0;
    if (board == Mainboard && faults.absent && !wasAbsent) {
        d->goOffBus();
    }
}

void Instrument::setWriteFails(bool fails)
{
    d->writeFails = fails;
}

void Instrument::setReadFails(bool fails)
{
    d->readFails = fails;
}

void Instrument::setNonblockingFails(bool fails)
{
    d->nonblockingFails = fails;
}

void Instrument::setOpenRefusal(int errorNumber)
{
    d->openRefusal = std::max(0, errorNumber);
}

void Instrument::setSerialNumber(const QString& serialNumber)
{
    d->serialNumber = serialNumber;
}

QString Instrument::serialNumber() const
{
    return d->serialNumber;
}

void Instrument::injectReport(const QByteArray& report)
{
    d->injected = report.left(inputReportSize);
    d->injected.append(QByteArray(inputReportSize - d->injected.size(), '\0'));
    d->injectedPending = true;
}

bool Instrument::isPlugged() const
{
    return d->plugged;
}

int Instrument::boardRestartTime() const
{
    return d->boardRestartTime;
}

int Instrument::mainboardRestartTime() const
{
    return d->mainboardRestartTime;
}

int Instrument::openRefusal() const
{
    return d->openRefusal;
}

int Instrument::version(Board board) const
{
    return isBoard(board) ? d->boards[board].version : -1;
}

BoardFaults Instrument::faults(Board board) const
{
    return isBoard(board) ? d->boards[board].faults : BoardFaults();
}

QByteArray Instrument::storedText(Board board) const
{
    return isBoard(board) ? d->boards[board].storedLines.join() : QByteArray();
}

QList<QByteArray> Instrument::messages() const
{
    return d->messages;
}

QList<QByteArray> Instrument::received(Board board) const
{
    return isBoard(board) ? d->boards[board].received : QList<QByteArray>();
}

int Instrument::updateMessagesReceived(Board board) const
{
    int count = 0;
    for (const QByteArray& message : received(board)) {
        count += message.size() >= 2 && message[0] >= 2 && message[0] <= 5 ? 1 : 0;
    }
    return count;
}

QList<QByteArray> Instrument::outputReports() const
{
    return d->outputReports;
}

QList<QByteArray> Instrument::inputReports() const
{
    return d->inputReports;
}

void Instrument::clearLog()
{
    d->messages.clear();
    d->outputReports.clear();
    d->inputReports.clear();
    for (auto& board : d->boards) {
        board.received.clear();
    }
}

bool Instrument::updateFinished(qint64 now) const
{
    bool updated = false;
    for (Board which : {Sensor1, Sensor2, Sensor3, Sensor4, Sensor5, Terminal, Mainboard}) {
        const Impl::Progress progress = d->boards[which].progress;
        if (progress != Impl::Progress::None && progress != Impl::Progress::Verified) {
            return false;
        }
        updated = updated || progress == Impl::Progress::Verified;
    }
    return updated && d->onBus(now);
}

bool Instrument::isPresent(unsigned short vendor, unsigned short product, qint64 now) const
{
    return vendor == instrumentVendor && product == instrumentProduct && d->onBus(now);
}

int Instrument::open(unsigned short vendor, unsigned short product, qint64 now)
{
    if (!isPresent(vendor, product, now)) {
        d->lastError = QStringLiteral("No such device");
        return 0;
    }
    if (d->openRefusal != 0) {
        d->lastError = qt_error_string(d->openRefusal);
        return 0;
    }
    return d->nextConnection++;
}

bool Instrument::setNonblocking(int connection)
{
    if (!d->alive(connection)) {
        d->lastError = QStringLiteral("No such device");
        return false;
    }
    if (d->nonblockingFails) {
        d->lastError = QStringLiteral("Could not switch the device to non-blocking reads");
        return false;
    }
    return true;
}

int Instrument::write(int connection, const unsigned char* report, std::size_t length, qint64 now)
{
    if (!d->alive(connection)) {
        d->lastError = QStringLiteral("No such device");
        return -1;
    }
    if (d->writeFails || length == 0) {
        d->lastError = QStringLiteral("Input/output error");
        return -1;
    }
    QByteArray bytes(reinterpret_cast<const char*>(report),
                     int(std::min<std::size_t>(length, outputReportSize)));
    bytes.append(QByteArray(outputReportSize - bytes.size(), '\0'));
    d->outputReports.append(bytes);

    const QList<QByteArray> messages = splitMessages(bytes.mid(1));
    d->messages.append(messages);
    const qint64 due = std::max(now + d->nextLatency(), d->lastDue);
    d->lastDue = due;
    for (const QByteArray& message : messages) {
        if (!d->alive(connection)) {
            break; // gone: the rest of the report reaches no board
        }
        const bool isData = static_cast<unsigned char>(message.at(0)) == DataCode;
        if (isData && d->unplugAtDataMessage == d->dataMessagesSeen + 1) {
            ++d->dataMessagesSeen;
            d->unplugAtDataMessage = 0;
            unplug();
            break;
        }
        d->handle(message, now, due);
    }
    return int(length);
}

int Instrument::read(int connection, unsigned char* report, std::size_t length, qint64 now)
{
    if (!d->alive(connection) || !d->onBus(now)) {
        d->lastError = QStringLiteral("device disconnected");
        return -1;
    }
    if (d->readFails) {
        d->lastError = QStringLiteral("Input/output error");
        return -1;
    }
    QByteArray bytes;
    if (d->injectedPending) {
        bytes = d->injected;
        d->injectedPending = false;
    } else {
        int records = 0;
        while (records < recordsPerReport && !d->replies.isEmpty() &&
               d->replies.first().due <= now) {
            bytes.append(d->replies.takeFirst().record);
            ++records;
        }
        if (records == 0) {
            return 0;
        }
        bytes.append(QByteArray(inputReportSize - bytes.size(), '\0'));
    }
    d->inputReports.append(bytes);
    const std::size_t count = std::min<std::size_t>(length, inputReportSize);
    std::memcpy(report, bytes.constData(), count);
    return int(count);
}

QString Instrument::lastError() const
{
    return d->lastError;
}

} // namespace sim
