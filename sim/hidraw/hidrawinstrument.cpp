#include "hidrawinstrument.h"

#include <umockdev.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// The description of a hidraw node numbered `number` under its hid parent,
// for umockdev's testbed.
QString hidrawRecord(const QString& hid, int number, const QString& hidName)
{
    return QStringLiteral("P: %1/hidraw/hidraw%2\n"
                          "N: hidraw%2\n"
                          "E: DEVNAME=/dev/hidraw%2\n"
                          "E: MAJOR=240\n"
                          "E: MINOR=%2\n"
                          "E: SUBSYSTEM=hidraw\n"
                          "A: dev=240:%2\n"
                          "L: device=../../../%3\n\n")
        .arg(hid)
        .arg(number)
        .arg(hidName);
}

constexpr unsigned short vendorId = 0x04D8;
constexpr unsigned short productId = 0xF93C;
constexpr int reportSize = 64;

// Vendor page, one application collection, 64-byte input and output reports
// without report IDs.
const unsigned char reportDescriptor[] = {
    0x06, 0x00, 0xFF, // usage page (vendor defined 0xFF00)
    0x09, 0x01,       // usage 1
    0xA1, 0x01,       // collection (application)
    0x15, 0x00,       //   logical minimum 0
    0x26, 0xFF, 0x00, //   logical maximum 255
    0x75, 0x08,       //   report size 8 bits
    0x95, 0x40,       //   report count 64
    0x09, 0x01,       //   usage 1
    0x81, 0x02,       //   input (data, variable, absolute)
    0x95, 0x40,       //   report count 64
    0x09, 0x01,       //   usage 1
    0x91, 0x02,       //   output (data, variable, absolute)
    0xC0,             // end collection
};

QByteArray descriptorHex()
{
    return QByteArray(reinterpret_cast<const char*>(reportDescriptor), sizeof reportDescriptor)
        .toHex()
        .toUpper();
}

// The other HID devices' nodes are numbered from here, out of the instrument's way.
constexpr int firstOtherNode = 900;

// One of the other HID devices: a HID device with its hidraw node, on a USB
// port, as a keyboard (even index) or a mouse (odd index) shows them. The USB
// device and interface above it are left out: looking for the instrument
// stops at each HID device's own identity.
QByteArray otherDeviceRecord(int index)
{
    const int number = firstOtherNode + index;
    const bool keyboard = index % 2 == 0;
    const QString port = QStringLiteral("2-%1").arg(index + 1);
    const QString product = QString::number(0x0100 + index, 16).toUpper().rightJustified(4, '0');
    const QString hidName =
        QStringLiteral("0003:1209:%1.%2")
            .arg(product)
            .arg(QString::number(0x100 + index, 16).toUpper().rightJustified(4, QLatin1Char('0')));
    const QString hid =
        QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb2/%1/%1:1.0/%2").arg(port, hidName);
    // Generic desktop page: a keyboard (usage 6) or a mouse (usage 2) collection.
    const QString descriptor =
        keyboard ? QStringLiteral("05010906A101C0") : QStringLiteral("05010902A101C0");
    const QString name = keyboard ? QStringLiteral("Desk Keyboard %1").arg(index)
                                  : QStringLiteral("Desk Mouse %1").arg(index);
    QString record;
    record += hidrawRecord(hid, number, hidName);
    record += QStringLiteral("P: %1\n"
                             "E: DRIVER=hid-generic\n"
                             "E: HID_ID=0003:00001209:0000%2\n"
                             "E: HID_NAME=%3\n"
                             "E: HID_PHYS=usb-0000:00:14.0-%4/input0\n"
                             "E: HID_UNIQ=\n"
                             "E: SUBSYSTEM=hid\n"
                             "H: report_descriptor=%5\n")
                  .arg(hid, product, name, port.mid(2), descriptor);
    return record.toUtf8();
}

} // namespace

HidrawInstrument::HidrawInstrument()
{
    seats.push_back(std::make_unique<Seat>(QString::fromLatin1(Instrument::defaultSerialNumber)));
}

HidrawInstrument::~HidrawInstrument()
{
    stopping = true;
    pumpWake.notify_one();
    if (pumpThread.joinable()) {
        pumpThread.join();
    }
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& seat : seats) {
        if (seat->present) {
            unplugOut(*seat);
        }
    }
    if (testbed) {
        g_object_unref(testbed); // removes its folder
    }
    if (handler) {
        g_object_unref(handler);
    }
}

bool HidrawInstrument::start(QString* error)
{
    // Only programs with umockdev's preload library see the testbed.
    void* preload = dlopen("libumockdev-preload.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!preload) {
        if (error) {
            *error = QStringLiteral("not running under umockdev-wrapper");
        }
        return false;
    }
    dlclose(preload);
    // A session leader without a terminal takes the node as its controlling
    // terminal when it opens it, and would be hung up by the first removal.
    if (getsid(0) == getpid()) {
        std::signal(SIGHUP, SIG_IGN);
    }

    testbed = umockdev_testbed_new();
    handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(handleIoctl), this);
    g_signal_connect(handler, "handle-read", G_CALLBACK(handleRead), this);
    g_signal_connect(handler, "handle-write", G_CALLBACK(handleWrite), this);
    tick();
    pumpThread = std::thread([this] { pump(); });
    return true;
}

bool HidrawInstrument::addOtherDevices(int count, QString* error)
{
    for (int added = 0; added < count; ++added) {
        int index = 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!testbed) {
                if (error) {
                    *error = QStringLiteral("the testbed is not started");
                }
                return false;
            }
            index = otherDevices++;
        }
        GError* failure = nullptr;
        if (!umockdev_testbed_add_from_string(testbed, otherDeviceRecord(index).constData(),
                                              &failure)) {
            if (error) {
                *error = QString::fromUtf8(failure->message);
            }
            g_error_free(failure);
            return false;
        }
    }
    return true;
}

void HidrawInstrument::setEventsHeld(bool held)
{
    std::lock_guard<std::mutex> lock(mutex);
    // umockdev sends a uevent to each socket named event<number> in its
    // folder, one for each monitor: renamed, they receive nothing.
    const QString heldMark = QStringLiteral("held-");
    QDir root(rootFolder());
    const QStringList sockets =
        root.entryList({held ? QStringLiteral("event*") : heldMark + QStringLiteral("event*")},
                       QDir::System | QDir::Files);
    for (const QString& socket : sockets) {
        root.rename(socket, held ? heldMark + socket : socket.mid(heldMark.size()));
    }
}

void HidrawInstrument::shareWithOtherUsers(bool mayOpen, bool mayWatch)
{
    std::lock_guard<std::mutex> lock(mutex);
    shared = true;
    othersMayOpen = mayOpen;
    ::chmod(rootFolder().toUtf8().constData(), mayWatch ? 01777 : 0755);
    for (const auto& seat : seats) {
        shareNode(*seat);
    }
}

void HidrawInstrument::shareNode(const Seat& seat)
{
    if (!shared || !seat.present) {
        return;
    }
    // The node's requests go through a socket that every opener connects to
    // (an opener that cannot is ended by umockdev's preload, refused or not).
    ::chmod((rootFolder() + QStringLiteral("/ioctl") + seat.node).toUtf8().constData(), 0777);
    if (seat.nodeOtherEnd < 0) {
        return;
    }
    // The node is the terminal whose other end we hold: its permissions are
    // the node's.
    const int terminal = ::ioctl(seat.nodeOtherEnd, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal >= 0) {
        ::fchmod(terminal, othersMayOpen ? 0666 : 0600);
        ::close(terminal);
    }
}

QString HidrawInstrument::rootFolder() const
{
    if (!testbed) {
        return QString();
    }
    char* root = umockdev_testbed_get_root_dir(testbed);
    const QString folder = QString::fromUtf8(root);
    g_free(root);
    return folder;
}

void HidrawInstrument::setOpenRefusal(int errorNumber)
{
    openRefusal = std::max(0, errorNumber);
}

int HidrawInstrument::instrumentCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return int(seats.size());
}

const HidrawInstrument::Seat* HidrawInstrument::seatAt(int index) const
{
    return index >= 0 && index < int(seats.size()) ? seats[std::size_t(index)].get() : nullptr;
}

QString HidrawInstrument::deviceNode(int index) const
{
    std::lock_guard<std::mutex> lock(mutex);
    const Seat* seat = seatAt(index);
    return seat && seat->present && seat->nodeOtherEnd >= 0 ? seat->node : QString();
}

qint64 HidrawInstrument::plugTime(int index) const
{
    std::lock_guard<std::mutex> lock(mutex);
    const Seat* seat = seatAt(index);
    return seat && seat->present && seat->nodeOtherEnd >= 0 ? seat->plugged : -1;
}

int HidrawInstrument::plugCount(int index) const
{
    std::lock_guard<std::mutex> lock(mutex);
    const Seat* seat = seatAt(index);
    return seat ? seat->plugs : 0;
}

bool HidrawInstrument::isNodeOpen(int index) const
{
    std::lock_guard<std::mutex> lock(mutex);
    const Seat* seat = seatAt(index);
    return seat && seat->present && hostHasNode(*seat);
}

bool HidrawInstrument::hostHasNode(const Seat& seat)
{
    if (seat.nodeOtherEnd < 0) {
        return false;
    }
    pollfd state = {seat.nodeOtherEnd, POLLOUT, 0};
    return ::poll(&state, 1, 0) >= 0 && !(state.revents & POLLHUP);
}

qint64 HidrawInstrument::now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 HidrawInstrument::nowMicroseconds()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void HidrawInstrument::setReplyDelay(int minMicroseconds, int maxMicroseconds)
{
    std::lock_guard<std::mutex> lock(mutex);
    minReplyDelay = std::max(0, minMicroseconds);
    maxReplyDelay = std::max(minReplyDelay, maxMicroseconds);
}

int HidrawInstrument::nextReplyDelay()
{
    if (maxReplyDelay <= minReplyDelay) {
        return minReplyDelay;
    }
    delayRandom = delayRandom * 1103515245u + 12345u;
    return minReplyDelay + int((delayRandom >> 16) % quint32(maxReplyDelay - minReplyDelay + 1));
}

void HidrawInstrument::pump()
{
    using namespace std::chrono;
    // A reply delay of some tenths of a millisecond is only kept with a
    // timed wait that ends when asked, not up to 50 us later.
    prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0);
    std::unique_lock<std::mutex> lock(pumpMutex);
    while (!stopping) {
        // Once a millisecond, and in time for a report held back by a reply
        // delay; a write that holds reports back wakes the pump to look again.
        const qint64 held = pumpWakeAt - nowMicroseconds();
        pumpWake.wait_for(lock, held > 0 && held < 1000 ? microseconds(held) : microseconds(1000));
        lock.unlock();
        tick();
        lock.lock();
    }
}

void HidrawInstrument::tick()
{
    for (std::size_t index = 0;; ++index) {
        Seat* seat = nullptr;
        int opened = 0;
        int number = 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (index >= seats.size()) {
                return;
            }
            seat = seats[index].get();
            const qint64 time = now();
            if (seat->present) {
                if (seat->leaving) {
                    unplugOut(*seat);
                    continue;
                }
                releaseNextReport(*seat, time);
                if (seat->present && !seat->model.isPlugged()) {
                    unplugOut(*seat);
                }
                continue;
            }
            opened = seat->model.open(vendorId, productId, time);
            if (opened <= 0) {
                continue;
            }
            number = nodes++;
            plugging = true;
        }
        // Seats stay where they are as the bench grows.
        plugIn(*seat, number, opened);
    }
}

void HidrawInstrument::releaseNextReport(Seat& seat, qint64 time)
{
    if (!seat.present || seat.leaving || seat.nodeOtherEnd < 0) {
        return;
    }
    if (seat.reportWaiting && !hostHasNode(seat)) {
        // Closed with a report unread: the next host to open it must not get it.
        drainNode(seat);
        seat.reportWaiting = false;
    }
    if (seat.reportWaiting || nowMicroseconds() < seat.reportsHeldUntil) {
        return;
    }
    unsigned char report[reportSize] = {};
    const int length = seat.model.read(seat.connection, report, reportSize, time);
    if (length < 0) {
        // The instrument has gone, or has dropped this connection: either way
        // the host loses the node, and a plugged instrument comes back as a new one.
        removeNode(seat);
        return;
    }
    if (length == 0 || !hostHasNode(seat)) {
        return; // nobody has the node open: the report is lost, as on a real device
    }
    if (::write(seat.nodeOtherEnd, report, reportSize) == reportSize) {
        seat.reportWaiting = true;
    }
}

void HidrawInstrument::removeNode(Seat& seat)
{
    if (plugging) {
        seat.leaving = true;
    } else {
        unplugOut(seat);
    }
}

void HidrawInstrument::plugIn(Seat& seat, int number, int newConnection)
{
    const QString newNode = QStringLiteral("/dev/hidraw%1").arg(number);
    const QByteArray nodeName = newNode.toUtf8();
    QString serialNumber;
    {
        // Published before it is added: a host may open the node while the
        // testbed is still writing its records, and must count as its user.
        std::lock_guard<std::mutex> lock(mutex);
        seat.node = newNode;
        seat.usbDevicePath = usbDevicePathOf(number);
        seat.nodeOtherEnd = -1; // no reports can go to the host until it is known
        seat.connection = newConnection;
        seat.reportWaiting = false;
        seat.leaving = false;
        seat.present = true;
        serialNumber = seat.model.serialNumber();
    }
    // Other users do not see the new device until its node's permissions
    // are set: a program of theirs that looks on every tick would otherwise
    // be refused in between, and umockdev's preload ends a program after
    // some dozens of refused opens of an emulated node.
    const QByteArray sysFolder = (rootFolder() + QStringLiteral("/sys")).toUtf8();
    const bool hideFromOthers = shared;
    if (hideFromOthers) {
        ::chmod(sysFolder.constData(), 0700);
    }
    // Unlocked: the handlers on the testbed's worker thread take the lock,
    // and the testbed may need that thread while it sets the node up.
    GError* failure = nullptr;
    // The handler listens before the node becomes visible, so that no host can
    // open it before its requests are answered.
    bool added = umockdev_testbed_attach_ioctl(testbed, nodeName.constData(), handler, &failure);
    if (added) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            shareNode(seat);
        }
        added = umockdev_testbed_add_from_string(
            testbed, deviceRecord(number, serialNumber).constData(), &failure);
    }
    const int otherEnd = added ? umockdev_testbed_get_dev_fd(testbed, nodeName.constData()) : -1;

    std::lock_guard<std::mutex> lock(mutex);
    plugging = false;
    if (!added) {
        if (hideFromOthers) {
            ::chmod(sysFolder.constData(), 0755);
        }
        qWarning("hidraw instrument: cannot add %s: %s", nodeName.constData(), failure->message);
        g_error_free(failure);
        seat.present = false;
        seat.leaving = false;
        seat.node.clear();
        seat.usbDevicePath.clear();
        return;
    }
    seat.nodeOtherEnd = otherEnd;
    seat.plugged = now();
    ++seat.plugs;
    // A program started from here must not hold it: the node would not hang
    // up when the instrument goes.
    ::fcntl(seat.nodeOtherEnd, F_SETFD, ::fcntl(seat.nodeOtherEnd, F_GETFD) | FD_CLOEXEC);
    shareNode(seat);
    if (hideFromOthers) {
        ::chmod(sysFolder.constData(), 0755);
    }
    releaseNextReport(seat, now());
}

void HidrawInstrument::unplugOut(Seat& seat)
{
    seat.present = false;
    seat.leaving = false;
    // The kernel announces the removal of each device, children first;
    // umockdev's removal announces nothing by itself.
    const QString hidrawPath = QFileInfo(rootFolder() + QStringLiteral("/sys/class/hidraw/") +
                                         seat.node.mid(QStringLiteral("/dev/").size()))
                                   .canonicalFilePath();
    const QString testbedSys = rootFolder() + QStringLiteral("/sys/");
    if (hidrawPath.startsWith(testbedSys)) {
        QString device = hidrawPath.mid(rootFolder().size());
        while (device.startsWith(seat.usbDevicePath)) {
            if (!device.endsWith(QStringLiteral("/hidraw"))) {
                umockdev_testbed_uevent(testbed, device.toUtf8().constData(), "remove");
            }
            device = device.left(device.lastIndexOf(QLatin1Char('/')));
        }
    }
    umockdev_testbed_remove_device(testbed, seat.usbDevicePath.toUtf8().constData());
    if (seat.nodeOtherEnd >= 0) {
        // The testbed keeps a record of the node's terminal, named after it,
        // which would stop the next plug that gets the same terminal.
        char terminal[64];
        if (ptsname_r(seat.nodeOtherEnd, terminal, sizeof terminal) == 0) {
            char* root = umockdev_testbed_get_root_dir(testbed);
            QString entry = QString::fromUtf8(terminal);
            entry.replace(QLatin1Char('/'), QLatin1Char('_'));
            QFile::remove(QString::fromUtf8(root) + QStringLiteral("/dev/.ptymap/") + entry);
            g_free(root);
        }
        // Closing the node's other end hangs the node up: the host's poll
        // reports it gone. The number stays taken by /dev/null, as the testbed
        // still holds it.
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, seat.nodeOtherEnd);
            ::close(null);
        }
    }
    seat.nodeOtherEnd = -1;
    seat.connection = 0;
    seat.reportWaiting = false;
    seat.reportsHeldUntil = 0;
    seat.plugged = -1;
    seat.node.clear();
    seat.usbDevicePath.clear();
    removeDanglingLinks();
}

void HidrawInstrument::removeDanglingLinks()
{
    const QString root = rootFolder();
    QStringList dangling;
    for (const QString& folder : {QStringLiteral("/sys"), QStringLiteral("/dev")}) {
        QDirIterator entries(root + folder,
                             QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            const QFileInfo entry(entries.next());
            if (entry.isSymLink() && !entry.exists()) {
                dangling.append(entry.filePath());
            }
        }
    }
    for (const QString& link : dangling) {
        QFile::remove(link);
    }
}

void HidrawInstrument::drainNode(const Seat& seat)
{
    // The node's own end, reached through its other end rather than by path,
    // which umockdev would take for the emulated device.
    const int peer =
        ::ioctl(seat.nodeOtherEnd, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (peer < 0) {
        return;
    }
    ::tcflush(peer, TCIFLUSH);
    ::close(peer);
}

QString HidrawInstrument::usbDevicePathOf(int number)
{
    return QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(number + 1);
}

QByteArray HidrawInstrument::deviceRecord(int number, const QString& serialNumber)
{
    // A USB device with one HID interface, its HID device and the hidraw
    // node, child first, as the kernel would show them.
    const QString usb = usbDevicePathOf(number).mid(4); // without "/sys"
    const QString port = QStringLiteral("1-%1").arg(number + 1);
    const QString hidName = QStringLiteral("0003:04D8:F93C.") +
                            QString::number(number + 1, 16).toUpper().rightJustified(4, '0');
    const QString hid = QStringLiteral("%1/%2:1.0/%3").arg(usb, port, hidName);
    QString record;
    record += hidrawRecord(hid, number, hidName);
    record += QStringLiteral("P: %1\n"
                             "E: DRIVER=hid-generic\n"
                             "E: HID_ID=0003:000004D8:0000F93C\n"
                             "E: HID_NAME=Kelmor Tarvo QX40\n"
                             "E: HID_PHYS=usb-0000:00:14.0-%2/input0\n"
                             "E: HID_UNIQ=%4\n"
                             "E: MODALIAS=hid:b0003g0001v000004D8p0000F93C\n"
                             "E: SUBSYSTEM=hid\n"
                             "H: report_descriptor=%3\n\n")
                  .arg(hid, QString::number(number + 1), QString::fromLatin1(descriptorHex()),
                       serialNumber);
    record += QStringLiteral("P: %1/%2:1.0\n"
                             "E: DEVTYPE=usb_interface\n"
                             "E: DRIVER=usbhid\n"
                             "E: INTERFACE=3/0/0\n"
                             "E: PRODUCT=4d8/f93c/115\n"
                             "E: SUBSYSTEM=usb\n"
                             "A: bInterfaceClass=03\n"
                             "A: bInterfaceNumber=00\n"
                             "A: bInterfaceProtocol=00\n"
                             "A: bInterfaceSubClass=00\n"
                             "A: bNumEndpoints=02\n\n")
                  .arg(usb, port);
    record += QStringLiteral("P: %1\n"
                             "E: BUSNUM=001\n"
                             "E: DEVNUM=%2\n"
                             "E: DEVTYPE=usb_device\n"
                             "E: DRIVER=usb\n"
                             "E: PRODUCT=4d8/f93c/115\n"
                             "E: SUBSYSTEM=usb\n"
                             "A: bcdDevice=0115\n"
                             "A: busnum=1\n"
                             "A: devnum=%3\n"
                             "A: idProduct=f93c\n"
                             "A: idVendor=04d8\n"
                             "A: manufacturer=Kelmor\n"
                             "A: product=Tarvo QX40\n"
                             "A: speed=12\n")
                  .arg(usb)
                  .arg(number + 2, 3, 10, QLatin1Char('0'))
                  .arg(number + 2);
    if (!serialNumber.isEmpty()) {
        record += QStringLiteral("A: serial=%1\n").arg(serialNumber);
    }
    return record.toUtf8();
}

HidrawInstrument::Seat* HidrawInstrument::seatOf(_UMockdevIoctlClient* client)
{
    const QString clientNode = QString::fromUtf8(umockdev_ioctl_client_get_devnode(client));
    for (const auto& seat : seats) {
        if (seat->present && seat->node == clientNode) {
            return seat.get();
        }
    }
    return nullptr;
}

int HidrawInstrument::handleIoctl(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self)
{
    auto* front = static_cast<HidrawInstrument*>(self);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
    const int refusal = front->openRefusal;
    if (request == HIDIOCGRDESCSIZE && refusal != 0) {
        // hidapi asks this first of every node it opens, and gives the node
        // up when it fails, with this error.
        umockdev_ioctl_client_complete(client, -1, refusal);
    } else if (request == HIDIOCGRDESCSIZE) {
        const int size = sizeof reportDescriptor;
        umockdev_ioctl_data_update(argument, 0, reinterpret_cast<guint8*>(const_cast<int*>(&size)),
                                   sizeof size);
        umockdev_ioctl_client_complete(client, 0, 0);
    } else if (request == HIDIOCGRDESC) {
        umockdev_ioctl_data_update(argument, offsetof(hidraw_report_descriptor, value),
                                   const_cast<guint8*>(reportDescriptor), sizeof reportDescriptor);
        umockdev_ioctl_client_complete(client, 0, 0);
    } else if (request == HIDIOCGRAWINFO) {
        hidraw_devinfo info = {};
        info.bustype = BUS_USB;
        info.vendor = static_cast<__s16>(vendorId);
        info.product = static_cast<__s16>(productId);
        umockdev_ioctl_data_update(argument, 0, reinterpret_cast<guint8*>(&info), sizeof info);
        umockdev_ioctl_client_complete(client, 0, 0);
    } else {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
    }
    return TRUE;
}

int HidrawInstrument::handleWrite(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self)
{
    auto* front = static_cast<HidrawInstrument*>(self);
    UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
    std::lock_guard<std::mutex> lock(front->mutex);
    Seat* seat = front->seatOf(client);
    if (!seat) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    const qint64 time = now();
    const int written = seat->model.write(seat->connection, argument->data,
                                          static_cast<std::size_t>(argument->data_len), time);
    if (written >= 0 && front->maxReplyDelay > 0) {
        seat->reportsHeldUntil =
            std::max<qint64>(seat->reportsHeldUntil, nowMicroseconds() + front->nextReplyDelay());
        front->pumpWakeAt = seat->reportsHeldUntil;
        {
            // Taken so that the pump is either waiting, and is woken, or has
            // not yet read the hold, and will see it.
            std::lock_guard<std::mutex> waking(front->pumpMutex);
        }
        front->pumpWake.notify_one();
    }
    if (written < 0) {
        umockdev_ioctl_client_complete(client, -1, seat->model.isPlugged() ? EIO : ENODEV);
    } else {
        umockdev_ioctl_client_complete(client, written, 0);
    }
    front->releaseNextReport(*seat, time);
    return TRUE;
}

int HidrawInstrument::handleRead(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self)
{
    auto* front = static_cast<HidrawInstrument*>(self);
    int error = 0;
    GError* failure = nullptr;
    const int length = umockdev_ioctl_client_execute(client, &error, &failure);
    if (failure) {
        g_error_free(failure);
        umockdev_ioctl_client_abort(client);
        return TRUE;
    }
    umockdev_ioctl_client_complete(client, length, error);
    std::lock_guard<std::mutex> lock(front->mutex);
    Seat* seat = front->seatOf(client);
    if (length > 0 && seat) {
        seat->reportWaiting = false;
        front->releaseNextReport(*seat, now());
    }
    return TRUE;
}

} // namespace sim
