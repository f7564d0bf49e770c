#pragma once

#include "exitcode.h"
#include "firmwareimages.h"
#include "reportwriter.h"

#include <QObject>
#include <QString>
#include <QStringList>

class InterruptWatcher;
class QCommandLineParser;
class QIODevice;
class UpdateCommand;
class VersionsCommand;

// trvloader-cli: reads the command line, runs the command it names and ends
// with one of ExitCode's codes. Commands that talk to the instrument run on
// the event loop; Ctrl-C stops them cleanly.
class CliTool : public QObject
{
    Q_OBJECT

public:
    // output and errors are borrowed and must stay open while the tool runs;
    // style is how progress is shown when --json does not ask for JSON.
    CliTool(QIODevice* output, QIODevice* errors, ReportWriter::Style style,
            QObject* parent = nullptr);
    ~CliTool() override;

    // Runs the command line (the arguments after the program's name). Ends
    // with finished(), at once for the commands that need no instrument.
    void start(const QStringList& arguments);

    // The program's help: commands, options and exit codes.
    static QString programHelp();
    // The program's version with those of hidapi and Qt.
    static QString versionText();

signals:
    void finished(int exitCode);

private slots:
    void interrupted();

private:
    // Runs one command; Success with nothing more to do when it was handled
    // at once, or a code to end with. An instrument command sets running.
    ExitCode::Code runCommand(const QString& command, const QStringList& arguments);
    ExitCode::Code update(QCommandLineParser& parser);
    ExitCode::Code versions(QCommandLineParser& parser);
    // Reads --wait; false, with the reason in error, when it is no number of seconds.
    static bool waitOption(const QCommandLineParser& parser, int* milliseconds, QString* error);
    // Reads the images: built-in ones and those of --firmware.
    ExitCode::Code readImages(const QCommandLineParser& parser);
    ExitCode::Code usageError(const QString& text, const QString& command = QString());
    void end(ExitCode::Code code);

    ReportWriter report;
    FirmwareImages images;
    InterruptWatcher* interruptWatcher;
    VersionsCommand* versionsCommand = nullptr;
    UpdateCommand* updateCommand = nullptr;
    bool running = false; // an instrument command runs and will end by itself
    bool ended = false;
};
