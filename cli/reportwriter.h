#pragma once

#include "exitcode.h"

#include <QJsonObject>
#include <QString>

#include <functional>

class QIODevice;

// Where trvloader-cli says what happens. Results for people (tables, the
// plan, progress and the summary) go to the output in the plain styles;
// notes about the run (waiting, found, warnings) go to the error output, so
// that the output holds results alone. In the JSON style the output carries
// one compact JSON object per line and nothing else. Errors go to the error
// output in every style.
class ReportWriter
{
public:
    enum Style {
        Lines,    // one line per event, for logs and pipes
        Terminal, // as Lines, but progress redraws one line in place
        Json,     // one JSON object per line
    };

    // The devices are borrowed and must stay open while the writer is used.
    ReportWriter(QIODevice* outputDevice, QIODevice* errorDevice, Style style);

    Style style() const;
    void setStyle(Style style);
    bool isJson() const;
    // How many characters a line of the terminal holds (0: no limit), asked
    // before each redraw, since the terminal may change its width: a
    // redrawn progress line longer than that ends in an ellipsis.
    void setTerminalColumns(std::function<int()> columns);

    // Text for people in every style, as it stands (help and version).
    void text(const QString& text);
    // A line of a result for people (Lines and Terminal only).
    void line(const QString& text);
    // A line of a result that, on a terminal, is cut to its width like a
    // progress line, so that it never wraps.
    void fittedLine(const QString& text);
    // A note for people about the run, not part of its result, on the error
    // output (Lines and Terminal only).
    void note(const QString& text);
    // A progress line: on a terminal it replaces the last progress line; in
    // the Lines style it is printed only when it differs from the last one.
    void progress(const QString& text);
    // Ends the current progress line, so that the next output starts below it.
    void endProgress();
    // One JSON object on a line of its own (Json only).
    void event(const QJsonObject& object);
    // An error or warning for people, in every style.
    void error(const QString& text);
    // The final result object of every run (Json only): the command (null
    // when none was given), the code by name and number, the error, and the
    // command's own details.
    void result(const QString& command, ExitCode::Code code, const QString& error,
                const QJsonObject& details = QJsonObject());

private:
    void write(QIODevice* device, const QString& text);
    // The text cut to the terminal's width, ending in an ellipsis where cut.
    QString fitted(const QString& text) const;

    QIODevice* output;
    QIODevice* errors;
    Style currentStyle;
    std::function<int()> terminalColumns;
    QString lastProgress;
    bool progressOpen = false; // a terminal progress line waits for its end
};
