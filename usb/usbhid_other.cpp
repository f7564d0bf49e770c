// What fixes a refused open, on systems without udev.

#include "usbhid.h"

#include <cerrno>

QString UsbHid::refusalRemedy(int errorNumber)
{
    switch (errorNumber) {
    case 0:
        return QString();
    case EACCES:
    case EPERM:
        return tr("Ask the computer's administrator to let this user use USB devices. Then "
                  "unplug the instrument and plug it in again.");
    case EBUSY:
        return tr("Close the other program that uses the instrument; the connection is then "
                  "made by itself.");
    default:
        return tr("Unplug the instrument and plug it in again.");
    }
}
