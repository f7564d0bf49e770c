#pragma once

class QObject;

// Waiting in the benchmarks at the event loop's real pace (a 1 ms poll timer
// keeps its period, unlike under QTest::qWait).

// Runs the event loop until the sender emits the signal (true) or ms have passed.
bool waitForSignal(QObject* sender, const char* signal, int ms);
// Runs the event loop for ms.
void settle(int ms);
