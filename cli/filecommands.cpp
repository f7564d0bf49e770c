#include "filecommands.h"

#include "boardtable.h"
#include "hexreader.h"
#include "hexsorter.h"
#include "reportwriter.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaEnum>
#include <QObject>

namespace {

QString stateName(HexReader::Err state)
{
    const char* key = QMetaEnum::fromType<HexReader::Err>().valueToKey(state);
    return key ? QString::fromLatin1(key) : QString::number(state);
}

// An image checksum for people, as 0x1C; JSON carries it as a number.
QString checksumText(quint8 checksum)
{
    return QStringLiteral("0x") + QString::number(checksum, 16).rightJustified(2, '0').toUpper();
}

// The image's name as the window shows it, e.g. KZENT-v3.3.hex.
QString imageName(const HexReader& reader)
{
    return QStringLiteral("%1-%2.hex").arg(reader.part, reader.version);
}

// The cause behind a refusal, for the JSON result: its kind, and its line where it has one.
void insertFault(QJsonObject& object, const FileFault& fault)
{
    if (fault.isNone()) {
        return;
    }
    object.insert("fault", fault.name());
    object.insert("detail", fault.description());
    if (fault.line() > 0) {
        object.insert("line", fault.line());
    }
}

// The error text followed by its cause on a line of its own, where the cause is known.
QString withCause(const QString& error, const FileFault& fault)
{
    return fault.isNone() ? error : error + QLatin1Char('\n') + fault.description();
}

// What the user can do about a file in this state, or an empty text. A known
// cause says it better than the state.
QString hintFor(HexReader::Err state, const FileFault& fault, const QString& file)
{
    if (!fault.isNone()) {
        return QString();
    }
    switch (state) {
    case HexReader::InvalidOrder:
        return FileCommands::sortHint(file);
    case HexReader::Corrupted:
        return QObject::tr("Its checksum record is missing or does not fit its text. For a file "
                           "changed on purpose, sort it (which drops the old record) and stamp "
                           "it:\n  trvloader-cli sort %1 && trvloader-cli stamp %1")
            .arg(file);
    default:
        return QString();
    }
}

} // namespace

ExitCode::Code FileCommands::check(const QStringList& files, ReportWriter& report)
{
    ExitCode::Code code = ExitCode::Success;
    QJsonArray checked;
    QStringList errors;
    for (const QString& file : files) {
        HexReader reader;
        const HexReader::Err state = reader.read(file, false);
        BoardTable::Group group = BoardTable::Sensors;
        const bool identified = state == HexReader::FileOk || state == HexReader::NoValidFirmware;
        const bool fits = BoardTable::groupOfPartCode(reader.part, &group);
        QString verdict = reader.stateDescription();
        if (state == HexReader::FileOk && !fits) {
            verdict = QObject::tr("The part code \"%1\" fits no board of the instrument")
                          .arg(reader.part);
        }
        const bool usable = state == HexReader::FileOk && fits;
        if (!usable) {
            code = ExitCode::FileRefused;
            errors.append(withCause(QStringLiteral("%1: %2").arg(file, verdict), reader.fault));
        }

        QJsonObject entry{
            {"file", file}, {"usable", usable}, {"state", stateName(state)}, {"verdict", verdict}};
        insertFault(entry, reader.fault);
        report.line(QStringLiteral("%1: %2").arg(file, verdict));
        if (!reader.fault.isNone()) {
            report.line(QStringLiteral("  ") + reader.fault.description());
        }
        if (identified) {
            const QString board =
                fits ? QStringLiteral(" (%1)").arg(BoardTable::commandName(group)) : QString();
            const int size = reader.data.size();
            report.line(QObject::tr("  Part code:   %1%2").arg(reader.part, board));
            report.line(QObject::tr("  Name:        %1").arg(imageName(reader)));
            report.line(QObject::tr("  Version:     %1").arg(reader.version));
            report.line(QObject::tr("  Build date:  %1").arg(reader.date));
            report.line(QObject::tr("  Size:        %1 bytes").arg(size));
            report.line(QObject::tr("  Checksum:    %1").arg(checksumText(reader.checksum)));
            report.line(QObject::tr("  SHA-256:     %1").arg(reader.fileSha256));
            entry.insert("part", reader.part);
            // The kind of --firmware KIND=FILE, and the group by its name,
            // as in the boards of versions and update; null when it fits none.
            entry.insert("kind", fits ? QJsonValue(BoardTable::commandName(group))
                                      : QJsonValue(QJsonValue::Null));
            entry.insert("group", fits ? QJsonValue(BoardTable::groupName(group))
                                       : QJsonValue(QJsonValue::Null));
            entry.insert("name", imageName(reader));
            entry.insert("version", reader.version);
            entry.insert("date", reader.date);
            entry.insert("size", size);
            entry.insert("checksum", int(reader.checksum));
            entry.insert("sha256", reader.fileSha256);
        }
        const QString hint = hintFor(state, reader.fault, file);
        if (!hint.isEmpty()) {
            report.line(QStringLiteral("  ") + QString(hint).replace('\n', QStringLiteral("\n  ")));
        }
        checked.append(entry);
    }
    if (report.isJson()) {
        // People reading the JSON style still learn on the error output what is wrong.
        for (const QString& error : qAsConst(errors)) {
            report.error(error);
        }
    }
    report.result(QStringLiteral("check"), code, errors.join('\n'), {{"files", checked}});
    return code;
}

QString FileCommands::sortHint(const QString& fileName)
{
    return QObject::tr("Put its records in address order first (this rewrites the file), then "
                       "stamp it:\n  trvloader-cli sort %1 && trvloader-cli stamp %1")
        .arg(fileName);
}

ExitCode::Code FileCommands::sort(const QString& file, ReportWriter& report)
{
    FileFault fault;
    const HexReader::Err state = HexSorter::sort(file, &fault);
    if (state != HexReader::FileOk) {
        const QString error = withCause(
            QStringLiteral("%1: %2").arg(file, HexReader::stateDescription(state)), fault);
        report.error(error);
        QJsonObject result{{"file", file}, {"state", stateName(state)}};
        insertFault(result, fault);
        report.result(QStringLiteral("sort"), ExitCode::FileRefused, error, result);
        return ExitCode::FileRefused;
    }
    report.line(QObject::tr("%1: sorted. It has no checksum record now; stamp it next:\n"
                            "  trvloader-cli stamp %1")
                    .arg(file));
    report.result(QStringLiteral("sort"), ExitCode::Success, QString(),
                  {{"file", file}, {"state", stateName(state)}});
    return ExitCode::Success;
}

ExitCode::Code FileCommands::stamp(const QString& file, ReportWriter& report)
{
    const qint64 sizeBefore = QFileInfo(file).size();
    HexReader reader;
    const HexReader::Err state = reader.read(file, true);
    const bool stamped = QFileInfo(file).size() != sizeBefore;

    QJsonObject result;
    ExitCode::Code code = ExitCode::Success;
    QString error;
    if (state != HexReader::FileOk) {
        code = ExitCode::FileRefused;
        error =
            withCause(QStringLiteral("%1: %2").arg(file, reader.stateDescription()), reader.fault);
        if (stamped) {
            error += QLatin1Char('\n') + QObject::tr("The checksum record has been added.");
        }
        const QString hint = hintFor(state, reader.fault, file);
        if (!hint.isEmpty()) {
            error += QLatin1Char('\n') + hint;
        }
        report.error(error);
        insertFault(result, reader.fault);
    } else {
        report.line((stamped ? QObject::tr("%1: stamped, checksum %2. %3")
                             : QObject::tr("%1: already stamped, checksum %2. %3"))
                        .arg(file, checksumText(reader.checksum), reader.stateDescription()));
        report.line(QObject::tr("  %1 (%2)").arg(imageName(reader), reader.date));
        result.insert("part", reader.part);
        result.insert("version", reader.version);
        result.insert("date", reader.date);
        result.insert("checksum", int(reader.checksum));
    }
    result.insert("file", file);
    result.insert("state", stateName(state));
    result.insert("stamped", stamped);
    report.result(QStringLiteral("stamp"), code, error, result);
    return code;
}
