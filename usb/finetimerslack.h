#pragma once

// While it lives, the calling thread's timed waits end as close to their
// deadline as the kernel can make them (Linux timer slack of 1 ns instead of
// the default 50 µs); the thread's former slack is given back when it goes.
// Fine slack costs power, so it is held only while an update runs, where each
// 1 ms poll tick that comes late stretches the whole transfer.
class FineTimerSlack
{
public:
    FineTimerSlack();
    ~FineTimerSlack();
    FineTimerSlack(const FineTimerSlack&) = delete;
    FineTimerSlack& operator=(const FineTimerSlack&) = delete;

private:
    long formerSlack; // nanoseconds; negative when it could not be read
};
