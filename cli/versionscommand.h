#pragma once

#include "exitcode.h"
#include "trvinterface.h"

#include <QObject>
#include <QString>

class InstrumentSession;
class ReportWriter;

// trvloader-cli versions: waits for the instrument, asks every board for its
// version, and lists each board with what it runs and what the tool would
// install.
class VersionsCommand : public QObject
{
    Q_OBJECT

public:
    // The writer and the instrument are borrowed and must outlive the command.
    VersionsCommand(ReportWriter* writer, InstrumentSession* instrument, int waitMilliseconds,
                    QObject* parent = nullptr);

    void start();
    // Ctrl-C: stops waiting; nothing but version requests has been sent.
    void interrupt();

signals:
    void finished(int exitCode);

private slots:
    void instrumentReady();
    void instrumentFailed(ExitCode::Code code, const QString& reason);

private:
    void finish(ExitCode::Code code, const QString& error);

    ReportWriter* report;
    InstrumentSession* instrument;
    int waitTime;
    bool over = false;
};
