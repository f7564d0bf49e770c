// The log for support: time-stamped lines, rotation that keeps it small, its
// end for a report, and a log that cannot be written.

#include "servicelog.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class tst_ServiceLog : public QObject
{
    Q_OBJECT

private slots:
    void linesAreTimeStamped();
    void rotationKeepsItSmall();
    void tailGivesWholeLinesAcrossFiles();
    void unwritableLogSaysWhy();

private:
    QTemporaryDir folder;
};

void tst_ServiceLog::linesAreTimeStamped()
{
    ServiceLog log(folder.filePath("stamped/trvloader.log"));
    QVERIFY(log.append("connected"));
    QVERIFY(log.append("two\nlines"));
    QFile file(log.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z connected$")
                 .match(lines.at(0))
                 .hasMatch(),
             qPrintable(lines.at(0)));
    QVERIFY(lines.at(1).endsWith(" two"));
    QCOMPARE(lines.at(2), QString("    lines")); // one event stays one entry
}

void tst_ServiceLog::rotationKeepsItSmall()
{
    const qint64 maximum = 1000;
    ServiceLog log(folder.filePath("rotated/trvloader.log"), maximum, 3);
    for (int i = 0; i < 200; ++i) {
        QVERIFY(log.append(QString("event %1").arg(i, 4, 10, QLatin1Char('0'))));
    }
    for (const QString& name : {log.fileName(), log.fileName() + ".1", log.fileName() + ".2"}) {
        QVERIFY2(QFileInfo::exists(name), qPrintable(name));
        QVERIFY(QFileInfo(name).size() <= maximum);
    }
    QVERIFY(!QFileInfo::exists(log.fileName() + ".3"));
    QVERIFY(log.tail(maximum).trimmed().endsWith("event 0199"));
}

void tst_ServiceLog::tailGivesWholeLinesAcrossFiles()
{
    ServiceLog log(folder.filePath("tail/trvloader.log"), 100, 3);
    for (int i = 0; i < 12; ++i) {
        QVERIFY(log.append(QString("line %1").arg(i)));
    }
    const QString tail = log.tail(150); // more than the log itself holds
    const QStringList lines = tail.trimmed().split('\n');
    QVERIFY(lines.size() > 2);
    QVERIFY(tail.size() <= 150);
    QVERIFY(lines.last().endsWith("line 11"));
    for (const QString& line : lines) {
        QVERIFY2(line.contains(" line "), qPrintable(line)); // no line cut in two
    }
}

void tst_ServiceLog::unwritableLogSaysWhy()
{
    QFile blocker(folder.filePath("blocked"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ServiceLog log(folder.filePath("blocked/trvloader.log"));
    QString error;
    QVERIFY(!log.append("connected", &error));
    QVERIFY2(error.contains("blocked"), qPrintable(error));
    QVERIFY(log.tail(1000).isEmpty());
}

QTEST_GUILESS_MAIN(tst_ServiceLog)
#include "tst_servicelog.moc"
