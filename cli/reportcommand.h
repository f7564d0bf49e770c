#pragma once

#include "instrumentcommand.h"

// trvloader-cli report: waits a short while for the instrument and prints the
// report for support: the tool, the system, the instrument (or why it was not
// reached) with its boards' versions, the last update records and the end of
// the log. A report is made whether or not the instrument is there.
class ReportCommand : public InstrumentCommand
{
    Q_OBJECT

public:
    // The writer and the instrument are borrowed and must outlive the command.
    ReportCommand(ReportWriter* writer, InstrumentWait* instrument, int waitMilliseconds,
                  QObject* parent = nullptr);

    // Ctrl-C: reports at once, with what is known.
    void interrupt(ExitCode::Code code) override;

protected:
    void announceWait() override;
    void instrumentReady() override;
    void instrumentFailed(ExitCode::Code code, const QString& reason) override;

private:
    // Prints the report, with the note on the instrument where given, and ends with the code.
    void print(const QString& instrumentNote, ExitCode::Code code = ExitCode::Success);
};
