#pragma once

#include "instrument.h"
#include "trvtiming.h"

// Waits short enough for tests in which their length is not what is checked,
// and an emulated instrument whose delays follow the waits in use.
struct TestTiming
{
    // A few event-loop hiccups long each, so that a loaded machine still
    // keeps to them, and far shorter than the instrument's own.
    static trvTiming quick()
    {
        trvTiming waits;
        waits.requestTimeout = 150;
        waits.restartWait = 300;
        waits.reconnectTimeout = 800;
        waits.verifyTimeout = 150;
        waits.versionRetries = 3;
        waits.watchdogTimeout = 100;
        waits.answerTime = 200;
        return waits;
    }

    // For the in-process emulated instrument, which answers at once: the
    // watchdog and the answer time-outs a tenth of the instrument's, the
    // wait before the main board is looked for 20 ms; the reconnect window
    // keeps a second for a machine that is busy.
    static trvTiming inProcess()
    {
        trvTiming waits;
        waits.watchdogTimeout = 40;
        waits.requestTimeout = 100;
        waits.restartWait = 20;
        waits.reconnectTimeout = 1000;
        waits.verifyTimeout = 100;
        waits.answerTime = 100;
        return waits;
    }

    // Shortens the engine's reconnect window and the session's late wait
    // behind it for a main board that comes back late: short, but each wait
    // well apart from the others.
    static void shortenLateReturn(trvTiming& waits)
    {
        waits.reconnectTimeout = 400;
        waits.lateReturnTimeout = waits.reconnectTimeout * 2;
    }

    // A main board away so long that it comes back half way through the
    // session's late wait, after the engine has given up on it.
    static int lateMainboardRestartTime(const trvTiming& waits)
    {
        return waits.restartWait + waits.reconnectTimeout + waits.lateReturnTimeout / 2;
    }

    // How long the main board stays off the bus after its restart message:
    // half as long again as restartWait, when the engine starts to look for
    // it, and so within the reconnect time-out after that (1500 ms for the
    // instrument's own waits, as the real main board).
    static int mainboardRestartTime(const trvTiming& waits)
    {
        return waits.restartWait + waits.restartWait / 2;
    }

    // Paces the instrument by waits: the main board as above; replies come
    // at once and the other boards are back at once after an update.
    static void pace(sim::Instrument& instrument, const trvTiming& waits)
    {
        instrument.setMainboardRestartTime(mainboardRestartTime(waits));
        instrument.setBoardRestartTime(0);
        instrument.setReplyLatency(0, 0);
    }
};
