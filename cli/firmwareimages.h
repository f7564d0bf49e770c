#pragma once

#include "hexreader.h"
#include "trvinterface.h"
#include "trvupdatesequence.h"

#include <QString>

// The three firmware images an update can install, one per kind of board:
// the built-in ones, each of which a file given on the command line may
// replace. Files are checked as the window checks them.
class FirmwareImages
{
public:
    using PartType = trvInterface::PartType;

    // The kinds of board an image is for.
    enum Kind {
        Sensors,
        Terminal,
        Mainboard,
    };

    // Reads the three built-in images. False, with the reason in error, when
    // one of them is not usable (a damaged program).
    bool readBuiltIn(QString* error);
    // Replaces the image for the kind named ("sensors", "terminal" or
    // "mainboard") with the file. A file that is not usable, or whose part
    // code does not fit the kind, is refused with the reader's own text and,
    // for a file out of order, the hint to sort it; the image stays.
    bool readFile(const QString& kindName, const QString& fileName, QString* error);

    // The kind of board an image with this part code is for; false for none.
    static bool kindOfPartCode(const QString& partCode, Kind* kind);
    // The kind of board a name ("sensors", "terminal" or "mainboard") stands for; false for none.
    static bool kindOfName(const QString& name, Kind* kind);
    static QString kindName(Kind kind);
    static QString partCode(Kind kind);
    static Kind kindOf(PartType board);
    // What the user is told to make a file that is out of order usable.
    static QString sortHint(const QString& fileName);

    HexReader& image(Kind kind);
    HexReader& imageFor(PartType board);
    // Where the image for the kind came from: "built-in" or the file's name.
    QString source(Kind kind) const;
    // The readers, for the update sequence; they live as long as this object.
    trvUpdateSequence::Images forSequence();

private:
    HexReader readers[3]; // by Kind
    QString sources[3];
};
