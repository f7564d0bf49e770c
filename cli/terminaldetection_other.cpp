// Terminal detection where it is not known how: plain lines, which suit a
// terminal too.

#include "terminaldetection.h"

bool TerminalDetection::standardOutputIsTerminal()
{
    return false;
}

int TerminalDetection::standardOutputColumns()
{
    return 0;
}
