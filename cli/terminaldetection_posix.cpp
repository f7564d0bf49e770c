// Terminal detection on POSIX systems.

#include "terminaldetection.h"

#include <sys/ioctl.h>
#include <unistd.h>

bool TerminalDetection::standardOutputIsTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}

int TerminalDetection::standardOutputColumns()
{
    winsize size = {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}
