// The HID link on the emulated instrument: opening and closing with their
// signals, packing of the send queue into output reports, what a failing
// device does to the link, and a device that is there but refuses to open.
// Built with the hot-plug watch or without: a link waiting for the device
// looks on every tick or once a look period.

#include "hotplugwatch.h"
#include "instrument.h"
#include "polltimer.h"
#include "usbhid.h"
#include "waiting.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <limits>
#include <memory>

namespace {
constexpr unsigned short vendor = 0x04D8;
constexpr unsigned short product = 0xF93C;

// Long enough for any tick to come, also on a loaded machine.
constexpr int tickTimeout = 5000;

// Lets the link's poll timer tick that many times; whether it did. The
// link's own work of a tick is done before the tick is counted here.
bool letTicksPass(UsbHid& link, int ticks)
{
    QSignalSpy ticked(link.findChild<PollTimer*>(), &PollTimer::timeout);
    return waitUntil([&] { return ticked.count() >= ticks; }, tickTimeout);
}

// The time a link with autoconnect on may wait for the device between two
// looks. The hot-plug watch finds no udev on the emulated instrument's
// machine and has every tick look; without a watch, a look is due once a
// look period.
#if TRV_HOTPLUG_WATCH
constexpr int lookPeriod = 0;
#else
constexpr int lookPeriod = HotplugWatch::unwatchedLookPeriod;
#endif

// Lets a look come due and the link tick after it; whether it did. A link
// with autoconnect on has looked by then, and one without would have.
bool letALookPass(UsbHid& link)
{
    QElapsedTimer waited;
    waited.start();
    return waitUntil([&] { return waited.elapsed() >= lookPeriod; }, lookPeriod + tickTimeout) &&
           letTicksPass(link, 1);
}

// Long enough for a state the link reaches within a few ticks or a look, also
// on a loaded machine.
constexpr int stateTimeout = lookPeriod + tickTimeout;

// A message the instrument ignores: an unknown code, then filler.
QByteArray message(int size, char filler)
{
    return QByteArray(1, '\x7E') + QByteArray(size - 1, filler);
}

QByteArray report(const QByteArray& messages)
{
    return QByteArray(1, '\0') + messages + QByteArray(64 - messages.size(), '\0');
}

QList<QByteArray> reports(const QList<QByteArray>& list)
{
    QList<QByteArray> result;
    for (const QByteArray& messages : list) {
        result.append(report(messages));
    }
    return result;
}
} // namespace

class tst_UsbHid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void opensAndClosesWithSignals();
    void destructionEmitsOnlyWhenOpen();
    void packsWholeMessagesInQueueOrder();
    void refusesMessagesItCannotSend_data();
    void refusesMessagesItCannotSend();
    void queueSurvivesALostDevice();
    void handsOnEveryInputReport();
    void answersInTheTickThatReadsTheReply();
    void readsEveryWaitingReport();
    void writesAnAnswerBeforeReadingOn();
    void failingDeviceClosesTheLink_data();
    void failingDeviceClosesTheLink();
    void autoconnectFollowsTheDevice();
    void changedIdReconnects();
    void pollTimerFollowsTheLink();
    void tellsARefusedOpenFromAnAbsentDevice_data();
    void tellsARefusedOpenFromAnAbsentDevice();
    void vanishingNodeIsNoRefusal_data();
    void vanishingNodeIsNoRefusal();
    void refusalInWords_data();
    void refusalInWords();
    void severalAttachedWaitForAChoice();
    void choiceOfAnAbsentDeviceOpensNothing();
    void pinnedLinkReopensOnlyItsDevice_data();
    void pinnedLinkReopensOnlyItsDevice();
    void passedOverUntilUnplugged();

private:
    std::unique_ptr<UsbHid> openLink();
    std::unique_ptr<UsbHid> openTickedByHand();
    sim::Instrument& device = sim::instrument();
};

void tst_UsbHid::init()
{
    sim::clearBench();
    device.reset();
}

std::unique_ptr<UsbHid> tst_UsbHid::openLink()
{
    auto link = std::make_unique<UsbHid>(vendor, product);
    link->setTimebase(1);
    QSignalSpy connected(link.get(), SIGNAL(connected()));
    link->open();
    if (connected.count() != 1) {
        return nullptr;
    }
    return link;
}

void tst_UsbHid::opensAndClosesWithSignals()
{
    UsbHid link(vendor, product);
    QSignalSpy connected(&link, SIGNAL(connected()));
    QSignalSpy disconnected(&link, SIGNAL(disconnected()));

    device.unplug();
    link.open(); // nothing there: no signal at all
    QCOMPARE(connected.count(), 0);
    QCOMPARE(disconnected.count(), 0);
    device.plug();
    QVERIFY(letALookPass(link)); // without autoconnect the timer does not try again
    QCOMPARE(connected.count(), 0);

    link.open();
    QCOMPARE(connected.count(), 1);
    link.reopen(); // closes first
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(connected.count(), 2);
    link.close();
    link.close(); // already closed: still signalled
    QCOMPARE(disconnected.count(), 3);
    QCOMPARE(connected.count(), 2);
}

void tst_UsbHid::destructionEmitsOnlyWhenOpen()
{
    auto closed = std::make_unique<UsbHid>(vendor, product);
    QSignalSpy closedSpy(closed.get(), SIGNAL(disconnected()));
    closed.reset();
    QCOMPARE(closedSpy.count(), 0);

    auto open = openLink();
    QVERIFY(open);
    int disconnected = 0;
    connect(open.get(), &UsbHid::disconnected, [&disconnected] { ++disconnected; });
    open.reset();
    QCOMPARE(disconnected, 1);
}

void tst_UsbHid::packsWholeMessagesInQueueOrder()
{
    auto link = openLink();
    QVERIFY(link);
    QVERIFY(letTicksPass(*link, 3));
    QCOMPARE(device.outputReports().size(), 0); // an empty queue writes nothing

    const QByteArray a = message(30, 'a'), b = message(30, 'b'), c = message(10, 'c');
    link->send(a);
    link->send(b);
    link->send(c);
    QTRY_COMPARE(device.outputReports(), reports({a + b, c}));

    device.clearLog();
    const QByteArray full = message(64, 'f'), tiny = message(2, 't');
    link->send(tiny);
    link->send(full); // does not fit behind tiny, and tiny's successor must wait
    link->send(tiny);
    QTRY_COMPARE(device.outputReports(), reports({tiny, full, tiny}));
}

void tst_UsbHid::refusesMessagesItCannotSend_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("open");

    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("longer than a report") << message(65, 'x') << true;
    QTest::newRow("while closed") << message(4, 'x') << false;
}

void tst_UsbHid::refusesMessagesItCannotSend()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, open);

    auto link = openLink();
    QVERIFY(link);
    if (!open) {
        link->close();
    }
    link->send(data);
    if (!open) {
        link->open();
    }
    link->send(message(3, 'n'));
    QTRY_COMPARE(device.outputReports(), reports({message(3, 'n')}));
}

void tst_UsbHid::queueSurvivesALostDevice()
{
    auto link = openLink();
    QVERIFY(link);
    link->setAutoconnect(true);
    QSignalSpy connected(link.get(), SIGNAL(connected()));
    QSignalSpy disconnected(link.get(), SIGNAL(disconnected()));
    const QByteArray a = message(40, 'a'), b = message(40, 'b'), c = message(40, 'c');

    // Gone before the first write: the report that fails is lost with the
    // device it was meant for (a stale request must not reach it after it is
    // back); the message behind it stays queued.
    device.unplug();
    link->send(a);
    link->send(b);
    QVERIFY(disconnected.wait(stateTimeout));
    QCOMPARE(device.outputReports().size(), 0);

    // Lost on the read after one report: the rest stays queued.
    device.plug();
    QVERIFY(connected.wait(stateTimeout));
    link->send(c);
    QCOMPARE(device.outputReports(), QList<QByteArray>()); // not yet written
    device.setReadFails(true);
    QVERIFY(disconnected.wait(stateTimeout));
    QCOMPARE(device.outputReports(), reports({b}));
    device.setReadFails(false);
    QVERIFY(connected.wait(stateTimeout));
    QTRY_COMPARE(device.outputReports(), reports({b, c}));
}

void tst_UsbHid::handsOnEveryInputReport()
{
    auto link = openLink();
    QVERIFY(link);
    QSignalSpy received(link.get(), SIGNAL(dataReceived(QByteArray)));
    device.injectReport(QByteArray::fromHex("0A0B0C"));
    link->send(QByteArray::fromHex("0106")); // a version request for the control panel
    QTRY_COMPARE(received.count(), 2);
    QCOMPARE(received.at(0).at(0).toByteArray(),
             QByteArray::fromHex("0A0B0C") + QByteArray(61, '\0'));
    QCOMPARE(received.at(1).at(0).toByteArray(),
             QByteArray::fromHex("01060A") + QByteArray(61, '\0'));
    QVERIFY(letTicksPass(*link, 3));
    QCOMPARE(received.count(), 2); // an empty read is not handed on
}

// The tests of one tick's order call polling() themselves; the link's own
// timer is set so far out that it never ticks in between.
std::unique_ptr<UsbHid> tst_UsbHid::openTickedByHand()
{
    auto link = openLink();
    if (link) {
        link->setTimebase(std::numeric_limits<int>::max());
    }
    return link;
}

void tst_UsbHid::answersInTheTickThatReadsTheReply()
{
    auto link = openTickedByHand();
    QVERIFY(link);
    const QByteArray answer = message(2, 'a');
    connect(link.get(), &UsbHid::dataReceived, link.get(), [&] { link->send(answer); });
    device.injectReport(QByteArray::fromHex("0A0B0C"));

    link->polling();
    QCOMPARE(device.inputReports().size(), 1);
    QCOMPARE(device.outputReports(), reports({answer}));
}

void tst_UsbHid::readsEveryWaitingReport()
{
    auto link = openTickedByHand();
    QVERIFY(link);
    QList<int> writtenWhenRead;
    connect(link.get(), &UsbHid::dataReceived, link.get(),
            [&] { writtenWhenRead.append(device.outputReports().size()); });
    device.injectReport(QByteArray::fromHex("0A0B0C"));
    link->send(QByteArray::fromHex("0106")); // the control panel's version: a second report

    link->polling();
    // Queued before the tick: written before anything is read, then both reports read.
    QCOMPARE(writtenWhenRead, QList<int>({1, 1}));
    link->polling();
    QCOMPARE(writtenWhenRead.size(), 2); // nothing more waited
    QCOMPARE(device.outputReports().size(), 1);
}

void tst_UsbHid::writesAnAnswerBeforeReadingOn()
{
    auto link = openTickedByHand();
    QVERIFY(link);
    const QByteArray answer = message(2, 'a');
    QList<int> writtenWhenRead;
    connect(link.get(), &UsbHid::dataReceived, link.get(), [&] {
        writtenWhenRead.append(device.outputReports().size());
        if (writtenWhenRead.size() == 1) {
            link->send(answer);
        }
    });
    device.injectReport(QByteArray::fromHex("0A0B0C"));
    const QByteArray request = QByteArray::fromHex("0106");
    link->send(request);

    // The request leaves, the first report is read and answered; the answer
    // cannot leave in this tick any more, so the second report waits for it.
    link->polling();
    QCOMPARE(writtenWhenRead, QList<int>({1}));
    QCOMPARE(device.outputReports(), reports({request}));
    link->polling();
    QCOMPARE(writtenWhenRead, QList<int>({1, 2}));
    QCOMPARE(device.outputReports(), reports({request, answer}));
}

void tst_UsbHid::failingDeviceClosesTheLink_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("connectedCount");

    QTest::newRow("write") << "write" << 1;
    QTest::newRow("read") << "read" << 1;
    QTest::newRow("non-blocking mode") << "nonblocking" << 0;
}

void tst_UsbHid::failingDeviceClosesTheLink()
{
    QFETCH(QString, failing);
    QFETCH(int, connectedCount);

    UsbHid link(vendor, product);
    link.setTimebase(1);
    QSignalSpy connected(&link, SIGNAL(connected()));
    QSignalSpy disconnected(&link, SIGNAL(disconnected()));
    QSignalSpy errors(&link, SIGNAL(error(QString)));
    device.setWriteFails(failing == "write");
    device.setReadFails(failing == "read");
    device.setNonblockingFails(failing == "nonblocking");

    link.open();
    link.send(message(3, 'x'));
    QTRY_COMPARE(disconnected.count(), 1);
    QCOMPARE(connected.count(), connectedCount);
    QCOMPARE(errors.count(), 1);
    QVERIFY(!errors.first().at(0).toString().isEmpty());
    QVERIFY(letALookPass(link)); // closed, without autoconnect: stays so
    QCOMPARE(disconnected.count(), 1);
}

void tst_UsbHid::autoconnectFollowsTheDevice()
{
    device.unplug();
    UsbHid link(vendor, product);
    link.setTimebase(1);
    QSignalSpy connected(&link, SIGNAL(connected()));
    QSignalSpy disconnected(&link, SIGNAL(disconnected()));
    link.setAutoconnect(true);
    QVERIFY(letALookPass(link));
    QCOMPARE(connected.count(), 0);

    device.plug();
    QVERIFY(connected.wait(stateTimeout));
    device.unplug();
    QVERIFY(disconnected.wait(stateTimeout));
    device.plug();
    QVERIFY(connected.wait(stateTimeout));
    QCOMPARE(disconnected.count(), 1);
}

void tst_UsbHid::changedIdReconnects()
{
    UsbHid link(vendor, product);
    link.setTimebase(1);
    QSignalSpy connected(&link, SIGNAL(connected()));
    QSignalSpy disconnected(&link, SIGNAL(disconnected()));
    link.setAutoconnect(true);
    QVERIFY(connected.wait(stateTimeout));

    link.setVendor(vendor); // unchanged: nothing happens
    link.setProduct(product);
    QCOMPARE(disconnected.count(), 0);

    link.setProduct(product + 1); // no such device
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(connected.count(), 1);
    link.setProduct(product); // reopened at once
    QCOMPARE(disconnected.count(), 2);
    QCOMPARE(connected.count(), 2);

    link.setAutoconnect(false);
    link.setVendor(vendor + 1); // without autoconnect only stored
    QCOMPARE(disconnected.count(), 2);
    link.open();
    QCOMPARE(disconnected.count(), 3);
    QCOMPARE(connected.count(), 2);
}

// The poll timer runs from the start, keeps its period when given none, and is
// on time while the device is open (each late tick would delay a message),
// not while the link waits for it.
void tst_UsbHid::pollTimerFollowsTheLink()
{
    UsbHid link(vendor, product);
    auto* timer = link.findChild<PollTimer*>();
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 15);
    QVERIFY(timer->isActive());
    link.setTimebase(0);
    link.setTimebase(-5);
    QCOMPARE(timer->interval(), 15);
    link.setTimebase(3);
    QCOMPARE(timer->interval(), 3);

    QVERIFY(!timer->isOnTime());
    link.open();
    QVERIFY(timer->isOnTime());
    link.close();
    QVERIFY(!timer->isOnTime());
    QVERIFY(timer->isActive());
}

void tst_UsbHid::tellsARefusedOpenFromAnAbsentDevice_data()
{
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<bool>("autoconnect");

    QTest::newRow("permission, looking by itself") << EACCES << true;
    QTest::newRow("permission, opened directly") << EPERM << false;
    QTest::newRow("busy, looking by itself") << EBUSY << true;
}

// Absent and present-but-refused look different; the refusal is signalled
// when it changes, not at every attempt, and ends (0) when the device goes
// or opens, before connected().
void tst_UsbHid::tellsARefusedOpenFromAnAbsentDevice()
{
    QFETCH(int, errorNumber);
    QFETCH(bool, autoconnect);

    device.unplug();
    QStringList said; // before the link, whose destruction still speaks
    UsbHid link(vendor, product);
    link.setTimebase(1);
    link.setAutoconnect(autoconnect);
    connect(&link, &UsbHid::openRefusalChanged, this,
            [&said](int refusal) { said.append(QString::number(refusal)); });
    connect(&link, &UsbHid::connected, this, [&said] { said.append("connected"); });
    connect(&link, &UsbHid::disconnected, this, [&said] { said.append("disconnected"); });
    const auto attempt = [&link, autoconnect] {
        if (autoconnect) {
            return letALookPass(link);
        }
        link.open();
        return true;
    };
    const QString refused = QString::number(errorNumber);

    QVERIFY(attempt()); // not there: no refusal
    QCOMPARE(link.openRefusal(), 0);
    QCOMPARE(said, QStringList());

    device.setOpenRefusal(errorNumber);
    device.plug();
    QVERIFY(attempt());
    QVERIFY(attempt()); // refused again: not said again
    QCOMPARE(link.openRefusal(), errorNumber);
    QCOMPARE(said, QStringList{refused});

    device.unplug(); // gone: the refusal is over
    QVERIFY(attempt());
    QCOMPARE(link.openRefusal(), 0);
    device.plug();
    QVERIFY(attempt());
    QCOMPARE(said, (QStringList{refused, "0", refused}));

    device.setOpenRefusal(0); // allowed now: opens
    said.clear();
    QVERIFY(attempt());
    QCOMPARE(link.openRefusal(), 0);
    QCOMPARE(said, (QStringList{"0", "connected"}));
}

void tst_UsbHid::vanishingNodeIsNoRefusal_data()
{
    QTest::addColumn<int>("errorNumber");
    QTest::newRow("node removed") << ENOENT;
    QTest::newRow("device gone") << ENODEV;
}

// Right after an unplug the enumeration may still list the node that goes as
// it is opened: that is the unplug, not a device that refuses to be opened.
void tst_UsbHid::vanishingNodeIsNoRefusal()
{
    QFETCH(int, errorNumber);

    QStringList said;
    UsbHid link(vendor, product);
    link.setTimebase(1);
    link.setAutoconnect(true);
    connect(&link, &UsbHid::openRefusalChanged, this,
            [&said](int refusal) { said.append(QString::number(refusal)); });
    connect(&link, &UsbHid::connected, this, [&said] { said.append("connected"); });

    device.setOpenRefusal(errorNumber);
    QVERIFY(letALookPass(link));
    QVERIFY(letALookPass(link));
    QCOMPARE(link.openRefusal(), 0);
    QCOMPARE(said, QStringList());

    device.setOpenRefusal(0); // back: opens
    QVERIFY(letALookPass(link));
    QCOMPARE(said, QStringList{"connected"});
}

void tst_UsbHid::refusalInWords_data()
{
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<QStringList>("description");
    QTest::addColumn<QStringList>("remedy");

    // Run from its build tree, the program names the build's commands.
    const QStringList install{"from the build folder",
                              "sudo cmake --install build && sudo udevadm control "
                              "--reload-rules && sudo udevadm trigger",
                              "plug it in again"};
    QTest::newRow("not allowed") << EACCES << QStringList{"connected", "this user may not open"}
                                 << install;
    QTest::newRow("not permitted")
        << EPERM << QStringList{"connected", "this user may not open"} << install;
    QTest::newRow("busy") << EBUSY << QStringList{"connected", "another program"}
                          << QStringList{"Close the other program"};
    QTest::newRow("other") << EIO << QStringList{"connected", qt_error_string(EIO)}
                           << QStringList{"plug it in again"};
    QTest::newRow("none") << 0 << QStringList() << QStringList();
}

void tst_UsbHid::refusalInWords()
{
    QFETCH(int, errorNumber);
    QFETCH(QStringList, description);
    QFETCH(QStringList, remedy);

    const QString describedAs = UsbHid::refusalDescription(errorNumber);
    const QString remediedBy = UsbHid::refusalRemedy(errorNumber);
    QCOMPARE(describedAs.isEmpty(), description.isEmpty());
    QCOMPARE(remediedBy.isEmpty(), remedy.isEmpty());
    for (const QString& part : description) {
        QVERIFY2(describedAs.contains(part), qPrintable(describedAs));
    }
    for (const QString& part : remedy) {
        QVERIFY2(remediedBy.contains(part), qPrintable(remediedBy));
    }
}

// Two devices with the IDs: neither is opened until one is chosen, and the
// chosen one alone hears what is sent.
void tst_UsbHid::severalAttachedWaitForAChoice()
{
    sim::Instrument& second = sim::instrumentAt(1);
    UsbHid link(vendor, product);
    link.setTimebase(1);
    QSignalSpy connected(&link, SIGNAL(connected()));
    QSignalSpy attachedChanged(&link, SIGNAL(attachedChanged()));
    link.setAutoconnect(true);
    QVERIFY(letALookPass(link));
    QVERIFY(letALookPass(link));
    QCOMPARE(connected.count(), 0);
    QVERIFY(link.choiceNeeded());
    QCOMPARE(attachedChanged.count(), 1); // the same two at every look: said once
    const QList<UsbHid::Device> attached = link.attached();
    QCOMPARE(attached.size(), 2);
    QCOMPARE(attached.at(0).identity(), device.serialNumber());
    QCOMPARE(attached.at(1).identity(), QStringLiteral("SN0002"));
    QCOMPARE(link.openRefusal(), 0);

    link.choose(QStringLiteral("SN0002"));
    QVERIFY(connected.wait(stateTimeout));
    QVERIFY(!link.choiceNeeded());
    QCOMPARE(link.serialNumber(), QStringLiteral("SN0002"));
    device.clearLog();
    second.clearLog();
    link.send(message(4, 'a'));
    QVERIFY(letTicksPass(link, 2));
    QCOMPARE(second.messages().size(), 1);
    QVERIFY(device.messages().isEmpty());
}

// A choice, as --serial makes it, of a device not (yet) attached: nothing is
// opened in its place, and it opens once it comes.
void tst_UsbHid::choiceOfAnAbsentDeviceOpensNothing()
{
    UsbHid link(vendor, product);
    link.setTimebase(1);
    QSignalSpy connected(&link, SIGNAL(connected()));
    link.choose(QStringLiteral("SN0002"));
    link.setAutoconnect(true);
    QVERIFY(letALookPass(link));
    QCOMPARE(connected.count(), 0);
    QVERIFY(!link.choiceNeeded());
    QCOMPARE(link.attached().size(), 1);

    sim::instrumentAt(1);
    QVERIFY(connected.wait(stateTimeout));
    QCOMPARE(link.serialNumber(), QStringLiteral("SN0002"));
}

// A pinned link waits for its own device while another is plugged in, and
// takes its own back, as through the main board's restart.
void tst_UsbHid::pinnedLinkReopensOnlyItsDevice_data()
{
    QTest::addColumn<QString>("serial");
    QTest::newRow("by serial number") << QStringLiteral("QX40-204871");
    QTest::newRow("by path, no serial number") << QString();
}

void tst_UsbHid::pinnedLinkReopensOnlyItsDevice()
{
    QFETCH(QString, serial);
    device.setSerialNumber(serial);
    UsbHid link(vendor, product);
    link.setTimebase(1);
    QSignalSpy connected(&link, SIGNAL(connected()));
    QSignalSpy disconnected(&link, SIGNAL(disconnected()));
    link.setAutoconnect(true);
    QVERIFY(connected.wait(stateTimeout));
    link.pin();

    device.unplug();
    QVERIFY(disconnected.wait(stateTimeout));
    sim::Instrument& other = sim::instrumentAt(1);
    other.setSerialNumber(serial.isEmpty() ? QString() : QStringLiteral("SN0002"));
    QVERIFY(letALookPass(link));
    QVERIFY(letALookPass(link));
    QCOMPARE(connected.count(), 1);
    QVERIFY(!link.choiceNeeded());
    QCOMPARE(other.outputReports().size(), 0);

    device.plug();
    QVERIFY(connected.wait(stateTimeout));
    QCOMPARE(link.openedDevice().path, QStringLiteral("emulated:0"));

    // Unpinned, the two are again a choice to make.
    link.unpin();
    link.close();
    QVERIFY(letALookPass(link));
    QVERIFY(link.choiceNeeded());
}

// The device just used is not taken again, nor counted as a choice, until it
// has been unplugged.
void tst_UsbHid::passedOverUntilUnplugged()
{
    UsbHid link(vendor, product);
    link.setTimebase(1);
    QSignalSpy connected(&link, SIGNAL(connected()));
    link.setAutoconnect(true);
    QVERIFY(connected.wait(stateTimeout));
    link.passOver(link.openedDevice().identity());
    link.close();
    QVERIFY(letALookPass(link));
    QCOMPARE(connected.count(), 1);

    sim::instrumentAt(1); // the next one, while the last is still plugged in
    QVERIFY(connected.wait(stateTimeout));
    QCOMPARE(link.serialNumber(), QStringLiteral("SN0002"));
    QVERIFY(!link.choiceNeeded());

    link.close();
    link.passOver(QStringLiteral("SN0002"));
    device.unplug();
    QVERIFY(letALookPass(link));
    QCOMPARE(connected.count(), 2);
    device.plug(); // unplugged in between: it may be taken again
    QVERIFY(connected.wait(stateTimeout));
    QCOMPARE(link.serialNumber(), device.serialNumber());
}

QTEST_GUILESS_MAIN(tst_UsbHid)
#include "tst_usbhid.moc"
