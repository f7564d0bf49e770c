// The link built without a hot-plug watch: it looks for the device at most
// once a look period, whether the device is absent or keeps failing once
// opened, and opens a device that has come at its next look. The hidapi here
// is a stand-in that notes when the link enumerates, which is what a look is.

#include "hotplugwatch.h"
#include "usbhid.h"

#include "waiting.h"

#include <hidapi.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <cstdlib>
#include <cwchar>
#include <vector>

struct hid_device_
{
    int unused = 0;
};

namespace {
constexpr unsigned short vendor = 0x04D8;
constexpr unsigned short product = 0xF93C;

// The stand-in device: whether it is on the bus, and whether it fails once opened.
bool present = false;
bool failsOnceOpen = false;
QElapsedTimer sinceStart;
std::vector<qint64> looks; // when the link enumerated, in nanoseconds since the test began
hid_device_ device;
char devicePath[] = "stand-in";
} // namespace

extern "C" {
int hid_init(void)
{
    return 0;
}

int hid_exit(void)
{
    return 0;
}

struct hid_device_info* hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    looks.push_back(sinceStart.nsecsElapsed());
    if (!present || vendor_id != vendor || product_id != product) {
        return nullptr;
    }
    auto* found = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    found->path = devicePath;
    found->vendor_id = vendor;
    found->product_id = product;
    return found;
}

void hid_free_enumeration(struct hid_device_info* devices)
{
    std::free(devices);
}

hid_device* hid_open_path(const char*)
{
    return present ? &device : nullptr;
}

int hid_set_nonblocking(hid_device*, int)
{
    return failsOnceOpen ? -1 : 0;
}

void hid_close(hid_device*) {}

int hid_write(hid_device*, const unsigned char*, size_t length)
{
    return static_cast<int>(length);
}

int hid_read(hid_device*, unsigned char*, size_t)
{
    return 0;
}

const wchar_t* hid_error(hid_device*)
{
    return L"stand-in failure";
}
} // extern "C"

class tst_NoWatch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void looksAtMostOnceAPeriod_data();
    void looksAtMostOnceAPeriod();
    void opensADeviceThatHasCome();
};

void tst_NoWatch::init()
{
    present = false;
    failsOnceOpen = false;
    looks.clear();
    sinceStart.start();
}

void tst_NoWatch::looksAtMostOnceAPeriod_data()
{
    QTest::addColumn<bool>("devicePresent");
    QTest::addColumn<bool>("deviceFails");
    QTest::newRow("no device") << false << false;
    // Each look opens it and the failure closes it again at once.
    QTest::newRow("a device that fails once opened") << true << true;
}

void tst_NoWatch::looksAtMostOnceAPeriod()
{
    QFETCH(bool, devicePresent);
    QFETCH(bool, deviceFails);
    present = devicePresent;
    failsOnceOpen = deviceFails;
    const int period = HotplugWatch::unwatchedLookPeriod;
    const std::size_t wanted = 4;

    UsbHid link(vendor, product);
    QVERIFY(!HotplugWatch().isWatching());
    link.setTimebase(1);
    link.setAutoconnect(true);
    QVERIFY2(waitUntil([&] { return looks.size() >= wanted; }, period * (int(wanted) + 20)),
             qPrintable(QString("%1 looks").arg(looks.size())));

    for (std::size_t i = 1; i < looks.size(); ++i) {
        const qint64 gap = looks[i] - looks[i - 1];
        QVERIFY2(gap >= qint64(period) * 1000000,
                 qPrintable(QString("look %1 came %2 ns after the one before").arg(i).arg(gap)));
    }
}

void tst_NoWatch::opensADeviceThatHasCome()
{
    UsbHid link(vendor, product);
    QSignalSpy connected(&link, &UsbHid::connected);
    link.setTimebase(1);
    link.setAutoconnect(true);
    const int period = HotplugWatch::unwatchedLookPeriod;
    QVERIFY(waitUntil([] { return !looks.empty(); }, period * 20));

    present = true;
    QVERIFY(waitUntil([&] { return !connected.isEmpty(); }, period * 20));
    QCOMPARE(connected.count(), 1);
    QCOMPARE(looks.size(), std::size_t(2));
}

QTEST_GUILESS_MAIN(tst_NoWatch)
#include "tst_nowatch.moc"
