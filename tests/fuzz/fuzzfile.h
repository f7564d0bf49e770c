#pragma once

#include "fuzzcheck.h"

#include <QByteArray>
#include <QString>

// One scratch file for the fuzzers of what writes files (stamping, sorting), in
// memory-backed storage where the machine has it, removed when the process ends.
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
