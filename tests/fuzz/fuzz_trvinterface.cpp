// trvInterface::dataInput on arbitrary input reports: every signal it emits,
// in order and with its values, against a plain walk over the 3-byte records.

#include "trvinterface.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

struct Reply
{
    int code;
    int part;
    QString value;
    bool operator==(const Reply& other) const
    {
        return code == other.code && part == other.part && value == other.value;
    }
};

QList<Reply> emitted;

trvInterface& protocol()
{
    static trvInterface* const interface = [] {
        auto* created = new trvInterface;
        QObject::connect(created, &trvInterface::firmwareVersion,
                         [](trvInterface::PartType p, QString v) {
                             emitted.append({1, p, v});
                         });
        QObject::connect(created, &trvInterface::firmwareUpdateStartAck,
                         [](trvInterface::PartType p, bool r) {
                             emitted.append({2, p, QString::number(r)});
                         });
        QObject::connect(created, &trvInterface::firmwareUpdateDataAck,
                         [](trvInterface::PartType p, int ok) {
                             emitted.append({3, p, QString::number(ok)});
                         });
        QObject::connect(created, &trvInterface::firmwareUpdateEndAck,
                         [](trvInterface::PartType p, bool ok) {
                             emitted.append({4, p, QString::number(ok)});
                         });
        return created;
    }();
    return *interface;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    protocol();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArray report(reinterpret_cast<const char*>(bytes), int(size));

    QList<Reply> expected;
    for (size_t offset = 0; offset + 3 <= size; offset += 3) {
        const int code = bytes[offset];
        const int part = static_cast<signed char>(bytes[offset + 1]);
        const int value = static_cast<signed char>(bytes[offset + 2]);
        if (code == 1) {
            // Truncating division: the remainder carries the sign of the value.
            const int whole = value / 10;
            const int tenth = value - whole * 10;
            expected.append({1, part, QStringLiteral("v%1.%2").arg(whole).arg(tenth)});
        } else if (code == 2 || code == 4) {
            expected.append({code, part, QString::number(value != 0)});
        } else if (code == 3) {
            expected.append({3, part, QString::number(value)});
        } else {
            break;
        }
    }

    emitted.clear();
    protocol().dataInput(report);
    if (!(emitted == expected)) {
        std::fprintf(stderr, "check failed: %d replies emitted, %d expected\n", int(emitted.size()),
                     int(expected.size()));
        std::abort();
    }
    return 0;
}
