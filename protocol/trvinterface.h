#pragma once

#include "usbhid.h"

// The instrument's protocol on top of its USB HID link: typed requests to the
// main board and typed replies from every board, each naming its board.
class trvInterface : public UsbHid
{
    Q_OBJECT

public:
    // Fixed to int, so that a part byte outside 0..7 from the instrument is
    // passed on as it is (bytes 0x80..0xFF as negative numbers).
    enum PartType : int {
        NoPart = 0, // the sensor-board group
        Sensor1 = 1,
        Sensor2 = 2,
        Sensor3 = 3,
        Sensor4 = 4,
        Sensor5 = 5,
        Terminal = 6, // the control panel
        Mainboard = 7,
    };
    Q_ENUM(PartType)

    // The longest block one data message carries: the message fills one
    // report, behind its head of code, part and block size.
    static constexpr int dataMessageHead = 3;
    static constexpr int maximumBlockSize = UsbHid::reportPayload - dataMessageHead;

    explicit trvInterface(QObject* parent = nullptr);
    ~trvInterface() override;

    // Input reports decoded so far, the one being decoded included. A reply
    // decoded from a report numbered above the count read when a request was
    // queued came after that request left: the link writes a queued request
    // before it reads any further report (unless more is queued ahead of it
    // than one report carries).
    quint64 inputReports() const;

public slots:
    // Asks all seven boards, in the order 6, 1, 2, 3, 4, 5, 7.
    void requestFirmwareVersion();
    void requestFirmwareVersion(trvInterface::PartType part);
    void firmwareUpdateStart(const trvInterface::PartType& part);
    void firmwareUpdateData(const trvInterface::PartType& part, const QByteArray& data);
    void firmwareUpdateEnd(const trvInterface::PartType& part, unsigned char checksum);
    void firmwareUpdateRestart(const trvInterface::PartType& part);
    // Decodes one input report into the reply signals.
    void dataInput(QByteArray data);

signals:
    void firmwareVersion(trvInterface::PartType part, QString version);
    void firmwareUpdateStartAck(trvInterface::PartType part, bool ready);
    void firmwareUpdateDataAck(trvInterface::PartType part, int ok);
    void firmwareUpdateEndAck(trvInterface::PartType part, bool ok);

private:
    quint64 reportsDecoded = 0;
};

// The name of the board's group: "Sensor Boards" (the sensor boards and
// NoPart), "Control Panel", "Main Board", or "Unknown Board".
QString partName(trvInterface::PartType part);
