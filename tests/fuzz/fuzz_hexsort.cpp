// HexSorter::sort on arbitrary file bytes. A refused file stays as it was; a
// sorted one holds every data record (the last one of each full address) in
// ascending order behind the right address records, ends with one end-of-file
// record, reads without invalid lines and sorts to itself.

#include "fuzzcheck.h"
#include "fuzzfile.h"
#include "hexline.h"
#include "hexreader.h"
#include "hexsorter.h"

#include <QList>
#include <QMap>

namespace {

const FuzzFile& scratch()
{
    static const FuzzFile file;
    return file;
}

QList<QByteArray> lines(const QByteArray& text)
{
    QList<QByteArray> result;
    int start = 0;
    while (start < text.size()) {
        const int lineFeed = text.indexOf('\n', start);
        const int end = lineFeed < 0 ? text.size() : lineFeed + 1;
        result.append(text.mid(start, end - start));
        start = end;
    }
    return result;
}

bool holdsText(const QByteArray& line)
{
    return !line.isEmpty() && line.at(0) != '\0';
}

quint16 upperBits(const HexLine& record)
{
    const quint8 high = record.data.size() > 0 ? quint8(record.data.at(0)) : 0;
    const quint8 low = record.data.size() > 1 ? quint8(record.data.at(1)) : 0;
    return quint16(high * 256 + low);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(bytes), int(size));
    const FuzzFile& file = scratch();
    file.write(content);

    // What the file holds: data lines by full address, the later one winning.
    QMap<quint32, QByteArray> expected;
    bool allValid = true;
    bool anyText = false;
    quint16 upper = 0;
    for (const QByteArray& line : lines(content)) {
        if (!holdsText(line)) {
            continue;
        }
        anyText = true;
        const HexLine record(line);
        if (!record.valid) {
            allValid = false;
            break;
        }
        if (record.type == 0x00) {
            expected.insert(quint32(upper) << 16 | record.address, line);
        } else if (record.type == 0x04) {
            upper = upperBits(record);
        }
    }

    const HexReader::Err result = HexSorter::sort(file.path());
    if (!anyText) {
        // An empty file is refused and left as it is.
        FUZZ_CHECK(result == HexReader::Corrupted);
        FUZZ_CHECK(file.content() == content);
        return 0;
    }
    if (!allValid) {
        FUZZ_CHECK(result == HexReader::InvalidData);
        FUZZ_CHECK(file.content() == content);
        return 0;
    }
    FUZZ_CHECK(result == HexReader::FileOk);
    const QByteArray sorted = file.content();
    const QList<QByteArray> output = lines(sorted);
    FUZZ_CHECK(!output.isEmpty() && output.last() == ":00000001FF\r\n");

    auto entry = expected.cbegin();
    bool haveUpper = false;
    upper = 0;
    for (int i = 0; i + 1 < output.size(); ++i) {
        const HexLine record(output.at(i));
        FUZZ_CHECK(record.valid && (record.type == 0x00 || record.type == 0x04));
        if (record.type == 0x04) {
            FUZZ_CHECK(record.length == 2);
            upper = upperBits(record);
            haveUpper = true;
            // An address record only where the upper bits change, right before its records.
            FUZZ_CHECK(entry != expected.cend() && quint16(entry.key() >> 16) == upper);
            continue;
        }
        FUZZ_CHECK(haveUpper && entry != expected.cend());
        FUZZ_CHECK((quint32(upper) << 16 | record.address) == entry.key());
        const QByteArray& original = entry.value();
        FUZZ_CHECK(output.at(i) == original ||
                   (!original.endsWith('\n') && output.at(i) == original + "\r\n"));
        ++entry;
    }
    FUZZ_CHECK(entry == expected.cend());

    HexReader reader;
    FUZZ_CHECK(reader.readBytes(sorted) != HexReader::InvalidData);
    FUZZ_CHECK(HexSorter::sort(file.path()) == HexReader::FileOk);
    FUZZ_CHECK(file.content() == sorted);
    return 0;
}
