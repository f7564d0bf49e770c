#include "trvupdater.h"

#include "hexreader.h"

#include <QMetaEnum>
#include <QMetaType>
#include <QTimer>

trvUpdater::trvUpdater(trvInterface* protocol, HexReader* image, trvInterface::PartType board,
                       QObject* parent)
    : QObject(parent), interface(protocol), reader(image), part(board), timer(new QTimer(this)),
      state(Connecting), position(0), retries(0), reportsBeforeRequest(0), imageChecksum(0)
{
    qRegisterMetaType<trvUpdater::State>();
    qRegisterMetaType<trvUpdater::Err>();

    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, SIGNAL(timeout()), this, SLOT(timeout()));
    if (interface) {
        connect(interface, SIGNAL(connected()), this, SLOT(connected()));
        connect(interface, SIGNAL(firmwareVersion(trvInterface::PartType, QString)), this,
                SLOT(version(trvInterface::PartType, QString)));
        connect(interface, SIGNAL(firmwareUpdateStartAck(trvInterface::PartType, bool)), this,
                SLOT(startAck(trvInterface::PartType, bool)));
        connect(interface, SIGNAL(firmwareUpdateDataAck(trvInterface::PartType, int)), this,
                SLOT(dataAck(trvInterface::PartType, int)));
        connect(interface, SIGNAL(firmwareUpdateEndAck(trvInterface::PartType, bool)), this,
                SLOT(endAck(trvInterface::PartType, bool)));
    }
}

trvUpdater::~trvUpdater()
{
    clearTimeout();
}

void trvUpdater::addPart(trvInterface::PartType p)
{
    if (part != trvInterface::NoPart || p < trvInterface::Sensor1 || p > trvInterface::Sensor5) {
        return;
    }
    if (!sensors.contains(p)) {
        sensors.append(p);
    }
}

bool trvUpdater::hasPart(trvInterface::PartType p)
{
    if (part == trvInterface::NoPart) {
        return sensors.contains(p);
    }
    return p == part;
}

void trvUpdater::start()
{
    // A step runs once: a second call would restart a transfer half way through.
    if (state != Connecting || stopped) {
        return;
    }
    if (!interface || !reader) {
        setState(Failed, InternalError);
        return;
    }
    data = reader->data;
    imageVersion = reader->version;
    imageChecksum = reader->checksum;
    position = 0;
    // Only an image that passed every check is written into a board, and only
    // whole lines that fit one data message each.
    if (reader->state != HexReader::FileOk || longestBlock(data) > trvInterface::maximumBlockSize) {
        setState(Failed, InvalidFirmware);
        return;
    }

    if (!setState(CheckCompatibility)) {
        return;
    }
    buildAckWaiter();
    interface->requestFirmwareVersion(part);
    setTimeout(timing.requestTimeout);
}

QString trvUpdater::stateDesription(trvUpdater::State state)
{
    switch (state) {
    case Failed:
        return tr("An error occured");
    case Connecting:
        return tr("Establishing connection");
    case CheckCompatibility:
        return tr("Validate compability");
    case StartUpdateMode:
        return tr("Start firmware update mode");
    case Transfer:
        return tr("Transferring firmware file");
    case FinishTransfer:
        return tr("Validate firmware file and process data");
    case VerifyVersion:
        return tr("Validate new firmware version");
    case WaitForDevice:
        return tr("Waiting for device response");
    case Restarting:
    case WaitForReconnect:
        return tr("Process firmware data");
    case Succeeded:
        return tr("Firmware update successfull");
    }
    return tr("Unknown state");
}

namespace {

// The source text of an error's description, translated or not by the caller.
const char* errorSource(trvUpdater::Err error)
{
    switch (error) {
    case trvUpdater::NoError:
        return QT_TRANSLATE_NOOP("trvUpdater", "No error occured");
    case trvUpdater::InternalError:
        return QT_TRANSLATE_NOOP("trvUpdater", "Internal program error");
    case trvUpdater::NoResponse:
        return QT_TRANSLATE_NOOP("trvUpdater", "No response from device");
    case trvUpdater::StartFailed:
        return QT_TRANSLATE_NOOP("trvUpdater", "Firmware update mode could not be startet");
    case trvUpdater::TransferFailed:
        return QT_TRANSLATE_NOOP("trvUpdater", "Errors while transfering data");
    case trvUpdater::InvalidFirmware:
        return QT_TRANSLATE_NOOP("trvUpdater", "Invalid firmware file");
    case trvUpdater::FinishFailed:
        return QT_TRANSLATE_NOOP("trvUpdater", "Update could not be finished");
    }
    return QT_TRANSLATE_NOOP("trvUpdater", "Unknown error");
}

} // namespace

QString trvUpdater::errorDescription(trvUpdater::Err error)
{
    return tr(errorSource(error));
}

QString trvUpdater::errorDescriptionInEnglish(trvUpdater::Err error)
{
    return QString::fromLatin1(errorSource(error));
}

QString trvUpdater::stateName(trvUpdater::State state)
{
    return QString::fromLatin1(QMetaEnum::fromType<State>().valueToKey(state));
}

QString trvUpdater::errorName(trvUpdater::Err error)
{
    return QString::fromLatin1(QMetaEnum::fromType<Err>().valueToKey(error));
}

void trvUpdater::timeout()
{
    switch (state) {
    case Failed:
    case Succeeded:
        return;
    case WaitForDevice:
        if (retries > 0) {
            --retries;
            buildAckWaiter();
            interface->requestFirmwareVersion(part);
            setTimeout(timing.requestTimeout);
            return;
        }
        break;
    case Restarting:
        if (setState(WaitForReconnect)) {
            setTimeout(timing.reconnectTimeout);
        }
        return;
    default:
        break;
    }
    setState(Failed, NoResponse);
}

void trvUpdater::connected()
{
    if (state != WaitForReconnect || part != trvInterface::Mainboard) {
        return;
    }
    if (!setState(VerifyVersion)) {
        return;
    }
    buildAckWaiter();
    interface->requestFirmwareVersion(trvInterface::Mainboard);
    setTimeout(timing.verifyTimeout);
}

void trvUpdater::version(trvInterface::PartType p, QString text)
{
    switch (state) {
    case CheckCompatibility:
        if (!ackWanted(p) || !ackDone()) {
            return;
        }
        if (!setState(StartUpdateMode)) {
            return;
        }
        buildAckWaiter();
        if (part == trvInterface::NoPart) {
            for (trvInterface::PartType sensor : qAsConst(sensors)) {
                interface->firmwareUpdateStart(sensor);
            }
        } else {
            interface->firmwareUpdateStart(part);
        }
        setTimeout(timing.requestTimeout);
        return;
    case VerifyVersion:
    case WaitForDevice:
        if (!ackWanted(p)) {
            return;
        }
        if (text != imageVersion) {
            refusingVersion = text;
            refusedBy(p, FinishFailed);
            return;
        }
        if (ackDone()) {
            setState(Succeeded);
        }
        return;
    default:
        return;
    }
}

void trvUpdater::startAck(trvInterface::PartType p, bool ready)
{
    if (state != StartUpdateMode || !ackWanted(p)) {
        return;
    }
    if (!ready) {
        refusedBy(p, StartFailed);
        return;
    }
    if (!ackDone()) {
        return;
    }
    if (!setState(Transfer)) {
        return;
    }
    emit range(0, data.size());
    sendNextBlock();
}

void trvUpdater::dataAck(trvInterface::PartType p, int ok)
{
    if (state != Transfer || !ackWanted(p)) {
        return;
    }
    if (ok == 0) {
        refusedBy(p, TransferFailed);
        return;
    }
    if (ackDone()) {
        sendNextBlock();
    }
}

void trvUpdater::endAck(trvInterface::PartType p, bool ok)
{
    if (state != FinishTransfer || !ackWanted(p)) {
        return;
    }
    if (!ok) {
        refusedBy(p, InvalidFirmware);
        return;
    }
    if (!ackDone()) {
        return;
    }
    if (part == trvInterface::Mainboard) {
        if (!setState(Restarting)) {
            return;
        }
        buildAckWaiter();
        interface->firmwareUpdateRestart(part);
        // No reply comes: the board leaves the bus and the link reports it back later.
        setTimeout(timing.restartWait);
    } else {
        retries = timing.versionRetries;
        if (!setState(WaitForDevice)) {
            return;
        }
        buildAckWaiter();
        interface->requestFirmwareVersion(part);
        setTimeout(timing.requestTimeout);
    }
}

void trvUpdater::setTiming(const trvTiming& waits)
{
    timing = waits;
}

void trvUpdater::stop()
{
    if (stopped) {
        return;
    }
    stopped = true;
    timer->stop();
    if (interface) {
        interface->disconnect(this);
    }
}

bool trvUpdater::isStopped() const
{
    return stopped;
}

trvInterface::PartType trvUpdater::failedPart() const
{
    return refusing;
}

QString trvUpdater::reportedVersion() const
{
    return refusingVersion;
}

void trvUpdater::refusedBy(trvInterface::PartType p, trvUpdater::Err e)
{
    refusing = p;
    setState(Failed, e);
}

void trvUpdater::setTimeout(int ms)
{
    timer->start(ms);
}

void trvUpdater::clearTimeout()
{
    timer->stop();
}

bool trvUpdater::setState(trvUpdater::State s, trvUpdater::Err e)
{
    clearTimeout();
    if (stopped) {
        return false;
    }
    if (s != state) {
        emit currentState(s, e);
    }
    state = s;
    // A receiver may have stopped the engine: then nothing more is said or sent.
    if (stopped) {
        return false;
    }
    if (s == Failed) {
        emit canceled(e);
    } else if (s == Succeeded) {
        emit done();
    }
    return !stopped;
}

void trvUpdater::buildAckWaiter()
{
    ackWaiter.clear();
    if (part == trvInterface::NoPart) {
        ackWaiter = sensors;
    } else {
        ackWaiter.append(part);
    }
    reportsBeforeRequest = interface->inputReports();
}

bool trvUpdater::ackWanted(trvInterface::PartType p)
{
    if (interface->inputReports() <= reportsBeforeRequest || !ackWaiter.contains(p)) {
        return false;
    }
    ackWaiter.removeOne(p);
    return true;
}

bool trvUpdater::ackDone() const
{
    return ackWaiter.isEmpty();
}

void trvUpdater::sendNextBlock()
{
    if (state == Failed || stopped) {
        return;
    }
    clearTimeout();
    const int begin = position;
    while (position < data.size()) {
        if (data.at(position++) == '\n') {
            break;
        }
    }
    const QByteArray block = data.mid(begin, position - begin);
    emit process(position);
    if (stopped) {
        return;
    }

    if (!block.isEmpty()) {
        buildAckWaiter();
        interface->firmwareUpdateData(part, block);
        setTimeout(timing.requestTimeout);
        return;
    }
    if (!setState(FinishTransfer)) {
        return;
    }
    buildAckWaiter();
    if (part == trvInterface::NoPart) {
        for (trvInterface::PartType sensor : qAsConst(sensors)) {
            interface->firmwareUpdateEnd(sensor, imageChecksum);
        }
    } else {
        interface->firmwareUpdateEnd(part, imageChecksum);
    }
    setTimeout(timing.requestTimeout);
}

int trvUpdater::longestBlock(const QByteArray& text)
{
    int longest = 0;
    int begin = 0;
    while (begin < text.size()) {
        int end = text.indexOf('\n', begin);
        end = end < 0 ? text.size() : end + 1;
        longest = qMax(longest, end - begin);
        begin = end;
    }
    return longest;
}
