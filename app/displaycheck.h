#pragma once

// Whether the window has somewhere to appear. Where the desktop is a display
// server, the toolkit ends the program with an abort when no display is
// named; this tells that case beforehand, so that the program can say so.
class DisplayCheck
{
public:
    // False when the window system the toolkit would use (the -platform
    // argument, else QT_QPA_PLATFORM, else its default) needs a display
    // server and the environment names none. True where that cannot be told.
    static bool displayAvailable(int argc, char* argv[]);
};
