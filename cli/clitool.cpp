#include "clitool.h"

#include "benchloop.h"
#include "boardtable.h"
#include "filecommands.h"
#include "instrumenthost.h"
#include "instrumentwait.h"
#include "interruptwatcher.h"
#include "reportcommand.h"
#include "supportreport.h"
#include "trvconfig.h"
#include "trvinstrument.h"
#include "updatecommand.h"
#include "updatehistory.h"
#include "versionscommand.h"

#include <QCommandLineParser>
#include <QDir>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace {

const int defaultWaitSeconds = 10;
// A report is made with or without the instrument: a short look is enough.
const int reportWaitSeconds = 3;

// The text in lines of at most width characters, broken between words.
QString wrapped(const QString& text, int width = 79)
{
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines.append(line);
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines.append(line);
    return lines.join(QLatin1Char('\n'));
}

QCommandLineOption helpOption()
{
    return QCommandLineOption({"h", "help"}, CliTool::tr("Shows this help."));
}

QCommandLineOption jsonOption()
{
    return QCommandLineOption(
        "json", CliTool::tr("Prints one JSON object per line for each event, then a final "
                            "result object, instead of text for people."));
}

const QString waitName = QStringLiteral("wait");
const QString firmwareName = QStringLiteral("firmware");
const QString skipMissingName = QStringLiteral("skip-missing");
const QString allowOlderName = QStringLiteral("allow-older");
const QString skipCurrentName = QStringLiteral("skip-current");
const QString checkName = QStringLiteral("check");
const QString instrumentName = QStringLiteral("instrument");
const QString limitName = QStringLiteral("limit");
const QString serialName = QStringLiteral("serial");
const QString repeatName = QStringLiteral("repeat");
const QString countName = QStringLiteral("count");
// How long update --repeat waits for the next instrument without --wait: a day.
constexpr int benchWaitSeconds = 86400;

// The boards a BOARD argument names: "all", "sensors", "sensor1" to "sensor5",
// "terminal" or "mainboard" (any case). False for any other word.
bool parseBoards(const QString& word, QList<trvInterface::PartType>* boards)
{
    const QString name = word.toLower();
    if (name == QLatin1String("all")) {
        *boards = BoardTable::boards();
        return true;
    }
    BoardTable::Group group = BoardTable::Sensors;
    if (BoardTable::groupOfName(name, &group)) {
        *boards = BoardTable::boardsOf(group);
        return true;
    }
    for (trvInterface::PartType board : BoardTable::boards()) {
        if (name == BoardTable::commandName(board)) {
            *boards = {board};
            return true;
        }
    }
    return false;
}

// The words parseBoards() takes, for the help text.
QString boardChoices()
{
    QStringList words{QStringLiteral("all"), QStringLiteral("sensors")};
    QList<trvInterface::PartType> boards = BoardTable::boards();
    std::sort(boards.begin(), boards.end());
    for (trvInterface::PartType board : qAsConst(boards)) {
        words.append(BoardTable::commandName(board));
    }
    return words.join(QStringLiteral(", "));
}

} // namespace

CliTool::CliTool(QIODevice* output, QIODevice* errors, ReportWriter::Style style,
                 const trvTiming& timing, QObject* parent)
    : QObject(parent), report(output, errors, style), waits(timing),
      interruptWatcher(new InterruptWatcher(this))
{
    connect(interruptWatcher, &InterruptWatcher::interrupted, this, &CliTool::interrupted);
}

CliTool::~CliTool() = default;

void CliTool::setTerminalColumns(std::function<int()> columns)
{
    report.setTerminalColumns(std::move(columns));
}

const QList<CliTool::Command>& CliTool::commands()
{
    static const QList<Command> table = {
        {"versions", "", QT_TRANSLATE_NOOP("CliTool", "List the boards' firmware versions"),
         QT_TRANSLATE_NOOP(
             "CliTool", "Waits for the instrument, asks every board for its firmware version, and "
                        "lists each board with the version it runs and the version of the image "
                        "that the tool would install."),
         &CliTool::versionsOptions, &CliTool::versions},
        {"update", "[BOARD...]", QT_TRANSLATE_NOOP("CliTool", "Update the boards' firmware"),
         QT_TRANSLATE_NOOP(
             "CliTool",
             "Updates the boards named, all when none is named: the sensor boards together, then "
             "the control panel, then the main board, as the window does. BOARD is all, sensors, "
             "sensor1 to sensor5, terminal (the control panel) or mainboard. Every board asked for "
             "must answer, and no image may be older than the firmware its board runs; nothing is "
             "sent to a board before that is known."),
         &CliTool::updateOptions, &CliTool::update},
        {"check", "FILE...", QT_TRANSLATE_NOOP("CliTool", "Check firmware files"),
         QT_TRANSLATE_NOOP("CliTool",
                           "Says whether each firmware file is usable, and shows its part code, "
                           "name, version, build date, size and image checksum."),
         &CliTool::filesArgument, &CliTool::check},
        {"sort", "FILE", QT_TRANSLATE_NOOP("CliTool", "Put a firmware file's records in order"),
         QT_TRANSLATE_NOOP("CliTool",
                           "Rewrites a firmware file with its data records in address order; old "
                           "address, end and checksum records are replaced. Stamp the file "
                           "afterwards. On any failure the file is left as it was."),
         &CliTool::fileArgument, &CliTool::sort},
        {"stamp", "FILE",
         QT_TRANSLATE_NOOP("CliTool", "Add the checksum record to a firmware file"),
         QT_TRANSLATE_NOOP("CliTool",
                           "Appends the checksum record that the tool requires of every image to a "
                           "firmware file that has none, then checks the file."),
         &CliTool::fileArgument, &CliTool::stamp},
        {"history", "", QT_TRANSLATE_NOOP("CliTool", "List the updates made on this computer"),
         QT_TRANSLATE_NOOP(
             "CliTool",
             "Lists the update history, newest first: one record for each step of every update "
             "made by the window or the command line of this user, with the instrument's serial "
             "number, the boards, their versions before and after, the image and how it ended. "
             "A step that never ended (the program was stopped, the computer went off) reads "
             "interrupted."),
         &CliTool::historyOptions, &CliTool::history},
        {"report", "", QT_TRANSLATE_NOOP("CliTool", "Print a report for support"),
         QT_TRANSLATE_NOOP(
             "CliTool",
             "Looks briefly for the instrument and prints a plain-text report to paste into a "
             "support request: the tool, Qt and hidapi versions, the system, whether the "
             "instrument is there or why it cannot be opened, each board's version, the last "
             "ten update records and the end of the log. Nothing is sent anywhere."),
         &CliTool::reportOptions, &CliTool::supportReport},
    };
    return table;
}

void CliTool::serialOption(QCommandLineParser& parser)
{
    parser.addOption(QCommandLineOption(
        serialName,
        tr("Talks only to the instrument with this serial number (for one that reports none: "
           "its device path). Needed where several instruments are connected."),
        tr("SERIAL")));
}

void CliTool::instrumentOptions(QCommandLineParser& parser)
{
    serialOption(parser);
    parser.addOption(QCommandLineOption(
        waitName,
        tr("Waits up to SECONDS for the instrument and its boards' answers (default %1).")
            .arg(defaultWaitSeconds),
        tr("SECONDS"), QString::number(defaultWaitSeconds)));
    parser.addOption(QCommandLineOption(
        firmwareName,
        tr("Uses FILE in place of the built-in image for KIND: sensors, terminal or "
           "mainboard. Once per kind. The file is refused, before anything is sent, when it "
           "is not usable or its part code does not fit."),
        tr("KIND=FILE")));
}

void CliTool::versionsOptions(QCommandLineParser& parser)
{
    instrumentOptions(parser);
    parser.addOption(QCommandLineOption(
        checkName, tr("Ends with exit code %1 unless every board runs its image's version.")
                       .arg(int(ExitCode::NotCurrent))));
}

void CliTool::updateOptions(QCommandLineParser& parser)
{
    instrumentOptions(parser);
    parser.addOption(QCommandLineOption(
        skipMissingName,
        tr("Leaves out boards that do not answer, instead of ending with an error.")));
    parser.addOption(QCommandLineOption(
        allowOlderName,
        tr("Installs an image even where it is older than the firmware the board runs.")));
    parser.addOption(QCommandLineOption(
        skipCurrentName, tr("Leaves out boards that already run their image's version; when "
                            "all do, nothing is sent.")));
    parser.addOption(QCommandLineOption(
        repeatName,
        tr("Updates one instrument after another: after each, waits until it is unplugged and "
           "for the next (--wait: up to SECONDS for each, default a day). One result line per "
           "instrument, a summary at the end; Ctrl-C between instruments ends it.")));
    parser.addOption(QCommandLineOption(
        countName, tr("With --repeat: ends after N instruments."), tr("N")));
    parser.addPositionalArgument("BOARD", tr("Boards to update: %1.").arg(boardChoices()),
                                 "[BOARD...]");
}

void CliTool::historyOptions(QCommandLineParser& parser)
{
    parser.addOption(QCommandLineOption(
        instrumentName, tr("Lists only the updates of the instrument with this serial number."),
        tr("SERIAL")));
    parser.addOption(QCommandLineOption(limitName, tr("Lists at most N records."), tr("N")));
}

void CliTool::reportOptions(QCommandLineParser& parser)
{
    serialOption(parser);
    parser.addOption(QCommandLineOption(
        waitName,
        tr("Waits up to SECONDS for the instrument and its boards' answers (default %1).")
            .arg(reportWaitSeconds),
        tr("SECONDS"), QString::number(reportWaitSeconds)));
}

void CliTool::filesArgument(QCommandLineParser& parser)
{
    parser.addPositionalArgument("FILE", tr("Firmware files to check."), "FILE...");
}

void CliTool::fileArgument(QCommandLineParser& parser)
{
    parser.addPositionalArgument("FILE", tr("The firmware file; it is rewritten."));
}

void CliTool::start(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Everything after the command is the command's own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help = helpOption();
    const QCommandLineOption version({"v", "version"}, tr("Shows the version."));
    const QCommandLineOption json = jsonOption();
    parser.addOptions({help, version, json});
    parser.addPositionalArgument("command", QString());
    const bool parsed = parser.parse(QStringList(QStringLiteral("trvloader-cli")) + arguments);
    // Asked for, JSON it is, for a usage error too.
    if (parser.isSet(json)) {
        report.setStyle(ReportWriter::Json);
    }
    if (!parsed) {
        end(usageError(parser.errorText()));
        return;
    }
    if (parser.isSet(help)) {
        report.text(programHelp());
        end(ExitCode::Success);
        return;
    }
    if (parser.isSet(version)) {
        report.text(versionText());
        end(ExitCode::Success);
        return;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        end(usageError(tr("No command given.")));
        return;
    }
    const ExitCode::Code code = runCommand(positional.first(), positional.mid(1));
    if (!running) {
        end(code);
    }
}

QString CliTool::programHelp()
{
    QString text = tr("Usage: trvloader-cli [--json] COMMAND [OPTIONS] [ARGUMENTS]\n\n"
                      "Updates the firmware of the boards of a Tarvo QX40 keyboard instrument "
                      "from\nthe command line, with the window's update, engine and texts.\n\n"
                      "Commands:\n");
    for (const Command& command : commands()) {
        const QString head = QStringLiteral("%1 %2").arg(QLatin1String(command.name),
                                                         QLatin1String(command.arguments));
        text += QStringLiteral("  %1 %2\n").arg(head, -20).arg(tr(command.summary));
    }
    text += tr("\nOptions:\n"
               "  -h, --help           Shows this help; after a command, the command's help.\n"
               "  -v, --version        Shows the version, and those of hidapi and Qt.\n"
               "  --json               One JSON object per line for each event, then a final\n"
               "                       result object.\n\n"
               "Run \"trvloader-cli COMMAND --help\" for the options of a command.\n\n"
               "Exit codes:\n");
    for (ExitCode::Code code : ExitCode::all()) {
        const QString description = wrapped(ExitCode::description(code), 72);
        text +=
            QStringLiteral("  %1  %2\n")
                .arg(int(code), 3)
                .arg(QString(description).replace(QLatin1Char('\n'), QStringLiteral("\n       ")));
    }
    return text;
}

QString CliTool::versionText()
{
    return tr("trvloader-cli %1\nhidapi %2\nQt %3 (built with %4)\n")
        .arg(QStringLiteral(TRV_VERSION), QStringLiteral(TRV_HIDAPI_VERSION),
             QString::fromLatin1(qVersion()), QStringLiteral(TRV_QT_BUILD_VERSION));
}

void CliTool::interrupted(int signalNumber)
{
    const ExitCode::Code code = ExitCode::ofStopSignal(signalNumber);
    if (benchLoop) {
        benchLoop->interrupt(code);
    } else if (instrumentCommand) {
        instrumentCommand->interrupt(code);
    } else {
        end(code);
    }
}

ExitCode::Code CliTool::runCommand(const QString& command, const QStringList& arguments)
{
    const Command* info = nullptr;
    for (const Command& each : commands()) {
        if (command == QLatin1String(each.name)) {
            info = &each;
        }
    }
    if (!info) {
        return usageError(tr("Unknown command \"%1\".").arg(command));
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1Char('\n') + wrapped(tr(info->description)));
    const QCommandLineOption help = helpOption();
    const QCommandLineOption json = jsonOption();
    parser.addOptions({help, json});
    info->addOptions(parser);

    const bool parsed = parser.parse(QStringList(QStringLiteral("trvloader-cli")) + arguments);
    if (parser.isSet(json)) {
        report.setStyle(ReportWriter::Json);
    }
    if (!parsed) {
        return usageError(parser.errorText(), command);
    }
    if (parser.isSet(help)) {
        // The parser's own usage line names the program as started; ours names the command.
        QString text = parser.helpText();
        text = text.mid(text.indexOf(QLatin1Char('\n')) + 1);
        report.text(tr("Usage: trvloader-cli %1 [options] %2\n")
                        .arg(command, QLatin1String(info->arguments)) +
                    text + tr("\nExit codes: see trvloader-cli --help.\n"));
        return ExitCode::Success;
    }
    return (this->*info->run)(parser);
}

ExitCode::Code CliTool::update(const QCommandLineParser& parser)
{
    UpdateCommand::Options options;
    QString error;
    if (!waitOption(parser, &options.waitMilliseconds, &error)) {
        return usageError(error, QStringLiteral("update"));
    }
    QStringList words = parser.positionalArguments();
    if (words.isEmpty()) {
        words.append(QStringLiteral("all"));
    }
    for (const QString& word : qAsConst(words)) {
        QList<trvInterface::PartType> named;
        if (!parseBoards(word, &named)) {
            return usageError(tr("Unknown board \"%1\"; use %2.").arg(word, boardChoices()),
                              QStringLiteral("update"));
        }
        for (trvInterface::PartType board : qAsConst(named)) {
            if (!options.boards.contains(board)) {
                options.boards.append(board);
            }
        }
    }
    options.skipMissing = parser.isSet(skipMissingName);
    options.allowOlder = parser.isSet(allowOlderName);
    options.skipCurrent = parser.isSet(skipCurrentName);
    const bool repeat = parser.isSet(repeatName);
    int count = 0;
    if (parser.isSet(countName)) {
        bool number = false;
        count = parser.value(countName).toInt(&number);
        if (!repeat || !number || count < 1) {
            return usageError(repeat ? tr("--count takes a number of instruments from 1 on, not "
                                          "\"%1\".")
                                           .arg(parser.value(countName))
                                     : tr("--count goes with --repeat."),
                              QStringLiteral("update"));
        }
    }
    if (repeat && !parser.isSet(waitName)) {
        options.waitMilliseconds = benchWaitSeconds * 1000;
    }
    const ExitCode::Code opened = openInstrument(parser, QStringLiteral("update"), options.boards);
    if (opened != ExitCode::Success) {
        return opened;
    }
    if (repeat) {
        benchLoop = new BenchLoop(host, &report, options, count, waits.answerTime, this);
        connect(benchLoop, &BenchLoop::finished, this,
                [this](int code) { end(static_cast<ExitCode::Code>(code)); });
        running = true;
        benchLoop->start();
        return ExitCode::Success;
    }

    runOnInstrument(new UpdateCommand(&report, instrument, options, this));
    return ExitCode::Success;
}

ExitCode::Code CliTool::versions(const QCommandLineParser& parser)
{
    int wait = 0;
    QString error;
    if (!waitOption(parser, &wait, &error)) {
        return usageError(error, QStringLiteral("versions"));
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(tr("\"versions\" takes no arguments."), QStringLiteral("versions"));
    }
    const ExitCode::Code opened =
        openInstrument(parser, QStringLiteral("versions"), BoardTable::boards());
    if (opened != ExitCode::Success) {
        return opened;
    }

    runOnInstrument(new VersionsCommand(&report, instrument, wait, parser.isSet(checkName), this));
    return ExitCode::Success;
}

ExitCode::Code CliTool::check(const QCommandLineParser& parser)
{
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        return usageError(tr("No file given."), QStringLiteral("check"));
    }
    return FileCommands::check(files, report);
}

ExitCode::Code CliTool::sort(const QCommandLineParser& parser)
{
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        return usageError(tr("Give exactly one file."), QStringLiteral("sort"));
    }
    return FileCommands::sort(files.first(), report);
}

ExitCode::Code CliTool::stamp(const QCommandLineParser& parser)
{
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        return usageError(tr("Give exactly one file."), QStringLiteral("stamp"));
    }
    return FileCommands::stamp(files.first(), report);
}

ExitCode::Code CliTool::history(const QCommandLineParser& parser)
{
    const QString command = QStringLiteral("history");
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(tr("\"history\" takes no arguments."), command);
    }
    int limit = -1;
    if (parser.isSet(limitName)) {
        bool number = false;
        limit = parser.value(limitName).toInt(&number);
        if (!number || limit < 1) {
            return usageError(tr("--limit takes a number of records from 1 on, not \"%1\".")
                                  .arg(parser.value(limitName)),
                              command);
        }
    }
    const QString serial = parser.value(instrumentName);

    makeHost(parser);
    const UpdateHistory& history = host->history();
    int skipped = 0;
    QList<HistoryRecord> records;
    const QList<HistoryRecord> all = history.records(&skipped);
    for (auto record = all.crbegin(); record != all.crend(); ++record) {
        if ((serial.isEmpty() || record->serialNumber == serial) &&
            (limit < 0 || records.size() < limit)) {
            records.append(*record);
        }
    }
    if (skipped > 0) {
        report.error(tr("%n damaged line(s) of %1 skipped.", nullptr, skipped)
                         .arg(QDir::toNativeSeparators(history.fileName())));
    }
    if (records.isEmpty() && !serial.isEmpty()) {
        report.line(tr("No update of the instrument with serial number %1 recorded in %2.")
                        .arg(serial, QDir::toNativeSeparators(history.fileName())));
    } else if (records.isEmpty()) {
        report.line(
            tr("No update recorded in %1.").arg(QDir::toNativeSeparators(history.fileName())));
    } else if (!report.isJson()) {
        report.text(SupportReport::historyTable(records));
    }
    for (const HistoryRecord& record : qAsConst(records)) {
        QJsonObject event = record.toJson();
        event.insert("event", "record");
        report.event(event);
    }
    report.result(
        command, ExitCode::Success, QString(),
        {{"records", records.size()}, {"skippedLines", skipped}, {"file", history.fileName()}});
    return ExitCode::Success;
}

ExitCode::Code CliTool::supportReport(const QCommandLineParser& parser)
{
    int wait = 0;
    QString error;
    if (!waitOption(parser, &wait, &error)) {
        return usageError(error, QStringLiteral("report"));
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(tr("\"report\" takes no arguments."), QStringLiteral("report"));
    }
    makeHost(parser);
    host->readBuiltInImages(); // a damaged image is shown in the report
    runOnInstrument(new ReportCommand(&report, instrument, wait, this));
    return ExitCode::Success;
}

bool CliTool::waitOption(const QCommandLineParser& parser, int* milliseconds, QString* error)
{
    bool number = false;
    const double seconds = parser.value(waitName).toDouble(&number);
    // Up to a day: enough for any bench, and far from overflowing a timer.
    if (!number || !(seconds >= 0 && seconds <= 86400)) {
        *error = tr("--wait takes a number of seconds from 0 to 86400, not \"%1\".")
                     .arg(parser.value(waitName));
        return false;
    }
    *milliseconds = qRound(seconds * 1000);
    return true;
}

ExitCode::Code CliTool::openInstrument(const QCommandLineParser& parser, const QString& command,
                                       const QList<trvInterface::PartType>& boards)
{
    makeHost(parser);
    QString error;
    BoardTable::Group damaged = BoardTable::Sensors;
    if (!host->readBuiltInImages(&damaged)) {
        error = tr("The built-in image for %1 is damaged: %2")
                    .arg(BoardTable::commandName(damaged),
                         host->instrument()->image(damaged).stateDescription());
        report.error(error);
        report.result(command, ExitCode::InternalError, error);
        return ExitCode::InternalError;
    }
    // Every value is checked before any file is read.
    QList<std::pair<BoardTable::Group, QString>> files;
    for (const QString& value : parser.values(firmwareName)) {
        const int equals = value.indexOf(QLatin1Char('='));
        const QString kind = value.left(equals);
        const QString file = value.mid(equals + 1);
        BoardTable::Group group = BoardTable::Sensors;
        if (equals < 0 || file.isEmpty() || !BoardTable::groupOfName(kind, &group)) {
            return usageError(tr("--firmware takes KIND=FILE with KIND sensors, terminal or "
                                 "mainboard, not \"%1\".")
                                  .arg(value),
                              command);
        }
        for (const auto& earlier : qAsConst(files)) {
            if (earlier.first == group) {
                return usageError(tr("--firmware is given twice for %1.").arg(kind), command);
            }
        }
        const QList<trvInterface::PartType> served = BoardTable::boardsOf(group);
        if (std::none_of(served.cbegin(), served.cend(), [&boards](trvInterface::PartType board) {
                return boards.contains(board);
            })) {
            return usageError(
                tr("--firmware is given for %1, but no board of it is being updated.").arg(kind),
                command);
        }
        files.append({group, file});
    }
    for (const auto& file : qAsConst(files)) {
        if (!useImageFile(file.first, file.second, &error)) {
            error += QLatin1Char('\n') + tr("Nothing has been sent to the instrument.");
            report.error(error);
            report.result(command, ExitCode::FileRefused, error);
            return ExitCode::FileRefused;
        }
    }
    return ExitCode::Success;
}

void CliTool::makeHost(const QCommandLineParser& parser)
{
    host = new InstrumentHost(QStringLiteral("command line"), waits, this);
    instrument = new InstrumentWait(host, waits.answerTime, this);
    // Only the commands that talk to the instrument have --serial.
    if (parser.optionNames().contains(serialName)) {
        host->requireSerialNumber(parser.value(serialName));
    }
}

bool CliTool::useImageFile(BoardTable::Group group, const QString& fileName, QString* error)
{
    const InstrumentHost::ImageOffer offer = InstrumentHost::offerImageFile(fileName);
    const HexReader& file = offer.image;
    if (file.state != HexReader::FileOk) {
        *error = tr("%1: %2").arg(fileName, file.stateDescription());
        if (!file.fault.isNone()) {
            *error += QLatin1Char('\n') + file.fault.description();
        }
        if (file.state == HexReader::InvalidOrder) {
            *error += QLatin1Char('\n') + FileCommands::sortHint(fileName);
        }
        return false;
    }
    if (!offer.fitsGroup) {
        *error =
            tr("%1: the part code \"%2\" fits no board of the instrument").arg(fileName, file.part);
        return false;
    }
    if (offer.group != group) {
        *error = tr("%1: an image for %2 (part code %3) cannot go to %4 (part code %5)")
                     .arg(fileName, BoardTable::commandName(offer.group), file.part,
                          BoardTable::commandName(group), BoardTable::partCode(group));
        return false;
    }
    host->useImage(offer);
    return true;
}

void CliTool::runOnInstrument(InstrumentCommand* command)
{
    instrumentCommand = command;
    connect(command, &InstrumentCommand::finished, this,
            [this](int code) { end(static_cast<ExitCode::Code>(code)); });
    running = true;
    command->start();
}

ExitCode::Code CliTool::usageError(const QString& text, const QString& command)
{
    const QString error =
        text + QLatin1Char('\n') +
        (command.isEmpty() ? tr("Run \"trvloader-cli --help\" for help.")
                           : tr("Run \"trvloader-cli %1 --help\" for help.").arg(command));
    report.error(error);
    report.result(command, ExitCode::UsageError, error);
    return ExitCode::UsageError;
}

void CliTool::end(ExitCode::Code code)
{
    if (ended) {
        return;
    }
    ended = true;
    emit finished(code);
}
