// Terminal detection on POSIX systems.

#include "terminaldetection.h"

#include <unistd.h>

bool TerminalDetection::standardOutputIsTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}
