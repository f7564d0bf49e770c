#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QTimer;
struct hid_device_;

// One USB HID device, chosen by vendor and product ID: opened (by itself when
// autoconnect is on), polled on a timer, with a queue of outgoing messages
// packed whole into 65-byte output reports.
class UsbHid : public QObject
{
    Q_OBJECT

public:
    UsbHid(const unsigned short& vendor, const unsigned short& product, QObject* parent = nullptr);
    ~UsbHid() override;

    void setVendor(const unsigned short& vendor);
    void setProduct(const unsigned short& product);
    // Poll period in milliseconds; 0 or less is ignored.
    void setTimebase(const int& timebase);
    // When on, every tick while closed tries to open the device.
    void setAutoconnect(const bool& autoconnect);

    // Bytes of messages one report carries, behind its report ID.
    static constexpr int reportPayload = 64;

public slots:
    void open();
    void close();
    void reopen();
    // Queues a message for the next tick; dropped while closed, when empty,
    // or when it could never fit one report.
    void send(const QByteArray& data);
    void polling();

signals:
    void connected();
    void disconnected();
    void dataReceived(QByteArray data);
    void error(QString errorMessage);

private:
    void write();
    void read();
    void emitError();

    bool opened;
    bool autoconnect;
    unsigned short vendor;
    unsigned short product;
    int timebase;
    hid_device_* handle;
    QTimer* pollTimer;
    unsigned char buffer[65];
    QList<QByteArray> sendQueue; // oldest first; kept when a report could not be written
};
