#include "boardrow.h"

#include "boardtable.h"
#include "hexreader.h"
#include "totalbar.h"
#include "usertexts.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QToolButton>

BoardRow::BoardRow(PartType board, const Widgets& rowWidgets) : part(board), widgets(rowWidgets)
{
    nameForAssistiveTechnology();
}

BoardRow::PartType BoardRow::board() const
{
    return part;
}

QCheckBox* BoardRow::checkbox() const
{
    return widgets.checkbox;
}

QProgressBar* BoardRow::bar() const
{
    return widgets.bar;
}

QToolButton* BoardRow::loadButton() const
{
    return widgets.loadButton;
}

void BoardRow::showVersion(const QString& reportedVersion, const HexReader& image)
{
    QString name;
    QString date;
    int size = 0;
    switch (image.state) {
    case HexReader::FileOk:
        name = UserTexts::imageName(image);
        date = image.date;
        size = image.data.size();
        break;
    case HexReader::FileAccessDenied:
        name = tr("No valid firmware file");
        break;
    case HexReader::InvalidData:
        name = tr("Firmwarefile with invalid data");
        break;
    case HexReader::Corrupted:
        name = tr("Corrupted firmware file");
        break;
    default:
        break;
    }
    widgets.versionLabel->setText(reportedVersion);
    showImage(name, date, size);
    nameForAssistiveTechnology();
}

void BoardRow::showImage(const QString& name, const QString& date, int size)
{
    QString text = name;
    if (size >= 1 && !date.isEmpty()) {
        text += QString(" (%1, %2)").arg(date, formatByteCount(size));
    } else if (!date.isEmpty()) {
        text += QString(" (%1)").arg(date);
    } else if (size >= 1) {
        text += QString(" (%1)").arg(formatByteCount(size));
    }
    widgets.fileStateLabel->setText(text);
}

QString BoardRow::formatByteCount(int bytes)
{
    if (bytes > 1024 * 1024) {
        return QString("%1 MB").arg(bytes / 1048576.0, 3, 'f', 0);
    }
    if (bytes > 1024) {
        return QString("%1 kB").arg(bytes / 1024.0, 3, 'f', 0);
    }
    return QString("%1 Byte").arg(double(bytes), 3, 'f', 0);
}

void BoardRow::nameForAssistiveTechnology()
{
    const QString rowName = BoardTable::rowName(part);
    const QString groupName = BoardTable::groupName(part);
    widgets.checkbox->setAccessibleName(rowName);
    const QString version = widgets.versionLabel->text();
    widgets.versionLabel->setAccessibleName(
        version.isEmpty() ? tr("%1 installed version: unknown").arg(rowName)
                          : tr("%1 installed version: %2").arg(rowName, version));
    widgets.bar->setAccessibleName(tr("%1 progress").arg(rowName));
    widgets.fileStateLabel->setAccessibleName(
        tr("%1 firmware file: %2").arg(groupName, widgets.fileStateLabel->text()));
    widgets.loadButton->setAccessibleName(tr("Load a firmware file for %1").arg(groupName));
}

void BoardRow::showText(const QString& text)
{
    widgets.bar->setFormat(text.isEmpty() ? QString() : text + " (%p%)");
    announce(widgets.bar);
}

void BoardRow::showProgress(int value)
{
    widgets.bar->setValue(value);
}

void BoardRow::showMaximum(int maximum)
{
    widgets.bar->setRange(0, maximum);
}

bool BoardRow::isChosen(bool advancedMode) const
{
    if (!widgets.checkbox->isEnabled()) {
        return false;
    }
    return widgets.checkbox->isChecked() || !advancedMode;
}

void BoardRow::showState(trvUpdater::State state, trvUpdater::Err error)
{
    QProgressBar* bar = widgets.bar;
    bar->setProperty("working", false);
    bar->setProperty("pending", false);
    bar->setProperty("done", false);
    bar->setProperty("error", false);

    switch (state) {
    case trvUpdater::VerifyVersion:
    case trvUpdater::WaitForDevice:
    case trvUpdater::Restarting:
    case trvUpdater::WaitForReconnect:
        // Waiting on the board, for no known time: a busy bar.
        bar->setProperty("pending", true);
        bar->setRange(0, 0);
        bar->setFormat(trvUpdater::stateDesription(state));
        bar->setTextVisible(true);
        break;
    case trvUpdater::Failed:
        bar->setProperty("error", true);
        // Where the transfer stopped; a busy bar stood for a transfer complete.
        if (bar->maximum() == 0) {
            bar->setRange(0, 1);
            bar->setValue(1);
        }
        bar->setFormat(trvUpdater::errorDescription(error));
        break;
    case trvUpdater::Succeeded:
        bar->setProperty("done", true);
        bar->setRange(0, 1);
        bar->setValue(1);
        bar->setFormat(trvUpdater::stateDesription(state));
        break;
    default:
        bar->setProperty("working", true);
        bar->setFormat(trvUpdater::stateDesription(state) + " (%p%)");
        break;
    }
    repolish(bar);
    announce(bar);
}

void BoardRow::announce(QProgressBar* bar)
{
    // The whole text, also where the bar shows only its start.
    const auto* total = qobject_cast<TotalBar*>(bar);
    bar->setAccessibleDescription(total ? total->wholeText() : bar->text());
    QAccessibleEvent changed(bar, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

void repolish(QWidget* widget)
{
    QStyle* style = widget->style();
    style->unpolish(widget);
    style->polish(widget);
}
