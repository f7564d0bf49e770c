// hidapi's C API on the in-process bench of emulated instruments,
// sim::instrumentAt(). Linked in place of the real library. It never waits: a
// read in blocking mode answers like one in non-blocking mode (the link asks
// for the latter). An open that fails leaves its reason in errno and in the
// text of hid_error(NULL), as the hidraw backend does.

#include "instrument.h"

#include <hidapi.h>

#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

struct hid_device_
{
    // The instrument it was opened on: gone once the bench no longer has it.
    std::weak_ptr<sim::Instrument> instrument;
    int connection = 0;
    std::wstring error; // the text of the last failure on this handle
};

namespace {
qint64 now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The first instrument is made as the bench is first used and stays; the
// others come and go with instrumentAt() and clearBench().
std::vector<std::shared_ptr<sim::Instrument>>& bench()
{
    static std::vector<std::shared_ptr<sim::Instrument>> instruments{
        std::make_shared<sim::Instrument>()};
    return instruments;
}

const char* const noSuchDevice = "No such device";

constexpr unsigned short instrumentVendor = 0x04D8;
constexpr unsigned short instrumentProduct = 0xF93C;

// The path of the bench's instrument at index, as hid_enumerate gives it.
std::string devicePath(int index)
{
    return "emulated:" + std::to_string(index);
}

std::wstring& globalError()
{
    static std::wstring text;
    return text;
}

wchar_t* copyOf(const wchar_t* text)
{
    const std::size_t size = (std::wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(std::malloc(size));
    std::memcpy(copy, text, size);
    return copy;
}

hid_device* openConnection(const std::shared_ptr<sim::Instrument>& instrument,
                           unsigned short vendor, unsigned short product)
{
    const qint64 time = now();
    const bool present = instrument->isPresent(vendor, product, time);
    const int connection = instrument->open(vendor, product, time);
    if (connection <= 0) {
        globalError() = instrument->lastError().toStdWString();
        errno = present ? instrument->openRefusal() : ENOENT;
        return nullptr;
    }
    globalError().clear();
    auto* device = new hid_device;
    device->instrument = instrument;
    device->connection = connection;
    return device;
}

hid_device* noDevice()
{
    globalError() = QString::fromLatin1(noSuchDevice).toStdWString();
    errno = ENOENT;
    return nullptr;
}

// Runs call(instrument) on the device's instrument and keeps the error of a
// failure (a negative result, or false) on the handle; a device whose
// instrument has left the bench fails with failure's text.
template <typename Call> int onInstrument(hid_device* device, const char* failure, Call&& call)
{
    const std::shared_ptr<sim::Instrument> instrument = device->instrument.lock();
    if (!instrument) {
        device->error = QString::fromLatin1(failure).toStdWString();
        return -1;
    }
    const int result = call(*instrument);
    if (result < 0) {
        device->error = instrument->lastError().toStdWString();
    } else {
        device->error.clear();
    }
    return result;
}
} // namespace

namespace sim {

Instrument& instrument()
{
    return *bench().front();
}

Instrument& instrumentAt(int index)
{
    auto& instruments = bench();
    if (index < 0) {
        return *instruments.front();
    }
    while (int(instruments.size()) <= index) {
        const QString serial = QString::asprintf("SN%04d", int(instruments.size()) + 1);
        instruments.push_back(std::make_shared<Instrument>(serial));
    }
    return *instruments[std::size_t(index)];
}

int benchSize()
{
    return int(bench().size());
}

void clearBench()
{
    bench().resize(1);
}

} // namespace sim

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    return 0;
}

// Vendor or product 0 matches any, as in the real library.
struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short vendor_id,
                                                                  unsigned short product_id)
{
    const bool wanted = (vendor_id == 0 || vendor_id == instrumentVendor) &&
                        (product_id == 0 || product_id == instrumentProduct);
    if (!wanted) {
        return nullptr;
    }
    const qint64 time = now();
    hid_device_info* first = nullptr;
    hid_device_info** next = &first;
    for (int index = 0; index < sim::benchSize(); ++index) {
        const sim::Instrument& instrument = sim::instrumentAt(index);
        if (!instrument.isPresent(instrumentVendor, instrumentProduct, time)) {
            continue;
        }
        auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
        info->path = strdup(devicePath(index).c_str());
        info->vendor_id = instrumentVendor;
        info->product_id = instrumentProduct;
        info->serial_number = copyOf(instrument.serialNumber().toStdWString().c_str());
        info->release_number = 0x0115;
        info->manufacturer_string = copyOf(L"Kelmor");
        info->product_string = copyOf(L"Tarvo QX40");
        info->usage_page = 0xFF00;
        info->usage = 0x0001;
        info->interface_number = 0;
        info->bus_type = HID_API_BUS_USB;
        *next = info;
        next = &info->next;
    }
    return first;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devices)
{
    while (devices) {
        hid_device_info* next = devices->next;
        std::free(devices->path);
        std::free(devices->serial_number);
        std::free(devices->manufacturer_string);
        std::free(devices->product_string);
        std::free(devices);
        devices = next;
    }
}

// The first present instrument, or the first present one with that serial number.
HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id,
                                                 unsigned short product_id,
                                                 const wchar_t* serial_number)
{
    const qint64 time = now();
    const auto& instruments = bench();
    const auto found =
        std::find_if(instruments.begin(), instruments.end(), [&](const auto& instrument) {
            return instrument->isPresent(vendor_id, product_id, time) &&
                   (!serial_number || instrument->serialNumber().toStdWString() == serial_number);
        });
    if (found == instruments.end()) {
        // As the first instrument answers it, when it is the one looked for.
        return serial_number ? noDevice()
                             : openConnection(instruments.front(), vendor_id, product_id);
    }
    return openConnection(*found, vendor_id, product_id);
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path)
{
    const auto& instruments = bench();
    for (std::size_t index = 0; path && index < instruments.size(); ++index) {
        if (devicePath(int(index)) == path) {
            return openConnection(instruments[index], instrumentVendor, instrumentProduct);
        }
    }
    return noDevice();
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* device, int /*nonblock*/)
{
    if (!device) {
        return -1;
    }
    return onInstrument(device, noSuchDevice, [device](sim::Instrument& instrument) {
        return instrument.setNonblocking(device->connection) ? 0 : -1;
    });
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device* device, const unsigned char* data,
                                          size_t length)
{
    if (!device || !data) {
        return -1;
    }
    return onInstrument(device, noSuchDevice, [&](sim::Instrument& instrument) {
        return instrument.write(device->connection, data, length, now());
    });
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* device, unsigned char* data, size_t length)
{
    if (!device || !data) {
        return -1;
    }
    return onInstrument(device, "device disconnected", [&](sim::Instrument& instrument) {
        return instrument.read(device->connection, data, length, now());
    });
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device* device)
{
    const std::wstring& text = device ? device->error : globalError();
    if (text.empty()) {
        return nullptr;
    }
    return text.c_str();
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* device)
{
    delete device;
}

} // extern "C"
