// HexReader on arbitrary bytes: read from memory, then from a file, once plain
// and once stamping. Checks what a caller relies on: the result is kept in
// state, a good image is consistent with its checksum, a file reads as its
// bytes do, a failed check leaves the file alone, and a stamped file reads as
// the stamping read said it would.

#include "fuzzcheck.h"
#include "fuzzfile.h"
#include "hexline.h"
#include "hexreader.h"

namespace {

const FuzzFile& scratch()
{
    static const FuzzFile file;
    return file;
}

// The last line of a text (its terminator included).
QByteArray lastLine(const QByteArray& text)
{
    const int end = text.endsWith('\n') ? text.size() - 1 : text.size();
    const int start = text.lastIndexOf('\n', end - 1) + 1;
    return text.mid(start);
}

bool isEndOfFile(const QByteArray& line)
{
    const HexLine record(line);
    return record.valid && record.type == 0x01;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(bytes), int(size));
    const FuzzFile& file = scratch();

    HexReader plain;
    const HexReader::Err result = plain.readBytes(content);
    FUZZ_CHECK(result == plain.state);
    FUZZ_CHECK(result != HexReader::FileAccessDenied && result != HexReader::WriteAccessDenied);
    FUZZ_CHECK(plain.data.size() <= content.size());
    if (result == HexReader::FileOk || result == HexReader::NoValidFirmware) {
        FUZZ_CHECK(HexReader::imageChecksum(plain.data) == plain.checksum);
    }
    if (result == HexReader::FileOk) {
        FUZZ_CHECK(!plain.part.isEmpty() && !plain.version.isEmpty() && !plain.date.isEmpty());
    }

    // The same bytes in a file read alike, and the file is left as it was.
    file.write(content);
    HexReader fromFile;
    FUZZ_CHECK(fromFile.read(file.path(), false) == result);
    FUZZ_CHECK(fromFile.fault.kind() == plain.fault.kind() &&
               fromFile.fault.line() == plain.fault.line());
    FUZZ_CHECK(fromFile.data == plain.data && fromFile.checksum == plain.checksum);
    FUZZ_CHECK(fromFile.fullName() == plain.fullName());
    FUZZ_CHECK(file.content() == content);

    // Stamping: the same verdict on the lines, the record appended only to a
    // file that had none, and the stamped file then reads alike.
    HexReader stamping;
    const HexReader::Err stamped = stamping.read(file.path(), true);
    FUZZ_CHECK(stamped == stamping.state);
    // A stamp ends an open last line first; the image text then has that line end too.
    const bool lineEndAdded = !content.isEmpty() && !content.endsWith('\n') &&
                              !plain.data.isEmpty() && !plain.data.endsWith('\n');
    FUZZ_CHECK(stamping.data == plain.data || (lineEndAdded && stamping.data == plain.data + '\n'));
    const QByteArray afterStamping = file.content();
    if (afterStamping == content) {
        FUZZ_CHECK(stamped == result);
        return 0;
    }
    FUZZ_CHECK(result == HexReader::Corrupted);
    FUZZ_CHECK(stamped == HexReader::FileOk || stamped == HexReader::NoValidFirmware);
    FUZZ_CHECK(afterStamping.startsWith(content));
    const QByteArray added = afterStamping.mid(content.size());
    FUZZ_CHECK(added.size() == 16 || (added.size() == 17 && added.startsWith('\n')));
    const HexLine record(lastLine(afterStamping));
    FUZZ_CHECK(record.valid && record.type == 0x80 && record.data.size() == 2);
    FUZZ_CHECK(quint8(record.data.at(1)) == HexReader::imageChecksum(stamping.data));

    HexReader again;
    const HexReader::Err reread = again.read(file.path(), true);
    FUZZ_CHECK(file.content() == afterStamping); // a stamped file is never stamped twice
    if (isEndOfFile(lastLine(stamping.data))) {
        FUZZ_CHECK(reread == stamped && again.data == stamping.data &&
                   again.checksum == stamping.checksum);
    }
    return 0;
}
