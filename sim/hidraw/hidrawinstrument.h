#pragma once

#include "instrument.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;

namespace sim {

// Presents a bench of Instruments as hidraw device nodes, with the sysfs and
// udev records that the system's hidapi (hidraw backend) reads, in a umockdev
// testbed. Programs see them when they run under umockdev-wrapper, in this
// process or started by it after start().
//
// Each node follows its instrument: it appears when the instrument is plugged
// in and disappears, as a real removal does, when it is unplugged or its main
// board restarts; each plug is a new node (hidraw0, hidraw1, ..., counted
// across the bench), announced with "add" uevents and its removal with
// "remove" uevents (the uevents reach programs only when this process, too,
// runs under umockdev's preload). Each node reports its instrument's serial
// number. Output reports the host writes go to the node's instrument; its
// input reports are handed to the host one at a time, as they fall due. The
// instruments are driven from the testbed's worker thread and from a pump
// thread of this object, with the time of std::chrono::steady_clock: reach
// them only through withInstrument(). The bench starts with one instrument,
// index 0, that reports Instrument::defaultSerialNumber.
class HidrawInstrument
{
public:
    HidrawInstrument();
    // Removes the devices and the testbed.
    ~HidrawInstrument();
    HidrawInstrument(const HidrawInstrument&) = delete;
    HidrawInstrument& operator=(const HidrawInstrument&) = delete;

    // Creates the testbed and starts following the instruments. Fails, with
    // the reason in error, when this process does not run under umockdev-wrapper.
    bool start(QString* error = nullptr);

    // Adds a fresh instrument (plugged in) reporting serialNumber to the
    // bench, and returns its index. setup(Instrument&) runs on it before it
    // can be plugged in: unplug it there to add it unplugged.
    template <typename Setup> int addInstrument(const QString& serialNumber, Setup&& setup)
    {
        auto added = std::make_unique<Seat>(serialNumber);
        std::forward<Setup>(setup)(added->model);
        std::lock_guard<std::mutex> lock(mutex);
        seats.push_back(std::move(added));
        return int(seats.size()) - 1;
    }
    int addInstrument(const QString& serialNumber)
    {
        return addInstrument(serialNumber, [](Instrument&) {});
    }
    // How many instruments the bench has.
    int instrumentCount() const;

    // Runs action(Instrument&) with the instrument at index locked, and
    // returns its result. The index must be one of the bench's.
    template <typename Action> auto withInstrument(int index, Action&& action)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return std::forward<Action>(action)(seats.at(std::size_t(index))->model);
    }
    // The same on the first instrument.
    template <typename Action> auto withInstrument(Action&& action)
    {
        return withInstrument(0, std::forward<Action>(action));
    }

    // Adds count other HID devices to the machine, keyboards and mice, each a
    // HID device with its hidraw node. They stay plugged in and answer
    // nothing. Call after start(), while every instrument is unplugged (the
    // testbed must not change from two threads at once).
    bool addOtherDevices(int count, QString* error = nullptr);
    // While held, no uevent reaches the programs that watch now: a plug or an
    // unplug in that time goes unannounced, as with a lost event.
    void setEventsHeld(bool held);
    // Lets programs of other users see the devices; whether they may also open
    // their nodes (when not, their open fails with EACCES), and whether they may
    // watch for uevents (a udev monitor needs a socket in the testbed's
    // folder). Call after start(). umockdev's preload ends a program after
    // about 50 failed opens of a node: keep a refused program's attempts few.
    void shareWithOtherUsers(bool mayOpen, bool mayWatch);

    // Whether programs may use the nodes they open: 0, they may; otherwise
    // hidapi's first request on one, part of its open, fails with this error
    // number, as the open of a node fails for a user its permissions leave
    // out (EACCES) or one that another program holds (EBUSY).
    void setOpenRefusal(int errorNumber);

    // The node of the instrument at index, present and complete
    // ("/dev/hidraw3"), or empty.
    QString deviceNode(int index = 0) const;
    // When that node was complete (the time of now()), or -1. A host that
    // looks while it is being added may open it a little earlier.
    qint64 plugTime(int index = 0) const;
    // How often the instrument at index has appeared so far.
    int plugCount(int index = 0) const;
    // Whether a host program has the instrument's present node open.
    bool isNodeOpen(int index = 0) const;

    // Input reports reach a node no earlier than minMicroseconds to
    // maxMicroseconds (a fixed pseudo-random sequence picks within the range)
    // after the output report written to it before them, on top of the
    // instrument's own reply latency: the time a board takes to answer, finer
    // than the instrument's millisecond clock.
    void setReplyDelay(int minMicroseconds, int maxMicroseconds);

    // The instruments' time: milliseconds of std::chrono::steady_clock.
    static qint64 now();

private:
    // An instrument of the bench and its node.
    struct Seat
    {
        explicit Seat(const QString& serialNumber) : model(serialNumber) {}
        Instrument model;
        bool present = false;
        bool leaving = false;       // its node is to be removed by the pump
        int connection = 0;         // the instrument's connection for the present node
        int plugs = 0;              // how often it has appeared
        QString node;               // "/dev/hidrawN" while present
        QString usbDevicePath;      // sysfs path of the USB device while present
        int nodeOtherEnd = -1;      // what is written here, the host reads from the node
        bool reportWaiting = false; // one input report is in the node, not yet read
        qint64 plugged = -1;        // when the present node was complete
        // No input report reaches the node before this time (microseconds of steady_clock).
        qint64 reportsHeldUntil = 0;
    };

    static qint64 nowMicroseconds();
    // The seat at index, or null. Called locked.
    const Seat* seatAt(int index) const;
    // The delay for the next output report, in microseconds. Called locked.
    int nextReplyDelay();
    void pump();
    // Everything that falls due without the host doing anything.
    void tick();
    // Adds node number with the seat's instrument connection. Called unlocked,
    // by the pump only.
    void plugIn(Seat& seat, int number, int connection);
    // Removes the seat's node. Called locked, never while the pump plugs one in.
    void unplugOut(Seat& seat);
    // Removes the seat's node now, or has the pump remove it if it is
    // plugging one in (the testbed must not change from two threads at once).
    // Called locked.
    void removeNode(Seat& seat);
    // Hands the host the next due input report if none waits for it. Called locked.
    void releaseNextReport(Seat& seat, qint64 time);
    // Whether a host has the seat's node open (its other end is not hung up). Called locked.
    static bool hostHasNode(const Seat& seat);
    // Drops a report that no host read before the node was closed.
    static void drainNode(const Seat& seat);
    // Sets the seat's present node up for other users as shareWithOtherUsers()
    // asks. Called locked.
    void shareNode(const Seat& seat);
    // Removes the links that a removal leaves pointing nowhere (umockdev
    // removes a device's folder, not the links to it, and every enumeration
    // would walk them).
    void removeDanglingLinks();
    QString rootFolder() const;
    static QString usbDevicePathOf(int number);
    static QByteArray deviceRecord(int number, const QString& serialNumber);

    // Worker-thread handlers of the testbed.
    static int handleIoctl(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self);
    static int handleRead(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self);
    static int handleWrite(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self);
    // The seat whose present node the client uses, or null. Called locked.
    Seat* seatOf(_UMockdevIoctlClient* client);

    mutable std::mutex mutex; // guards everything below
    std::vector<std::unique_ptr<Seat>> seats;
    _UMockdevTestbed* testbed = nullptr;
    _UMockdevIoctlBase* handler = nullptr;
    int nodes = 0;              // the number of the next node
    bool plugging = false;      // the pump is adding a node, unlocked
    bool shared = false;        // other users see the devices
    bool othersMayOpen = false; // ...and may open their nodes
    int otherDevices = 0;
    int minReplyDelay = 0; // microseconds, see setReplyDelay()
    int maxReplyDelay = 0;
    quint32 delayRandom = 1;
    std::atomic<int> openRefusal{0}; // see setOpenRefusal(); read by the worker thread
    // When the pump is to look again for a report held back by the last write
    // (microseconds of steady_clock).
    std::atomic<qint64> pumpWakeAt{0};

    std::mutex pumpMutex; // only for waiting on pumpWake
    std::condition_variable pumpWake;
    std::thread pumpThread;
    std::atomic<bool> stopping{false};
};

} // namespace sim
