#pragma once

#include "hexreader.h"
#include "servicelog.h"
#include "trvinterface.h"
#include "trvsession.h"
#include "trvtiming.h"
#include "trvupdater.h"
#include "trvupdatesequence.h"
#include "updatehistory.h"

#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QString>

class QCheckBox;
class QCloseEvent;
class QKeyEvent;
class QLabel;
class QProgressBar;
class QToolButton;
class QShortcut;
class QShowEvent;
class SessionRecorder;
class Ui_trvLoader;

// The tool's only window: the instrument's boards with their versions and the
// firmware images ready for them, the connection to the instrument, and the
// update of the chosen boards one step after the other.
class trvLoader : public QDialog
{
    Q_OBJECT

public:
    using PartType = trvInterface::PartType;

    // The timing is the instrument's unless a test hands shorter waits.
    explicit trvLoader(QWidget* parent = nullptr, const trvTiming& timing = trvTiming());
    ~trvLoader() override;

protected slots:
    void showLicense();
    void trvConnected();
    void trvDisconnected();
    void trvFirmwareVersion(trvInterface::PartType part, QString version);
    // The instrument is on the bus but cannot be opened (errorNumber not 0), or no longer so.
    void trvOpenRefusal(int errorNumber);
    // Behind the three load buttons: asks for files and offers each for its board.
    void openFirmware();
    void loadFirmware(QString path);
    // Makes the three built-in images the ones to install again.
    void loadFirmwareFiles();
    // Redraws every row's version and file label.
    void updateFileState();
    // The hidden tool that sorts and stamps firmware files (Ctrl+Alt+F8).
    void calcChecksum();
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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

    // One board's row. For NoPart and values outside 1 to 7 these do nothing
    // and return null or false.
    QProgressBar* partBar(PartType part);
    QCheckBox* partCheckbox(PartType part);
    // The bar reads text followed by its percentage; an empty text leaves the bar blank.
    void showState(PartType part, QString text);
    // The row's look and text for an engine state; for currentPart also the total bar's text.
    void showState(PartType part, trvUpdater::State state, trvUpdater::Err error);
    void showProgress(PartType part, int value);
    void showProgressMax(PartType part, int max);
    void setCheckEnable(PartType part, bool enable);
    void setChecked(PartType part, bool checked);
    // Whether the board takes part in an update: its box is enabled and either
    // checked or advanced mode is off.
    bool isChecked(PartType part);

    // Shows the board's reported version and the image ready for it.
    void setFileState(const QString& reportedVersion, const HexReader& reader, PartType part);
    // Sets the board's file label: name, then date and size where known.
    void showFirmwareInfo(PartType part, QString name, QString date, int size);
    // A size as a three-character number and its unit, e.g. " 89 kB".
    static QString formatByteCount(int bytes);

private:
    // One board's row: its widgets; the session holds what the board reported.
    struct Row
    {
        PartType part;
        QCheckBox* checkbox;
        QLabel* versionLabel;
        QProgressBar* bar;
        QLabel* fileStateLabel; // shared by the five sensor boards
    };

    // The board's row; null for NoPart and values outside 1 to 7.
    Row* row(PartType part);
    // The button that loads a file for the board's group.
    QToolButton* loadButton(PartType part) const;
    // Names the row's widgets for assistive technology by the board they are
    // for, with what they show now (a screen reader reads the name).
    void nameForAssistiveTechnology(const Row& board);
    // The tab order: the update's controls, then each group's load button and
    // check boxes in the order of the rows, then the licence button.
    void setKeyboardOrder();
    // Sets the total bar's text and tells assistive technology.
    void setTotalText(const QString& format);
    // The line under the total bar; an empty text hides it.
    void setNote(const QString& text);
    // The total bar's look after a failure: its text and the note what to do.
    void showFailure();
    // Tells assistive technology that the bar's text has changed: it becomes
    // the bar's description, and a description change is announced.
    static void announce(QProgressBar* bar);
    QLabel* partVersionLabel(PartType part);
    // The reasons to think twice before the planned update, one line each;
    // empty when the update may start at once.
    QStringList updateConcerns(const trvSession::Plan& plan);
    // Whether the question before the update offers to update the other
    // boards and keep those with an older image as they are.
    static bool canKeepOlder(const trvSession::Plan& plan);
    // Whether the update is in the main board's restart, when the instrument
    // is away from USB on purpose.
    bool mainboardRestarting() const;
    // The total bar's waiting text: why the instrument cannot be opened, if it
    // is there, else "Waiting for USB connection".
    void showWaiting();
    // The total bar's text while connected and idle: ready, or images missing.
    void showReady();
    // The rows show what the boards run now, and the answered ones can be chosen again.
    void askVersionsAgain();
    // The load buttons and the stamping tool's shortcuts: inactive while an
    // update runs, so that the images it sends stay as they are.
    void setFileLoadingEnabled(bool enabled);

    trvInterface* device;
    // The connection, the images and the plan of an update.
    trvSession* session;
    trvUpdateSequence* sequence; // the session's: the update of the chosen boards, step by step
    UpdateHistory history;       // this user's, shared with the command line
    ServiceLog serviceLog;
    SessionRecorder* recorder; // keeps the session's history and log
    // A word for the user waiting to be shown from the event loop.
    struct Notice
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };
    QList<Notice> pendingNotices;
    QShortcut* checksumShortcut;
    // The same slot, where the desktop takes Ctrl+Alt+F8 for itself.
    QShortcut* checksumShortcutAlternative;
    QList<PartType> parts; // all seven boards in the order of the rows
    QList<Row> rows;       // in the order of parts
    int explainedRefusal;  // the open refusal last explained in a message box; 0: none
    bool failureShown;     // the last update's failure stands in the total bar
    Ui_trvLoader* ui;
};

// Evaluates the style sheet for the widget again, so that rules selecting on
// its dynamic properties take effect.
void repolish(QWidget* widget);
