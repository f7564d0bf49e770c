// What fixes a refused open, on Linux: the package or the udev rule lets the
// logged-in user open the instrument.

#include "usbhid.h"

#include <cerrno>

QString UsbHid::refusalRemedy(int errorNumber)
{
    switch (errorNumber) {
    case 0:
        return QString();
    case EACCES:
    case EPERM:
        return tr("Install the update tool's package, which lets the logged-in user open the "
                  "instrument (sudo apt install ./trvloader_%1_amd64.deb), or install its udev "
                  "rule from the build folder (sudo cmake --install build && sudo udevadm "
                  "control --reload-rules && sudo udevadm trigger), as the README says. Then "
                  "unplug the instrument and plug it in again.")
            .arg(QStringLiteral(TRV_VERSION));
    case EBUSY:
        return tr("Close the other program that uses the instrument; the connection is then "
                  "made by itself.");
    default:
        return tr("Unplug the instrument and plug it in again.");
    }
}
