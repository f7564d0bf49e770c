#pragma once

#include "boardrow.h"
#include "trvinterface.h"
#include "trvtiming.h"
#include "trvupdater.h"
#include "updatehistory.h"

#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QString>

class FileOffering;
class InstrumentChooser;
class InstrumentHost;
class QCloseEvent;
class QKeyEvent;
class QShowEvent;
class Ui_trvLoader;
class trvInstrument;
class trvUpdateSequence;

// The tool's only window: the instrument's boards with their versions and the
// firmware images ready for them, the connection to the instrument, and the
// update of the chosen boards one step after the other. It shows what its
// instrument host says and asks it for what the user wants.
class trvLoader : public QDialog
{
    Q_OBJECT

public:
    using PartType = trvInterface::PartType;

    // On the host given, which must outlive the window (the program takes
    // the host's lock before it makes the window).
    explicit trvLoader(InstrumentHost* host, QWidget* parent = nullptr);
    // On a host of its own; the timing is the instrument's unless a test
    // hands shorter waits.
    explicit trvLoader(QWidget* parent = nullptr, const trvTiming& timing = trvTiming());
    ~trvLoader() override;

protected slots:
    // The "?" box: what the tool does, where its history is kept, the command
    // line, the licences, and the report for support, in every state.
    void showLicense();
    void trvConnected();
    void trvDisconnected();
    void trvFirmwareVersion(trvInterface::PartType part, QString version);
    // The instrument is on the bus but cannot be opened (errorNumber not 0), or no longer so.
    void trvOpenRefusal(int errorNumber);
    // Redraws every row's version and file label.
    void updateFileState();
    void startUpdate();
    // Follows the update from step to step.
    void nextUpdate();
    void updateRange(int min, int max);
    void updatePosition(int now);
    // The update has failed: the failure stays shown until the next start or
    // a change of the selection, also across a reconnect.
    void updateFailed();
    // Every step has succeeded: the success look, and the boards left out.
    void updateSucceeded();
    // The main board has left for its restart: the note says for how long at
    // most the update waits for it.
    void restartAwaited(int millisecondsAtMost);
    // The main board is late: the update goes on listening for it.
    void lateReturnAwaited();
    void updateState(trvUpdater::State state, trvUpdater::Err error);
    void updateDone();
    // The user has changed which boards to update: a failure shown gives way.
    void selectionChanged();
    void advancedClicked();
    // Says once per cause why the instrument cannot be opened, and how to fix it.
    void explainOpenRefusal();
    // The instrument's last recorded update did not finish: says which boards
    // may need a new update (once per record).
    void showUnfinishedUpdate(const HistoryRecord& record);
    // The history or log cannot be written: said once, the rest goes on.
    void showRecordUnavailable(const QString& text);
    // Shows the notices waiting, one message box each.
    void showNotices();
    // The report for support, with a button that copies it.
    void showSupportReport();
    // Advanced mode on the window's screen: the board table as tall as the
    // screen leaves room for, scrolling where it must, the buttons below and
    // above it on the screen.
    void fitScreen();
    void fitScreenNow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Builds the window on the host; the last step looks for the instrument.
    void setUp();
    // The board's row; null for NoPart and values outside 1 to 7.
    BoardRow* row(PartType part);
    // The row's look and text for an engine state; for the step's board that
    // stands for it also the total bar's text.
    void showState(PartType part, trvUpdater::State state, trvUpdater::Err error);
    // The tab order: the update's controls, then each group's load button and
    // check boxes in the order of the rows, then the licence button.
    void setKeyboardOrder();
    // Sets the total bar's text and tells assistive technology.
    void setTotalText(const QString& format);
    // The line under the total bar; an empty text hides it.
    void setNote(const QString& text);
    // The total bar's look after a failure: its text and the note what to do.
    void showFailure();
    // Whether the update is in the main board's restart, when the instrument
    // is away from USB on purpose.
    bool mainboardRestarting() const;
    // The total bar's waiting text: why the instrument cannot be opened, if it
    // is there, else "Waiting for USB connection".
    void showWaiting();
    // The total bar's text while connected and idle: ready, or images missing.
    void showReady();
    // Simple mode's note while ready: that every board that answered runs its
    // image's version, and which files replace built-in images.
    void showWhatIsKnown();
    // The load buttons and the stamping tool: inactive while an update runs,
    // so that the images it sends stay as they are.
    void setFileLoadingEnabled(bool enabled);

    InstrumentHost* host;
    trvInstrument* instrument;   // the host's: versions, images, the plan and the update
    trvUpdateSequence* sequence; // the instrument's: the update of the chosen boards, step by step
    FileOffering* files;
    InstrumentChooser* chooser; // the serial number; the choice among several instruments
    // A word for the user waiting to be shown from the event loop.
    struct Notice
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };
    QList<Notice> pendingNotices;
    QList<BoardRow> rows;      // all seven boards in the order of the rows
    int explainedRefusal = 0;  // the open refusal last explained in a message box; 0: none
    bool failureShown = false; // the last update's failure stands in the total bar
    bool successShown = false; // the last update's success, and its note, are shown
    bool fitPending = false;   // fitScreenNow() is on its way
    Ui_trvLoader* ui;
};
