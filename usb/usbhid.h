#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class HotplugWatch;
class PollTimer;
struct hid_device_;

// One USB HID device, chosen by vendor and product ID and, where several are
// attached, by its serial number: opened (by itself when
// autoconnect is on), polled on a PollTimer, with a queue of outgoing messages
// packed whole into 65-byte output reports. An open tick writes at most one
// report. It reads the input reports that wait, up to the first that makes a
// receiver queue a message, and then writes: an answer leaves in the tick
// that read what it answers. Messages queued before the tick are written
// before it reads. Either way, whatever is read after a message was queued
// came after it was written. While closed with autoconnect on,
// a tick looks for the device only when a HotplugWatch says it is worth it.
// Once open, the device is held (on Linux) with an exclusive lock on its
// node, which every copy of the link takes, whichever user runs it: a device
// whose lock another holds is closed again at once, unused, and refused as
// busy (EBUSY). Where several devices with the IDs are attached, none is
// opened until one is chosen; a pinned link opens only the device it has open
// now, whatever else is plugged in meanwhile.
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
    // When on, the ticks while closed try to open the device whenever a
    // HotplugWatch says a look is due: where device events are watched, each
    // tick where a device may have come and the first after every close.
    void setAutoconnect(const bool& autoconnect);

    // Bytes of messages one report carries, behind its report ID.
    static constexpr int reportPayload = 64;
    // A whole report as hidapi takes and gives it: the report ID, then the payload.
    static constexpr int reportSize = reportPayload + 1;
    // At most this many input reports are read in one tick.
    static constexpr int maximumReportsPerTick = 32;

    // Why the device, found on the bus, could not be opened at the last
    // attempt: the system's error number (EACCES when this user may not open
    // it, EBUSY when it is taken, by another program or by another copy of
    // this link); 0 when the last attempt found no device or opened it.
    int openRefusal() const;
    // The words of the refusal texts: the user's language for the screen,
    // English for the log and the report that support reads.
    enum Language {
        UserLanguage,
        English,
    };
    // The refusal in words a user understands, and what fixes it on this system.
    static QString refusalDescription(int errorNumber, Language language = UserLanguage);
    static QString refusalRemedy(int errorNumber, Language language = UserLanguage);
    // The USB serial number of the device opened last, as it reports it;
    // empty when it reports none or none has been opened.
    QString serialNumber() const;

    // One device with the IDs, as a look found it on the bus.
    struct Device
    {
        QString serialNumber; // empty when it reports none
        QString path;         // the system's device path, valid while it stays plugged in

        // What tells it from the others: its serial number, or its path where it reports none.
        QString identity() const;
        bool operator==(const Device& other) const;
    };
    // The device opened last; empty when none has been.
    Device openedDevice() const;
    // The devices with the IDs that the last look found, in the system's order.
    // While a device is open the link does not look: the list is the one of
    // the look that opened it.
    QList<Device> attached() const;
    // Which device to open: the one whose identity() this is; empty, any
    // device when exactly one is attached. A choice of a device that is not
    // attached opens nothing and stays until changed. Takes effect at the
    // next look, without closing a device open now.
    void choose(const QString& identity);
    QString choice() const;
    // Where several devices are attached and none is chosen: the link opens
    // none of them (tell the user, and choose()).
    bool choiceNeeded() const;
    // While pinned, the link opens only the device open now (or opened last):
    // the same serial number, or where it reports none, the same path. A
    // device plugged in meanwhile is never opened.
    void pin();
    void unpin();
    bool isPinned() const;
    // Leaves the device with this identity unopened, and out of the count
    // of choiceNeeded(), until a look finds it gone: the instrument just
    // updated is never taken for the next one before it has been unplugged.
    // Empty: none is passed over.
    void passOver(const QString& identity);

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
    // openRefusal() has changed: the device is there but cannot be opened
    // (errorNumber not 0), or that is over (0: gone, or opened).
    void openRefusalChanged(int errorNumber);
    // attached() or choiceNeeded() has changed.
    void attachedChanged();

private:
    // Starts hidapi and the hot-plug watch, once: nothing of USB is touched
    // before the link first looks.
    void startLooking();
    void write();
    void read();
    void emitError();
    // Enumerates the devices with our IDs and opens the one the pin or the
    // choice asks for (any, when one is attached and nothing is asked for);
    // when it does not open, refusal is why (0 when none was found, or when
    // it went before it could be opened: ENOENT, ENODEV).
    hid_device_* openFound(int* refusal, QString* serialNumber);
    // Of the devices found, the ones the link may open now.
    QList<Device> openable(const QList<Device>& found) const;
    // The devices but the one passed over.
    QList<Device> notPassedOver(const QList<Device>& devices) const;
    void setAttached(const QList<Device>& found);
    void setOpenRefusal(int errorNumber);
    // What lets this user open the device, on this system and for the way the
    // program was installed: from a package, or run from a build tree.
    static QString permissionRemedy(Language language);
    // A text of this class (marked with QT_TR_NOOP) in the language asked for.
    static QString inLanguage(const char* text, Language language);
    // Whether the program's folder is in a CMake build tree: a folder above
    // it, or itself, holds a CMakeCache.txt.
    static bool isInBuildTree(const QString& programFolder);
    // Takes the exclusive lock on the device node at path, through a
    // descriptor of its own; false when another (program or link) holds it. Where the
    // system has no such lock, or the node cannot be locked, there is nothing
    // to wait for: true.
    bool lockNode(const char* path);
    // Gives the lock up, if held.
    void unlockNode();

    bool opened;
    bool autoconnect;
    unsigned short vendor;
    unsigned short product;
    int timebase;
    hid_device_* handle;
    PollTimer* pollTimer;
    unsigned char buffer[reportSize];
    QList<QByteArray> sendQueue;         // oldest first; kept when a report could not be written
    std::unique_ptr<HotplugWatch> watch; // made, with hidapi started, at the first look
    int refusal;                         // see openRefusal()
    QString serial;                      // see serialNumber()
    QString openPath;                    // the path of the device opened last
    QList<Device> found;                 // see attached()
    QString chosen;                      // see choice()
    bool severalUnchosen = false;        // see choiceNeeded()
    bool pinned = false;
    QString passedOver;                  // see passOver()
    Device pinnedDevice;                 // while pinned
    int nodeLock = -1;                   // the descriptor holding the node's lock, or -1
    quint64 messagesQueued = 0; // ever accepted by send(); tells read() that a receiver answered
};
