// The window's instrument chooser on a real host and the emulated bench: the
// serial number of the instrument connected, and with several attached a
// choice that the user makes, that holds until the instrument is unplugged.

#include "instrument.h"
#include "instrumentchooser.h"
#include "instrumenthost.h"
#include "testtiming.h"
#include "waiting.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

class tst_InstrumentChooser : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void namesTheOneConnected();
    void severalWaitForTheUsersChoice();

private:
    // Long enough for the link to look and open, also on a loaded machine.
    static constexpr int stateTimeout = 5000;

    std::unique_ptr<InstrumentHost> host;
    std::unique_ptr<InstrumentChooser> chooser;
};

void tst_InstrumentChooser::init()
{
    sim::clearBench();
    sim::instrument().reset();
    host = std::make_unique<InstrumentHost>(QStringLiteral("window"), TestTiming::inProcess());
    chooser = std::make_unique<InstrumentChooser>(host.get());
    chooser->show();
}

void tst_InstrumentChooser::cleanup()
{
    chooser.reset();
    host.reset();
}

void tst_InstrumentChooser::namesTheOneConnected()
{
    QSignalSpy connected(host.get(), &InstrumentHost::connected);
    host->lookForInstrument();
    QTRY_VERIFY_WITH_TIMEOUT(host->isConnected(), stateTimeout);
    QCOMPARE(chooser->identityLabel()->text(), QString("Instrument QX40-204871"));
    QVERIFY(!chooser->choiceBox()->isVisible());

    sim::instrument().unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!host->isConnected(), stateTimeout);
    QVERIFY(chooser->isHidden());
}

// Two attached: neither is opened until the user picks one in the list, by
// keyboard here; another pick switches; the chosen one unplugged ends the
// choice, and the one left is opened by itself.
void tst_InstrumentChooser::severalWaitForTheUsersChoice()
{
    sim::instrumentAt(1);
    host->lookForInstrument();
    QTRY_VERIFY_WITH_TIMEOUT(host->choiceNeeded(), stateTimeout);
    QVERIFY(!host->isConnected());
    QCOMPARE(chooser->identityLabel()->text(),
             QString("Several instruments are connected: QX40-204871, SN0002. "
                     "Choose the one to update:"));
    QComboBox* list = chooser->choiceBox();
    QVERIFY(list->isVisible() && list->isEnabled());
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->currentIndex(), -1);

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTRY_VERIFY_WITH_TIMEOUT(host->isConnected(), stateTimeout);
    QCOMPARE(host->serialNumber(), QString("QX40-204871"));
    QCOMPARE(chooser->identityLabel()->text(), QString("Instrument QX40-204871"));

    QTest::keyClick(list, Qt::Key_Down);
    QTRY_COMPARE_WITH_TIMEOUT(host->serialNumber(), QString("SN0002"), stateTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(host->isConnected(), stateTimeout);
    QCOMPARE(list->currentText(), QString("SN0002"));

    chooser->setUpdating(true);
    QVERIFY(!list->isEnabled());
    chooser->setUpdating(false);

    sim::instrumentAt(1).unplug();
    QTRY_COMPARE_WITH_TIMEOUT(host->chosenInstrument(), QString(), stateTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(host->isConnected(), stateTimeout);
    QCOMPARE(host->serialNumber(), QString("QX40-204871"));
    QVERIFY(!list->isVisible());
}

QTEST_MAIN(tst_InstrumentChooser)
#include "tst_instrumentchooser.moc"
