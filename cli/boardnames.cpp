#include "boardnames.h"

#include "trvupdatesequence.h"

#include <QObject>
#include <QStringList>

QString BoardNames::commandName(PartType board)
{
    switch (board) {
    case trvInterface::Sensor1:
    case trvInterface::Sensor2:
    case trvInterface::Sensor3:
    case trvInterface::Sensor4:
    case trvInterface::Sensor5:
        return QStringLiteral("sensor%1").arg(int(board));
    case trvInterface::Terminal:
        return QStringLiteral("terminal");
    case trvInterface::Mainboard:
        return QStringLiteral("mainboard");
    case trvInterface::NoPart:
        break;
    }
    return QString();
}

QString BoardNames::rowName(PartType board)
{
    switch (board) {
    case trvInterface::Sensor5:
        return QObject::tr("Keys 12-20");
    case trvInterface::Sensor1:
        return QObject::tr("Keys 21-42");
    case trvInterface::Sensor2:
        return QObject::tr("Keys 43-64");
    case trvInterface::Sensor3:
        return QObject::tr("Keys 65-86");
    case trvInterface::Sensor4:
        return QObject::tr("Keys 87-108");
    case trvInterface::Terminal:
    case trvInterface::Mainboard:
        return groupName(board);
    case trvInterface::NoPart:
        break;
    }
    return QString();
}

QString BoardNames::groupName(PartType board)
{
    return board >= trvInterface::NoPart && board <= trvInterface::Mainboard ? partName(board)
                                                                             : QString();
}

QString BoardNames::label(PartType board)
{
    return QStringLiteral("%1 (%2)").arg(rowName(board), commandName(board));
}

QString BoardNames::labels(const QList<PartType>& boards)
{
    QStringList names;
    for (PartType board : boards) {
        names.append(label(board));
    }
    return names.join(QStringLiteral(", "));
}

bool BoardNames::parse(const QString& word, QList<PartType>* boards)
{
    const QString name = word.toLower();
    if (name == QLatin1String("all")) {
        *boards = trvUpdateSequence::rowOrder();
        return true;
    }
    if (name == QLatin1String("sensors")) {
        *boards = {trvInterface::Sensor1, trvInterface::Sensor2, trvInterface::Sensor3,
                   trvInterface::Sensor4, trvInterface::Sensor5};
        return true;
    }
    for (PartType board : trvUpdateSequence::rowOrder()) {
        if (name == commandName(board)) {
            *boards = {board};
            return true;
        }
    }
    return false;
}

QString BoardNames::choices()
{
    return QStringLiteral("all, sensors, sensor1, sensor2, sensor3, sensor4, sensor5, terminal, "
                          "mainboard");
}
