#include "launchoptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cerrno>
#include <functional>
#include <tuple>

namespace {

using sim::Board;

const QMap<QString, QList<Board>>& boardNames()
{
    static const QMap<QString, QList<Board>> names = {
        {"mainboard", {sim::Mainboard}},
        {"terminal", {sim::Terminal}},
        {"panel", {sim::Terminal}},
        {"sensor1", {sim::Sensor1}},
        {"sensor2", {sim::Sensor2}},
        {"sensor3", {sim::Sensor3}},
        {"sensor4", {sim::Sensor4}},
        {"sensor5", {sim::Sensor5}},
        {"sensors", {sim::Sensor1, sim::Sensor2, sim::Sensor3, sim::Sensor4, sim::Sensor5}},
        {"all",
         {sim::Mainboard, sim::Terminal, sim::Sensor1, sim::Sensor2, sim::Sensor3, sim::Sensor4,
          sim::Sensor5}},
    };
    return names;
}

bool readBoards(const QString& name, QList<Board>* boards, QString* error)
{
    const auto found = boardNames().constFind(name.toLower());
    if (found == boardNames().constEnd()) {
        *error = QStringLiteral("unknown board \"%1\" (mainboard, terminal, sensor1 to sensor5, "
                                "sensors or all)")
                     .arg(name);
        return false;
    }
    *boards = found.value();
    return true;
}

// "3.3" or "v3.3" in tenths, as a board reports it (at most 12.7).
bool readVersion(const QString& text, int* tenths, QString* error)
{
    static const QRegularExpression pattern(QStringLiteral("^v?(\\d{1,2})\\.(\\d)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    const int value =
        match.hasMatch() ? match.captured(1).toInt() * 10 + match.captured(2).toInt() : -1;
    if (value < 0 || value > 127) {
        *error = QStringLiteral("\"%1\" is no firmware version from v0.0 to v12.7").arg(text);
        return false;
    }
    *tenths = value;
    return true;
}

bool readNumber(const QString& text, const QString& what, int minimum, int* number, QString* error)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < minimum) {
        *error = QStringLiteral("%1 must be a whole number from %2 on, not \"%3\"")
                     .arg(what)
                     .arg(minimum)
                     .arg(text);
        return false;
    }
    *number = value;
    return true;
}

// A time in milliseconds, fractions allowed ("0.3"), as whole microseconds.
bool readMicroseconds(const QString& text, const QString& what, int minimum, int* microseconds,
                      QString* error)
{
    bool ok = false;
    const double milliseconds = text.toDouble(&ok);
    const int value = ok && milliseconds >= 0 && milliseconds <= 60000 ? qRound(milliseconds * 1000)
                                                                       : -1;
    if (value < minimum) {
        *error = QStringLiteral("%1 must be a number of milliseconds from %2 on, not \"%3\"")
                     .arg(what)
                     .arg(minimum / 1000.0)
                     .arg(text);
        return false;
    }
    *microseconds = value;
    return true;
}

// "BOARD<separator>VALUE" into its two halves.
bool split(const QString& text, QChar separator, QString* board, QString* value, QString* error)
{
    const int at = text.indexOf(separator);
    if (at <= 0 || at == text.size() - 1) {
        *error = QStringLiteral("\"%1\" is not of the form BOARD%2VALUE").arg(text, separator);
        return false;
    }
    *board = text.left(at);
    *value = text.mid(at + 1);
    return true;
}

const char* const usageText =
    "Usage: trvloader-emulated [options] [-- trvloader's own (Qt) options]\n"
    "\n"
    "Runs trvloader on an emulated instrument: its seven boards run older firmware\n"
    "than the built-in images, answer each message after 1 to 2 ms, and restart as\n"
    "the real boards do. Boards: mainboard, terminal (or panel), sensor1 to sensor5,\n"
    "sensors (all five), all.\n"
    "\n"
    "The instrument\n"
    "  --firmware BOARD=X.Y      installed firmware version (default: older than built in)\n"
    "  --latency MIN[-MAX]       ms until a board answers a message, fractions\n"
    "                            allowed (0.3); default 1-2\n"
    "  --board-restart MS        control panel and sensor boards silent after an\n"
    "                            accepted update (default 1500)\n"
    "  --mainboard-restart MS    main board off USB after its restart (default 1500)\n"
    "  --plug-after MS           plugged in only this long after the start (default 0)\n"
    "\n"
    "The bench (every instrument is set up as above)\n"
    "  --instruments N           N instruments, serial numbers SN0001 to SN000N, plugged\n"
    "                            in together (default: one, serial number QX40-204871)\n"
    "  --one-after-another       one instrument at a time, SN0001 first: each is unplugged\n"
    "                            once its update has finished, the next plugged in later\n"
    "                            (N of them with --instruments, else without end)\n"
    "  --unplug-after MS         ...or unplugged this long after it was plugged in\n"
    "  --next-after MS           ...the next plugged in this long after (default 1500)\n"
    "\n"
    "Faults, to see how the tool reports them\n"
    "  --silent BOARD            the board answers nothing\n"
    "  --absent BOARD            the board is not fitted\n"
    "  --not-ready BOARD         the board refuses to start its update\n"
    "  --zero-ack BOARD:LINE     the board refuses this line of an update\n"
    "  --refuse-end BOARD        the board refuses the end of every update\n"
    "  --after-update BOARD=X.Y  the board reports this version after an update\n"
    "  --unplug-at-line N        the instrument is unplugged when the Nth line is sent\n"
    "  --replug-after MS         ...and plugged in again this long after (default: never)\n"
    "  --refuse-open             the instrument is there, but this user may not open it\n"
    "                            (as without the udev rule)\n"
    "  --in-use                  the instrument is there, but another program is using it\n"
    "\n"
    "  --program PATH            the trvloader to run (default: the one built with this)\n"
    "  -h, --help                this text\n";

} // namespace

LaunchOptions::LaunchOptions() = default;

QString LaunchOptions::usage()
{
    return QString::fromLatin1(usageText);
}

bool LaunchOptions::parse(const QStringList& arguments, QString* error)
{
    QString ignored;
    if (!error) {
        error = &ignored;
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption firmware("firmware", QString(), "BOARD=X.Y");
    const QCommandLineOption latency("latency", QString(), "MIN-MAX");
    const QCommandLineOption boardRestart("board-restart", QString(), "MS");
    const QCommandLineOption mainboardRestart("mainboard-restart", QString(), "MS");
    const QCommandLineOption plugDelay("plug-after", QString(), "MS");
    const QCommandLineOption silent("silent", QString(), "BOARD");
    const QCommandLineOption absent("absent", QString(), "BOARD");
    const QCommandLineOption notReady("not-ready", QString(), "BOARD");
    const QCommandLineOption zeroAck("zero-ack", QString(), "BOARD:LINE");
    const QCommandLineOption refuseEnd("refuse-end", QString(), "BOARD");
    const QCommandLineOption afterUpdate("after-update", QString(), "BOARD=X.Y");
    const QCommandLineOption unplugLine("unplug-at-line", QString(), "N");
    const QCommandLineOption replugDelay("replug-after", QString(), "MS");
    const QCommandLineOption programPath("program", QString(), "PATH");
    const QCommandLineOption refuseOpen("refuse-open");
    const QCommandLineOption inUse("in-use");
    const QCommandLineOption instrumentCount("instruments", QString(), "N");
    const QCommandLineOption oneByOne("one-after-another");
    const QCommandLineOption unplugDelay("unplug-after", QString(), "MS");
    const QCommandLineOption nextDelay("next-after", QString(), "MS");
    parser.addOptions({help,       firmware,    latency,         boardRestart, mainboardRestart,
                       plugDelay,  silent,      absent,          notReady,     zeroAck,
                       refuseEnd,  afterUpdate, unplugLine,      replugDelay,  programPath,
                       refuseOpen, inUse,       instrumentCount, oneByOne,     unplugDelay,
                       nextDelay});
    if (!parser.parse(QStringList{"trvloader-emulated"} + arguments)) {
        *error = parser.errorText();
        return false;
    }
    helpWanted = parser.isSet(help);
    programArguments = parser.positionalArguments();
    program = parser.value(programPath);
    if (parser.isSet(refuseOpen) && parser.isSet(inUse)) {
        *error = QStringLiteral("--refuse-open and --in-use cannot be given together");
        return false;
    }
    openRefusal = parser.isSet(refuseOpen) ? EACCES : parser.isSet(inUse) ? EBUSY : 0;
    oneAfterAnother = parser.isSet(oneByOne);
    if (!oneAfterAnother && (parser.isSet(unplugDelay) || parser.isSet(nextDelay))) {
        *error = QStringLiteral("--unplug-after and --next-after need --one-after-another");
        return false;
    }

    if (parser.isSet(latency)) {
        const QStringList range = parser.value(latency).split(QLatin1Char('-'));
        if (range.size() > 2 ||
            !readMicroseconds(range.first(), "--latency", 0, &minReplyDelay, error) ||
            !readMicroseconds(range.last(), "--latency", minReplyDelay, &maxReplyDelay, error)) {
            return false;
        }
    }
    // Each with the least it may be.
    const QList<std::tuple<QCommandLineOption, int*, int>> numbers = {
        {boardRestart, &boardRestartTime, 0}, {mainboardRestart, &mainboardRestartTime, 0},
        {plugDelay, &plugAfter, 0},           {replugDelay, &replugAfter, 0},
        {unplugLine, &unplugAtLine, 1},       {instrumentCount, &instruments, 1},
        {unplugDelay, &unplugAfter, 1},       {nextDelay, &nextAfter, 0}};
    for (const auto& number : numbers) {
        const QCommandLineOption& option = std::get<0>(number);
        if (parser.isSet(option) && !readNumber(parser.value(option), "--" + option.names().first(),
                                                std::get<2>(number), std::get<1>(number), error)) {
            return false;
        }
    }

    // Options naming boards, each applied to every board it names.
    const auto forBoards = [&](const QCommandLineOption& option, QChar separator,
                               const std::function<bool(Board, const QString&)>& apply) {
        for (const QString& value : parser.values(option)) {
            QString name = value;
            QString detail;
            if (!separator.isNull() && !split(value, separator, &name, &detail, error)) {
                return false;
            }
            QList<Board> boards;
            if (!readBoards(name, &boards, error)) {
                return false;
            }
            for (Board board : boards) {
                if (!apply(board, detail)) {
                    return false;
                }
            }
        }
        return true;
    };
    const auto flag = [this](bool sim::BoardFaults::*field) {
        return [this, field](Board board, const QString&) {
            faults[board].*field = true;
            return true;
        };
    };
    return forBoards(firmware, QLatin1Char('='),
                     [&](Board board, const QString& text) {
                         return readVersion(text, &versions[board], error);
                     }) &&
           forBoards(silent, QChar(), flag(&sim::BoardFaults::silent)) &&
           forBoards(absent, QChar(), flag(&sim::BoardFaults::absent)) &&
           forBoards(notReady, QChar(), flag(&sim::BoardFaults::notReady)) &&
           forBoards(refuseEnd, QChar(), flag(&sim::BoardFaults::refuseEnd)) &&
           forBoards(zeroAck, QLatin1Char(':'),
                     [&](Board board, const QString& text) {
                         return readNumber(text, "the line of --zero-ack", 1,
                                           &faults[board].zeroAckAtLine, error);
                     }) &&
           forBoards(afterUpdate, QLatin1Char('='), [&](Board board, const QString& text) {
               return readVersion(text, &faults[board].versionAfterUpdate, error);
           });
}

void LaunchOptions::applyTo(sim::Instrument& instrument) const
{
    // The front delays the replies (finer than the instrument's clock).
    instrument.setReplyLatency(0, 0);
    instrument.setBoardRestartTime(boardRestartTime);
    instrument.setMainboardRestartTime(mainboardRestartTime);
    for (auto version = versions.cbegin(); version != versions.cend(); ++version) {
        instrument.setVersion(version.key(), version.value());
    }
    for (auto fault = faults.cbegin(); fault != faults.cend(); ++fault) {
        instrument.setFaults(fault.key(), fault.value());
    }
    if (unplugAtLine > 0) {
        instrument.unplugAtDataMessage(unplugAtLine);
    }
}

QString LaunchOptions::serialNumber(int index) const
{
    if (instruments == 0 && !oneAfterAnother) {
        return QString::fromLatin1(sim::Instrument::defaultSerialNumber);
    }
    return QString::asprintf("SN%04d", index + 1);
}
