// What differs on Linux: what fixes a refused open (the package's udev rule
// lets the logged-in user open the instrument; a program run from its build
// tree needs the rule installed from there), and the lock on the device node
// that keeps every other copy, of any user, off the instrument.

#include "usbhid.h"

#include <QCoreApplication>
#include <QDir>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString UsbHid::permissionRemedy(Language language)
{
    if (isInBuildTree(QCoreApplication::applicationDirPath())) {
        return inLanguage(
            QT_TR_NOOP("Install the update tool's udev rule from the build folder, which lets the "
                       "logged-in user open the instrument (sudo cmake --install build && sudo "
                       "udevadm control --reload-rules && sudo udevadm trigger). Then unplug the "
                       "instrument and plug it in again."),
            language);
    }
    // Installed, the package's udev rule is in place: a device plugged in
    // before it came, or a rule not yet read, needs the device anew.
    return inLanguage(
        QT_TR_NOOP("Unplug the instrument and plug it in again. If that does not help, install "
                   "the update tool's package again (sudo apt install --reinstall trvloader)."),
        language);
}

bool UsbHid::isInBuildTree(const QString& programFolder)
{
    QDir folder(programFolder);
    do {
        if (folder.exists(QStringLiteral("CMakeCache.txt"))) {
            return true;
        }
    } while (folder.cdUp());
    return false;
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
