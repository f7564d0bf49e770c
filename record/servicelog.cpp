#include "servicelog.h"

#include "updatehistory.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStandardPaths>

namespace {

ServiceLog* warningLog = nullptr;
QtMessageHandler formerHandler = nullptr;

void logQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // Writing the log may itself warn; that warning is not logged again.
    static bool logging = false;
    if (warningLog && type != QtDebugMsg && type != QtInfoMsg && !logging) {
        logging = true;
        warningLog->append(QStringLiteral("Qt: %1").arg(message));
        logging = false;
    }
    if (formerHandler) {
        formerHandler(type, context, message);
    }
}

} // namespace

void ServiceLog::keepQtWarnings(ServiceLog* log)
{
    warningLog = log;
    static bool installed = false;
    if (!installed) {
        installed = true;
        formerHandler = qInstallMessageHandler(logQtMessage);
    }
}

QString ServiceLog::defaultFileName()
{
    return QDir(UpdateHistory::dataFolder()).filePath(QStringLiteral("trvloader.log"));
}

ServiceLog::ServiceLog(const QString& fileName, qint64 maximum, int count)
    : path(fileName), maximumSize(qMax<qint64>(1, maximum)), files(qMax(1, count))
{
}

QString ServiceLog::fileName() const
{
    return path;
}

QString ServiceLog::olderFile(int age) const
{
    return age == 0 ? path : QStringLiteral("%1.%2").arg(path).arg(age);
}

void ServiceLog::rotate()
{
    QFile::remove(olderFile(files - 1));
    for (int age = files - 2; age >= 0; --age) {
        QFile::rename(olderFile(age), olderFile(age + 1));
    }
}

bool ServiceLog::append(const QString& what, QString* error)
{
    QString text = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    text.append(QLatin1Char(' ')).append(what);
    text.replace(QLatin1Char('\n'), QLatin1String("\n    ")); // one event, one entry
    const QByteArray line = text.toUtf8() + '\n';

    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error) {
            *error = QObject::tr("The log %1 cannot be written: its folder cannot be made")
                         .arg(QDir::toNativeSeparators(path));
        }
        return false;
    }
    const qint64 size = QFileInfo(path).size();
    if (size > 0 && size + line.size() > maximumSize) {
        rotate();
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) ||
        file.write(line) != line.size() || !file.flush()) {
        if (error) {
            *error = QObject::tr("The log %1 cannot be written: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        }
        return false;
    }
    return true;
}

QString ServiceLog::tail(qint64 maximumBytes) const
{
    QByteArray text;
    for (int age = 0; age < files && text.size() < maximumBytes; ++age) {
        QFile file(olderFile(age));
        if (!file.open(QIODevice::ReadOnly)) {
            break;
        }
        const qint64 wanted = maximumBytes - text.size();
        if (file.size() > wanted) {
            file.seek(file.size() - wanted);
        }
        text.prepend(file.readAll());
    }
    if (text.size() > maximumBytes) {
        text = text.right(int(maximumBytes));
    }
    // Whole lines only: what comes before the first line end may be cut.
    if (text.size() == maximumBytes) {
        const int lineEnd = text.indexOf('\n');
        text = lineEnd < 0 ? QByteArray() : text.mid(lineEnd + 1);
    }
    return QString::fromUtf8(text);
}
