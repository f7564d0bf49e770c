#pragma once

#include <QByteArray>

// Walks the lines of a text, each with its terminator (the last one may have
// none), without copying them: each line refers into the text, which must
// outlive the walk.
class LineWalker
{
public:
    explicit LineWalker(const QByteArray& whole) : text(whole) {}

    // The next line; false at the end of the text.
    bool next(QByteArray& line)
    {
        if (end >= text.size()) {
            return false;
        }
        start = end;
        ++lines;
        const int lineFeed = text.indexOf('\n', start);
        end = lineFeed < 0 ? text.size() : lineFeed + 1;
        line = QByteArray::fromRawData(text.constData() + start, end - start);
        return true;
    }
    // Where the last line begins in the text.
    int lineStart() const { return start; }
    // The number of the last line, counted from 1.
    int lineNumber() const { return lines; }

    // Whether a line holds anything before its first zero byte; lines that
    // hold nothing are skipped, though counted.
    static bool holdsText(const QByteArray& line) { return !line.isEmpty() && line.at(0) != '\0'; }
    // Whether a text holds no line with anything in it: nothing to read or to sort.
    static bool holdsNoText(const QByteArray& content);

private:
    const QByteArray& text;
    int start = 0;
    int end = 0;
    int lines = 0;
};
