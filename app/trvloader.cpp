#include "trvloader.h"

#include "firmwareversion.h"
#include "ui_trvloader.h"

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
#include <QTimer>

namespace {

// How long the instrument has after each connect to answer a version request
// before the watchdog drops the link and opens it again (ms).
constexpr int answerTimeout = 300;

} // namespace

trvLoader::trvLoader(QWidget* parent)
    : QDialog(parent), device(nullptr), sequence(nullptr), versionReceived(false),
      reopenTimer(nullptr), checksumShortcut(nullptr), checksumShortcutAlternative(nullptr),
      explainedRefusal(0), ui(new Ui_trvLoader)
{
    parts = trvUpdateSequence::rowOrder();

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    ui->setupUi(this);
    rows = {
        {trvInterface::Sensor5, ui->checkSensor5, ui->versionSensor5, ui->progressSensor5,
         ui->fileStateSensor, QString()},
        {trvInterface::Sensor1, ui->checkSensor1, ui->versionSensor1, ui->progressSensor1,
         ui->fileStateSensor, QString()},
        {trvInterface::Sensor2, ui->checkSensor2, ui->versionSensor2, ui->progressSensor2,
         ui->fileStateSensor, QString()},
        {trvInterface::Sensor3, ui->checkSensor3, ui->versionSensor3, ui->progressSensor3,
         ui->fileStateSensor, QString()},
        {trvInterface::Sensor4, ui->checkSensor4, ui->versionSensor4, ui->progressSensor4,
         ui->fileStateSensor, QString()},
        {trvInterface::Terminal, ui->checkTerminal, ui->versionTerminal, ui->progressTerminal,
         ui->fileStateTerminal, QString()},
        {trvInterface::Mainboard, ui->checkMainboard, ui->versionMainboard, ui->progressMainboard,
         ui->fileStateMainboard, QString()},
    };

    trvDisconnected();

    connect(ui->frameworkInfo, SIGNAL(clicked()), this, SLOT(showLicense()));

    device = new trvInterface(this);
    connect(device, SIGNAL(connected()), this, SLOT(trvConnected()));
    connect(device, SIGNAL(disconnected()), this, SLOT(trvDisconnected()));
    connect(device, SIGNAL(firmwareVersion(trvInterface::PartType, QString)), this,
            SLOT(trvFirmwareVersion(trvInterface::PartType, QString)));
    connect(device, SIGNAL(openRefusalChanged(int)), this, SLOT(trvOpenRefusal(int)));

    connect(ui->loadMainboard, SIGNAL(clicked()), this, SLOT(openFirmware()));
    connect(ui->loadTerminal, SIGNAL(clicked()), this, SLOT(openFirmware()));
    connect(ui->loadSensor, SIGNAL(clicked()), this, SLOT(openFirmware()));
    connect(ui->advanced, SIGNAL(clicked()), this, SLOT(advancedClicked()));

    checksumShortcut =
        new QShortcut(QKeySequence::fromString("Ctrl+Alt+F8", QKeySequence::NativeText), this);
    checksumShortcut->setContext(Qt::WindowShortcut);
    connect(checksumShortcut, SIGNAL(activated()), this, SLOT(calcChecksum()));
    checksumShortcutAlternative =
        new QShortcut(QKeySequence::fromString("Ctrl+Shift+F8", QKeySequence::NativeText), this);
    checksumShortcutAlternative->setContext(Qt::WindowShortcut);
    connect(checksumShortcutAlternative, SIGNAL(activated()), this, SLOT(calcChecksum()));

    trvUpdateSequence::Images images;
    images.mainboard = &mainboardHex;
    images.terminal = &terminalHex;
    images.sensors = &sensorHex;
    sequence = new trvUpdateSequence(device, images, this);
    connect(sequence, SIGNAL(stepStarted()), this, SLOT(nextUpdate()));
    connect(sequence, SIGNAL(done()), this, SLOT(nextUpdate()));
    connect(sequence, SIGNAL(stepDone()), this, SLOT(updateDone()));
    connect(sequence, SIGNAL(range(int, int)), this, SLOT(updateRange(int, int)));
    connect(sequence, SIGNAL(process(int)), this, SLOT(updatePosition(int)));
    connect(sequence, SIGNAL(canceled(trvUpdater::Err)), this,
            SLOT(updateCanceled(trvUpdater::Err)));
    connect(sequence, SIGNAL(currentState(trvUpdater::State, trvUpdater::Err)), this,
            SLOT(updateState(trvUpdater::State, trvUpdater::Err)));
    connect(ui->startUpdate, SIGNAL(clicked()), this, SLOT(startUpdate()));

    loadFirmwareFiles();
    updateFileState();

    reopenTimer = new QTimer(this);
    connect(reopenTimer, SIGNAL(timeout()), this, SLOT(reopen()));

    for (PartType part : qAsConst(parts)) {
        showState(part, QString());
        showProgress(part, 0);
    }

    device->setAutoconnect(true);
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
    if (!sequence->isRunning()) {
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
        event->accept();
    }
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

QLabel* trvLoader::partVersionLabel(PartType part)
{
    const Row* board = row(part);
    return board ? board->versionLabel : nullptr;
}

HexReader& trvLoader::imageFor(PartType part)
{
    switch (part) {
    case trvInterface::Mainboard:
        return mainboardHex;
    case trvInterface::Terminal:
        return terminalHex;
    default:
        return sensorHex;
    }
}

void trvLoader::showState(PartType part, QString text)
{
    QProgressBar* bar = partBar(part);
    if (!bar) {
        return;
    }
    bar->setFormat(text.isEmpty() ? QString() : text + " (%p%)");
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
    ui->totalProgress->setFormat(refusal != 0 ? UsbHid::refusalDescription(refusal)
                                              : QString("Waiting for USB connection"));
}

void trvLoader::trvConnected()
{
    reopenTimer->stop();
    reopenTimer->setInterval(answerTimeout);
    reopenTimer->setSingleShot(true);

    ui->controlWidget->setEnabled(true);
    ui->mainControl->setEnabled(true);

    versionReceived = false;
    explainedRefusal = 0;
    for (Row& board : rows) {
        board.reportedVersion.clear();
        board.checkbox->setEnabled(false);
    }
    device->requestFirmwareVersion();
    reopenTimer->start();

    if (!sequence->isRunning()) {
        const bool imagesUsable = mainboardHex.state == HexReader::FileOk &&
                                  sensorHex.state == HexReader::FileOk &&
                                  terminalHex.state == HexReader::FileOk;
        ui->totalProgress->setFormat(imagesUsable ? tr("Ready to start firmware update")
                                                  : tr("One or more firmware files are missing"));
        ui->totalProgress->setValue(0);
    }
}

void trvLoader::trvFirmwareVersion(trvInterface::PartType part, QString version)
{
    versionReceived = true;
    if (Row* board = row(part)) {
        board->reportedVersion = version;
        if (!sequence->isRunning()) {
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

void trvLoader::reopen()
{
    if (!versionReceived) {
        device->close();
    }
}

bool trvLoader::mainboardRestarting() const
{
    return sequence && sequence->isRunning() &&
           sequence->currentPart() == trvInterface::Mainboard &&
           (sequence->state() == trvUpdater::Restarting ||
            sequence->state() == trvUpdater::WaitForReconnect);
}

// --- Firmware files

void trvLoader::loadFirmwareFiles()
{
    mainboardHex.read(":/firmware/kzent", false);
    sensorHex.read(":/firmware/ksens", false);
    terminalHex.read(":/firmware/kterm", false);
}

void trvLoader::updateFileState()
{
    // The main board first and the sensor boards last, so that the shared sensor
    // label is drawn once per board as it always was.
    for (int index = rows.size() - 1; index >= 0; --index) {
        setFileState(rows[index].reportedVersion, imageFor(rows[index].part), rows[index].part);
    }
}

void trvLoader::setFileState(const QString& reportedVersion, HexReader& reader, PartType part)
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

void trvLoader::loadFirmware(QString path)
{
    HexReader chosen;
    if (chosen.read(path, false) != HexReader::FileOk) {
        QMessageBox::critical(this, tr("Load firmwar efile"),
                              tr("An error occured while loading firmware file\n\"%1\"\n%2")
                                  .arg(path, chosen.stateDescription()),
                              QMessageBox::Ok);
        return;
    }

    HexReader* target = nullptr;
    if (chosen.part == "KZENT") {
        target = &mainboardHex;
    } else if (chosen.part == "KTERM") {
        target = &terminalHex;
    } else if (chosen.part == "KSENS") {
        target = &sensorHex;
    }

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
    target->read(path, false);
}

// --- Checksum stamping tool

void trvLoader::calcChecksum()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, "Firmware files", QDir::currentPath(), "Firmware (*.hex)");
    for (const QString& file : files) {
        HexReader::Err result = HexReader::sort(file);
        if (result == HexReader::FileOk) {
            HexReader stamped;
            result = stamped.read(file, true);
        }
        if (result != HexReader::FileOk) {
            QMessageBox::critical(this, "Firmware files", HexReader::stateDescription(result),
                                  QMessageBox::Ok);
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
    QList<PartType> chosen;
    for (PartType part : qAsConst(parts)) {
        if (isChecked(part)) {
            chosen << part;
        }
    }

    const QStringList concerns = updateConcerns(chosen);
    if (!concerns.isEmpty()) {
        // The default keeps everything as it was: nothing is sent.
        const QMessageBox::StandardButton answer = QMessageBox::question(
            this, tr("Start firmware update"),
            concerns.join("\n\n") + "\n\n" + tr("Do you want to start the update anyway?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
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

    if (chosen.isEmpty()) {
        QMessageBox::information(this, tr("No update selected"),
                                 tr("No board has been selected for firmware update. Please "
                                    "select boards you want to update."),
                                 QMessageBox::Ok);
        return;
    }
    total->setRange(0, trvUpdateSequence::stepsFor(chosen) * trvUpdateSequence::unitsPerStep);
    sequence->start(chosen);
}

QStringList trvLoader::updateConcerns(const QList<PartType>& chosen)
{
    QStringList concerns;
    if (chosen.isEmpty()) {
        return concerns; // "No update selected" says it all
    }
    const bool simpleMode = !ui->advanced->isChecked();

    QStringList silent;
    QStringList newer;
    bool allCurrent = true;
    for (const Row& board : qAsConst(rows)) {
        const QString name = QString("%1 (%2)").arg(board.checkbox->text(), partName(board.part));
        if (board.reportedVersion.isEmpty() && !board.checkbox->isEnabled()) {
            silent << name;
            continue;
        }
        if (!chosen.contains(board.part)) {
            continue;
        }
        const HexReader& image = imageFor(board.part);
        const int order = FirmwareVersion::compare(board.reportedVersion, image.version);
        if (order != FirmwareVersion::Equal) {
            allCurrent = false;
        }
        if (order == FirmwareVersion::Newer) {
            newer << tr("%1: installed %2, new %3").arg(name, board.reportedVersion, image.version);
        }
    }

    if (simpleMode && !silent.isEmpty()) {
        concerns << tr("These boards have not answered and will not be updated:") + "\n" +
                        silent.join("\n");
    }
    if (!newer.isEmpty()) {
        concerns << tr("These boards run newer firmware than the update would install:") + "\n" +
                        newer.join("\n");
    }
    if (simpleMode && allCurrent) {
        concerns << tr("Every board that answered already runs the firmware that the update "
                       "would install. The update would install it again.");
    }
    return concerns;
}

void trvLoader::nextUpdate()
{
    if (sequence->isRunning()) {
        ui->startUpdate->setEnabled(false);
        return;
    }
    ui->startUpdate->setEnabled(true);
    QProgressBar* total = ui->totalProgress;
    total->setProperty("done", true);
    total->setProperty("error", false);
    total->setProperty("working", false);
    total->setFormat(tr("Firmware update successfull"));
    repolish(total);
    askVersionsAgain();
}

void trvLoader::askVersionsAgain()
{
    device->requestFirmwareVersion();
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
        bar->setRange(0, 1);
        bar->setValue(1);
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

    if (part == sequence->currentPart()) {
        const QString text = state == trvUpdater::Failed ? trvUpdater::errorDescription(error)
                                                         : trvUpdater::stateDesription(state);
        ui->totalProgress->setFormat(partName(part) + ": " + text + " (Total %p%)");
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

void trvLoader::updateCanceled(trvUpdater::Err err)
{
    const QString text = trvUpdater::errorDescription(err);
    for (PartType part : sequence->stepBoards()) {
        showState(part, text);
    }

    QProgressBar* total = ui->totalProgress;
    total->setFormat(partName(sequence->currentPart()) + ": " + text);
    total->setProperty("working", false);
    total->setProperty("error", true);
    total->setValue(total->maximum());
    repolish(total);

    ui->startUpdate->setEnabled(true);
    askVersionsAgain();
}
