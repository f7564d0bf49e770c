#pragma once

// Waiting in tests at the event loop's real pace. QTest::qWait sleeps up to
// 10 ms between looks, which lets the link's 1 ms poll timer fire only every
// 10 ms; these run a real event loop instead.

#include <functional>

// Runs the event loop until the condition holds or the time (ms) is up;
// whether the condition holds at the end.
bool waitUntil(const std::function<bool()>& condition, int timeout);

// Lets the event loop run for a while.
void run(int ms);

// As waitUntil, and calls tick at every pass of the event loop besides: a
// test drives the link's poll ticks with it (tick calls its polling()) where
// the pace of an update is not what it checks, so that a long image takes a
// fraction of the 1 ms per line the link's own timer gives it.
bool driveUntil(const std::function<void()>& tick, const std::function<bool()>& condition,
                int timeout);
