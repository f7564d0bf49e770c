#pragma once

// Whether the command line's output goes to a person at a terminal, who gets
// one line redrawn per step, or to a file or another program; and how wide
// that terminal is, so that the redrawn line fits.
class TerminalDetection
{
public:
    // Whether standard output is a terminal; false where that cannot be told.
    static bool standardOutputIsTerminal();
    // How many characters a line of that terminal holds now; 0 where it is
    // no terminal or that cannot be told.
    static int standardOutputColumns();
};
