#pragma once

#include <QElapsedTimer>

struct udev;
struct udev_monitor;

// Says when looking for a USB HID device is worth what it costs. A look
// enumerates every HID device of the system, which takes milliseconds on a
// desktop with a handful of them; a link that looked on every tick of its
// poll timer would keep a processor core busy for as long as it waits.
//
// On Linux it watches the hidraw devices through udev: a look is due for a
// while after a hidraw device has been added (its node and attributes may
// need a few milliseconds more to be ready), when one is asked for, and at
// least once a second whatever the events (a lost or overflowed event stream
// must not keep the device unseen). Where no watch can be set up, every look
// is due.
class HotplugWatch
{
public:
    HotplugWatch();
    ~HotplugWatch();
    HotplugWatch(const HotplugWatch&) = delete;
    HotplugWatch& operator=(const HotplugWatch&) = delete;

    // Whether hidraw devices are being watched.
    bool isWatching() const;

    // Whether to look now; asked on every tick while the device is not open.
    // Reads the events that have come since it was last asked.
    bool lookDue();
    // The next lookDue() says yes, whatever the events.
    void lookSoon();
    // A look has just been made (due or not): the second of the safety net
    // starts again, and a look that found the device ends the retries.
    void looked(bool found);

    // Ticks a look is due after an added hidraw device, unless found earlier.
    static constexpr int retriesAfterAdd = 50;
    // Longest time without a look, in milliseconds.
    static constexpr int longestWithoutLook = 1000;

private:
    // Reads the waiting events; whether a hidraw device was added among them.
    bool deviceAdded();

    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    int monitorDescriptor = -1;
    int retriesLeft = 1; // the first look, at start, is always due
    QElapsedTimer sinceLastLook;
};
