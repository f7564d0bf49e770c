// HexLine and picData on one arbitrary line, against a plain decoding of the
// record layout.

#include "hexline.h"

#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

int digit(const QByteArray& line, int position)
{
    if (position >= line.size()) {
        return 0;
    }
    const char c = line.at(position);
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 0;
}

int byteAt(const QByteArray& line, int position)
{
    return digit(line, position) * 16 + digit(line, position + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArray line(reinterpret_cast<const char*>(bytes), int(size));
    const HexLine record(line);
    const QByteArray text = record.picData();

    if (line.size() < 13 || line.at(0) != ':') {
        if (record.valid || !record.data.isEmpty() || !text.isEmpty()) {
            fail("a line that is no record decodes to nothing");
        }
        return 0;
    }

    const int length = byteAt(line, 1);
    const int address = byteAt(line, 3) * 256 + byteAt(line, 5);
    const int type = byteAt(line, 7);
    const int checksum = byteAt(line, 9 + 2 * length);
    int sum = length + (address >> 8) + (address & 0xFF) + type;
    QByteArray data;
    for (int i = 0; i < length; ++i) {
        data.append(char(byteAt(line, 9 + 2 * i)));
        sum += byteAt(line, 9 + 2 * i);
    }
    if (record.length != length || record.address != address || record.type != type ||
        record.checksum != checksum || record.data != data) {
        fail("fields as the record layout gives them");
    }
    if (record.valid != ((sum + checksum) % 256 == 0)) {
        fail("valid exactly when the record bytes add up to 0");
    }

    QByteArray expectedText;
    for (int i = 0; i < data.size(); ++i) {
        if (i % 4 < 2) {
            expectedText.append(data.at(i));
        }
    }
    if (text != expectedText) {
        fail("picData takes the first two of every four data bytes");
    }
    return 0;
}
