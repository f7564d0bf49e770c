#pragma once

#include "instrumentcommand.h"

// trvloader-cli versions: waits for the instrument, asks every board for its
// version, and lists each board with what it runs and what the tool would
// install. With check, it ends with ExitCode::NotCurrent unless every board
// runs its image's version.
class VersionsCommand : public InstrumentCommand
{
    Q_OBJECT

public:
    // The writer and the instrument are borrowed and must outlive the command.
    VersionsCommand(ReportWriter* writer, InstrumentWait* instrument, int waitMilliseconds,
                    bool check = false, QObject* parent = nullptr);

    // Ctrl-C: stops waiting; nothing but version requests has been sent.
    void interrupt(ExitCode::Code code) override;

protected:
    void announceWait() override;
    void instrumentReady() override;

private:
    bool checking;
};
