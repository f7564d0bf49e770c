// The history of updates: a step's start and completion read back as one
// record, a start never completed reads as interrupted, and a damaged or
// unwritable history costs only what is damaged.

#include "updatehistory.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

HistoryRecord sensorStep(const QString& id, const QString& serial)
{
    HistoryRecord record;
    record.id = id;
    record.started = QDateTime(QDate(2026, 12, 10), QTime(21, 3, 4, 123), Qt::UTC);
    record.serialNumber = serial;
    record.tool = "trvloader";
    record.toolVersion = "1.15";
    record.frontEnd = "command line";
    record.boards = QStringList{"sensor5", "sensor1"};
    record.versionsBefore = {{"sensor5", "v1.7"}, {"sensor1", "v1.7"}};
    record.image = "built-in";
    record.imageVersion = "v1.9";
    record.imageChecksum = 0xA5;
    record.imageSha256 = QString(64, 'e');
    return record;
}

HistoryRecord completed(HistoryRecord record, HistoryRecord::Outcome outcome)
{
    record.ended = record.started.addMSecs(2500);
    record.outcome = outcome;
    record.durationMs = 2500;
    record.versionsAfter = {{"sensor5", "v1.9"}, {"sensor1", "v1.9"}};
    if (outcome == HistoryRecord::Failed) {
        record.failureReason = "TransferFailed";
        record.failureText = "Errors while transfering data";
    }
    return record;
}

} // namespace

class tst_UpdateHistory : public QObject
{
    Q_OBJECT

private slots:
    void stepReadsBackWhole();
    void startWithoutCompletionIsInterrupted();
    void lastRecordOfAnInstrument();
    void damagedHistoryIsReadAsFarAsItIsSound_data();
    void damagedHistoryIsReadAsFarAsItIsSound();
    void unwritableHistorySaysWhy();

private:
    QTemporaryDir folder;
    QString fileName(const char* name) const { return folder.filePath(name); }
};

void tst_UpdateHistory::stepReadsBackWhole()
{
    UpdateHistory history(fileName("whole.jsonl"));
    const HistoryRecord step = completed(sensorStep("a", "SN1"), HistoryRecord::Failed);
    QVERIFY(history.begin(step));
    QVERIFY(history.complete(step));

    int skipped = -1;
    const QList<HistoryRecord> records = history.records(&skipped);
    QCOMPARE(skipped, 0);
    QCOMPARE(records.size(), 1);
    // Every field, compared through the form a listing prints.
    QCOMPARE(records.first().toJson(), step.toJson());
    const QJsonObject json = records.first().toJson();
    QCOMPARE(json.value("started").toString(), QString("2026-12-10T21:03:04.123Z"));
    QCOMPARE(json.value("ended").toString(), QString("2026-12-10T21:03:06.623Z"));
    QCOMPARE(json.value("outcome").toString(), QString("failed"));

    // Earlier lines are never rewritten: the start stays the file's first line.
    QFile file(history.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3); // two lines and the end
    QVERIFY(lines.at(0).contains("\"event\":\"started\""));
    QVERIFY(lines.at(1).contains("\"event\":\"completed\""));
}

void tst_UpdateHistory::startWithoutCompletionIsInterrupted()
{
    UpdateHistory history(fileName("interrupted.jsonl"));
    QVERIFY(history.begin(sensorStep("a", "SN1")));
    const HistoryRecord second = completed(sensorStep("b", "SN1"), HistoryRecord::Updated);
    QVERIFY(history.begin(second));
    QVERIFY(history.complete(second));

    const QList<HistoryRecord> records = history.records();
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(0).outcome, HistoryRecord::Interrupted);
    QVERIFY(!records.at(0).ended.isValid());
    QCOMPARE(records.at(0).toJson().value("outcome").toString(), QString("interrupted"));
    QCOMPARE(records.at(1).outcome, HistoryRecord::Updated);
}

void tst_UpdateHistory::lastRecordOfAnInstrument()
{
    UpdateHistory history(fileName("instruments.jsonl"));
    HistoryRecord record;
    QVERIFY(!history.lastRecordFor("SN1", &record));

    QVERIFY(history.begin(sensorStep("one", "SN1")));
    const HistoryRecord other = completed(sensorStep("two", "SN2"), HistoryRecord::Updated);
    QVERIFY(history.begin(other));
    QVERIFY(history.complete(other));

    QVERIFY(history.lastRecordFor("SN1", &record));
    QCOMPARE(record.id, QString("one"));
    QCOMPARE(record.outcome, HistoryRecord::Interrupted);
    QVERIFY(history.lastRecordFor("SN2", &record));
    QCOMPARE(record.id, QString("two"));
    // An instrument that reports no serial number: any instrument's last record.
    QVERIFY(history.lastRecordFor(QString(), &record));
    QCOMPARE(record.id, QString("two"));
}

void tst_UpdateHistory::damagedHistoryIsReadAsFarAsItIsSound_data()
{
    QTest::addColumn<QByteArray>("damage");
    QTest::addColumn<int>("skipped");

    QTest::newRow("torn last line") << QByteArray("{\"format\":1,\"event\":\"sta") << 1;
    QTest::newRow("garbage") << QByteArray("\x01\x02 not json at all\n") << 1;
    QTest::newRow("another format")
        << QByteArray("{\"format\":2,\"event\":\"started\",\"record\":\"x\"}\n") << 1;
    QTest::newRow("completion of no start")
        << QByteArray("{\"format\":1,\"event\":\"completed\",\"record\":\"nobody\","
                      "\"ended\":\"2026-12-10T21:00:00Z\",\"outcome\":\"updated\"}\n")
        << 1;
    QTest::newRow("unknown outcome")
        << QByteArray("{\"format\":1,\"event\":\"completed\",\"record\":\"a\","
                      "\"ended\":\"2026-12-10T21:00:00Z\",\"outcome\":\"exploded\"}\n")
        << 1;
    QTest::newRow("a JSON array") << QByteArray("[1,2,3]\n") << 1;
}

void tst_UpdateHistory::damagedHistoryIsReadAsFarAsItIsSound()
{
    QFETCH(QByteArray, damage);
    QFETCH(int, skipped);
    UpdateHistory history(fileName(QTest::currentDataTag()));
    QVERIFY(history.begin(sensorStep("a", "SN1")));
    {
        QFile file(history.fileName());
        QVERIFY(file.open(QIODevice::Append));
        file.write(damage);
    }
    // A later step is still kept whole, even behind a torn line.
    const HistoryRecord later = completed(sensorStep("b", "SN1"), HistoryRecord::Canceled);
    QVERIFY(history.begin(later));
    QVERIFY(history.complete(later));

    int skippedLines = -1;
    const QList<HistoryRecord> records = history.records(&skippedLines);
    QCOMPARE(skippedLines, skipped);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(0).outcome, HistoryRecord::Interrupted);
    QCOMPARE(records.at(1).toJson(), later.toJson());
}

void tst_UpdateHistory::unwritableHistorySaysWhy()
{
    // A history whose folder is a file cannot be written, not even by root.
    QFile blocker(fileName("not-a-folder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    UpdateHistory history(fileName("not-a-folder/history.jsonl"));
    QString error;
    QVERIFY(!history.begin(sensorStep("a", "SN1"), &error));
    QVERIFY2(error.contains("not-a-folder"), qPrintable(error));
    QVERIFY(history.records().isEmpty());
}

QTEST_GUILESS_MAIN(tst_UpdateHistory)
#include "tst_updatehistory.moc"
