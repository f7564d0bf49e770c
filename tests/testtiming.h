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
