#include "totalbar.h"

#include <QFontMetrics>
#include <QResizeEvent>

TotalBar::TotalBar(QWidget* parent) : QProgressBar(parent)
{
    connect(this, &QProgressBar::valueChanged, this, &TotalBar::tell);
}

QString TotalBar::wholeText() const
{
    return QProgressBar::text();
}

bool TotalBar::isShortened() const
{
    return fontMetrics().horizontalAdvance(wholeText()) > room();
}

QString TotalBar::text() const
{
    const QString whole = wholeText();
    return isShortened() ? fontMetrics().elidedText(whole, Qt::ElideRight, room()) : whole;
}

void TotalBar::setText(const QString& format)
{
    setFormat(format);
    tell();
}

void TotalBar::resizeEvent(QResizeEvent* event)
{
    QProgressBar::resizeEvent(event);
    tell();
}

void TotalBar::tell()
{
    const QString whole = wholeText();
    const bool shortened = isShortened();
    if (whole == toldText && shortened == toldShortened) {
        return;
    }
    toldText = whole;
    toldShortened = shortened;
    update();
    emit wholeTextChanged(whole, shortened);
}

int TotalBar::room() const
{
    // The frame and its rounded corners, and a little air on either side.
    return contentsRect().width() - 2 * fontMetrics().averageCharWidth() - 10;
}
