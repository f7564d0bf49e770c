#include "reportwriter.h"

#include <QFileDevice>
#include <QIODevice>
#include <QJsonDocument>

#include <utility>

ReportWriter::ReportWriter(QIODevice* outputDevice, QIODevice* errorDevice, Style style)
    : output(outputDevice), errors(errorDevice), currentStyle(style)
{
}

ReportWriter::Style ReportWriter::style() const
{
    return currentStyle;
}

void ReportWriter::setStyle(Style style)
{
    endProgress();
    currentStyle = style;
}

void ReportWriter::setTerminalColumns(std::function<int()> columns)
{
    terminalColumns = std::move(columns);
}

bool ReportWriter::isJson() const
{
    return currentStyle == Json;
}

void ReportWriter::text(const QString& text)
{
    endProgress();
    write(output, text);
}

void ReportWriter::line(const QString& text)
{
    if (isJson()) {
        return;
    }
    endProgress();
    write(output, text + QLatin1Char('\n'));
}

void ReportWriter::fittedLine(const QString& text)
{
    line(currentStyle == Terminal ? fitted(text) : text);
}

QString ReportWriter::fitted(const QString& text) const
{
    // One character short of the width, so that the cursor never wraps to a
    // line of its own, which the next redraw would leave behind.
    const int room = terminalColumns ? terminalColumns() - 1 : 0;
    if (room > 0 && text.size() > room) {
        return text.left(room - 1) + QChar(0x2026);
    }
    return text;
}

void ReportWriter::note(const QString& text)
{
    if (!isJson()) {
        error(text);
    }
}

void ReportWriter::progress(const QString& text)
{
    // Called for every line sent: nothing is asked of the terminal unless
    // there is something new to show.
    if (isJson() || text == lastProgress) {
        return;
    }
    lastProgress = text;
    if (currentStyle != Terminal) {
        write(output, text + QLatin1Char('\n'));
        return;
    }
    // Back to the line's start, the new text, and the rest of the old one erased.
    write(output, QLatin1Char('\r') + fitted(text) + QStringLiteral("\x1b[K"));
    progressOpen = true;
}

void ReportWriter::endProgress()
{
    if (progressOpen) {
        write(output, QStringLiteral("\n"));
        progressOpen = false;
    }
    lastProgress.clear();
}

void ReportWriter::event(const QJsonObject& object)
{
    if (!isJson()) {
        return;
    }
    write(output, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
                      QLatin1Char('\n'));
}

void ReportWriter::error(const QString& text)
{
    if (errors == output) {
        endProgress();
    } else if (progressOpen) {
        // The error starts on a line of its own; the progress line stays.
        write(output, QStringLiteral("\n"));
        progressOpen = false;
        lastProgress.clear();
    }
    write(errors, text + QLatin1Char('\n'));
}

void ReportWriter::result(const QString& command, ExitCode::Code code, const QString& error,
                          const QJsonObject& details)
{
    QJsonObject object = details;
    object.insert("event", "result");
    object.insert("command",
                  command.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(command));
    object.insert("result", ExitCode::name(code));
    object.insert("exitCode", int(code));
    object.insert("error", error);
    event(object);
}

void ReportWriter::write(QIODevice* device, const QString& text)
{
    // A closed output has nobody left to tell; what follows still runs.
    device->write(text.toUtf8());
    // Progress and events are read as they happen, also through a pipe.
    if (auto* file = qobject_cast<QFileDevice*>(device)) {
        file->flush();
    }
}
