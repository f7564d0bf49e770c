#pragma once

#include <QString>

// What the tool did, for support: one time-stamped line per event, appended
// to a log file that is kept small by rotation (when the file would grow past
// maximumSize it becomes "NAME.1", the former "NAME.1" becomes "NAME.2", and
// the oldest goes). A log that cannot be written costs nothing but the lines.
class ServiceLog
{
public:
    // The log of this user: trvloader.log beside the update history.
    static QString defaultFileName();

    static constexpr qint64 defaultMaximumSize = 1024 * 1024;
    static constexpr int defaultFiles = 3; // the log and two older ones

    explicit ServiceLog(const QString& fileName = defaultFileName(),
                        qint64 maximumSize = defaultMaximumSize, int files = defaultFiles);

    QString fileName() const;

    // Appends "2026-12-10T21:03:04.123Z what"; false, with the reason in
    // error, when the log cannot be written.
    bool append(const QString& what, QString* error = nullptr);
    // The end of the log, at most maximumBytes of it, in whole lines (the
    // older file's end first when the log itself is shorter).
    QString tail(qint64 maximumBytes) const;

    // From now on Qt's warnings, critical and fatal messages are also appended
    // to this log (the log must outlive the program's use of Qt); they still
    // reach the handler that was there before. Null stops that.
    static void keepQtWarnings(ServiceLog* log);

private:
    QString olderFile(int age) const; // age 0: the log itself
    void rotate();

    QString path;
    qint64 maximumSize;
    int files;
};
