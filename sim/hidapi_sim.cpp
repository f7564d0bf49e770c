// hidapi's C API on the in-process emulated instrument, sim::instrument().
// Linked in place of the real library. It never waits: a read in blocking
// mode answers like one in non-blocking mode (the link asks for the latter).

#include "instrument.h"

#include <hidapi.h>

#include <chrono>
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

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id,
                                                 unsigned short product_id,
                                                 const wchar_t* /*serial_number*/)
{
    const int connection = sim::instrument().open(vendor_id, product_id, now());
    if (connection <= 0)
        return nullptr;
    auto* device = new hid_device;
    device->connection = connection;
    return device;
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* device, int /*nonblock*/)
{
    if (!device)
        return -1;
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
    if (!device || !data)
        return -1;
    const int result = sim::instrument().write(device->connection, data, length, now());
    if (result < 0)
        keepError(device);
    else
        device->error.clear();
    return result;
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* device, unsigned char* data, size_t length)
{
    if (!device || !data)
        return -1;
    const int result = sim::instrument().read(device->connection, data, length, now());
    if (result < 0)
        keepError(device);
    else
        device->error.clear();
    return result;
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device* device)
{
    if (!device || device->error.empty())
        return nullptr;
    return device->error.c_str();
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* device)
{
    delete device;
}

} // extern "C"
