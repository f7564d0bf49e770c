#pragma once

#include "trvinterface.h"

#include <QList>
#include <QString>

// The boards by name: the names the command line takes and prints, and the
// names the window gives its rows and board groups.
class BoardNames
{
public:
    using PartType = trvInterface::PartType;

    // "sensor1" to "sensor5", "terminal" or "mainboard"; empty for any other value.
    static QString commandName(PartType board);
    // The row's name in the window: "Keys 12-20" to "Keys 87-108", "Control Panel", "Main Board".
    static QString rowName(PartType board);
    // The board's group: "Sensor Boards", "Control Panel" or "Main Board".
    static QString groupName(PartType board);
    // "Keys 65-86 (sensor3)": what the user reads wherever one board is named.
    static QString label(PartType board);
    // label() of each board, joined by commas.
    static QString labels(const QList<PartType>& boards);

    // The boards a BOARD argument names: "all", "sensors", "sensor1" to
    // "sensor5", "terminal" or "mainboard" (any case). False for any other word.
    static bool parse(const QString& word, QList<PartType>* boards);
    // The words parse() takes, for the help text.
    static QString choices();
};
