#pragma once

// While one lives, the calling thread's timed waits end as close to their
// deadline as the kernel can make them (Linux timer slack of 1 ns instead of
// the default 50 µs); the thread's former slack is given back when the last
// of them goes.
// Fine slack costs power, so the link's poll timer holds it only while it
// ticks on time (the device open), where each 1 ms tick that comes late
// stretches a transfer.
class FineTimerSlack
{
public:
    FineTimerSlack();
    ~FineTimerSlack();
    FineTimerSlack(const FineTimerSlack&) = delete;
    FineTimerSlack& operator=(const FineTimerSlack&) = delete;
};
