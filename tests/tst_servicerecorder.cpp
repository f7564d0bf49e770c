// The service record of a session on the emulated instrument: a history record
// for each step of an update, the log, the unfinished update named at the next
// connect, and a record that cannot be written standing in nobody's way.

#include "boardtable.h"
#include "hexreader.h"
#include "instrument.h"
#include "servicelog.h"
#include "servicerecorder.h"
#include "supportreport.h"
#include "testimage.h"
#include "testtiming.h"
#include "translations.h"
#include "trvinstrument.h"
#include "trvinterface.h"
#include "trvupdatesequence.h"
#include "updatehistory.h"
#include "usertexts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>

using PartType = trvInterface::PartType;

Q_DECLARE_METATYPE(sim::BoardFaults)

class tst_ServiceRecorder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordForEachStep();
    void failedStepCarriesItsReason_data();
    void failedStepCarriesItsReason();
    void reasonOfAnEarlierVersionReadsInEnglish();
    void lateMainboard_data();
    void lateMainboard();
    void abortedStepIsCanceledAndNamedOnce();
    void unfinishedStepOfWhichInstrument_data();
    void unfinishedStepOfWhichInstrument();
    void unwritableRecordIsSaidOnce();

private:
    // A new session with its recorder on history and log files in the folder.
    void makeSession(const QString& historyFile, const QString& logFile);
    void connectInstrument();
    // Gives each group a small image of the test-image builder at this version.
    void useSmallImages(const QByteArray& version);
    void runUpdate(const QList<PartType>& boards);

    QTemporaryDir folder;
    trvTiming timing;
    std::unique_ptr<UpdateHistory> history;
    std::unique_ptr<ServiceLog> log;
    std::unique_ptr<trvInterface> device;
    std::unique_ptr<trvInstrument> session;
    std::unique_ptr<ServiceRecorder> recorder;
};

void tst_ServiceRecorder::init()
{
    QVERIFY(folder.isValid());
    sim::instrument().reset();
    timing = TestTiming::quick();
    TestTiming::pace(sim::instrument(), timing);
    QFile::remove(folder.filePath("history.jsonl"));
    QFile::remove(folder.filePath("trvloader.log"));
    makeSession(folder.filePath("history.jsonl"), folder.filePath("trvloader.log"));
}

void tst_ServiceRecorder::cleanup()
{
    recorder.reset();
    session.reset();
    device.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_ServiceRecorder::makeSession(const QString& historyFile, const QString& logFile)
{
    recorder.reset();
    session.reset();
    device.reset();
    history = std::make_unique<UpdateHistory>(historyFile);
    log = std::make_unique<ServiceLog>(logFile);
    device = std::make_unique<trvInterface>();
    session = std::make_unique<trvInstrument>(device.get(), timing);
    recorder = std::make_unique<ServiceRecorder>(session.get(), QStringLiteral("window"),
                                                 history.get(), log.get());
}

void tst_ServiceRecorder::connectInstrument()
{
    QSignalSpy answered(session.get(), &trvInstrument::allAnswered);
    device->setAutoconnect(true);
    QVERIFY(answered.count() > 0 || answered.wait(timing.answerTime * 20));
}

void tst_ServiceRecorder::useSmallImages(const QByteArray& version)
{
    for (const QByteArray part : {"KSENS", "KTERM", "KZENT"}) {
        HexReader reader;
        const QString path = folder.filePath(QString("%1-%2.hex").arg(part, version));
        QVERIFY(TestImage(part, version).load(reader, path));
        QVERIFY(session->useImage(reader, path));
    }
}

void tst_ServiceRecorder::runUpdate(const QList<PartType>& boards)
{
    QSignalSpy done(session->sequence(), &trvUpdateSequence::done);
    QSignalSpy canceled(session->sequence(), &trvUpdateSequence::canceled);
    QVERIFY(session->start(session->plan(boards)));
    QTRY_VERIFY_WITH_TIMEOUT(!session->isUpdating(), timing.reconnectTimeout * 10 +
                                                         timing.requestTimeout * 100 +
                                                         timing.lateReturnTimeout);
}

// Each step adds a record with the instrument, the boards, the versions before
// and after, the image and its checksums, the outcome and the times; the log
// tells the connect and the steps.
void tst_ServiceRecorder::recordForEachStep()
{
    connectInstrument();
    useSmallImages("v2.4");
    QSignalSpy unfinished(recorder.get(), &ServiceRecorder::unfinishedUpdate);
    runUpdate(BoardTable::boards());
    // The main board's return within its own step is not an unfinished update.
    QCOMPARE(unfinished.count(), 0);

    int skipped = -1;
    const QList<HistoryRecord> records = history->records(&skipped);
    QCOMPARE(skipped, 0);
    QCOMPARE(records.size(), 3);
    const QStringList sensors{"sensor5", "sensor1", "sensor2", "sensor3", "sensor4"};
    const QList<QStringList> boards{sensors, {"terminal"}, {"mainboard"}};
    const QList<QByteArray> parts{"KSENS", "KTERM", "KZENT"};
    QSet<QString> ids;
    for (int index = 0; index < records.size(); ++index) {
        const HistoryRecord& record = records[index];
        QCOMPARE(record.boards, boards[index]);
        QCOMPARE(record.outcome, HistoryRecord::Updated);
        QCOMPARE(record.serialNumber, QString(sim::Instrument::defaultSerialNumber));
        QCOMPARE(record.frontEnd, QString("window"));
        QCOMPARE(record.image, QString("%1-v2.4.hex").arg(QString(parts[index])));
        QCOMPARE(record.imageVersion, QString("v2.4"));
        const TestImage image(parts[index], "v2.4");
        QCOMPARE(record.imageChecksum, int(HexReader::imageChecksum(image.text())));
        // The one sha256sum prints for the image's file.
        QCOMPARE(
            record.imageSha256,
            QString(QCryptographicHash::hash(image.file(), QCryptographicHash::Sha256).toHex()));
        for (const QString& board : boards[index]) {
            QCOMPARE(record.versionsBefore.value(board), QString("v1.0"));
            QCOMPARE(record.versionsAfter.value(board), QString("v2.4"));
        }
        QVERIFY(record.started.isValid() && record.ended >= record.started);
        QCOMPARE(record.started.timeSpec(), Qt::UTC);
        QVERIFY(record.durationMs >= 0);
        QVERIFY(record.failureReason.isEmpty());
        ids.insert(record.id);
    }
    QCOMPARE(ids.size(), 3);

    const QString logText = log->tail(1 << 20);
    QVERIFY2(logText.contains(sim::Instrument::defaultSerialNumber), qPrintable(logText));
    QVERIFY(logText.contains("Update of mainboard: Restarting"));
    QVERIFY(logText.contains("Update of terminal ended: updated"));
}

void tst_ServiceRecorder::failedStepCarriesItsReason_data()
{
    QTest::addColumn<sim::BoardFaults>("faults");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("text");         // in English
    QTest::addColumn<QString>("versionAfter"); // empty: unknown
    QTest::addColumn<QString>("change");       // as the history table shows it

    sim::BoardFaults refusing;
    refusing.zeroAckAtLine = 2;
    QTest::newRow("refuses a line, half-written")
        << refusing << "TransferFailed"
        << "Errors while transfering data" << QString() << "v1.0 -> unknown";
    sim::BoardFaults otherVersion;
    otherVersion.versionAfterUpdate = 11;
    QTest::newRow("reports another version afterwards") << otherVersion << "FinishFailed"
                                                        << "Update could not be finished"
                                                        << "v1.1"
                                                        << "v1.0 -> v1.1";
}

// A failed step is recorded with the engine's reason in English, also in a
// German session, and with the version after only where the board said it
// after its step had begun to change it: never the version from before.
void tst_ServiceRecorder::failedStepCarriesItsReason()
{
    QFETCH(sim::BoardFaults, faults);
    QFETCH(QString, reason);
    QFETCH(QString, text);
    QFETCH(QString, versionAfter);
    QFETCH(QString, change);

    QTranslator german; // removes itself when it goes
    QVERIFY(german.load(QLocale(QLocale::German, QLocale::Germany), "trvloader", "_",
                        Translations::builtInFolder()));
    QCoreApplication::installTranslator(&german);
    QVERIFY(trvUpdater::errorDescription(trvUpdater::TransferFailed) !=
            "Errors while transfering data");

    sim::instrument().setFaults(sim::Terminal, faults);
    connectInstrument();
    useSmallImages("v2.4");
    runUpdate({trvInterface::Terminal, trvInterface::Mainboard});

    const QList<HistoryRecord> records = history->records();
    QCOMPARE(records.size(), 1); // the main board's step never began
    QCOMPARE(records[0].outcome, HistoryRecord::Failed);
    QCOMPARE(records[0].failureReason, reason);
    QCOMPARE(records[0].failureText, text);
    QCOMPARE(records[0].versionsBefore.value("terminal"), QString("v1.0"));
    QCOMPARE(records[0].versionsAfter.contains("terminal"), !versionAfter.isEmpty());
    QCOMPARE(records[0].versionsAfter.value("terminal"), versionAfter);
    const QString logText = log->tail(1 << 20);
    QVERIFY2(
        logText.contains(QString("Update of terminal ended: failed (%1: %2)").arg(reason, text)),
        qPrintable(logText));
    const QString table = SupportReport::historyTable(records);
    QVERIFY2(table.contains(change), qPrintable(table));
    QVERIFY2(table.contains(QString("failed (%1)").arg(text)), qPrintable(table));
}

// A record that an earlier version kept with a German reason reads in English.
void tst_ServiceRecorder::reasonOfAnEarlierVersionReadsInEnglish()
{
    HistoryRecord earlier;
    earlier.id = QStringLiteral("earlier");
    earlier.started = QDateTime::currentDateTimeUtc();
    earlier.boards = QStringList{"terminal"};
    earlier.versionsBefore.insert("terminal", "v1.7");
    QVERIFY(history->begin(earlier));
    earlier.ended = earlier.started;
    earlier.outcome = HistoryRecord::Failed;
    earlier.failureReason = QStringLiteral("NoResponse");
    earlier.failureText = QString::fromUtf8("Keine Antwort vom Gerät");
    QVERIFY(history->complete(earlier));

    const QString table = SupportReport::historyTable(history->records());
    QVERIFY2(table.contains("v1.7 -> unknown"), qPrintable(table));
    QVERIFY2(table.contains("failed (No response from device)"), qPrintable(table));
}

void tst_ServiceRecorder::lateMainboard_data()
{
    QTest::addColumn<bool>("comesBack");
    QTest::addColumn<bool>("abortWhileListening");
    QTest::newRow("back late") << true << false;
    QTest::newRow("not back") << false << false;
    QTest::newRow("aborted while listening") << false << true;
}

// A main board the engine gave up on is recorded by what the session heard
// of it later: updated when it came back with the new version.
void tst_ServiceRecorder::lateMainboard()
{
    QFETCH(bool, comesBack);
    QFETCH(bool, abortWhileListening);
    TestTiming::shortenLateReturn(timing);
    makeSession(history->fileName(), log->fileName());
    const int engineWait = timing.restartWait + timing.reconnectTimeout;
    sim::instrument().setMainboardRestartTime(comesBack
                                                  ? TestTiming::lateMainboardRestartTime(timing)
                                                  : engineWait + timing.lateReturnTimeout * 3);
    connectInstrument();
    useSmallImages("v2.4");
    if (abortWhileListening) {
        QSignalSpy listening(session.get(), &trvInstrument::waitingForLateReturn);
        QVERIFY(session->start(session->plan({trvInterface::Mainboard})));
        QVERIFY(listening.wait(engineWait * 10));
        session->abort();
        QCOMPARE(history->records().value(0).outcome, HistoryRecord::Canceled);
        return;
    }
    runUpdate({trvInterface::Mainboard});

    const QList<HistoryRecord> records = history->records();
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].outcome, comesBack ? HistoryRecord::Updated : HistoryRecord::Failed);
    QCOMPARE(records[0].failureReason, comesBack ? QString() : QString("NoResponse"));
    if (comesBack) {
        QCOMPARE(records[0].versionsAfter.value("mainboard"), QString("v2.4"));
    }
}

// An update aborted in its step is recorded as canceled; the next session on
// the instrument names the step's boards once, not on every connect.
void tst_ServiceRecorder::abortedStepIsCanceledAndNamedOnce()
{
    connectInstrument();
    useSmallImages("v2.4");
    QSignalSpy range(session->sequence(), &trvUpdateSequence::range);
    QVERIFY(session->start(session->plan({trvInterface::Terminal})));
    QVERIFY(range.wait(timing.requestTimeout * 10));
    session->abort();
    QCOMPARE(history->records().value(0).outcome, HistoryRecord::Canceled);
    // Stopped in its transfer, the board's version is not known.
    QCOMPARE(history->records().value(0).versionsBefore.value("terminal"), QString("v1.0"));
    QVERIFY(history->records().value(0).versionsAfter.isEmpty());

    makeSession(history->fileName(), log->fileName());
    QSignalSpy unfinished(recorder.get(), &ServiceRecorder::unfinishedUpdate);
    connectInstrument();
    QCOMPARE(unfinished.count(), 1);
    const HistoryRecord record = unfinished[0][0].value<HistoryRecord>();
    QCOMPARE(record.boards, QStringList{"terminal"});
    QCOMPARE(UserTexts::rowNames(record), QStringList{"Control Panel"});
    QVERIFY(UserTexts::unfinishedText(record).contains("Control Panel"));

    QSignalSpy reconnected(session.get(), &trvInstrument::allAnswered);
    device->close();
    QVERIFY(reconnected.wait(timing.answerTime * 20));
    QCOMPARE(unfinished.count(), 1);
}

// A start written without its completion (the program ended in between) is
// named when the instrument it was for connects, or any instrument when one
// of the two has no serial number.
void tst_ServiceRecorder::unfinishedStepOfWhichInstrument_data()
{
    QTest::addColumn<QString>("recorded");
    QTest::addColumn<QString>("instrument");
    QTest::addColumn<bool>("named");

    QTest::newRow("same instrument") << "QX40-1"
                                     << "QX40-1" << true;
    QTest::newRow("another instrument") << "QX40-1"
                                        << "QX40-2" << false;
    QTest::newRow("instrument reports none") << "QX40-1"
                                             << "" << true;
    QTest::newRow("record has none") << ""
                                     << "QX40-2" << true;
}

void tst_ServiceRecorder::unfinishedStepOfWhichInstrument()
{
    QFETCH(QString, recorded);
    QFETCH(QString, instrument);
    QFETCH(bool, named);

    HistoryRecord cutOff;
    cutOff.id = QStringLiteral("cut-off");
    cutOff.started = QDateTime::currentDateTimeUtc();
    cutOff.serialNumber = recorded;
    cutOff.boards = QStringList{"sensor1", "sensor2"};
    QVERIFY(history->begin(cutOff));

    sim::instrument().setSerialNumber(instrument);
    QSignalSpy unfinished(recorder.get(), &ServiceRecorder::unfinishedUpdate);
    connectInstrument();
    QCOMPARE(unfinished.count(), named ? 1 : 0);
    if (named) {
        const HistoryRecord record = unfinished[0][0].value<HistoryRecord>();
        QCOMPARE(record.outcome, HistoryRecord::Interrupted);
        QCOMPARE(UserTexts::rowNames(record),
                 (QStringList{BoardTable::rowName(trvInterface::Sensor1),
                              BoardTable::rowName(trvInterface::Sensor2)}));
    }
}

// A history and log that cannot be written (their folder is a file) are said
// once, and the update goes on to its end.
void tst_ServiceRecorder::unwritableRecordIsSaidOnce()
{
    QFile blocker(folder.filePath("not-a-folder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    makeSession(folder.filePath("not-a-folder/history.jsonl"),
                folder.filePath("not-a-folder/trvloader.log"));
    QSignalSpy unavailable(recorder.get(), &ServiceRecorder::recordUnavailable);
    QSignalSpy done(session->sequence(), &trvUpdateSequence::done);

    connectInstrument();
    useSmallImages("v2.4");
    runUpdate({trvInterface::Terminal, trvInterface::Mainboard});
    QCOMPARE(done.count(), 1);
    QCOMPARE(unavailable.count(), 1);
    QVERIFY(unavailable[0][0].toString().contains("not-a-folder"));
    QCOMPARE(sim::instrument().version(sim::Mainboard), 24);
}

QTEST_GUILESS_MAIN(tst_ServiceRecorder)
#include "tst_servicerecorder.moc"
