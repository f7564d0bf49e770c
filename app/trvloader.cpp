#include "trvloader.h"

#include "boardtable.h"
#include "sessionrecorder.h"
#include "supportreport.h"
#include "supportreportdialog.h"
#include "ui_trvloader.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>

trvLoader::trvLoader(QWidget* parent, const trvTiming& timing)
    : QDialog(parent), device(nullptr), session(nullptr), sequence(nullptr), recorder(nullptr),
      checksumShortcut(nullptr), checksumShortcutAlternative(nullptr), explainedRefusal(0),
      failureShown(false), ui(new Ui_trvLoader)
{
    parts = BoardTable::boards();

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    ui->setupUi(this);
    rows = {
        {trvInterface::Sensor5, ui->checkSensor5, ui->versionSensor5, ui->progressSensor5,
         ui->fileStateSensor},
        {trvInterface::Sensor1, ui->checkSensor1, ui->versionSensor1, ui->progressSensor1,
         ui->fileStateSensor},
        {trvInterface::Sensor2, ui->checkSensor2, ui->versionSensor2, ui->progressSensor2,
         ui->fileStateSensor},
        {trvInterface::Sensor3, ui->checkSensor3, ui->versionSensor3, ui->progressSensor3,
         ui->fileStateSensor},
        {trvInterface::Sensor4, ui->checkSensor4, ui->versionSensor4, ui->progressSensor4,
         ui->fileStateSensor},
        {trvInterface::Terminal, ui->checkTerminal, ui->versionTerminal, ui->progressTerminal,
         ui->fileStateTerminal},
        {trvInterface::Mainboard, ui->checkMainboard, ui->versionMainboard, ui->progressMainboard,
         ui->fileStateMainboard},
    };

    for (const Row& board : qAsConst(rows)) {
        nameForAssistiveTechnology(board);
    }
    ui->totalProgress->setAccessibleName(tr("Total progress"));
    ui->updateNote->hide();
    setKeyboardOrder();

    trvDisconnected();

    connect(ui->frameworkInfo, SIGNAL(clicked()), this, SLOT(showLicense()));

    device = new trvInterface(this);
    session = new trvSession(device, timing, this);
    sequence = session->sequence();
    connect(session, SIGNAL(connected()), this, SLOT(trvConnected()));
    connect(device, SIGNAL(disconnected()), this, SLOT(trvDisconnected()));
    connect(session, SIGNAL(versionReported(trvInterface::PartType, QString)), this,
            SLOT(trvFirmwareVersion(trvInterface::PartType, QString)));
    connect(device, SIGNAL(openRefusalChanged(int)), this, SLOT(trvOpenRefusal(int)));

    connect(ui->loadMainboard, SIGNAL(clicked()), this, SLOT(openFirmware()));
    connect(ui->loadTerminal, SIGNAL(clicked()), this, SLOT(openFirmware()));
    connect(ui->loadSensor, SIGNAL(clicked()), this, SLOT(openFirmware()));
    connect(ui->advanced, SIGNAL(clicked()), this, SLOT(advancedClicked()));
    for (const Row& board : qAsConst(rows)) {
        connect(board.checkbox, SIGNAL(clicked()), this, SLOT(selectionChanged()));
    }
    connect(ui->supportReport, &QPushButton::clicked, this, &trvLoader::showSupportReport);

    recorder = new SessionRecorder(session, QStringLiteral("window"), &history, &serviceLog, this);
    connect(recorder, &SessionRecorder::unfinishedUpdate, this, &trvLoader::showUnfinishedUpdate);
    connect(recorder, &SessionRecorder::recordUnavailable, this, &trvLoader::showRecordUnavailable);

    checksumShortcut =
        new QShortcut(QKeySequence::fromString("Ctrl+Alt+F8", QKeySequence::NativeText), this);
    checksumShortcut->setContext(Qt::WindowShortcut);
    connect(checksumShortcut, SIGNAL(activated()), this, SLOT(calcChecksum()));
    checksumShortcutAlternative =
        new QShortcut(QKeySequence::fromString("Ctrl+Shift+F8", QKeySequence::NativeText), this);
    checksumShortcutAlternative->setContext(Qt::WindowShortcut);
    connect(checksumShortcutAlternative, SIGNAL(activated()), this, SLOT(calcChecksum()));

    connect(sequence, SIGNAL(stepStarted()), this, SLOT(nextUpdate()));
    connect(session, SIGNAL(updateSucceeded()), this, SLOT(updateSucceeded()));
    connect(session, SIGNAL(updateFailed()), this, SLOT(updateFailed()));
    connect(session, SIGNAL(waitingForLateReturn()), this, SLOT(lateReturnAwaited()));
    connect(sequence, SIGNAL(stepDone()), this, SLOT(updateDone()));
    connect(sequence, SIGNAL(range(int, int)), this, SLOT(updateRange(int, int)));
    connect(sequence, SIGNAL(process(int)), this, SLOT(updatePosition(int)));
    connect(sequence, SIGNAL(currentState(trvUpdater::State, trvUpdater::Err)), this,
            SLOT(updateState(trvUpdater::State, trvUpdater::Err)));
    connect(ui->startUpdate, SIGNAL(clicked()), this, SLOT(startUpdate()));

    loadFirmwareFiles();
    updateFileState();

    for (PartType part : qAsConst(parts)) {
        showState(part, QString());
        showProgress(part, 0);
    }

    device->setAutoconnect(true);
}

trvLoader::~trvLoader()
{
    // The recorder writes to members that go before the children do.
    delete recorder;
    delete ui;
}

// --- Frame: show, keys, close

void trvLoader::showEvent(QShowEvent*)
{
    ui->controlWidget->hide();
    ui->advanced->setChecked(false);
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
    if (!session->isUpdating()) {
        event->accept();
        return;
    }
    // No is the default: Return after Escape must never abort a board half way.
    const QMessageBox::StandardButton answer = QMessageBox::critical(
        this, tr("Cancel update"), tr("Do you really want to cancel the firmware  update?"),
        QMessageBox::No | QMessageBox::Yes, QMessageBox::No);
    if (answer == QMessageBox::No) {
        event->ignore();
    } else {
        // Nothing more is sent, and the record says the step was canceled.
        session->abort();
        event->accept();
    }
}

// --- The service record

void trvLoader::showUnfinishedUpdate(const HistoryRecord& record)
{
    pendingNotices.append({QMessageBox::Information, tr("Update did not finish"),
                           SessionRecorder::unfinishedText(record)});
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
    SupportReport::Tool tool;
    tool.name = QStringLiteral("trvloader");
    tool.version = QCoreApplication::applicationVersion();
    SupportReportDialog dialog(SupportReport::text(tool, *session, history, serviceLog), this);
    dialog.exec();
}

// --- Row helpers

trvLoader::Row* trvLoader::row(PartType part)
{
    for (Row& candidate : rows) {
        if (candidate.part == part) {
            return &candidate;
        }
    }
    return nullptr;
}

QProgressBar* trvLoader::partBar(PartType part)
{
    const Row* board = row(part);
    return board ? board->bar : nullptr;
}

QCheckBox* trvLoader::partCheckbox(PartType part)
{
    const Row* board = row(part);
    return board ? board->checkbox : nullptr;
}

void trvLoader::nameForAssistiveTechnology(const Row& board)
{
    const QString rowName = BoardTable::rowName(board.part);
    const QString groupName = BoardTable::groupName(board.part);
    board.checkbox->setAccessibleName(rowName);
    const QString version = board.versionLabel->text();
    board.versionLabel->setAccessibleName(
        version.isEmpty() ? tr("%1 installed version: unknown").arg(rowName)
                          : tr("%1 installed version: %2").arg(rowName, version));
    board.bar->setAccessibleName(tr("%1 progress").arg(rowName));
    board.fileStateLabel->setAccessibleName(
        tr("%1 firmware file: %2").arg(groupName, board.fileStateLabel->text()));
    loadButton(board.part)->setAccessibleName(tr("Load a firmware file for %1").arg(groupName));
}

QToolButton* trvLoader::loadButton(PartType part) const
{
    switch (part) {
    case trvInterface::Mainboard:
        return ui->loadMainboard;
    case trvInterface::Terminal:
        return ui->loadTerminal;
    default:
        return ui->loadSensor;
    }
}

void trvLoader::setKeyboardOrder()
{
    QList<QWidget*> order = {ui->advanced, ui->startUpdate};
    for (const Row& board : qAsConst(rows)) {
        QToolButton* load = loadButton(board.part);
        if (!order.contains(load)) {
            order.append(load);
        }
        order.append(board.checkbox);
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
    ui->totalProgress->setFormat(format);
    announce(ui->totalProgress);
}

void trvLoader::setNote(const QString& text)
{
    ui->updateNote->setText(text);
    ui->updateNote->setVisible(!text.isEmpty());
}

void trvLoader::announce(QProgressBar* bar)
{
    bar->setAccessibleDescription(bar->text());
    QAccessibleEvent changed(bar, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

QLabel* trvLoader::partVersionLabel(PartType part)
{
    const Row* board = row(part);
    return board ? board->versionLabel : nullptr;
}

void trvLoader::showState(PartType part, QString text)
{
    QProgressBar* bar = partBar(part);
    if (!bar) {
        return;
    }
    bar->setFormat(text.isEmpty() ? QString() : text + " (%p%)");
    announce(bar);
}

void trvLoader::showProgress(PartType part, int value)
{
    if (QProgressBar* bar = partBar(part)) {
        bar->setValue(value);
    }
}

void trvLoader::showProgressMax(PartType part, int max)
{
    if (QProgressBar* bar = partBar(part)) {
        bar->setRange(0, max);
    }
}

void trvLoader::setCheckEnable(PartType part, bool enable)
{
    if (QCheckBox* box = partCheckbox(part)) {
        box->setEnabled(enable);
    }
}

void trvLoader::setChecked(PartType part, bool checked)
{
    if (QCheckBox* box = partCheckbox(part)) {
        box->setChecked(checked);
    }
}

bool trvLoader::isChecked(PartType part)
{
    QCheckBox* box = partCheckbox(part);
    if (!box || !box->isEnabled()) {
        return false;
    }
    return box->isChecked() || !ui->advanced->isChecked();
}

void repolish(QWidget* widget)
{
    QStyle* style = widget->style();
    style->unpolish(widget);
    style->polish(widget);
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
    const int refusal = device ? device->openRefusal() : 0;
    if (refusal == 0 && failureShown) {
        return; // the failure says what to do, also while the instrument is away
    }
    setTotalText(refusal != 0 ? UsbHid::refusalDescription(refusal)
                              : QString("Waiting for USB connection"));
}

void trvLoader::showReady()
{
    setTotalText(session->imagesUsable() ? tr("Ready to start firmware update")
                                         : tr("One or more firmware files are missing"));
}

void trvLoader::trvConnected()
{
    ui->controlWidget->setEnabled(true);
    ui->mainControl->setEnabled(true);

    // The session asks the boards for their versions right after this.
    explainedRefusal = 0;
    for (Row& board : rows) {
        board.checkbox->setEnabled(false);
    }

    if (failureShown) {
        showFailure();
    } else if (!session->isUpdating()) {
        setNote(QString());
        showReady();
        ui->totalProgress->setValue(0);
    }
}

void trvLoader::trvFirmwareVersion(trvInterface::PartType part, QString)
{
    if (Row* board = row(part)) {
        if (!session->isUpdating()) {
            board->checkbox->setEnabled(true);
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
    const int refusal = device->openRefusal();
    if (refusal == 0 || refusal == explainedRefusal) {
        return;
    }
    explainedRefusal = refusal;
    QMessageBox::warning(this, tr("Instrument cannot be opened"),
                         UsbHid::refusalDescription(refusal) + "\n\n" +
                             UsbHid::refusalRemedy(refusal),
                         QMessageBox::Ok);
}

bool trvLoader::mainboardRestarting() const
{
    return session && session->mainboardRestarting();
}

// --- Firmware files

void trvLoader::loadFirmwareFiles()
{
    // A damaged built-in image shows in its row's file label.
    session->readBuiltInImages();
}

void trvLoader::updateFileState()
{
    // The main board first and the sensor boards last, so that the shared sensor
    // label is drawn once per board as it always was.
    for (int index = rows.size() - 1; index >= 0; --index) {
        const PartType part = rows[index].part;
        setFileState(session->reportedVersion(part), session->imageFor(part), part);
    }
}

void trvLoader::setFileState(const QString& reportedVersion, const HexReader& reader, PartType part)
{
    QString name;
    QString date;
    int size = 0;
    switch (reader.state) {
    case HexReader::FileOk:
        name = QString("%1-%2.hex").arg(reader.part, reader.version);
        date = reader.date;
        size = reader.data.size();
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
    if (QLabel* label = partVersionLabel(part)) {
        label->setText(reportedVersion);
    }
    showFirmwareInfo(part, name, date, size);
    if (const Row* board = row(part)) {
        nameForAssistiveTechnology(*board);
    }
}

void trvLoader::showFirmwareInfo(PartType part, QString name, QString date, int size)
{
    const Row* board = row(part);
    if (!board) {
        return;
    }
    QLabel* label = board->fileStateLabel;
    QString text = name;
    if (size >= 1 && !date.isEmpty()) {
        text += QString(" (%1, %2)").arg(date, formatByteCount(size));
    } else if (!date.isEmpty()) {
        text += QString(" (%1)").arg(date);
    } else if (size >= 1) {
        text += QString(" (%1)").arg(formatByteCount(size));
    }
    label->setText(text);
}

QString trvLoader::formatByteCount(int bytes)
{
    if (bytes > 1024 * 1024) {
        return QString("%1 MB").arg(bytes / 1048576.0, 3, 'f', 0);
    }
    if (bytes > 1024) {
        return QString("%1 kB").arg(bytes / 1024.0, 3, 'f', 0);
    }
    return QString("%1 Byte").arg(double(bytes), 3, 'f', 0);
}

void trvLoader::openFirmware()
{
    const QStringList files =
        QFileDialog::getOpenFileNames(this, tr("Load firmware files"), "files", "Firmware (*.hex)");
    for (const QString& file : files) {
        loadFirmware(file);
    }
    updateFileState();
}

namespace {

// A critical box with one OK button; details, if any, behind its "Show Details..." button.
void showFileError(QWidget* parent, const QString& title, const QString& text,
                   const QString& details)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.setDetailedText(details);
    box.exec();
}

} // namespace

void trvLoader::loadFirmware(QString path)
{
    HexReader chosen;
    if (chosen.read(path, false) != HexReader::FileOk) {
        showFileError(this, tr("Load firmwar efile"),
                      tr("An error occured while loading firmware file\n\"%1\"\n%2")
                          .arg(path, chosen.stateDescription()),
                      chosen.fault.description());
        return;
    }

    BoardTable::Group group = BoardTable::Sensors;
    const HexReader* target =
        BoardTable::groupOfPartCode(chosen.part, &group) ? &session->image(group) : nullptr;

    const QString question =
        target && target->state == HexReader::FileOk
            ? tr("Do you want to replace existing firmware file\n\"%1\"\nwith selected firmware "
                 "file?\n\"%2\"")
                  .arg(target->fullName(), chosen.fullName())
            : tr("Use selected firmware?\n\"%1\"").arg(chosen.fullName());
    if (QMessageBox::question(this, tr("Load firmware file"), question,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    if (!target) {
        QMessageBox::information(
            this, tr("Load firmware file"),
            tr("The firmware file\n\"%1\"\nis for no board of this instrument (part code \"%2\").")
                .arg(path, chosen.part));
        return;
    }
    // Read again: what is used is the file as it is now.
    session->readImage(group, path);
}

// --- Checksum stamping tool

void trvLoader::calcChecksum()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, "Firmware files", QDir::currentPath(), "Firmware (*.hex)");
    for (const QString& file : files) {
        FileFault fault;
        HexReader::Err result = HexReader::sort(file, &fault);
        if (result == HexReader::FileOk) {
            HexReader stamped;
            result = stamped.read(file, true);
            fault = stamped.fault;
        }
        if (result != HexReader::FileOk) {
            // The box does not name the file: its details do.
            const QString cause = fault.isNone() ? QString() : "\n" + fault.description();
            showFileError(this, "Firmware files", HexReader::stateDescription(result),
                          QDir::toNativeSeparators(file) + cause);
            continue;
        }
        loadFirmware(file);
    }
    loadFirmwareFiles();
    updateFileState();
}

// --- Advanced mode and licence

void trvLoader::advancedClicked()
{
    ui->controlWidget->setVisible(ui->advanced->isChecked());
}

void trvLoader::showLicense()
{
    const QString linkStyle = "color: rgb(245, 177, 1);";
    const QString qtSection =
        QString("<h1>About Qt</h1>"
                "<p>This program uses Qt version %1.</p>"
                "<p>Qt is a C++ toolkit for cross-platform application development.</p>"
                "<p>This program uses Qt licensed under the GNU LGPL version 3.</p>"
                "<p>Copyright (C) 2016-2020 The Qt Company Ltd and other contributors.</p>"
                "<p>See <a href=\"https://www.qt.io/\" style=\"%2\">www.qt.io</a> for more "
                "information.</p>")
            .arg(QString::fromLatin1(qVersion()), linkStyle);
    const QString hidapiSection =
        QString("<h1>About HIDAPI</h1>"
                "<p>This program uses HIDAPI.</p>"
                "<p>HIDAPI is a multi-platform library which allows an application to interface "
                "USB and Bluetooth HID-Class devices on Windows, Linux, FreeBSD and MAC OS X.</p>"
                "<p>This program uses HIDAPI licensed under a BSD-style license.</p>"
                "<p>Copyright (C) 2009-2013 Alan Ott, Signal 11 Software.</p>"
                "<p>Visit <a href=\"https://github.com/libusb/hidapi\" "
                "style=\"%1\">github.com/libusb/hidapi</a> for more information.</p>")
            .arg(linkStyle);
    QMessageBox::about(this, "Licence Information", qtSection + hidapiSection);
}

// --- Update

void trvLoader::startUpdate()
{
    if (sequence->isRunning()) {
        return; // one update at a time
    }
    // In simple mode every board is meant; the plan tells those that have not answered.
    QList<PartType> asked;
    for (PartType part : qAsConst(parts)) {
        if (!ui->advanced->isChecked() || isChecked(part)) {
            asked << part;
        }
    }
    trvSession::Plan plan = session->plan(asked);

    const QStringList concerns = updateConcerns(plan);
    if (!concerns.isEmpty()) {
        QMessageBox question(QMessageBox::Question, tr("Start firmware update"),
                             concerns.join("\n\n") + "\n\n" +
                                 tr("Do you want to start the update anyway?"),
                             QMessageBox::Yes | QMessageBox::No, this);
        QAbstractButton* updateOthers = nullptr;
        if (canKeepOlder(plan)) {
            updateOthers = question.addButton(tr("Update the Others"), QMessageBox::AcceptRole);
        }
        // The default keeps everything as it was: nothing is sent.
        question.setDefaultButton(QMessageBox::No);
        question.setEscapeButton(QMessageBox::No);
        question.exec();
        if (updateOthers && question.clickedButton() == updateOthers) {
            plan = session->withoutOlder(plan);
        } else if (question.clickedButton() != question.button(QMessageBox::Yes)) {
            return;
        }
    }

    for (PartType part : qAsConst(parts)) {
        showProgress(part, 0);
        showState(part, QString());
    }
    QProgressBar* total = ui->totalProgress;
    total->setProperty("done", false);
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
    session->start(plan);
}

bool trvLoader::canKeepOlder(const trvSession::Plan& plan)
{
    return !plan.older.isEmpty() && plan.older.size() < plan.boards.size();
}

QStringList trvLoader::updateConcerns(const trvSession::Plan& plan)
{
    QStringList concerns;
    if (plan.boards.isEmpty()) {
        return concerns; // "No update selected" says it all
    }
    const bool simpleMode = !ui->advanced->isChecked();
    const auto name = [this](PartType board) {
        return QString("%1 (%2)").arg(partCheckbox(board)->text(), BoardTable::groupName(board));
    };

    QStringList silent;
    for (PartType board : plan.silent) {
        silent << name(board);
    }
    QStringList newer;
    for (PartType board : plan.older) {
        newer << tr("%1: installed %2, image %3 is older")
                     .arg(name(board), session->reportedVersion(board),
                          session->imageFor(board).version);
    }

    if (simpleMode && !silent.isEmpty()) {
        concerns << tr("These boards have not answered and will not be updated:") + "\n" +
                        silent.join("\n");
    }
    if (!newer.isEmpty()) {
        QString older = tr("These boards run newer firmware than the update would install:") +
                        "\n" + newer.join("\n");
        if (canKeepOlder(plan)) {
            older += "\n" + tr("\"Update the Others\" keeps these boards as they are.");
        }
        concerns << older;
    }
    if (simpleMode && plan.allCurrent) {
        concerns << tr("Every board that answered already runs the firmware that the update "
                       "would install. The update would install it again.");
    } else if (!concerns.isEmpty() && !plan.current.isEmpty()) {
        // Where the boards are listed anyway, those installed again are named too.
        QStringList current;
        for (PartType board : plan.current) {
            current << name(board);
        }
        concerns << tr("These boards already run the firmware that the update would install; "
                       "it will be reinstalled:") +
                        "\n" + current.join("\n");
    }
    return concerns;
}

void trvLoader::nextUpdate()
{
    // A new start: the last update's failure has had its time.
    failureShown = false;
    setNote(QString());
    ui->startUpdate->setEnabled(false);
    setFileLoadingEnabled(false);
}

void trvLoader::updateSucceeded()
{
    if (session->cameBackLate()) {
        showState(trvInterface::Mainboard, trvUpdater::Succeeded, trvUpdater::NoError);
    }
    ui->startUpdate->setEnabled(true);
    setFileLoadingEnabled(true);
    QProgressBar* total = ui->totalProgress;
    total->setProperty("done", true);
    total->setProperty("error", false);
    total->setProperty("working", false);
    setTotalText(tr("Firmware update successfull"));
    repolish(total);
    QStringList notes;
    if (session->cameBackLate()) {
        notes << session->lateReturnText();
    }
    for (const QString& note : {trvSession::leftOutText(session->leftOut()),
                                trvSession::reinstalledText(session->reinstalled())}) {
        if (!note.isEmpty()) {
            notes << note;
        }
    }
    setNote(notes.join("\n"));
    askVersionsAgain();
}

void trvLoader::lateReturnAwaited()
{
    showState(trvInterface::Mainboard, trvUpdater::WaitForReconnect, trvUpdater::NoError);
    QProgressBar* total = ui->totalProgress;
    total->setProperty("working", true);
    total->setProperty("error", false);
    repolish(total);
    setTotalText(session->lateWaitText());
}

void trvLoader::selectionChanged()
{
    if (!failureShown || session->isUpdating()) {
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

void trvLoader::askVersionsAgain()
{
    session->askVersions();
}

void trvLoader::showState(PartType part, trvUpdater::State state, trvUpdater::Err error)
{
    QProgressBar* bar = partBar(part);
    if (!bar) {
        return;
    }
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
        showProgressMax(part, max);
    }
}

void trvLoader::updatePosition(int now)
{
    for (PartType part : sequence->stepBoards()) {
        showProgress(part, now);
    }
    ui->totalProgress->setValue(sequence->totalValue());
}

void trvLoader::updateDone()
{
    for (PartType part : sequence->stepBoards()) {
        setChecked(part, false);
    }
}

void trvLoader::updateFailed()
{
    const trvSession::Failure failure = session->failure();
    const QString text = trvUpdater::errorDescription(failure.error);
    for (PartType part : failure.boards) {
        // Also after the wait for a late main board, whose row was busy meanwhile.
        showState(part, trvUpdater::Failed, failure.error);
        showState(part, text);
    }

    failureShown = true;
    showFailure();
    ui->startUpdate->setEnabled(true);
    setFileLoadingEnabled(true);
    askVersionsAgain();
}

void trvLoader::showFailure()
{
    const trvSession::Failure failure = session->failure();
    QProgressBar* total = ui->totalProgress;
    setTotalText(trvSession::failureText(failure));
    setNote(trvSession::failureAdvice(failure));
    total->setProperty("working", false);
    total->setProperty("done", false);
    total->setProperty("error", true);
    total->setValue(total->maximum());
    repolish(total);
}

void trvLoader::setFileLoadingEnabled(bool enabled)
{
    for (QToolButton* load : {ui->loadMainboard, ui->loadTerminal, ui->loadSensor}) {
        load->setEnabled(enabled);
    }
    checksumShortcut->setEnabled(enabled);
    checksumShortcutAlternative->setEnabled(enabled);
}
