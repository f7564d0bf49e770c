#pragma once

#include "exitcode.h"

#include <QString>
#include <QStringList>

class ReportWriter;

// The commands on firmware files, which need no instrument: what a file holds
// and whether it is usable, and preparing a file for use, as the window's
// hidden stamping tool does, one file at a time.
class FileCommands
{
public:
    // For each file: the verdict, part code, name, version, build date, size
    // and image checksum. FileRefused when any file is not usable.
    static ExitCode::Code check(const QStringList& files, ReportWriter& report);
    // Rewrites the file with its records in address order; the file needs
    // stamping afterwards. The file is left as it was on any failure.
    static ExitCode::Code sort(const QString& file, ReportWriter& report);
    // Appends the checksum record to a file that has none, and checks the result.
    static ExitCode::Code stamp(const QString& file, ReportWriter& report);
    // What the user is told to make a file that is out of order usable.
    static QString sortHint(const QString& fileName);
};
