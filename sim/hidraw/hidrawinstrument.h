#pragma once

#include "instrument.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;

namespace sim {

// Presents an Instrument as a hidraw device node, with the sysfs and udev
// records that the system's hidapi (hidraw backend) reads, in a umockdev
// testbed. Programs see it when they run under umockdev-wrapper, in this
// process or started by it after start().
//
// The node follows the instrument: it appears when the instrument is plugged
// in and disappears, as a real removal does, when it is unplugged or the main
// board restarts; each plug is a new node (hidraw0, hidraw1, ...), announced
// with "add" uevents and its removal with "remove" uevents (the uevents reach
// programs only when this process, too, runs under umockdev's preload). Output
// reports the host writes go to the instrument; its input reports are handed
// to the host one at a time, as they fall due. The instrument is driven from
// the testbed's worker thread and from a pump thread of this object, with the
// time of std::chrono::steady_clock: reach it only through withInstrument().
class HidrawInstrument
{
public:
    HidrawInstrument();
    // Removes the device and the testbed.
    ~HidrawInstrument();
    HidrawInstrument(const HidrawInstrument&) = delete;
    HidrawInstrument& operator=(const HidrawInstrument&) = delete;

    // Creates the testbed and starts following the instrument. Fails, with the
    // reason in error, when this process does not run under umockdev-wrapper.
    bool start(QString* error = nullptr);

    // Runs action(Instrument&) with the instrument locked, and returns its result.
    template <typename Action> auto withInstrument(Action&& action)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return std::forward<Action>(action)(model);
    }

    // Adds count other HID devices to the machine, keyboards and mice, each a
    // HID device with its hidraw node. They stay plugged in and answer
    // nothing. Call after start(), while the instrument is unplugged (the
    // testbed must not change from two threads at once).
    bool addOtherDevices(int count, QString* error = nullptr);
    // While held, no uevent reaches the programs that watch now: a plug or an
    // unplug in that time goes unannounced, as with a lost event.
    void setEventsHeld(bool held);
    // Lets programs of other users see the device; whether they may also open
    // its node (when not, their open fails with EACCES), and whether they may
    // watch for uevents (a udev monitor needs a socket in the testbed's
    // folder). Call after start(). umockdev's preload ends a program after
    // about 50 failed opens of a node: keep a refused program's attempts few.
    void shareWithOtherUsers(bool mayOpen, bool mayWatch);

    // Whether programs may use the node they open: 0, they may; otherwise
    // hidapi's first request on it, part of its open, fails with this error
    // number, as the open of a node fails for a user its permissions leave
    // out (EACCES) or one that another program holds (EBUSY).
    void setOpenRefusal(int errorNumber);

    // The node of the device now present and complete ("/dev/hidraw3"), or empty.
    QString deviceNode() const;
    // When the present node was complete (the time of now()), or -1. A host
    // that looks while it is being added may open it a little earlier.
    qint64 plugTime() const;
    // How often the device has appeared so far.
    int plugCount() const;
    // Whether a host program has the present node open.
    bool isNodeOpen() const;

    // Input reports reach the node no earlier than minMicroseconds to
    // maxMicroseconds (a fixed pseudo-random sequence picks within the range)
    // after the output report written before them, on top of the instrument's
    // own reply latency: the time a board takes to answer, finer than the
    // instrument's millisecond clock.
    void setReplyDelay(int minMicroseconds, int maxMicroseconds);

    // The instrument's time: milliseconds of std::chrono::steady_clock.
    static qint64 now();

private:
    static qint64 nowMicroseconds();
    // The delay for the next output report, in microseconds. Called locked.
    int nextReplyDelay();
    void pump();
    // Everything that falls due without the host doing anything.
    void tick();
    // Adds node number with the instrument's connection. Called unlocked.
    void plugIn(int number, int connection);
    void unplugOut();
    // Hands the host the next due input report if none waits for it. Called locked.
    void releaseNextReport(qint64 time);
    // Whether a host has the node open (its other end is not hung up). Called locked.
    bool hostHasNode() const;
    // Drops a report that no host read before the node was closed.
    void drainNode();
    // Sets the present node up for other users as shareWithOtherUsers() asks. Called locked.
    void shareNode();
    // Removes the links that a removal leaves pointing nowhere (umockdev
    // removes a device's folder, not the links to it, and every enumeration
    // would walk them).
    void removeDanglingLinks();
    QString rootFolder() const;
    static QString usbDevicePathOf(int number);
    static QByteArray deviceRecord(int number);

    // Worker-thread handlers of the testbed.
    static int handleIoctl(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self);
    static int handleRead(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self);
    static int handleWrite(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self);
    bool isPresentNode(_UMockdevIoctlClient* client) const;

    mutable std::mutex mutex; // guards everything below
    Instrument model;
    _UMockdevTestbed* testbed = nullptr;
    _UMockdevIoctlBase* handler = nullptr;
    bool present = false;
    int connection = 0;         // the instrument's connection for the present node
    int plugs = 0;              // also the number of the next node
    QString node;               // "/dev/hidrawN" while present
    QString usbDevicePath;      // sysfs path of the USB device while present
    int nodeOtherEnd = -1;      // what is written here, the host reads from the node
    bool reportWaiting = false; // one input report is in the node, not yet read
    qint64 plugged = -1;        // when the present node was complete
    bool shared = false;        // other users see the device
    bool othersMayOpen = false; // ...and may open its node
    int otherDevices = 0;
    int minReplyDelay = 0; // microseconds, see setReplyDelay()
    int maxReplyDelay = 0;
    quint32 delayRandom = 1;
    std::atomic<int> openRefusal{0}; // see setOpenRefusal(); read by the worker thread
    // No input report reaches the node before this time (microseconds of steady_clock).
    std::atomic<qint64> reportsHeldUntil{0};

    std::mutex pumpMutex; // only for waiting on pumpWake
    std::condition_variable pumpWake;
    std::thread pumpThread;
    std::atomic<bool> stopping{false};
};

} // namespace sim
