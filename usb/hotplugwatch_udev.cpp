// The hot-plug watch on Linux: hidraw devices seen coming through libudev.

#include "hotplugwatch.h"

#include <libudev.h>

#include <cstring>

#include <fcntl.h>
#include <poll.h>

struct HotplugWatch::Events
{
    Events();
    ~Events();

    bool isWatching() const { return monitor != nullptr; }
    // Reads the waiting events; whether a hidraw device was added among them.
    bool deviceAdded();

    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    int monitorDescriptor = -1;
    int retriesLeft = 1; // the first look, at start, is always due
};

HotplugWatch::Events::Events()
{
    context = udev_new();
    if (!context) {
        return;
    }
    // Events of the "udev" source come after udev has set the node up (its
    // owner and permissions included), unlike the kernel's own.
    monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor) {
            udev_monitor_unref(monitor);
            monitor = nullptr;
        }
        return;
    }
    monitorDescriptor = udev_monitor_get_fd(monitor);
    const int flags = monitorDescriptor >= 0 ? fcntl(monitorDescriptor, F_GETFL) : -1;
    if (flags < 0 || fcntl(monitorDescriptor, F_SETFL, flags | O_NONBLOCK) < 0) {
        udev_monitor_unref(monitor);
        monitor = nullptr;
        monitorDescriptor = -1;
    }
}

HotplugWatch::Events::~Events()
{
    if (monitor) {
        udev_monitor_unref(monitor);
    }
    if (context) {
        udev_unref(context);
    }
}

bool HotplugWatch::Events::deviceAdded()
{
    bool added = false;
    pollfd waiting = {monitorDescriptor, POLLIN, 0};
    while (poll(&waiting, 1, 0) > 0) {
        if (waiting.revents & POLLERR) {
            // Events were lost (the stream overflowed): one of them may have
            // been the device's.
            added = true;
        }
        udev_device* device = udev_monitor_receive_device(monitor);
        if (!device) {
            // Nothing that passes the filter, or a message that could not be
            // read (which also clears an error).
            break;
        }
        const char* action = udev_device_get_action(device);
        if (action && std::strcmp(action, "add") == 0) {
            added = true;
        }
        udev_device_unref(device);
    }
    return added;
}

HotplugWatch::HotplugWatch() : events(std::make_unique<Events>())
{
    sinceLastLook.start();
}

HotplugWatch::~HotplugWatch() = default;

bool HotplugWatch::isWatching() const
{
    return events->isWatching();
}

bool HotplugWatch::lookDue()
{
    // No monitor could be made (no udev here): every tick looks.
    if (!events->isWatching()) {
        return true;
    }
    if (events->deviceAdded()) {
        events->retriesLeft = retriesAfterAdd;
    }
    if (events->retriesLeft > 0) {
        --events->retriesLeft;
        return true;
    }
    return sinceLastLook.elapsed() >= longestWithoutLook;
}

void HotplugWatch::lookSoon()
{
    if (events->retriesLeft < 1) {
        events->retriesLeft = 1;
    }
}

void HotplugWatch::looked(bool found)
{
    sinceLastLook.restart();
    if (found) {
        events->retriesLeft = 0;
    }
}
