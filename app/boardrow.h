#pragma once

#include "trvinterface.h"
#include "trvupdater.h"

#include <QCoreApplication>
#include <QString>

class HexReader;
class QCheckBox;
class QLabel;
class QProgressBar;
class QToolButton;
class QWidget;

// One board's row in the window: its check box, the version it reports, its
// progress bar, and the file label and load button of its group (the five
// sensor rows share theirs). It shows what it is told and names its widgets
// for assistive technology by the board and what they show now.
class BoardRow
{
    Q_DECLARE_TR_FUNCTIONS(BoardRow)

public:
    using PartType = trvInterface::PartType;

    struct Widgets
    {
        QCheckBox* checkbox;
        QLabel* versionLabel;
        QProgressBar* bar;
        QLabel* fileStateLabel;
        QToolButton* loadButton;
    };

    BoardRow(PartType board, const Widgets& widgets);

    PartType board() const;
    QCheckBox* checkbox() const;
    QProgressBar* bar() const;
    QToolButton* loadButton() const;

    // The board's reported version (empty: unknown) and the image ready for it.
    void showVersion(const QString& reportedVersion, const HexReader& image);
    // The bar reads text followed by its percentage; an empty text leaves the bar blank.
    void showText(const QString& text);
    // The bar's look and text for an engine state.
    void showState(trvUpdater::State state, trvUpdater::Err error);
    void showProgress(int value);
    void showMaximum(int maximum);
    // Whether the board takes part in an update: its box is enabled and either
    // checked or every answered board is meant (simple mode).
    bool isChosen(bool advancedMode) const;

    // A size as a three-character number and its unit, e.g. " 89 kB".
    static QString formatByteCount(int bytes);
    // Tells assistive technology that the bar's text has changed: it becomes
    // the bar's description, and a description change is announced.
    static void announce(QProgressBar* bar);

private:
    // The file label: name, then date and size where known.
    void showImage(const QString& name, const QString& date, int size);
    void nameForAssistiveTechnology();

    PartType part;
    Widgets widgets;
};

// Evaluates the style sheet for the widget again, so that rules selecting on
// its dynamic properties take effect.
void repolish(QWidget* widget);
