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
