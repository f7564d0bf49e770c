#pragma once

#include "trvupdater.h"

#include <QList>
#include <QObject>
#include <QString>

// The outcomes of trvloader-cli, one exit code each. The numbers are part of
// the program's interface: scripts test them, so they never change.
class ExitCode
{
    Q_GADGET

public:
    enum Code {
        Success = 0,
        InternalError = 1,
        UsageError = 2,
        NoInstrument = 3,   // nothing answered within the wait
        CannotOpen = 4,     // the instrument is there, but this user may not open it, or it is busy
        AlreadyRunning = 5, // another copy of the update tool has the instrument
        FileRefused = 6,    // a firmware file that is not usable
        BoardMissing = 7,   // a board asked for did not answer
        OlderImage = 8,     // an image older than the version a board runs
        NoResponse = 10,    // the engine's failures, from here to FinishFailed
        StartFailed = 11,
        TransferFailed = 12,
        InvalidFirmware = 13,
        FinishFailed = 14,
        // versions --check: a board does not run its image's version, or did not answer
        NotCurrent = 15,
        SeveralInstruments = 16, // several are attached: choose one with --serial
        InstrumentsFailed = 17,  // update --repeat: the update of one or more instruments failed
        HungUp = 129,     // SIGHUP (the terminal closed), as a shell reports a program ended by it
        Canceled = 130,   // Ctrl-C (SIGINT), likewise
        Terminated = 143, // SIGTERM, likewise
    };
    Q_ENUM(Code)

    // What the code means, in words for the user; the engine's failures in the
    // engine's own words.
    static QString description(Code code);
    // The code's name for machines, as in "success" or "noInstrument".
    static QString name(Code code);
    // Every code, lowest first.
    static QList<Code> all();
    // The code of an update that failed for this reason.
    static Code ofEngineError(trvUpdater::Err error);
    // The code of a run stopped by this signal (SIGINT, SIGTERM or SIGHUP).
    static Code ofStopSignal(int signalNumber);
};
