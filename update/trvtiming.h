#pragma once

// The waits that are part of the tool's behaviour, in milliseconds. The
// defaults are what the instrument needs and what the program always uses;
// tests hand shorter ones to the session, the sequence and the engine where
// the length is not what they check.
struct trvTiming
{
    // Any reply a board owes to a request.
    int requestTimeout = 1000;
    // After the main board's restart message: how long it is left alone
    // before the engine looks for its return.
    int restartWait = 1000;
    // How long, after that, the main board has to come back on USB.
    int reconnectTimeout = 10000;
    // The returned main board's version answer.
    int verifyTimeout = 500;
    // Version requests after the first while a board restarts, one per requestTimeout.
    int versionRetries = 10;
    // A connect that no board answers in this time is dropped and made again.
    int watchdogTimeout = 300;
    // How long after a connect the command line waits for all seven boards.
    int answerTime = 1000;
    // After the engine has given up on the main board's return: how much
    // longer the session listens for it to come back with the new version.
    int lateReturnTimeout = 30000;
};
