#include "boardtable.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

struct BoardEntry
{
    trvInterface::PartType board;
    const char* commandName;
    const char* rowName; // translated in the table's own context
    BoardTable::Group group;
};

// In the order of the window's rows.
const BoardEntry boardEntries[] = {
    {trvInterface::Sensor5, "sensor5", QT_TRANSLATE_NOOP("BoardTable", "Keys 12-20"),
     BoardTable::Sensors},
    {trvInterface::Sensor1, "sensor1", QT_TRANSLATE_NOOP("BoardTable", "Keys 21-42"),
     BoardTable::Sensors},
    {trvInterface::Sensor2, "sensor2", QT_TRANSLATE_NOOP("BoardTable", "Keys 43-64"),
     BoardTable::Sensors},
    {trvInterface::Sensor3, "sensor3", QT_TRANSLATE_NOOP("BoardTable", "Keys 65-86"),
     BoardTable::Sensors},
    {trvInterface::Sensor4, "sensor4", QT_TRANSLATE_NOOP("BoardTable", "Keys 87-108"),
     BoardTable::Sensors},
    {trvInterface::Terminal, "terminal", QT_TRANSLATE_NOOP("BoardTable", "Control Panel"),
     BoardTable::Terminal},
    {trvInterface::Mainboard, "mainboard", QT_TRANSLATE_NOOP("BoardTable", "Main Board"),
     BoardTable::Mainboard},
};

struct GroupEntry
{
    BoardTable::Group group;
    const char* commandName;
    const char* partCode;
    const char* builtInImage;
    trvInterface::PartType board; // stands for the group
};

const GroupEntry groupEntries[] = {
    {BoardTable::Sensors, "sensors", "KSENS", ":/firmware/ksens", trvInterface::Sensor1},
    {BoardTable::Terminal, "terminal", "KTERM", ":/firmware/kterm", trvInterface::Terminal},
    {BoardTable::Mainboard, "mainboard", "KZENT", ":/firmware/kzent", trvInterface::Mainboard},
};

const BoardEntry* entryOf(trvInterface::PartType board)
{
    for (const BoardEntry& entry : boardEntries) {
        if (entry.board == board) {
            return &entry;
        }
    }
    return nullptr;
}

const GroupEntry& entryOf(BoardTable::Group group)
{
    for (const GroupEntry& entry : groupEntries) {
        if (entry.group == group) {
            return entry;
        }
    }
    return groupEntries[0];
}

} // namespace

QList<BoardTable::PartType> BoardTable::boards()
{
    QList<PartType> all;
    for (const BoardEntry& entry : boardEntries) {
        all.append(entry.board);
    }
    return all;
}

QList<BoardTable::Group> BoardTable::groups()
{
    return {Sensors, Terminal, Mainboard};
}

bool BoardTable::isBoard(PartType board)
{
    return entryOf(board) != nullptr;
}

QString BoardTable::commandName(PartType board)
{
    const BoardEntry* entry = entryOf(board);
    return entry ? QString::fromLatin1(entry->commandName) : QString();
}

QString BoardTable::rowName(PartType board)
{
    const BoardEntry* entry = entryOf(board);
    return entry ? tr(entry->rowName) : QString();
}

QString BoardTable::groupName(PartType board)
{
    return partName(board);
}

QString BoardTable::groupName(Group group)
{
    return partName(boardFor(group));
}

BoardTable::Group BoardTable::groupOf(PartType board)
{
    const BoardEntry* entry = entryOf(board);
    return entry ? entry->group : Sensors;
}

QList<BoardTable::PartType> BoardTable::boardsOf(Group group)
{
    QList<PartType> members;
    for (const BoardEntry& entry : boardEntries) {
        if (entry.group == group) {
            members.append(entry.board);
        }
    }
    return members;
}

QList<QList<BoardTable::PartType>> BoardTable::steps(const QList<PartType>& boards)
{
    QList<QList<PartType>> result;
    for (Group group : groups()) {
        QList<PartType> step;
        for (PartType board : boardsOf(group)) {
            if (boards.contains(board)) {
                step.append(board);
            }
        }
        if (!step.isEmpty()) {
            result.append(step);
        }
    }
    return result;
}

BoardTable::PartType BoardTable::boardFor(Group group)
{
    return entryOf(group).board;
}

QString BoardTable::commandName(Group group)
{
    return QString::fromLatin1(entryOf(group).commandName);
}

bool BoardTable::groupOfName(const QString& name, Group* group)
{
    for (const GroupEntry& entry : groupEntries) {
        if (name == QLatin1String(entry.commandName)) {
            *group = entry.group;
            return true;
        }
    }
    return false;
}

QString BoardTable::partCode(Group group)
{
    return QString::fromLatin1(entryOf(group).partCode);
}

bool BoardTable::groupOfPartCode(const QString& partCode, Group* group)
{
    for (const GroupEntry& entry : groupEntries) {
        if (partCode == QLatin1String(entry.partCode)) {
            *group = entry.group;
            return true;
        }
    }
    return false;
}

QString BoardTable::builtInImage(Group group)
{
    return QString::fromLatin1(entryOf(group).builtInImage);
}

QString BoardTable::label(PartType board)
{
    return QStringLiteral("%1 (%2)").arg(rowName(board), commandName(board));
}

QString BoardTable::labels(const QList<PartType>& boards)
{
    QStringList names;
    for (PartType board : boards) {
        names.append(label(board));
    }
    return names.join(QStringLiteral(", "));
}
