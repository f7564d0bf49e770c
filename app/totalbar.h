#pragma once

#include <QProgressBar>
#include <QString>

class QResizeEvent;

// The total bar of the window. A text too long for the bar is cut at its end
// ("...") in the bar, and the whole text, its placeholders filled in, is
// offered for a label beneath the bar: the bar never cuts a sentence at both
// ends.
class TotalBar : public QProgressBar
{
    Q_OBJECT

public:
    explicit TotalBar(QWidget* parent = nullptr);

    // The text as the bar's format says, whole, with the percentage filled in.
    QString wholeText() const;
    // Whether the bar shows less than the whole text, since it does not fit.
    bool isShortened() const;
    // What the bar shows: the whole text, or its start where it does not fit.
    QString text() const override;

    // Sets the bar's format and tells whoever shows the whole text.
    void setText(const QString& format);

signals:
    // The whole text or whether the bar shortens it has changed.
    void wholeTextChanged(const QString& wholeText, bool shortened);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void tell();
    // The width the bar's text may take.
    int room() const;

    QString toldText;
    bool toldShortened = false;
};
