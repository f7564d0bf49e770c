#include "hexsorter.h"

#include "hexfile.h"
#include "hexline.h"
#include "linewalker.h"

#include <algorithm>
#include <vector>

namespace {

constexpr char endOfFileLine[] = ":00000001FF\r\n";

// Room for the extended linear address records that sorting adds.
constexpr int addressRecordsRoom = 64;

QByteArray extendedLinearAddressLine(quint16 segment)
{
    const QByteArray address = QByteArray(1, char(segment >> 8)) + char(segment & 0xFF);
    return HexLine::compose(HexLine::ExtendedLinearAddressRecord, 0, address, "\r\n");
}

} // namespace

HexReader::Err HexSorter::sort(const QString& fileName, FileFault* faultFound)
{
    FileFault unasked;
    FileFault& fault = faultFound ? *faultFound : unasked;
    fault = FileFault();
    QByteArray content;
    const HexReader::Err loaded = HexFile::read(fileName, content, fault);
    if (loaded != HexReader::FileOk) {
        return loaded;
    }
    if (LineWalker::holdsNoText(content)) {
        fault = FileFault(FileFault::Empty);
        return HexReader::Corrupted;
    }

    struct Entry
    {
        quint32 address; // full address
        int start;       // the line in content
        int size;
    };
    std::vector<Entry> entries;
    quint16 segment = 0;
    LineWalker lines(content);
    QByteArray line;
    while (lines.next(line)) {
        if (!LineWalker::holdsText(line)) {
            continue;
        }
        const HexLine record(line);
        if (!record.valid) {
            fault = FileFault::ofInvalidLine(line, lines.lineNumber(), content);
            return HexReader::InvalidData;
        }
        if (record.type == HexLine::DataRecord) {
            entries.push_back({record.fullAddress(segment), lines.lineStart(), line.size()});
        } else if (record.type == HexLine::ExtendedLinearAddressRecord) {
            segment = record.segment();
        }
    }
    // By address; of equal addresses the later line wins.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.address < b.address; });

    QByteArray sorted;
    sorted.reserve(content.size() + addressRecordsRoom);
    bool first = true;
    quint16 currentSegment = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i + 1 < entries.size() && entries[i + 1].address == entries[i].address) {
            continue;
        }
        const Entry& entry = entries[i];
        const quint16 segmentOfEntry = quint16(entry.address >> 16);
        if (first || segmentOfEntry != currentSegment) {
            sorted.append(extendedLinearAddressLine(segmentOfEntry));
        }
        first = false;
        currentSegment = segmentOfEntry;
        sorted.append(content.constData() + entry.start, entry.size);
        if (content.at(entry.start + entry.size - 1) != '\n') {
            sorted.append("\r\n");
        }
    }
    sorted.append(endOfFileLine);
    content.clear(); // its memory is not needed while the new text is written

    if (!HexFile::replace(fileName, sorted)) {
        fault = FileFault::ofUnwritable(fileName);
        return HexReader::FileAccessDenied;
    }
    return HexReader::FileOk;
}
