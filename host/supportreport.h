#pragma once

#include "updatehistory.h"

#include <QList>
#include <QString>

class ServiceLog;
class trvInstrument;

// The plain-text report a user pastes into a support request, the same from
// the window and the command line: the tool and the libraries it runs on, the
// system, the instrument (there, or why it cannot be opened) with each board's
// version, the last records of the update history and the end of the log.
// It is only text, in English for support: nothing leaves the machine.
class SupportReport
{
public:
    // Who makes the report.
    struct Tool
    {
        QString name; // "trvloader", "trvloader-cli"
        QString version;
    };

    static constexpr int historyRecords = 10;
    static constexpr qint64 logBytes = 8 * 1024;

    // The report. instrumentNote, when given, says why the instrument was not
    // reached in place of what the instrument knows (another copy holds it).
    static QString text(const Tool& tool, const trvInstrument& instrument,
                        const UpdateHistory& history, const ServiceLog& log,
                        const QString& instrumentNote = QString());

    // The instrument as the instrument knows it: connected (with its serial
    // number), there but refused (why, and the remedy), or not found.
    static QString instrumentState(const trvInstrument& instrument);
    // The text with the user's home folder shown as ~, so that the report
    // carries no login name.
    static QString withoutHome(const QString& text);
    // The records as a table for people, in the order given: start (UTC),
    // instrument, boards, versions before and after, image, outcome.
    static QString historyTable(const QList<HistoryRecord>& records);
};
