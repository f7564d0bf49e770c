// What differs on Linux: what fixes a refused open (the package or the udev
// rule lets the logged-in user open the instrument), and the lock on the
// device node that keeps every other copy, of any user, off the instrument.

#include "trvconfig.h"
#include "usbhid.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString UsbHid::permissionRemedy()
{
    return tr("Install the update tool's package, which lets the logged-in user open the "
              "instrument (sudo apt install ./trvloader_%1_amd64.deb), or install its udev "
              "rule from the build folder (sudo cmake --install build && sudo udevadm "
              "control --reload-rules && sudo udevadm trigger), as the README says. Then "
              "unplug the instrument and plug it in again.")
        .arg(QStringLiteral(TRV_VERSION));
}

bool UsbHid::lockNode(const char* path)
{
    unlockNode();
    // A descriptor of the lock's own: hidapi's is out of reach. Opened for
    // reading only, which every user who could open the device may do, and
    // never read: what the device sends goes to hidapi's descriptor.
    const int descriptor = ::open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return true;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(descriptor);
        return !held;
    }
    nodeLock = descriptor;
    return true;
}

void UsbHid::unlockNode()
{
    if (nodeLock >= 0) {
        ::close(nodeLock);
        nodeLock = -1;
    }
}
