#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One step of an update as the history keeps it: which instrument, which
// boards, from which version to which, with which image, and how it ended.
struct HistoryRecord
{
    enum Outcome {
        Interrupted, // started and never completed: the program ended in between
        Updated,
        Failed,
        Canceled,
    };

    QString id; // ties the completion to its start
    QDateTime started; // UTC
    QDateTime ended;   // UTC; invalid while interrupted
    QString serialNumber; // as the instrument reports it; empty when it reports none
    QString tool;
    QString toolVersion;
    QString frontEnd; // "window" or "command line"
    QStringList boards; // command-line names, in the order of the rows
    QMap<QString, QString> versionsBefore; // board -> "v1.7"; a board that did not say is missing
    QMap<QString, QString> versionsAfter;
    QString image; // "built-in" or the file's name
    QString imageVersion;
    int imageChecksum = 0; // the image checksum the checksum record carries
    QString imageSha256;   // of the image text, in hexadecimal
    Outcome outcome = Interrupted;
    QString failureReason; // the engine's reason ("NoResponse"), for Failed
    QString failureText;   // ...and its text
    qint64 durationMs = 0;

    static QString outcomeName(Outcome outcome);
    // The record as one JSON object, with every field above.
    QJsonObject toJson() const;
};

Q_DECLARE_METATYPE(HistoryRecord)

// The history of updates: a file of one JSON object per line, to which each
// step adds its start before its first message and its completion when it
// ends; earlier lines are never rewritten. A start without a completion reads
// back as interrupted. Reading takes what is sound and skips the rest (a torn
// last line, garbage, lines of another format), saying how many lines it
// skipped.
class UpdateHistory
{
public:
    // Where this user's history and log are kept: the window's data folder
    // (Kelmor/trvloader in the user's data location), shared by the command line.
    static QString dataFolder();
    // The history of this user: history.jsonl in the data folder.
    static QString defaultFileName();

    explicit UpdateHistory(const QString& fileName = defaultFileName());

    QString fileName() const;

    // Adds the start of a step. False, with the reason in error, when the
    // file cannot be written; nothing else is affected.
    bool begin(const HistoryRecord& record, QString* error = nullptr);
    // Adds the completion of a step begun before (its id, end, outcome,
    // versions after, failure and duration).
    bool complete(const HistoryRecord& record, QString* error = nullptr);

    // Every record, oldest first. skippedLines, when given, counts the lines
    // that could not be read.
    QList<HistoryRecord> records(int* skippedLines = nullptr) const;

    // The last record of the instrument with this serial number; any
    // instrument's when the serial number is empty or the record has none.
    // False when the history holds none.
    bool lastRecordFor(const QString& serialNumber, HistoryRecord* record) const;

    // The format of the lines this version writes and reads.
    static constexpr int format = 1;

private:
    bool append(const QJsonObject& line, QString* error);

    QString path;
};
