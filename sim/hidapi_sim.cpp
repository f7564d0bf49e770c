// hidapi's C API on the in-process emulated instrument, sim::instrument().
// Linked in place of the real library. It never waits: a read in blocking
// mode answers like one in non-blocking mode (the link asks for the latter).
// An open that fails leaves its reason in errno and in the text of
// hid_error(NULL), as the hidraw backend does.

#include "instrument.h"

#include <hidapi.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

struct hid_device_
{
    int connection = 0;
    std::wstring error; // the text of the last failure on this handle
};

namespace {
qint64 now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void keepError(hid_device* device)
{
    device->error = sim::instrument().lastError().toStdWString();
}

constexpr unsigned short instrumentVendor = 0x04D8;
constexpr unsigned short instrumentProduct = 0xF93C;
// The one device's path, as hid_enumerate gives it.
const char* const devicePath = "emulated:0";

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

hid_device* openConnection(unsigned short vendor, unsigned short product)
{
    sim::Instrument& instrument = sim::instrument();
    const qint64 time = now();
    const bool present = instrument.isPresent(vendor, product, time);
    const int connection = instrument.open(vendor, product, time);
    if (connection <= 0) {
        globalError() = instrument.lastError().toStdWString();
        errno = present ? instrument.openRefusal() : ENOENT;
        return nullptr;
    }
    globalError().clear();
    auto* device = new hid_device;
    device->connection = connection;
    return device;
}
} // namespace

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
    if (!wanted || !sim::instrument().isPresent(instrumentVendor, instrumentProduct, now())) {
        return nullptr;
    }
    auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    info->path = strdup(devicePath);
    info->vendor_id = instrumentVendor;
    info->product_id = instrumentProduct;
    info->serial_number = copyOf(sim::instrument().serialNumber().toStdWString().c_str());
    info->release_number = 0x0115;
    info->manufacturer_string = copyOf(L"Kelmor");
    info->product_string = copyOf(L"Tarvo QX40");
    info->usage_page = 0xFF00;
    info->usage = 0x0001;
    info->interface_number = 0;
    info->bus_type = HID_API_BUS_USB;
    return info;
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

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id,
                                                 unsigned short product_id,
                                                 const wchar_t* /*serial_number*/)
{
    return openConnection(vendor_id, product_id);
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path)
{
    if (!path || std::strcmp(path, devicePath) != 0) {
        globalError() = L"No such device";
        errno = ENOENT;
        return nullptr;
    }
    return openConnection(instrumentVendor, instrumentProduct);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* device, int /*nonblock*/)
{
    if (!device) {
        return -1;
    }
    if (!sim::instrument().setNonblocking(device->connection)) {
        keepError(device);
        return -1;
    }
    device->error.clear();
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device* device, const unsigned char* data,
                                          size_t length)
{
    if (!device || !data) {
        return -1;
    }
    const int result = sim::instrument().write(device->connection, data, length, now());
    if (result < 0) {
        keepError(device);
    } else {
        device->error.clear();
    }
    return result;
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* device, unsigned char* data, size_t length)
{
    if (!device || !data) {
        return -1;
    }
    const int result = sim::instrument().read(device->connection, data, length, now());
    if (result < 0) {
        keepError(device);
    } else {
        device->error.clear();
    }
    return result;
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
