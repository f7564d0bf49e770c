#include "usbhid.h"

#include <hidapi.h>

#include <QTimer>

#include <cstring>

UsbHid::UsbHid(const unsigned short& vendor, const unsigned short& product, QObject* parent)
    : QObject(parent), opened(false), autoconnect(false), vendor(vendor), product(product),
      timebase(15), handle(nullptr), pollTimer(new QTimer(this))
{
    std::memset(buffer, 0, sizeof buffer);
    connect(pollTimer, SIGNAL(timeout()), this, SLOT(polling()));
    pollTimer->setInterval(timebase);
    pollTimer->start();
    hid_init();
}

UsbHid::~UsbHid()
{
    if (handle && opened) {
        hid_close(handle);
        handle = nullptr;
        opened = false;
        emit disconnected();
    }
    hid_exit();
}

void UsbHid::setVendor(const unsigned short& vendor)
{
    if (vendor == this->vendor)
        return;
    this->vendor = vendor;
    if (autoconnect)
        reopen();
}

void UsbHid::setProduct(const unsigned short& product)
{
    if (product == this->product)
        return;
    this->product = product;
    if (autoconnect)
        reopen();
}

void UsbHid::setTimebase(const int& timebase)
{
    if (timebase <= 0)
        return;
    this->timebase = timebase;
    pollTimer->setInterval(timebase);
}

void UsbHid::setAutoconnect(const bool& autoconnect)
{
    this->autoconnect = autoconnect;
}

void UsbHid::open()
{
    if (handle || opened)
        close();
    handle = hid_open(vendor, product, nullptr);
    if (!handle)
        return;
    opened = true;
    if (hid_set_nonblocking(handle, 1) == -1) {
        emitError();
        close();
        return;
    }
    emit connected();
}

void UsbHid::close()
{
    if (handle && opened)
        hid_close(handle);
    handle = nullptr;
    opened = false;
    emit disconnected();
}

void UsbHid::reopen()
{
    close();
    open();
}

void UsbHid::send(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > reportPayload || !opened || !handle)
        return;
    sendQueue.append(data);
}

void UsbHid::polling()
{
    if (opened) {
        write();
        read();
    } else if (autoconnect) {
        open();
    }
}

void UsbHid::write()
{
    if (!handle || sendQueue.isEmpty())
        return;
    std::memset(buffer, 0, sizeof buffer);
    int position = 1;
    int room = reportPayload;
    while (!sendQueue.isEmpty() && sendQueue.first().size() <= room) {
        const QByteArray message = sendQueue.takeFirst();
        std::memcpy(buffer + position, message.constData(), message.size());
        position += message.size();
        room -= message.size();
    }
    // A report that cannot be written is lost with the device it was meant for;
    // the messages behind it stay queued for the next connect.
    if (hid_write(handle, buffer, sizeof buffer) < 0) {
        emitError();
        close();
    }
}

void UsbHid::read()
{
    if (!handle)
        return;
    const int count = hid_read(handle, buffer, sizeof buffer);
    if (count < 0) {
        emitError();
        close();
    } else if (count > 0) {
        emit dataReceived(QByteArray(reinterpret_cast<const char*>(buffer), count));
    }
}

void UsbHid::emitError()
{
    if (!handle)
        return;
    const wchar_t* text = hid_error(handle);
    if (text)
        emit error(QString::fromWCharArray(text));
}
