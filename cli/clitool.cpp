#include "clitool.h"

#include "boardnames.h"
#include "filecommands.h"
#include "interruptwatcher.h"
#include "updatecommand.h"
#include "versionscommand.h"

#include <QCommandLineParser>
#include <QJsonObject>

namespace {

const int defaultWaitSeconds = 10;

struct CommandInfo
{
    const char* name;
    const char* arguments; // the positional arguments, as the usage line shows them
    const char* summary;   // one line for the program's help
    const char* description;
};

const CommandInfo commands[] = {
    {"versions", "", QT_TRANSLATE_NOOP("CliTool", "List the boards' firmware versions"),
     QT_TRANSLATE_NOOP("CliTool",
                       "Waits for the instrument, asks every board for its firmware version, and "
                       "lists each board with the version it runs and the version of the image "
                       "that the tool would install.")},
    {"update", "[BOARD...]", QT_TRANSLATE_NOOP("CliTool", "Update the boards' firmware"),
     QT_TRANSLATE_NOOP(
         "CliTool",
         "Updates the boards named, all when none is named: the sensor boards together, then "
         "the control panel, then the main board, as the window does. BOARD is all, sensors, "
         "sensor1 to sensor5, terminal (the control panel) or mainboard. Every board asked for "
         "must answer, and no image may be older than the firmware its board runs; nothing is "
         "sent to a board before that is known.")},
    {"check", "FILE...", QT_TRANSLATE_NOOP("CliTool", "Check firmware files"),
     QT_TRANSLATE_NOOP("CliTool",
                       "Says whether each firmware file is usable, and shows its part code, "
                       "name, version, build date, size and image checksum.")},
    {"sort", "FILE", QT_TRANSLATE_NOOP("CliTool", "Put a firmware file's records in order"),
     QT_TRANSLATE_NOOP("CliTool",
                       "Rewrites a firmware file with its data records in address order; old "
                       "address, end and checksum records are replaced. Stamp the file "
                       "afterwards. On any failure the file is left as it was.")},
    {"stamp", "FILE", QT_TRANSLATE_NOOP("CliTool", "Add the checksum record to a firmware file"),
     QT_TRANSLATE_NOOP("CliTool",
                       "Appends the checksum record that the tool requires of every image to a "
                       "firmware file that has none, then checks the file.")},
};

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

const CommandInfo* findCommand(const QString& name)
{
    for (const CommandInfo& command : commands) {
        if (name == QLatin1String(command.name)) {
            return &command;
        }
    }
    return nullptr;
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

} // namespace

CliTool::CliTool(QIODevice* output, QIODevice* errors, ReportWriter::Style style, QObject* parent)
    : QObject(parent), report(output, errors, style), interruptWatcher(new InterruptWatcher(this))
{
    connect(interruptWatcher, &InterruptWatcher::interrupted, this, &CliTool::interrupted);
}

CliTool::~CliTool() = default;

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
    if (!parser.parse(QStringList(QStringLiteral("trvloader-cli")) + arguments)) {
        end(usageError(parser.errorText()));
        return;
    }
    if (parser.isSet(json)) {
        report.setStyle(ReportWriter::Json);
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
    for (const CommandInfo& command : commands) {
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

void CliTool::interrupted()
{
    if (updateCommand) {
        updateCommand->interrupt();
    } else if (versionsCommand) {
        versionsCommand->interrupt();
    }
}

ExitCode::Code CliTool::runCommand(const QString& command, const QStringList& arguments)
{
    const CommandInfo* info = findCommand(command);
    if (!info) {
        return usageError(tr("Unknown command \"%1\".").arg(command));
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1Char('\n') + wrapped(tr(info->description)));
    const QCommandLineOption help = helpOption();
    const QCommandLineOption json = jsonOption();
    parser.addOptions({help, json});
    if (command == QLatin1String("versions") || command == QLatin1String("update")) {
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
    if (command == QLatin1String("update")) {
        parser.addOption(QCommandLineOption(
            skipMissingName,
            tr("Leaves out boards that do not answer, instead of ending with an error.")));
        parser.addOption(QCommandLineOption(
            allowOlderName,
            tr("Installs an image even where it is older than the firmware the board runs.")));
        parser.addPositionalArgument(
            "BOARD", tr("Boards to update: %1.").arg(BoardNames::choices()), "[BOARD...]");
    } else if (command == QLatin1String("check")) {
        parser.addPositionalArgument("FILE", tr("Firmware files to check."), "FILE...");
    } else if (command == QLatin1String("sort") || command == QLatin1String("stamp")) {
        parser.addPositionalArgument("FILE", tr("The firmware file; it is rewritten."));
    }

    if (!parser.parse(QStringList(QStringLiteral("trvloader-cli")) + arguments)) {
        return usageError(parser.errorText(), command);
    }
    if (parser.isSet(json)) {
        report.setStyle(ReportWriter::Json);
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

    const QStringList files = parser.positionalArguments();
    if (command == QLatin1String("update")) {
        return update(parser);
    }
    if (command == QLatin1String("versions")) {
        return versions(parser);
    }
    if (command == QLatin1String("check")) {
        if (files.isEmpty()) {
            return usageError(tr("No file given."), command);
        }
        return FileCommands::check(files, report);
    }
    if (files.size() != 1) {
        return usageError(tr("Give exactly one file."), command);
    }
    if (command == QLatin1String("sort")) {
        return FileCommands::sort(files.first(), report);
    }
    return FileCommands::stamp(files.first(), report);
}

ExitCode::Code CliTool::update(QCommandLineParser& parser)
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
        if (!BoardNames::parse(word, &named)) {
            return usageError(tr("Unknown board \"%1\"; use %2.").arg(word, BoardNames::choices()),
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
    const ExitCode::Code imagesRead = readImages(parser);
    if (imagesRead != ExitCode::Success) {
        return imagesRead;
    }

    updateCommand = new UpdateCommand(&report, &images, options, this);
    connect(updateCommand, &UpdateCommand::finished, this,
            [this](int code) { end(static_cast<ExitCode::Code>(code)); });
    running = true;
    updateCommand->start();
    return ExitCode::Success;
}

ExitCode::Code CliTool::versions(QCommandLineParser& parser)
{
    int wait = 0;
    QString error;
    if (!waitOption(parser, &wait, &error)) {
        return usageError(error, QStringLiteral("versions"));
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(tr("\"versions\" takes no arguments."), QStringLiteral("versions"));
    }
    const ExitCode::Code imagesRead = readImages(parser);
    if (imagesRead != ExitCode::Success) {
        return imagesRead;
    }

    versionsCommand = new VersionsCommand(&report, &images, wait, this);
    connect(versionsCommand, &VersionsCommand::finished, this,
            [this](int code) { end(static_cast<ExitCode::Code>(code)); });
    running = true;
    versionsCommand->start();
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

ExitCode::Code CliTool::readImages(const QCommandLineParser& parser)
{
    QString error;
    if (!images.readBuiltIn(&error)) {
        report.error(error);
        report.event(QJsonObject{{"event", "result"},
                                 {"result", ExitCode::name(ExitCode::InternalError)},
                                 {"exitCode", int(ExitCode::InternalError)},
                                 {"error", error}});
        return ExitCode::InternalError;
    }
    // Every value is checked before any file is read.
    QList<std::pair<QString, QString>> files; // kind, file
    for (const QString& value : parser.values(firmwareName)) {
        const int equals = value.indexOf(QLatin1Char('='));
        const QString kind = value.left(equals);
        const QString file = value.mid(equals + 1);
        FirmwareImages::Kind known = FirmwareImages::Sensors;
        if (equals < 0 || file.isEmpty() || !FirmwareImages::kindOfName(kind, &known)) {
            return usageError(tr("--firmware takes KIND=FILE with KIND sensors, terminal or "
                                 "mainboard, not \"%1\".")
                                  .arg(value));
        }
        for (const auto& earlier : qAsConst(files)) {
            if (earlier.first == kind) {
                return usageError(tr("--firmware is given twice for %1.").arg(kind));
            }
        }
        files.append({kind, file});
    }
    for (const auto& file : qAsConst(files)) {
        if (!images.readFile(file.first, file.second, &error)) {
            error += QLatin1Char('\n') + tr("Nothing has been sent to the instrument.");
            report.error(error);
            report.event(QJsonObject{{"event", "result"},
                                     {"result", ExitCode::name(ExitCode::FileRefused)},
                                     {"exitCode", int(ExitCode::FileRefused)},
                                     {"error", error}});
            return ExitCode::FileRefused;
        }
    }
    return ExitCode::Success;
}

ExitCode::Code CliTool::usageError(const QString& text, const QString& command)
{
    const QString error =
        text + QLatin1Char('\n') +
        (command.isEmpty() ? tr("Run \"trvloader-cli --help\" for help.")
                           : tr("Run \"trvloader-cli %1 --help\" for help.").arg(command));
    report.error(error);
    report.event(QJsonObject{{"event", "result"},
                             {"result", ExitCode::name(ExitCode::UsageError)},
                             {"exitCode", int(ExitCode::UsageError)},
                             {"error", error}});
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
