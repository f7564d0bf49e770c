#include "trvloader.h"

#include "boardtable.h"
#include "decorativeaccessible.h"
#include "fileoffering.h"
#include "helpdialog.h"
#include "instrumentchooser.h"
#include "instrumenthost.h"
#include "supportreportdialog.h"
#include "totalbar.h"
#include "trvinstrument.h"
#include "trvupdatesequence.h"
#include "ui_trvloader.h"
#include "usertexts.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QToolButton>
#include <QWindow>

#include <algorithm>

trvLoader::trvLoader(InstrumentHost* instrumentHost, QWidget* parent)
    : QDialog(parent), host(instrumentHost), ui(new Ui_trvLoader)
{
    setUp();
}

trvLoader::trvLoader(QWidget* parent, const trvTiming& timing)
    : QDialog(parent), host(new InstrumentHost(QStringLiteral("window"), timing, this)),
      ui(new Ui_trvLoader)
{
    setUp();
}

void trvLoader::setUp()
{
    instrument = host->instrument();
    sequence = instrument->sequence();

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    // The logo links to the maker's website for the mouse; a reader, which
    // could not follow the link (it is out of the keyboard's reach), passes
    // over it as a picture without a name.
    DecorativeAccessible::install();
    ui->setupUi(this);
    const auto widgets = [this](QCheckBox* check, QLabel* version, QProgressBar* bar, QLabel* file,
                                QToolButton* load) {
        return BoardRow::Widgets{check, version, bar, file, load};
    };
    rows = {
        {trvInterface::Sensor5, widgets(ui->checkSensor5, ui->versionSensor5, ui->progressSensor5,
                                        ui->fileStateSensor, ui->loadSensor)},
        {trvInterface::Sensor1, widgets(ui->checkSensor1, ui->versionSensor1, ui->progressSensor1,
                                        ui->fileStateSensor, ui->loadSensor)},
        {trvInterface::Sensor2, widgets(ui->checkSensor2, ui->versionSensor2, ui->progressSensor2,
                                        ui->fileStateSensor, ui->loadSensor)},
        {trvInterface::Sensor3, widgets(ui->checkSensor3, ui->versionSensor3, ui->progressSensor3,
                                        ui->fileStateSensor, ui->loadSensor)},
        {trvInterface::Sensor4, widgets(ui->checkSensor4, ui->versionSensor4, ui->progressSensor4,
                                        ui->fileStateSensor, ui->loadSensor)},
        {trvInterface::Terminal,
         widgets(ui->checkTerminal, ui->versionTerminal, ui->progressTerminal,
                 ui->fileStateTerminal, ui->loadTerminal)},
        {trvInterface::Mainboard,
         widgets(ui->checkMainboard, ui->versionMainboard, ui->progressMainboard,
                 ui->fileStateMainboard, ui->loadMainboard)},
    };

    ui->totalProgress->setAccessibleName(tr("Total progress"));
    ui->frameworkInfo->setAccessibleName(tr("Help, licences and report for support"));
    ui->updateNote->hide();
    ui->totalText->hide();
    // Where the total bar cannot show its whole text, the label beneath it does.
    connect(ui->totalProgress, &TotalBar::wholeTextChanged, this,
            [this](const QString& text, bool shortened) {
                ui->totalText->setText(shortened ? text : QString());
                ui->totalText->setVisible(shortened);
                fitScreen();
            });
    // Above the controls, which stay disabled while no instrument is
    // connected: with several attached, the choice is what opens one.
    chooser = new InstrumentChooser(host, this);
    ui->verticalLayout->insertWidget(ui->verticalLayout->indexOf(ui->mainControl), chooser);
    connect(host, &InstrumentHost::attachedChanged, this, [this] {
        if (!host->isConnected() && !mainboardRestarting()) {
            showWaiting();
        }
        fitScreen();
    });
    setKeyboardOrder();

    trvDisconnected();

    connect(ui->frameworkInfo, SIGNAL(clicked()), this, SLOT(showLicense()));

    connect(host, SIGNAL(connected()), this, SLOT(trvConnected()));
    connect(host, SIGNAL(disconnected()), this, SLOT(trvDisconnected()));
    connect(host, SIGNAL(versionReported(trvInterface::PartType, QString)), this,
            SLOT(trvFirmwareVersion(trvInterface::PartType, QString)));
    connect(host, SIGNAL(openRefusalChanged(int)), this, SLOT(trvOpenRefusal(int)));
    connect(host, &InstrumentHost::unfinishedUpdate, this, &trvLoader::showUnfinishedUpdate);
    connect(host, &InstrumentHost::recordUnavailable, this, &trvLoader::showRecordUnavailable);

    files = new FileOffering(host, this);
    for (QToolButton* load : {ui->loadMainboard, ui->loadTerminal, ui->loadSensor}) {
        connect(load, &QToolButton::clicked, files, &FileOffering::chooseFiles);
    }
    connect(files, &FileOffering::imagesChanged, this, &trvLoader::updateFileState);
    connect(ui->advanced, SIGNAL(clicked()), this, SLOT(advancedClicked()));
    for (const BoardRow& board : qAsConst(rows)) {
        connect(board.checkbox(), SIGNAL(clicked()), this, SLOT(selectionChanged()));
    }
    connect(ui->supportReport, &QPushButton::clicked, this, &trvLoader::showSupportReport);

    connect(sequence, SIGNAL(stepStarted()), this, SLOT(nextUpdate()));
    connect(instrument, SIGNAL(updateSucceeded()), this, SLOT(updateSucceeded()));
    connect(instrument, SIGNAL(updateFailed()), this, SLOT(updateFailed()));
    connect(instrument, SIGNAL(waitingForLateReturn()), this, SLOT(lateReturnAwaited()));
    connect(host, &InstrumentHost::waitingForRestart, this, &trvLoader::restartAwaited);
    // Beside the total bar, whose own text stays as the step says.
    ui->timeLeft->hide();
    connect(host, &InstrumentHost::timeLeftChanged, this, [this](int seconds) {
        ui->timeLeft->setText(seconds < 0 ? QString() : UserTexts::timeLeftText(seconds));
        ui->timeLeft->setVisible(seconds >= 0);
    });
    connect(sequence, SIGNAL(stepDone()), this, SLOT(updateDone()));
    connect(sequence, SIGNAL(range(int, int)), this, SLOT(updateRange(int, int)));
    connect(sequence, SIGNAL(process(int)), this, SLOT(updatePosition(int)));
    connect(sequence, SIGNAL(currentState(trvUpdater::State, trvUpdater::Err)), this,
            SLOT(updateState(trvUpdater::State, trvUpdater::Err)));
    connect(ui->startUpdate, SIGNAL(clicked()), this, SLOT(startUpdate()));

    // A damaged built-in image shows in its row's file label.
    host->readBuiltInImages();
    updateFileState();

    for (BoardRow& board : rows) {
        board.showText(QString());
        board.showProgress(0);
    }

    host->lookForInstrument(InstrumentHost::AtNextTick);
}

trvLoader::~trvLoader()
{
    delete ui;
}

// --- Frame: show, keys, close

void trvLoader::showEvent(QShowEvent*)
{
    ui->controlWidget->hide();
    ui->advanced->setChecked(false);
    if (QWindow* window = windowHandle()) {
        connect(window, &QWindow::screenChanged, this, &trvLoader::fitScreen,
                Qt::UniqueConnection);
    }
}

void trvLoader::fitScreen()
{
    if (!ui->controlWidget->isVisible() || fitPending) {
        return; // simple mode is small enough for any screen
    }
    // Once the window's layout has taken in what has changed.
    fitPending = true;
    QMetaObject::invokeMethod(this, "fitScreenNow", Qt::QueuedConnection);
}

void trvLoader::fitScreenNow()
{
    fitPending = false;
    if (!ui->controlWidget->isVisible()) {
        return;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QScreen* screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen->availableGeometry();
    QScrollArea* table = ui->boardTable;
    const QSize whole =
        table->widget()->sizeHint().expandedTo(table->widget()->minimumSizeHint());
    // The rest of the window, and its frame: the title bar, where the window
    // system has not told its height yet, reckoned as two lines of text.
    const int rest = height() - table->height();
    const int frame = std::max(frameGeometry().height() - geometry().height(),
                               2 * fontMetrics().height());
    const int room = available.height() - frame - rest;
    // At least a few rows, where a screen is smaller than any sensible one.
    const int tableHeight = std::min(whole.height(), std::max(room, 4 * fontMetrics().height()));
    const bool scrolls = tableHeight < whole.height();
    table->setFixedHeight(tableHeight);
    table->setMinimumWidth(whole.width() +
                           (scrolls ? table->verticalScrollBar()->sizeHint().width() : 0));

    // Back onto the screen where the taller window would reach past it.
    const QSize size(frameGeometry().width(), rest + tableHeight + frame);
    const QRect place(frameGeometry().topLeft(), size.boundedTo(available.size()));
    const QPoint topLeft(
        std::max(available.left(), std::min(place.left(), available.right() + 1 - place.width())),
        std::max(available.top(), std::min(place.top(), available.bottom() + 1 - place.height())));
    if (topLeft != frameGeometry().topLeft()) {
        move(topLeft);
    }
}

void trvLoader::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void trvLoader::closeEvent(QCloseEvent* event)
{
    if (!instrument->isUpdating()) {
        event->accept();
        return;
    }
    host->logUserAction(QStringLiteral("Window closed during an update: asked whether to cancel"));
    // No is the default: Return after Escape must never abort a board half way.
    const QMessageBox::StandardButton answer = QMessageBox::critical(
        this, tr("Cancel update"), tr("Do you really want to cancel the firmware  update?"),
        QMessageBox::No | QMessageBox::Yes, QMessageBox::No);
    if (answer == QMessageBox::No) {
        host->logUserAction(QStringLiteral("Cancel question answered No: the update goes on"));
        event->ignore();
    } else {
        host->logUserAction(
            QStringLiteral("Cancel question answered Yes: the update is canceled, the window "
                           "closes"));
        // Nothing more is sent, and the record says the step was canceled.
        instrument->abort();
        event->accept();
    }
}

// --- The service record

void trvLoader::showUnfinishedUpdate(const HistoryRecord& record)
{
    pendingNotices.append(
        {QMessageBox::Information, tr("Update did not finish"), UserTexts::unfinishedText(record)});
    // Told from the event loop, not from inside the connect that found it.
    QMetaObject::invokeMethod(this, "showNotices", Qt::QueuedConnection);
}

void trvLoader::showRecordUnavailable(const QString& text)
{
    pendingNotices.append(
        {QMessageBox::Warning, tr("Update history not kept"),
         tr("%1.\n\nThe update history and the log are not kept; everything else works as "
            "before.")
             .arg(text)});
    QMetaObject::invokeMethod(this, "showNotices", Qt::QueuedConnection);
}

void trvLoader::showNotices()
{
    while (!pendingNotices.isEmpty()) {
        const Notice notice = pendingNotices.takeFirst();
        QMessageBox box(notice.icon, notice.title, notice.text, QMessageBox::Ok, this);
        box.exec();
    }
}

void trvLoader::showSupportReport()
{
    SupportReportDialog dialog(host->supportReport(QStringLiteral("trvloader")), this);
    dialog.exec();
}

// --- Rows

BoardRow* trvLoader::row(PartType part)
{
    for (BoardRow& candidate : rows) {
        if (candidate.board() == part) {
            return &candidate;
        }
    }
    return nullptr;
}

void trvLoader::setKeyboardOrder()
{
    QList<QWidget*> order = {ui->advanced, ui->startUpdate};
    for (const BoardRow& board : qAsConst(rows)) {
        if (!order.contains(board.loadButton())) {
            order.append(board.loadButton());
        }
        order.append(board.checkbox());
    }
    order.append(ui->supportReport);
    order.append(ui->frameworkInfo);
    for (QWidget* widget : qAsConst(order)) {
        widget->setFocusPolicy(Qt::StrongFocus);
    }
    for (int index = 1; index < order.size(); ++index) {
        setTabOrder(order.at(index - 1), order.at(index));
    }
}

void trvLoader::setTotalText(const QString& format)
{
    ui->totalProgress->setText(format);
    BoardRow::announce(ui->totalProgress);
}

void trvLoader::setNote(const QString& text)
{
    ui->updateNote->setText(text);
    ui->updateNote->setVisible(!text.isEmpty());
    fitScreen();
}

// --- Connection and versions

void trvLoader::trvDisconnected()
{
    ui->controlWidget->setEnabled(false);
    ui->mainControl->setEnabled(false);
    // The main board's restart takes it off USB on purpose: the total bar goes
    // on showing the update rather than a lost instrument.
    if (mainboardRestarting()) {
        return;
    }
    showWaiting();
}

void trvLoader::showWaiting()
{
    const int refusal = host->openRefusal();
    if (refusal == 0 && failureShown) {
        return; // the failure says what to do, also while the instrument is away
    }
    if (refusal == 0 && host->choiceNeeded()) {
        setTotalText(tr("Choose the instrument to update"));
        return;
    }
    setTotalText(refusal != 0 ? UsbHid::refusalDescription(refusal)
                              : QString("Waiting for USB connection"));
}

void trvLoader::showReady()
{
    setTotalText(instrument->imagesUsable() ? tr("Ready to start firmware update")
                                            : tr("One or more firmware files are missing"));
    showWhatIsKnown();
}

void trvLoader::showWhatIsKnown()
{
    if (!ui->mainControl->isEnabled() || instrument->isUpdating() || failureShown ||
        successShown) {
        return; // the note says what the last update did, or nothing
    }
    QStringList notes;
    // Advanced mode shows the versions and the files in its table.
    if (!ui->advanced->isChecked()) {
        if (instrument->plan(BoardTable::boards()).allCurrent) {
            notes << tr("Every board that answered already runs the firmware this tool installs.");
        }
        for (BoardTable::Group group : BoardTable::groups()) {
            const QString file = instrument->imageFile(group);
            if (!file.isEmpty() && instrument->image(group).state == HexReader::FileOk) {
                notes << tr("The firmware file %1 replaces the built-in firmware of the %2.")
                             .arg(QFileInfo(file).fileName(), BoardTable::groupName(group));
            }
        }
    }
    setNote(notes.join("\n"));
}

void trvLoader::trvConnected()
{
    ui->controlWidget->setEnabled(true);
    ui->mainControl->setEnabled(true);

    // The instrument asks the boards for their versions right after this.
    explainedRefusal = 0;
    successShown = false;
    for (BoardRow& board : rows) {
        board.checkbox()->setEnabled(false);
    }

    if (failureShown) {
        showFailure();
    } else if (!instrument->isUpdating()) {
        setNote(QString());
        showReady();
        ui->totalProgress->setValue(0);
    }
}

void trvLoader::trvFirmwareVersion(trvInterface::PartType part, QString)
{
    if (BoardRow* board = row(part)) {
        if (!instrument->isUpdating()) {
            board->checkbox()->setEnabled(true);
        }
    }
    updateFileState();
}

void trvLoader::trvOpenRefusal(int errorNumber)
{
    if (ui->mainControl->isEnabled() || mainboardRestarting()) {
        return; // connected: a refusal of another attempt is not the user's concern
    }
    showWaiting();
    if (errorNumber != 0 && errorNumber != explainedRefusal) {
        // Not from inside the link's poll tick: the box waits for its answer.
        QMetaObject::invokeMethod(this, "explainOpenRefusal", Qt::QueuedConnection);
    }
}

void trvLoader::explainOpenRefusal()
{
    const int refusal = host->openRefusal();
    if (refusal == 0 || refusal == explainedRefusal) {
        return;
    }
    explainedRefusal = refusal;
    QMessageBox::warning(this, tr("Instrument cannot be opened"), host->refusalText(),
                         QMessageBox::Ok);
}

bool trvLoader::mainboardRestarting() const
{
    return instrument && instrument->mainboardRestarting();
}

// --- Firmware files

void trvLoader::updateFileState()
{
    // The main board first and the sensor boards last, so that the shared sensor
    // label is drawn once per board as it always was.
    for (int index = rows.size() - 1; index >= 0; --index) {
        BoardRow& board = rows[index];
        board.showVersion(instrument->reportedVersion(board.board()),
                          instrument->imageFor(board.board()));
    }
    showWhatIsKnown();
}

// --- Advanced mode and licence

void trvLoader::advancedClicked()
{
    ui->controlWidget->setVisible(ui->advanced->isChecked());
    showWhatIsKnown();
    fitScreen();
}

void trvLoader::showLicense()
{
    HelpDialog help(this);
    help.exec();
    if (help.reportAsked()) {
        host->logUserAction(QStringLiteral("Report for Support chosen in the help box"));
        showSupportReport();
    }
}

// --- Update

void trvLoader::startUpdate()
{
    if (sequence->isRunning()) {
        return; // one update at a time
    }
    // In simple mode every board is meant; the plan tells those that have not answered.
    const bool advancedMode = ui->advanced->isChecked();
    QList<PartType> asked;
    for (const BoardRow& board : qAsConst(rows)) {
        if (!advancedMode || board.isChosen(advancedMode)) {
            asked << board.board();
        }
    }
    UpdatePlan plan = instrument->plan(asked);
    QStringList askedNames;
    for (PartType board : qAsConst(asked)) {
        askedNames << BoardTable::commandName(board);
    }
    host->logUserAction(
        QStringLiteral("Start Update pressed (%1 mode) for %2")
            .arg(advancedMode ? QStringLiteral("advanced") : QStringLiteral("simple"),
                 askedNames.isEmpty() ? QStringLiteral("no board")
                                      : askedNames.join(QStringLiteral(", "))));

    // Advanced mode shows the boards: those left out and those current are not repeated.
    const QStringList concerns = host->concerns(plan, advancedMode);
    if (!concerns.isEmpty()) {
        QMessageBox question(QMessageBox::Question, tr("Start firmware update"),
                             concerns.join("\n\n") + "\n\n" +
                                 tr("Do you want to start the update anyway?"),
                             QMessageBox::Yes | QMessageBox::No, this);
        QAbstractButton* updateOthers = nullptr;
        if (InstrumentHost::canKeepOlder(plan)) {
            updateOthers = question.addButton(tr("Update the Others"), QMessageBox::AcceptRole);
        }
        // The default keeps everything as it was: nothing is sent.
        question.setDefaultButton(QMessageBox::No);
        question.setEscapeButton(QMessageBox::No);
        question.exec();
        const bool yes = question.clickedButton() == question.button(QMessageBox::Yes);
        const bool others = updateOthers && question.clickedButton() == updateOthers;
        host->logUserAction(QStringLiteral("Start question answered %1")
                                .arg(others ? QStringLiteral("Update the Others")
                                     : yes  ? QStringLiteral("Yes")
                                            : QStringLiteral("No")));
        if (others) {
            plan = instrument->withoutOlder(plan);
        } else if (!yes) {
            return;
        }
    }
    if (!plan.boards.isEmpty() && !instrument->isCurrent(plan)) {
        host->logUserAction(
            QStringLiteral("Update not started: the instrument was disconnected while the "
                           "question was open"));
        // Unplugged while the question was open: the answer was for that instrument.
        setTotalText(UserTexts::goneBeforeStartText());
        return;
    }

    for (BoardRow& board : rows) {
        board.showProgress(0);
        board.showText(QString());
    }
    QProgressBar* total = ui->totalProgress;
    total->setProperty("done", false);
    total->setProperty("partial", false);
    total->setProperty("error", false);
    total->setProperty("working", true);
    repolish(total);
    total->setValue(0);

    if (plan.boards.isEmpty()) {
        QMessageBox::information(this, tr("No update selected"),
                                 tr("No board has been selected for firmware update. Please "
                                    "select boards you want to update."),
                                 QMessageBox::Ok);
        return;
    }
    total->setRange(0, plan.steps.size() * trvUpdateSequence::unitsPerStep);
    instrument->start(plan);
}

void trvLoader::nextUpdate()
{
    // A new start: the last update's failure has had its time.
    failureShown = false;
    successShown = false;
    setNote(QString());
    ui->startUpdate->setEnabled(false);
    setFileLoadingEnabled(false);
    chooser->setUpdating(true);
}

void trvLoader::updateSucceeded()
{
    if (instrument->cameBackLate()) {
        showState(trvInterface::Mainboard, trvUpdater::Succeeded, trvUpdater::NoError);
    }
    ui->startUpdate->setEnabled(true);
    setFileLoadingEnabled(true);
    chooser->setUpdating(false);
    QProgressBar* total = ui->totalProgress;
    // Boards left out on purpose: a success, but not of every board asked for.
    const bool partial = !instrument->leftOut().isEmpty();
    total->setProperty("done", !partial);
    total->setProperty("partial", partial);
    total->setProperty("error", false);
    total->setProperty("working", false);
    setTotalText(tr("Firmware update successfull"));
    repolish(total);
    successShown = true;
    QStringList notes;
    if (instrument->cameBackLate()) {
        notes << UserTexts::lateReturnText(instrument->reportedVersion(trvInterface::Mainboard));
    }
    for (const QString& note : {UserTexts::leftOutText(instrument->leftOut()),
                                UserTexts::reinstalledText(instrument->reinstalled())}) {
        if (!note.isEmpty()) {
            notes << note;
        }
    }
    setNote(notes.join("\n"));
    // The rows show what the boards run now, and the answered ones can be chosen again.
    instrument->askVersions();
}

void trvLoader::restartAwaited(int millisecondsAtMost)
{
    // The bars stand still while the main board is away: say why, and how long at most.
    setNote(UserTexts::restartWaitText(millisecondsAtMost));
}

void trvLoader::lateReturnAwaited()
{
    setNote(QString()); // the bar says how long it waits now
    showState(trvInterface::Mainboard, trvUpdater::WaitForReconnect, trvUpdater::NoError);
    QProgressBar* total = ui->totalProgress;
    total->setProperty("working", true);
    total->setProperty("error", false);
    repolish(total);
    setTotalText(UserTexts::lateWaitText(instrument->timing().lateReturnTimeout));
}

void trvLoader::selectionChanged()
{
    if (!failureShown || instrument->isUpdating()) {
        return;
    }
    failureShown = false;
    setNote(QString());
    QProgressBar* total = ui->totalProgress;
    total->setProperty("error", false);
    repolish(total);
    total->setValue(0);
    if (ui->mainControl->isEnabled()) {
        showReady();
    } else {
        showWaiting();
    }
}

void trvLoader::showState(PartType part, trvUpdater::State state, trvUpdater::Err error)
{
    BoardRow* board = row(part);
    if (!board) {
        return;
    }
    board->showState(state, error);
    if (part == sequence->currentPart()) {
        const QString text = state == trvUpdater::Failed ? trvUpdater::errorDescription(error)
                                                         : trvUpdater::stateDesription(state);
        setTotalText(partName(part) + ": " + text + " (Total %p%)");
    }
}

void trvLoader::updateState(trvUpdater::State state, trvUpdater::Err error)
{
    for (PartType part : sequence->stepBoards()) {
        showState(part, state, error);
    }
}

void trvLoader::updateRange(int, int max)
{
    for (PartType part : sequence->stepBoards()) {
        if (BoardRow* board = row(part)) {
            board->showMaximum(max);
        }
    }
}

void trvLoader::updatePosition(int now)
{
    for (PartType part : sequence->stepBoards()) {
        if (BoardRow* board = row(part)) {
            board->showProgress(now);
        }
    }
    ui->totalProgress->setValue(sequence->totalValue());
}

void trvLoader::updateDone()
{
    for (PartType part : sequence->stepBoards()) {
        if (BoardRow* board = row(part)) {
            board->checkbox()->setChecked(false);
        }
    }
}

void trvLoader::updateFailed()
{
    const trvInstrument::Failure failure = instrument->failure();
    const QString text = trvUpdater::errorDescription(failure.error);
    for (PartType part : failure.boards) {
        // Also after the wait for a late main board, whose row was busy meanwhile.
        showState(part, trvUpdater::Failed, failure.error);
        if (BoardRow* board = row(part)) {
            board->showText(text);
        }
    }

    failureShown = true;
    showFailure();
    ui->startUpdate->setEnabled(true);
    chooser->setUpdating(false);
    setFileLoadingEnabled(true);
    instrument->askVersions();
}

void trvLoader::showFailure()
{
    const trvInstrument::Failure failure = instrument->failure();
    QProgressBar* total = ui->totalProgress;
    setTotalText(UserTexts::failureText(failure));
    setNote(UserTexts::failureAdvice(failure, UserTexts::Window));
    total->setProperty("working", false);
    total->setProperty("done", false);
    total->setProperty("partial", false);
    total->setProperty("error", true);
    total->setValue(total->maximum());
    repolish(total);
}

void trvLoader::setFileLoadingEnabled(bool enabled)
{
    for (QToolButton* load : {ui->loadMainboard, ui->loadTerminal, ui->loadSensor}) {
        load->setEnabled(enabled);
    }
    files->setEnabled(enabled);
}
