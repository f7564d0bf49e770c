// The emulated instrument's machine has no udev: linked with the in-process
// hidapi front, in place of the system's libudev, so that the link finds no
// hot-plug events to watch and looks for the instrument on every tick.

#include <libudev.h>

extern "C" {

struct udev* udev_new(void)
{
    return nullptr;
}

} // extern "C"
