// Systems without a kernel timer that the event loop can watch: Qt's timer
// ticks, on time or not.

#include "polltimer.h"

void PollTimer::openKernelTimer() {}

void PollTimer::closeKernelTimer() {}

void PollTimer::armKernelTimer(bool) {}

void PollTimer::kernelTimerExpired() {}
