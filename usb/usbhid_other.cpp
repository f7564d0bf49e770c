// What differs on systems without udev: what fixes a refused open. The lock
// on the device node is Linux's: here none is taken, and only the lock file
// keeps a second copy of the tools off the instrument.

#include "usbhid.h"

QString UsbHid::permissionRemedy(Language language)
{
    return inLanguage(QT_TR_NOOP("Ask the computer's administrator to let this user use USB "
                                 "devices. Then unplug the instrument and plug it in again."),
                      language);
}

bool UsbHid::isInBuildTree(const QString&)
{
    return false;
}

bool UsbHid::lockNode(const char*)
{
    return true;
}

void UsbHid::unlockNode() {}
