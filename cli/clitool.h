#pragma once

#include "boardtable.h"
#include "exitcode.h"
#include "reportwriter.h"
#include "trvinterface.h"
#include "trvtiming.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class BenchLoop;
class InstrumentCommand;
class InstrumentHost;
class InstrumentWait;
class InterruptWatcher;
class QCommandLineParser;
class QIODevice;

// trvloader-cli: reads the command line, runs the command it names and ends
// with one of ExitCode's codes. Commands that talk to the instrument run on
// the event loop; Ctrl-C, SIGTERM and SIGHUP stop them cleanly.
class CliTool : public QObject
{
    Q_OBJECT

public:
    // output and errors are borrowed and must stay open while the tool runs;
    // style is how progress is shown when --json does not ask for JSON;
    // timing holds the waits on the instrument (the program uses the defaults).
    CliTool(QIODevice* output, QIODevice* errors, ReportWriter::Style style,
            const trvTiming& timing = trvTiming(), QObject* parent = nullptr);
    ~CliTool() override;

    // How wide the terminal is, for the Terminal style; see ReportWriter.
    void setTerminalColumns(std::function<int()> columns);

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
    void interrupted(int signalNumber);

private:
    // One command: its name, its help, its options and what runs it.
    struct Command
    {
        const char* name;
        const char* arguments; // the positional arguments, as the usage line shows them
        const char* summary;   // one line for the program's help
        const char* description;
        // Adds the command's own options and arguments to the parser.
        void (*addOptions)(QCommandLineParser& parser);
        // Runs the command on the parsed command line.
        ExitCode::Code (CliTool::*run)(const QCommandLineParser& parser);
    };
    static const QList<Command>& commands();
    static void serialOption(QCommandLineParser& parser);
    static void instrumentOptions(QCommandLineParser& parser);
    static void versionsOptions(QCommandLineParser& parser);
    static void updateOptions(QCommandLineParser& parser);
    static void historyOptions(QCommandLineParser& parser);
    static void reportOptions(QCommandLineParser& parser);
    static void filesArgument(QCommandLineParser& parser);
    static void fileArgument(QCommandLineParser& parser);

    // Runs one command; Success with nothing more to do when it was handled
    // at once, or a code to end with. An instrument command sets running.
    ExitCode::Code runCommand(const QString& command, const QStringList& arguments);
    ExitCode::Code update(const QCommandLineParser& parser);
    ExitCode::Code versions(const QCommandLineParser& parser);
    ExitCode::Code check(const QCommandLineParser& parser);
    ExitCode::Code sort(const QCommandLineParser& parser);
    ExitCode::Code stamp(const QCommandLineParser& parser);
    ExitCode::Code history(const QCommandLineParser& parser);
    ExitCode::Code supportReport(const QCommandLineParser& parser);
    // Reads --wait; false, with the reason in error, when it is no number of seconds.
    static bool waitOption(const QCommandLineParser& parser, int* milliseconds, QString* error);
    // Makes the instrument host and its wait, held to the instrument that
    // --serial names.
    void makeHost(const QCommandLineParser& parser);
    // Makes the instrument with its images: the built-in ones and those of
    // --firmware, which must be for a group of the boards given. The command
    // names the result of a refusal.
    ExitCode::Code openInstrument(const QCommandLineParser& parser, const QString& command,
                                  const QList<trvInterface::PartType>& boards);
    // Makes the file the image of the group, offered to the host once. A file
    // that is not usable, or whose part code does not fit the group, is
    // refused with the reader's own text and, for a file out of order, the
    // hint to sort it; the image stays.
    bool useImageFile(BoardTable::Group group, const QString& fileName, QString* error);
    // Runs the command on the instrument; it ends the tool when it ends.
    void runOnInstrument(InstrumentCommand* command);
    // The command, when one is known, is named in the result and in the hint to its help.
    ExitCode::Code usageError(const QString& text, const QString& command = QString());
    void end(ExitCode::Code code);

    ReportWriter report;
    trvTiming waits;
    InterruptWatcher* interruptWatcher;
    InstrumentHost* host = nullptr;       // for the commands that talk to the instrument
    InstrumentWait* instrument = nullptr; // waits for it on the host
    InstrumentCommand* instrumentCommand = nullptr;
    BenchLoop* benchLoop = nullptr; // update --repeat
    bool running = false; // an instrument command runs and will end by itself
    bool ended = false;
};
