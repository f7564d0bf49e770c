#include "usbhid.h"

#include "hotplugwatch.h"
#include "polltimer.h"

#include <hidapi.h>

#include <cerrno>
#include <cstring>

namespace {
// The error number of a refused open, from hidapi's text where the system
// left none.
int errorNumberOf(const wchar_t* text)
{
    const QString said = text ? QString::fromWCharArray(text) : QString();
    for (const int known : {EACCES, EPERM, EBUSY, ENOENT, ENODEV}) {
        if (!said.isEmpty() && said.contains(qt_error_string(known))) {
            return known;
        }
    }
    return EIO;
}
} // namespace

UsbHid::UsbHid(const unsigned short& vendorId, const unsigned short& productId, QObject* parent)
    : QObject(parent), opened(false), autoconnect(false), vendor(vendorId), product(productId),
      timebase(15), handle(nullptr), pollTimer(new PollTimer(this)), refusal(0)
{
    std::memset(buffer, 0, sizeof buffer);
    connect(pollTimer, &PollTimer::timeout, this, &UsbHid::polling);
    pollTimer->setInterval(timebase);
    pollTimer->start();
}

void UsbHid::startLooking()
{
    if (watch) {
        return;
    }
    hid_init();
    // Watching before the first look, so that no device added after it goes unseen.
    watch = std::make_unique<HotplugWatch>();
}

UsbHid::~UsbHid()
{
    if (handle && opened) {
        hid_close(handle);
        handle = nullptr;
        opened = false;
        emit disconnected();
    }
    unlockNode();
    if (watch) {
        hid_exit();
    }
}

void UsbHid::setVendor(const unsigned short& newVendor)
{
    if (newVendor == vendor) {
        return;
    }
    vendor = newVendor;
    if (autoconnect) {
        reopen();
    }
}

void UsbHid::setProduct(const unsigned short& newProduct)
{
    if (newProduct == product) {
        return;
    }
    product = newProduct;
    if (autoconnect) {
        reopen();
    }
}

void UsbHid::setTimebase(const int& milliseconds)
{
    if (milliseconds <= 0) {
        return;
    }
    timebase = milliseconds;
    pollTimer->setInterval(timebase);
}

void UsbHid::setAutoconnect(const bool& on)
{
    autoconnect = on;
    if (on) {
        startLooking();
    }
}

int UsbHid::openRefusal() const
{
    return refusal;
}

QString UsbHid::inLanguage(const char* text, Language language)
{
    return language == English ? QString::fromUtf8(text) : tr(text);
}

QString UsbHid::refusalRemedy(int errorNumber, Language language)
{
    switch (errorNumber) {
    case 0:
        return QString();
    case EACCES:
    case EPERM:
        return permissionRemedy(language);
    case EBUSY:
        return inLanguage(QT_TR_NOOP("Close the other program that uses the instrument; the "
                                     "connection is then made by itself."),
                          language);
    default:
        return inLanguage(QT_TR_NOOP("Unplug the instrument and plug it in again."), language);
    }
}

QString UsbHid::refusalDescription(int errorNumber, Language language)
{
    switch (errorNumber) {
    case 0:
        return QString();
    case EACCES:
    case EPERM:
        return inLanguage(QT_TR_NOOP("The instrument is connected, but this user may not open it."),
                          language);
    case EBUSY:
        return inLanguage(
            QT_TR_NOOP("The instrument is connected, but another program is using it."), language);
    default:
        // The system's own words for the cause are in the system's language.
        return inLanguage(QT_TR_NOOP("The instrument is connected, but it cannot be opened: %1."),
                          language)
            .arg(qt_error_string(errorNumber));
    }
}

void UsbHid::open()
{
    if (handle || opened) {
        close();
    }
    startLooking();
    int refused = 0;
    handle = openFound(&refused, &serial);
    watch->looked(handle != nullptr);
    setOpenRefusal(refused);
    if (!handle) {
        return;
    }
    opened = true;
    // Waiting for the device needs no more than Qt's timer; once it is open,
    // every late tick may delay a line.
    pollTimer->setOnTime(true);
    if (hid_set_nonblocking(handle, 1) == -1) {
        emitError();
        close();
        return;
    }
    emit connected();
}

hid_device_* UsbHid::openFound(int* refused, QString* serialNumber)
{
    *refused = 0;
    QList<Device> devices;
    hid_device_info* listed = hid_enumerate(vendor, product);
    for (const hid_device_info* entry = listed; entry; entry = entry->next) {
        Device device;
        device.serialNumber = entry->serial_number
                                  ? QString::fromWCharArray(entry->serial_number).trimmed()
                                  : QString();
        device.path = QString::fromLocal8Bit(entry->path);
        // A device with several top-level collections is listed once for each.
        if (!devices.contains(device)) {
            devices.append(device);
        }
    }
    hid_free_enumeration(listed);
    setAttached(devices);

    hid_device* opening = nullptr;
    for (const Device& candidate : openable(devices)) {
        const QByteArray path = candidate.path.toLocal8Bit();
        errno = 0;
        opening = hid_open_path(path.constData());
        int reason = errno; // before anything else can change it
        if (opening && !lockNode(path.constData())) {
            // Another copy drives it, maybe another user's: not a word to it.
            hid_close(opening);
            opening = nullptr;
            reason = EBUSY;
        }
        if (!opening && reason == 0) {
            reason = errorNumberOf(hid_error(nullptr));
        }
        // A node that went between the enumeration and the open is an unplug,
        // not a refusal: the device is simply no longer there.
        if (!opening && reason != ENOENT && reason != ENODEV) {
            *refused = reason;
        }
        if (opening) {
            *refused = 0;
            *serialNumber = candidate.serialNumber;
            openPath = candidate.path;
            break;
        }
    }
    return opening;
}

QList<UsbHid::Device> UsbHid::openable(const QList<Device>& devices) const
{
    QList<Device> wanted;
    if (pinned) {
        for (const Device& device : devices) {
            const bool same = pinnedDevice.serialNumber.isEmpty()
                                  ? device.serialNumber.isEmpty() && device.path == pinnedDevice.path
                                  : device.serialNumber == pinnedDevice.serialNumber;
            if (same) {
                wanted.append(device);
            }
        }
    } else {
        const QList<Device> candidates = notPassedOver(devices);
        if (!chosen.isEmpty()) {
            for (const Device& device : candidates) {
                if (device.identity() == chosen) {
                    wanted.append(device);
                }
            }
        } else if (candidates.size() == 1) {
            wanted = candidates;
        }
    }
    return wanted.mid(0, 1);
}

QList<UsbHid::Device> UsbHid::notPassedOver(const QList<Device>& devices) const
{
    QList<Device> others;
    for (const Device& device : devices) {
        if (passedOver.isEmpty() || device.identity() != passedOver) {
            others.append(device);
        }
    }
    return others;
}

void UsbHid::setAttached(const QList<Device>& devices)
{
    if (!passedOver.isEmpty() && notPassedOver(devices).size() == devices.size()) {
        passedOver.clear(); // unplugged since
    }
    const bool several = !pinned && chosen.isEmpty() && notPassedOver(devices).size() > 1;
    if (devices == found && several == severalUnchosen) {
        return;
    }
    found = devices;
    severalUnchosen = several;
    emit attachedChanged();
}

UsbHid::Device UsbHid::openedDevice() const
{
    return Device{serial, openPath};
}

QList<UsbHid::Device> UsbHid::attached() const
{
    return found;
}

void UsbHid::choose(const QString& identity)
{
    if (identity == chosen) {
        return;
    }
    chosen = identity;
    if (watch) {
        watch->lookSoon();
    }
    setAttached(found);
}

QString UsbHid::choice() const
{
    return chosen;
}

bool UsbHid::choiceNeeded() const
{
    return severalUnchosen;
}

void UsbHid::pin()
{
    pinned = true;
    pinnedDevice = openedDevice();
    setAttached(found);
}

void UsbHid::unpin()
{
    pinned = false;
    setAttached(found);
}

bool UsbHid::isPinned() const
{
    return pinned;
}

void UsbHid::passOver(const QString& identity)
{
    passedOver = identity;
    setAttached(found);
}

QString UsbHid::Device::identity() const
{
    return serialNumber.isEmpty() ? path : serialNumber;
}

bool UsbHid::Device::operator==(const Device& other) const
{
    return serialNumber == other.serialNumber && path == other.path;
}

QString UsbHid::serialNumber() const
{
    return serial;
}

void UsbHid::setOpenRefusal(int errorNumber)
{
    if (errorNumber == refusal) {
        return;
    }
    refusal = errorNumber;
    emit openRefusalChanged(refusal);
}

void UsbHid::close()
{
    if (handle && opened) {
        hid_close(handle);
    }
    unlockNode();
    handle = nullptr;
    opened = false;
    pollTimer->setOnTime(false);
    // The device may be back before the next tick (the watchdog's close, a
    // restart): that tick looks, whatever the events.
    if (watch) {
        watch->lookSoon();
    }
    emit disconnected();
}

void UsbHid::reopen()
{
    close();
    open();
}

void UsbHid::send(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > reportPayload || !opened || !handle) {
        return;
    }
    sendQueue.append(data);
    ++messagesQueued;
}

void UsbHid::polling()
{
    if (opened) {
        // What was queued before this tick leaves first, before anything is
        // read that could be taken for its answer. Otherwise read first, so
        // that what the replies read now make the receivers queue leaves in
        // this very tick instead of the next one.
        const bool writeFirst = !sendQueue.isEmpty();
        if (writeFirst) {
            write();
        }
        if (opened) {
            read();
        }
        if (opened && !writeFirst) {
            write();
        }
    } else if (autoconnect && watch->lookDue()) {
        open();
    }
}

void UsbHid::write()
{
    if (!handle || sendQueue.isEmpty()) {
        return;
    }
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
    // Every report that waits: the replies of several boards may come in
    // several reports. Reading stops once a receiver has queued a message,
    // so that the message is written before anything more is read: a reply
    // read afterwards always came after it. Bounded, so that a device that
    // never stops sending cannot hold the event loop.
    for (int reports = 0; handle && reports < maximumReportsPerTick; ++reports) {
        const int count = hid_read(handle, buffer, sizeof buffer);
        if (count < 0) {
            emitError();
            close();
            return;
        }
        if (count == 0) {
            return;
        }
        const quint64 queuedBefore = messagesQueued;
        emit dataReceived(QByteArray(reinterpret_cast<const char*>(buffer), count));
        if (messagesQueued != queuedBefore) {
            return;
        }
    }
}

void UsbHid::emitError()
{
    if (!handle) {
        return;
    }
    const wchar_t* text = hid_error(handle);
    if (text) {
        emit error(QString::fromWCharArray(text));
    }
}
