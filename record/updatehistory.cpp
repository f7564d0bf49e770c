#include "updatehistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

namespace {

const QString startedEvent = QStringLiteral("started");
const QString completedEvent = QStringLiteral("completed");

QJsonObject versionsObject(const QMap<QString, QString>& versions)
{
    QJsonObject object;
    for (auto version = versions.cbegin(); version != versions.cend(); ++version) {
        object.insert(version.key(), version.value());
    }
    return object;
}

QMap<QString, QString> versionsMap(const QJsonValue& value)
{
    QMap<QString, QString> versions;
    const QJsonObject object = value.toObject();
    for (auto version = object.constBegin(); version != object.constEnd(); ++version) {
        versions.insert(version.key(), version.value().toString());
    }
    return versions;
}

QString utcText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime utcTime(const QJsonValue& value)
{
    QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return time.isValid() ? time.toUTC() : QDateTime();
}

bool outcomeOf(const QString& name, HistoryRecord::Outcome* outcome)
{
    for (HistoryRecord::Outcome known : {HistoryRecord::Interrupted, HistoryRecord::Updated,
                                         HistoryRecord::Failed, HistoryRecord::Canceled}) {
        if (HistoryRecord::outcomeName(known) == name) {
            *outcome = known;
            return true;
        }
    }
    return false;
}

// The start of a step, from its line; false when the line lacks what a start needs.
bool readStart(const QJsonObject& line, HistoryRecord* record)
{
    record->id = line.value("record").toString();
    record->started = utcTime(line.value("started"));
    if (record->id.isEmpty() || !record->started.isValid()) {
        return false;
    }
    record->serialNumber = line.value("serialNumber").toString();
    record->tool = line.value("tool").toString();
    record->toolVersion = line.value("toolVersion").toString();
    record->frontEnd = line.value("frontEnd").toString();
    for (const QJsonValue& board : line.value("boards").toArray()) {
        record->boards.append(board.toString());
    }
    record->versionsBefore = versionsMap(line.value("versionsBefore"));
    record->image = line.value("image").toString();
    record->imageVersion = line.value("imageVersion").toString();
    record->imageChecksum = line.value("imageChecksum").toInt();
    record->imageSha256 = line.value("imageSha256").toString();
    record->outcome = HistoryRecord::Interrupted;
    return true;
}

// The completion of a step into its record; false when the line is not one.
bool readCompletion(const QJsonObject& line, HistoryRecord* record)
{
    HistoryRecord::Outcome outcome = HistoryRecord::Interrupted;
    const QDateTime ended = utcTime(line.value("ended"));
    if (!outcomeOf(line.value("outcome").toString(), &outcome) ||
        outcome == HistoryRecord::Interrupted || !ended.isValid()) {
        return false;
    }
    record->ended = ended;
    record->outcome = outcome;
    record->versionsAfter = versionsMap(line.value("versionsAfter"));
    record->failureReason = line.value("failureReason").toString();
    record->failureText = line.value("failureText").toString();
    record->durationMs = qint64(line.value("durationMs").toDouble());
    return true;
}

} // namespace

QString HistoryRecord::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Interrupted:
        return QStringLiteral("interrupted");
    case Updated:
        return QStringLiteral("updated");
    case Failed:
        return QStringLiteral("failed");
    case Canceled:
        return QStringLiteral("canceled");
    }
    return QString();
}

QJsonObject HistoryRecord::toJson() const
{
    QJsonObject object;
    object.insert("record", id);
    object.insert("started", utcText(started));
    object.insert("ended", ended.isValid() ? QJsonValue(utcText(ended)) : QJsonValue());
    object.insert("serialNumber", serialNumber.isEmpty() ? QJsonValue() : QJsonValue(serialNumber));
    object.insert("tool", tool);
    object.insert("toolVersion", toolVersion);
    object.insert("frontEnd", frontEnd);
    object.insert("boards", QJsonArray::fromStringList(boards));
    object.insert("versionsBefore", versionsObject(versionsBefore));
    object.insert("versionsAfter", versionsObject(versionsAfter));
    object.insert("image", image);
    object.insert("imageVersion", imageVersion);
    object.insert("imageChecksum", imageChecksum);
    object.insert("imageSha256", imageSha256);
    object.insert("outcome", outcomeName(outcome));
    object.insert("failureReason", failureReason);
    object.insert("failureText", failureText);
    object.insert("durationMs", double(durationMs));
    return object;
}

QString UpdateHistory::dataFolder()
{
    // Both programs keep one record; the window's own data folder is it.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Kelmor/trvloader"));
}

QString UpdateHistory::defaultFileName()
{
    return QDir(dataFolder()).filePath(QStringLiteral("history.jsonl"));
}

UpdateHistory::UpdateHistory(const QString& fileName) : path(fileName) {}

QString UpdateHistory::fileName() const
{
    return path;
}

bool UpdateHistory::begin(const HistoryRecord& record, QString* error)
{
    QJsonObject line;
    line.insert("format", format);
    line.insert("event", startedEvent);
    line.insert("record", record.id);
    line.insert("started", utcText(record.started));
    line.insert("serialNumber", record.serialNumber);
    line.insert("tool", record.tool);
    line.insert("toolVersion", record.toolVersion);
    line.insert("frontEnd", record.frontEnd);
    line.insert("boards", QJsonArray::fromStringList(record.boards));
    line.insert("versionsBefore", versionsObject(record.versionsBefore));
    line.insert("image", record.image);
    line.insert("imageVersion", record.imageVersion);
    line.insert("imageChecksum", record.imageChecksum);
    line.insert("imageSha256", record.imageSha256);
    return append(line, error);
}

bool UpdateHistory::complete(const HistoryRecord& record, QString* error)
{
    QJsonObject line;
    line.insert("format", format);
    line.insert("event", completedEvent);
    line.insert("record", record.id);
    line.insert("ended", utcText(record.ended));
    line.insert("outcome", HistoryRecord::outcomeName(record.outcome));
    line.insert("versionsAfter", versionsObject(record.versionsAfter));
    line.insert("failureReason", record.failureReason);
    line.insert("failureText", record.failureText);
    line.insert("durationMs", double(record.durationMs));
    return append(line, error);
}

bool UpdateHistory::append(const QJsonObject& line, QString* error)
{
    const QFileInfo info(path);
    QFile file(path);
    if (!QDir().mkpath(info.absolutePath()) || !file.open(QIODevice::ReadWrite)) {
        if (error) {
            *error = QObject::tr("The update history %1 cannot be written: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        }
        return false;
    }
    // A line torn by an earlier end (the program killed while writing) is
    // closed first, so that it cannot swallow this one.
    QByteArray text;
    if (file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n") {
        text.append('\n');
    }
    text.append(QJsonDocument(line).toJson(QJsonDocument::Compact)).append('\n');
    if (!file.seek(file.size()) || file.write(text) != text.size() || !file.flush()) {
        if (error) {
            *error = QObject::tr("The update history %1 cannot be written: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        }
        return false;
    }
    return true;
}

QList<HistoryRecord> UpdateHistory::records(int* skippedLines) const
{
    QList<HistoryRecord> found;
    QHash<QString, int> index; // record id -> position in found
    int skipped = 0;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QByteArray text = file.readLine().trimmed();
            if (text.isEmpty()) {
                continue;
            }
            const QJsonDocument document = QJsonDocument::fromJson(text);
            const QJsonObject line = document.object();
            const QString event = line.value("event").toString();
            if (!document.isObject() || line.value("format").toInt() != format) {
                ++skipped;
            } else if (event == startedEvent) {
                HistoryRecord record;
                if (readStart(line, &record) && !index.contains(record.id)) {
                    index.insert(record.id, found.size());
                    found.append(record);
                } else {
                    ++skipped;
                }
            } else if (event == completedEvent) {
                const auto at = index.constFind(line.value("record").toString());
                if (at == index.cend() || found[*at].outcome != HistoryRecord::Interrupted ||
                    !readCompletion(line, &found[*at])) {
                    ++skipped;
                }
            } else {
                ++skipped;
            }
        }
    }
    if (skippedLines) {
        *skippedLines = skipped;
    }
    return found;
}

bool UpdateHistory::lastRecordFor(const QString& serialNumber, HistoryRecord* record) const
{
    const QList<HistoryRecord> all = records();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (serialNumber.isEmpty() || it->serialNumber.isEmpty() ||
            it->serialNumber == serialNumber) {
            *record = *it;
            return true;
        }
    }
    return false;
}
