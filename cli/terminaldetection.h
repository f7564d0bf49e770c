#pragma once

// Whether the command line's output goes to a person at a terminal, who gets
// one line redrawn per step, or to a file or another program.
class TerminalDetection
{
public:
    // Whether standard output is a terminal; false where that cannot be told.
    static bool standardOutputIsTerminal();
};
