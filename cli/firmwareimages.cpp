#include "firmwareimages.h"

#include <QObject>

namespace {
const char* const builtInPath[] = {":/firmware/ksens", ":/firmware/kterm", ":/firmware/kzent"};
} // namespace

bool FirmwareImages::readBuiltIn(QString* error)
{
    for (Kind kind : {Sensors, Terminal, Mainboard}) {
        HexReader& reader = image(kind);
        if (reader.read(QString::fromLatin1(builtInPath[kind]), false) != HexReader::FileOk ||
            reader.part != partCode(kind)) {
            *error = QObject::tr("The built-in image for %1 is damaged: %2")
                         .arg(kindName(kind), reader.stateDescription());
            return false;
        }
        sources[kind] = QObject::tr("built-in");
    }
    return true;
}

bool FirmwareImages::readFile(const QString& kindName, const QString& fileName, QString* error)
{
    Kind kind = Sensors;
    if (!kindOfName(kindName, &kind)) {
        *error = QObject::tr("No such kind of board: \"%1\" (use sensors, terminal or mainboard)")
                     .arg(kindName);
        return false;
    }

    HexReader file;
    const HexReader::Err state = file.read(fileName, false);
    if (state != HexReader::FileOk) {
        *error = QObject::tr("%1: %2").arg(fileName, file.stateDescription());
        if (state == HexReader::InvalidOrder) {
            *error += QLatin1Char('\n') + sortHint(fileName);
        }
        return false;
    }
    Kind fileKind = Sensors;
    if (!kindOfPartCode(file.part, &fileKind)) {
        *error = QObject::tr("%1: the part code \"%2\" fits no board of the instrument")
                     .arg(fileName, file.part);
        return false;
    }
    if (fileKind != kind) {
        *error = QObject::tr("%1: an image for %2 (part code %3) cannot go to %4 (part code %5)")
                     .arg(fileName, FirmwareImages::kindName(fileKind), file.part,
                          FirmwareImages::kindName(kind), partCode(kind));
        return false;
    }
    image(kind) = file;
    sources[kind] = fileName;
    return true;
}

bool FirmwareImages::kindOfPartCode(const QString& partCode, Kind* kind)
{
    for (Kind each : {Sensors, Terminal, Mainboard}) {
        if (partCode == FirmwareImages::partCode(each)) {
            *kind = each;
            return true;
        }
    }
    return false;
}

bool FirmwareImages::kindOfName(const QString& name, Kind* kind)
{
    for (Kind each : {Sensors, Terminal, Mainboard}) {
        if (name == kindName(each)) {
            *kind = each;
            return true;
        }
    }
    return false;
}

QString FirmwareImages::kindName(Kind kind)
{
    switch (kind) {
    case Sensors:
        return QStringLiteral("sensors");
    case Terminal:
        return QStringLiteral("terminal");
    case Mainboard:
        return QStringLiteral("mainboard");
    }
    return QString();
}

QString FirmwareImages::partCode(Kind kind)
{
    switch (kind) {
    case Sensors:
        return QStringLiteral("KSENS");
    case Terminal:
        return QStringLiteral("KTERM");
    case Mainboard:
        return QStringLiteral("KZENT");
    }
    return QString();
}

FirmwareImages::Kind FirmwareImages::kindOf(PartType board)
{
    switch (board) {
    case trvInterface::Mainboard:
        return Mainboard;
    case trvInterface::Terminal:
        return Terminal;
    default:
        return Sensors;
    }
}

QString FirmwareImages::sortHint(const QString& fileName)
{
    return QObject::tr("Put its records in address order first (this rewrites the file), then "
                       "stamp it:\n  trvloader-cli sort %1 && trvloader-cli stamp %1")
        .arg(fileName);
}

HexReader& FirmwareImages::image(Kind kind)
{
    return readers[kind];
}

HexReader& FirmwareImages::imageFor(PartType board)
{
    return image(kindOf(board));
}

QString FirmwareImages::source(Kind kind) const
{
    return sources[kind];
}

trvUpdateSequence::Images FirmwareImages::forSequence()
{
    trvUpdateSequence::Images images;
    images.mainboard = &readers[Mainboard];
    images.terminal = &readers[Terminal];
    images.sensors = &readers[Sensors];
    return images;
}
