// The display check where the toolkit's default window system is X11.

#include "displaycheck.h"

#include <QByteArray>
#include <QList>

namespace {

bool isSet(const char* name)
{
    return !qgetenv(name).isEmpty();
}

// The window system asked for: the -platform (or --platform) argument, else
// QT_QPA_PLATFORM; empty for the toolkit's default.
QByteArray platformAsked(int argc, char* argv[])
{
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    for (int index = 1; index + 1 < argc; ++index) {
        const QByteArray argument(argv[index]);
        if (argument == "-platform" || argument == "--platform") {
            platform = argv[index + 1];
        }
    }
    return platform;
}

} // namespace

bool DisplayCheck::displayAvailable(int argc, char* argv[])
{
    // A list of window systems to try in turn: one that can start is enough.
    for (const QByteArray& entry : platformAsked(argc, argv).split(';')) {
        // The name before its options, as in "xcb:nograb".
        const QByteArray name = entry.split(':').first().trimmed();
        if (name.isEmpty()) {
            // The default finds its way through X11 or Wayland.
            if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY")) {
                return true;
            }
        } else if (name == "xcb") {
            if (isSet("DISPLAY")) {
                return true;
            }
        } else {
            // Offscreen, Wayland, VNC and the others judge for themselves.
            return true;
        }
    }
    return false;
}
