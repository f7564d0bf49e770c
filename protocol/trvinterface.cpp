#include "trvinterface.h"

namespace {
constexpr unsigned short instrumentVendor = 0x04D8;
constexpr unsigned short instrumentProduct = 0xF93C;
// Milliseconds between two poll ticks of the link.
constexpr int pollPeriod = 1;

// Message codes; a reply carries the code of the request it answers.
enum Code : char {
    VersionCode = 0x01,
    StartCode = 0x02,
    DataCode = 0x03,
    EndCode = 0x04,
    RestartCode = 0x05,
};

// Every reply is one record of code, part and value.
constexpr int recordSize = 3;

QByteArray message(Code code, trvInterface::PartType part)
{
    QByteArray bytes;
    bytes.append(code);
    bytes.append(static_cast<char>(part));
    return bytes;
}

// "v%1.%2" from a version in tenths; the division truncates toward zero, so
// negative values give a negative remainder as well (v-11.-6).
QString versionText(int tenths)
{
    return QString("v%1.%2").arg(tenths / 10).arg(tenths % 10);
}
} // namespace

trvInterface::trvInterface(QObject* parent) : UsbHid(instrumentVendor, instrumentProduct, parent)
{
    qRegisterMetaType<trvInterface::PartType>("trvInterface::PartType");
    setTimebase(pollPeriod);
    connect(this, SIGNAL(dataReceived(QByteArray)), this, SLOT(dataInput(QByteArray)));
}

trvInterface::~trvInterface() = default;

quint64 trvInterface::inputReports() const
{
    return reportsDecoded;
}

void trvInterface::requestFirmwareVersion()
{
    for (PartType part : {Terminal, Sensor1, Sensor2, Sensor3, Sensor4, Sensor5, Mainboard}) {
        requestFirmwareVersion(part);
    }
}

void trvInterface::requestFirmwareVersion(trvInterface::PartType part)
{
    send(message(VersionCode, part));
}

void trvInterface::firmwareUpdateStart(const trvInterface::PartType& part)
{
    send(message(StartCode, part));
}

void trvInterface::firmwareUpdateData(const trvInterface::PartType& part, const QByteArray& data)
{
    QByteArray bytes = message(DataCode, part);
    bytes.append(static_cast<char>(data.size() & 0xFF)); // the size's low 8 bits
    bytes.append(data);
    send(bytes);
}

void trvInterface::firmwareUpdateEnd(const trvInterface::PartType& part, unsigned char checksum)
{
    QByteArray bytes = message(EndCode, part);
    bytes.append(static_cast<char>(checksum));
    send(bytes);
}

void trvInterface::firmwareUpdateRestart(const trvInterface::PartType& part)
{
    send(message(RestartCode, part));
}

void trvInterface::dataInput(QByteArray data)
{
    ++reportsDecoded;
    for (int offset = 0; data.size() - offset >= recordSize; offset += recordSize) {
        const auto code = static_cast<unsigned char>(data.at(offset));
        const auto part = static_cast<PartType>(static_cast<qint8>(data.at(offset + 1)));
        const int value = static_cast<qint8>(data.at(offset + 2));
        switch (code) {
        case VersionCode:
            emit firmwareVersion(part, versionText(value));
            break;
        case StartCode:
            emit firmwareUpdateStartAck(part, value != 0);
            break;
        case DataCode:
            emit firmwareUpdateDataAck(part, value);
            break;
        case EndCode:
            emit firmwareUpdateEndAck(part, value != 0);
            break;
        default:
            return;
        }
    }
}

QString partName(trvInterface::PartType part)
{
    switch (part) {
    case trvInterface::Mainboard:
        return QObject::tr("Main Board");
    case trvInterface::Terminal:
        return QObject::tr("Control Panel");
    case trvInterface::NoPart:
    case trvInterface::Sensor1:
    case trvInterface::Sensor2:
    case trvInterface::Sensor3:
    case trvInterface::Sensor4:
    case trvInterface::Sensor5:
        return QObject::tr("Sensor Boards");
    }
    return QObject::tr("Unknown Board");
}
