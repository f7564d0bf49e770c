#pragma once

#include "instrument.h"

#include <QString>

#include <atomic>
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
// board restarts; each plug is a new node (hidraw0, hidraw1, ...). Output
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

    // The node of the device now present ("/dev/hidraw3"), or empty.
    QString deviceNode() const;
    // How often the device has appeared so far.
    int plugCount() const;
    // Whether a host program has the present node open.
    bool isNodeOpen() const;

    // The instrument's time: milliseconds of std::chrono::steady_clock.
    static qint64 now();

private:
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

    std::thread pumpThread;
    std::atomic<bool> stopping{false};
};

} // namespace sim
