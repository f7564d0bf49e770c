#pragma once

#include "trvinterface.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

// The instrument's seven boards and its three board groups, by name: what the
// command line takes and prints, what the window calls its rows, and which
// firmware image (part code, built-in copy) each group runs.
class BoardTable
{
    Q_DECLARE_TR_FUNCTIONS(BoardTable)

public:
    using PartType = trvInterface::PartType;

    // The board groups; each runs one firmware image.
    enum Group {
        Sensors,
        Terminal,
        Mainboard,
    };

    // The seven boards in the order of the window's rows: Sensor5, Sensor1 to
    // Sensor4, Terminal, Mainboard.
    static QList<PartType> boards();
    static QList<Group> groups();
    // Whether the value is one of the seven boards (Sensor1 to Mainboard).
    static bool isBoard(PartType board);

    // "sensor1" to "sensor5", "terminal" or "mainboard"; empty for any other value.
    static QString commandName(PartType board);
    // The row's name in the window: "Keys 12-20" to "Keys 87-108", "Control Panel",
    // "Main Board"; empty for any other value.
    static QString rowName(PartType board);
    // The board as the user reads it wherever one board is named: its row
    // name and its command-line name, "Keys 43-64 (sensor2)".
    static QString label(PartType board);
    // Boards so, joined by ", ".
    static QString labels(const QList<PartType>& boards);
    // The board's group name: "Sensor Boards", "Control Panel" or "Main Board".
    static QString groupName(PartType board);
    static QString groupName(Group group);

    // The group of one of the seven boards (Sensors for any other value).
    static Group groupOf(PartType board);
    // The boards of the group, in the order of the rows.
    static QList<PartType> boardsOf(Group group);
    // The steps of an update of these boards (any order; others ignored): one
    // per group that has a board among them, the sensor boards first, then
    // the control panel, then the main board; each with its boards in the
    // order of the rows.
    static QList<QList<PartType>> steps(const QList<PartType>& boards);
    // The board that stands for the group in group-wide texts: Sensor1 for the
    // sensor boards.
    static PartType boardFor(Group group);
    // "sensors", "terminal" or "mainboard": the group as the command line names it.
    static QString commandName(Group group);
    // The group the command line's name stands for; false for none.
    static bool groupOfName(const QString& name, Group* group);
    // The part code in the group's firmware images: "KSENS", "KTERM" or "KZENT".
    static QString partCode(Group group);
    // The group whose images carry this part code; false for none.
    static bool groupOfPartCode(const QString& partCode, Group* group);
    // Where the program's own image for the group is kept.
    static QString builtInImage(Group group);
};
