// The instrument's protocol: the reply walk over input reports and the
// encoding of the requests, as they leave in output reports.

#include "instrument.h"
#include "polltimer.h"
#include "trvinterface.h"
#include "waiting.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
// An output report as written: the report ID, the messages, zeros up to the payload's end.
QByteArray report(const QByteArray& messages)
{
    return QByteArray(1, '\0') + messages +
           QByteArray(UsbHid::reportPayload - messages.size(), '\0');
}
} // namespace

// Writes down every reply signal, in the order they arrive, through the
// string-based connections the window and the engine use.
class ReplyRecorder : public QObject
{
    Q_OBJECT

public:
    explicit ReplyRecorder(trvInterface* protocol)
    {
        connect(protocol, SIGNAL(firmwareVersion(trvInterface::PartType, QString)), this,
                SLOT(version(trvInterface::PartType, QString)));
        connect(protocol, SIGNAL(firmwareUpdateStartAck(trvInterface::PartType, bool)), this,
                SLOT(startAck(trvInterface::PartType, bool)));
        connect(protocol, SIGNAL(firmwareUpdateDataAck(trvInterface::PartType, int)), this,
                SLOT(dataAck(trvInterface::PartType, int)));
        connect(protocol, SIGNAL(firmwareUpdateEndAck(trvInterface::PartType, bool)), this,
                SLOT(endAck(trvInterface::PartType, bool)));
    }
    QStringList replies;

public slots:
    void version(trvInterface::PartType part, QString text)
    {
        replies << QString("version %1 %2").arg(part).arg(text);
    }
    void startAck(trvInterface::PartType part, bool ready)
    {
        replies << QString("start %1 %2").arg(part).arg(ready ? "true" : "false");
    }
    void dataAck(trvInterface::PartType part, int ok)
    {
        replies << QString("data %1 %2").arg(part).arg(ok);
    }
    void endAck(trvInterface::PartType part, bool ok)
    {
        replies << QString("end %1 %2").arg(part).arg(ok ? "true" : "false");
    }
};

class tst_trvInterface : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void walksTheRepliesOfOneReport_data();
    void walksTheRepliesOfOneReport();
    void decodesRepliesReadFromTheDevice();
    void encodesRequests();
    void sevenVersionRequestsLeaveInOneReport();
    void refusesABlockTooLongForOneReport();
    void startsPollingEveryMillisecondWithoutConnecting();

private:
    sim::Instrument& device = sim::instrument();
};

void tst_trvInterface::init()
{
    device.reset();
}

void tst_trvInterface::walksTheRepliesOfOneReport_data()
{
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QStringList>("replies");

    const QByteArray padding(UsbHid::reportPayload - 3, '\0');
    QTest::newRow("zero bytes only") << QByteArray(UsbHid::reportPayload, '\0') << QStringList();
    QTest::newRow("one version") << QByteArray::fromHex("01070F00") + padding
                                 << QStringList{"version 7 v1.5"};
    QTest::newRow("acks in order") << QByteArray::fromHex("0206010301FF040300") + padding
                                   << QStringList{"start 6 true", "data 1 -1", "end 3 false"};
    QTest::newRow("two-byte tail ignored")
        << QByteArray::fromHex("01070F0206") << QStringList{"version 7 v1.5"};
    QTest::newRow("unknown code ends the walk")
        << QByteArray::fromHex("05070101070F") + padding << QStringList();
    QTest::newRow("zero code ends the walk")
        << QByteArray::fromHex("01060A00000001070F") << QStringList{"version 6 v1.0"};
    QTest::newRow("data ack widened")
        << QByteArray::fromHex("030501030580") << QStringList{"data 5 1", "data 5 -128"};
    QTest::newRow("part passed on unchanged")
        << QByteArray::fromHex("01090F01FF0F") << QStringList{"version 9 v1.5", "version -1 v1.5"};

    const QList<QPair<int, QString>> versions{{0x8C, "v-11.-6"}, {0xFF, "v0.-1"}, {0x00, "v0.0"},
                                              {8, "v0.8"},       {15, "v1.5"},    {100, "v10.0"},
                                              {127, "v12.7"}};
    for (const auto& version : versions) {
        QTest::addRow("version byte %d", version.first)
            << QByteArray::fromHex("0106") + char(version.first)
            << QStringList{"version 6 " + version.second};
    }

    QByteArray full;
    QStringList fullReplies;
    for (int i = 0; i < 21; ++i) {
        full += QByteArray::fromHex("030101");
        fullReplies << "data 1 1";
    }
    QTest::newRow("21 records") << full + QByteArray(1, '\x03') << fullReplies;
}

void tst_trvInterface::walksTheRepliesOfOneReport()
{
    QFETCH(QByteArray, report);
    QFETCH(QStringList, replies);

    trvInterface protocol;
    ReplyRecorder recorder(&protocol);
    protocol.dataInput(report);
    QCOMPARE(recorder.replies, replies);
}

void tst_trvInterface::decodesRepliesReadFromTheDevice()
{
    trvInterface protocol;
    ReplyRecorder recorder(&protocol);
    QSignalSpy connected(&protocol, SIGNAL(connected()));
    protocol.setAutoconnect(true);
    QVERIFY(connected.wait(100));
    device.setVersion(sim::Sensor2, 33);
    protocol.requestFirmwareVersion(trvInterface::NoPart);
    protocol.firmwareUpdateStart(trvInterface::Terminal);
    QTRY_COMPARE(recorder.replies.size(), 6);
    QCOMPARE(recorder.replies, QStringList({"version 1 v1.0", "version 2 v3.3", "version 3 v1.0",
                                            "version 4 v1.0", "version 5 v1.0", "start 6 true"}));
}

void tst_trvInterface::encodesRequests()
{
    trvInterface protocol;
    protocol.open();
    const QByteArray block = ":10010000214601360121470136007EFE09D2190140\r\n";
    QCOMPARE(block.size(), 45);
    protocol.requestFirmwareVersion(trvInterface::Sensor3);
    protocol.firmwareUpdateStart(trvInterface::Sensor5);
    protocol.firmwareUpdateData(trvInterface::Terminal, block);
    protocol.firmwareUpdateEnd(trvInterface::Terminal, 0x1C);
    protocol.firmwareUpdateRestart(trvInterface::Mainboard);
    QTRY_COMPARE(
        device.outputReports(),
        QList<QByteArray>{report(QByteArray::fromHex("0103") + QByteArray::fromHex("0205") +
                                 QByteArray::fromHex("03062D") + block +
                                 QByteArray::fromHex("04061C") + QByteArray::fromHex("0507"))});
}

void tst_trvInterface::sevenVersionRequestsLeaveInOneReport()
{
    trvInterface protocol;
    protocol.open();
    protocol.requestFirmwareVersion();
    QTRY_COMPARE(device.outputReports(),
                 QList<QByteArray>{report(QByteArray::fromHex("0106010101020103010401050107"))});
}

// The longest block fills a report; one byte more is not sent.
void tst_trvInterface::refusesABlockTooLongForOneReport()
{
    trvInterface protocol;
    protocol.open();
    const QByteArray longest(trvInterface::maximumBlockSize, 'y');
    protocol.firmwareUpdateData(trvInterface::Terminal, longest + 'x');
    protocol.firmwareUpdateData(trvInterface::Terminal, longest);
    const QByteArray message = QByteArray::fromHex("0306") + char(longest.size()) + longest;
    QCOMPARE(message.size(), UsbHid::reportPayload);
    QTRY_COMPARE(device.outputReports(), QList<QByteArray>{report(message)});
}

void tst_trvInterface::startsPollingEveryMillisecondWithoutConnecting()
{
    trvInterface protocol;
    auto* timer = protocol.findChild<PollTimer*>();
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 1);
    QVERIFY(timer->isActive());
    QSignalSpy connected(&protocol, SIGNAL(connected()));
    QSignalSpy ticks(timer, &PollTimer::timeout);
    QVERIFY(waitUntil([&] { return ticks.count() >= 10; }, 5000));
    QCOMPARE(connected.count(), 0);
    QVERIFY(QMetaType::type("trvInterface::PartType") != QMetaType::UnknownType);
}

QTEST_GUILESS_MAIN(tst_trvInterface)
#include "tst_trvinterface.moc"
