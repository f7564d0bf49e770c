#pragma once

#include <QElapsedTimer>

#include <memory>

// Says when looking for a USB HID device is worth what it costs. A look
// enumerates every HID device of the system, which takes milliseconds on a
// desktop with a handful of them; a link that looked on every tick of its
// poll timer would keep a processor core busy for as long as it waits.
//
// Where the system's device events are watched (libudev on Linux), a look is
// due for a while after a hidraw device has been added (its node and
// attributes may need a few milliseconds more to be ready), when one is asked
// for, and at least once a second whatever the events (a lost or overflowed
// event stream must not keep the device unseen); where the watch was built in
// but could not be set up, every look is due. Built without a watch (other
// systems), the first look is due at once and each next one
// unwatchedLookPeriod after the last.
class HotplugWatch
{
public:
    HotplugWatch();
    ~HotplugWatch();
    HotplugWatch(const HotplugWatch&) = delete;
    HotplugWatch& operator=(const HotplugWatch&) = delete;

    // Whether device events are being watched.
    bool isWatching() const;

    // Whether to look now; asked on every tick while the device is not open.
    // Reads the events that have come since it was last asked.
    bool lookDue();
    // The next lookDue() says yes, whatever the events; without a watch, as
    // soon as unwatchedLookPeriod has passed since the last look.
    void lookSoon();
    // A look has just been made (due or not): the waits start again, and a
    // look that found the device ends the retries.
    void looked(bool found);

    // Ticks a look is due after an added hidraw device, unless found earlier.
    static constexpr int retriesAfterAdd = 50;
    // Longest time without a look while events are watched, in milliseconds.
    static constexpr int longestWithoutLook = 1000;
    // Shortest time between two looks when built without a watch, in milliseconds.
    static constexpr int unwatchedLookPeriod = 250;

private:
    struct Events; // the system's device events and the looks they call for

    std::unique_ptr<Events> events;
    QElapsedTimer sinceLastLook;
};
