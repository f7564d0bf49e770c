#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// What exactly keeps a firmware file from being read or written back, and
// where: the detail behind a reader's state, which alone says only "File
// access denied" or "contains invalid data".
class FileFault
{
    Q_GADGET

public:
    enum Kind {
        None = 0,
        NoSuchFile,
        Folder,
        NotReadable, // there, but this user may not read it
        Empty,       // holds no record at all
        BlankLine,
        NotARecord,
        BadRecordChecksum,
        LineFeedAlone,     // a record without data bytes, ended by LF where it needs CR LF
        NoLineEnd,         // such a record at the very end, with no line end at all
        FolderNotWritable, // the new text goes to a new file in the folder first
        FileNotWritable,
        NotWritten, // the rights allow it, and still it could not be written
    };
    Q_ENUM(Kind)

    FileFault() = default;
    explicit FileFault(Kind kind, int line = 0);

    // Why a file cannot be opened or read.
    static FileFault ofUnreadable(const QString& fileName);
    // Why a file could not be replaced by a new text.
    static FileFault ofUnwritable(const QString& fileName);
    // What is wrong with a line that holds text but no valid record; lines
    // counted from 1. The whole text, where given, tells for a line ended by
    // LF alone how many of the file's lines are, and from which on.
    static FileFault ofInvalidLine(const QByteArray& line, int lineNumber,
                                   const QByteArray& text = QByteArray());

    Kind kind() const { return what; }
    bool isNone() const { return what == None; }
    // The line concerned, counted from 1; 0 when the fault is the file's as a whole.
    int line() const { return lineNumber; }
    // One or two sentences for the user, e.g. "Line 12: the record checksum is wrong.";
    // empty for None.
    QString description() const;
    // The kind's name as in the enum, e.g. "NoSuchFile", for machine-read output.
    QString name() const;

private:
    Kind what = None;
    int lineNumber = 0;
    // For LineFeedAlone: the lines of the text that end with LF alone, the
    // first of them, and the lines that hold text.
    int lineFeedsAlone = 0;
    int firstLineFeedAlone = 0;
    int textLines = 0;
};
