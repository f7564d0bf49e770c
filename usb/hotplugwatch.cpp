#include "hotplugwatch.h"

#ifdef TRV_HOTPLUG_UDEV
#include <libudev.h>

#include <cstring>

#include <fcntl.h>
#include <poll.h>
#endif

HotplugWatch::HotplugWatch()
{
    sinceLastLook.start();
#ifdef TRV_HOTPLUG_UDEV
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
#endif
}

HotplugWatch::~HotplugWatch()
{
#ifdef TRV_HOTPLUG_UDEV
    if (monitor) {
        udev_monitor_unref(monitor);
    }
    if (context) {
        udev_unref(context);
    }
#endif
}

bool HotplugWatch::isWatching() const
{
    return monitor != nullptr;
}

bool HotplugWatch::lookDue()
{
    if (!monitor) {
        return true;
    }
    if (deviceAdded()) {
        retriesLeft = retriesAfterAdd;
    }
    if (retriesLeft > 0) {
        --retriesLeft;
        return true;
    }
    return sinceLastLook.elapsed() >= longestWithoutLook;
}

void HotplugWatch::lookSoon()
{
    if (retriesLeft < 1) {
        retriesLeft = 1;
    }
}

void HotplugWatch::looked(bool found)
{
    sinceLastLook.restart();
    if (found) {
        retriesLeft = 0;
    }
}

bool HotplugWatch::deviceAdded()
{
    bool added = false;
#ifdef TRV_HOTPLUG_UDEV
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
#endif
    return added;
}
