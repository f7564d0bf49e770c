#pragma once

// Stops the fuzzer with a message when a checked property does not hold.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fuzzFailure(#condition, __FILE__, __LINE__);                                           \
        }                                                                                          \
    } while (false)

[[noreturn]] void fuzzFailure(const char* condition, const char* file, int line);
