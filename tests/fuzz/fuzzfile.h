#pragma once

#include <QByteArray>
#include <QString>

// One scratch file for the file fuzzers, in memory-backed storage where the
// machine has it, removed when the process ends.
class FuzzFile
{
public:
    FuzzFile();
    ~FuzzFile();

    QString path() const;
    void write(const QByteArray& content) const;
    QByteArray content() const;

private:
    QString folder;
    QString file;
};

// Stops the fuzzer with a message when a checked property does not hold.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fuzzFailure(#condition, __FILE__, __LINE__);                                           \
        }                                                                                          \
    } while (false)

[[noreturn]] void fuzzFailure(const char* condition, const char* file, int line);
