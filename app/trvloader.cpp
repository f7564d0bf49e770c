#include "trvloader.h"

#include "ui_trvloader.h"

#include <algorithm>

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

trvLoader::trvLoader(QWidget* parent)
    : QDialog(parent), device(nullptr), updater(nullptr), versionReceived(false),
      reopenTimer(nullptr), checksumShortcut(nullptr), updateSteps(0), stepsDone(0), stepRange(0),
      currentPart(trvInterface::NoPart), ui(new Ui_trvLoader)
{
    parts << trvInterface::Sensor5 << trvInterface::Sensor1 << trvInterface::Sensor2
          << trvInterface::Sensor3 << trvInterface::Sensor4 << trvInterface::Terminal
          << trvInterface::Mainboard;

    setWindowFlags(Qt::MSWindowsFixedSizeDialogHint);
    ui->setupUi(this);

    trvDisconnected();

    connect(ui->frameworkInfo, SIGNAL(clicked()), this, SLOT(showLicense()));

    device = new trvInterface(this);
    connect(device, SIGNAL(connected()), this, SLOT(trvConnected()));
    connect(device, SIGNAL(disconnected()), this, SLOT(trvDisconnected()));
    connect(device, SIGNAL(firmwareVersion(trvInterface::PartType, QString)), this,
            SLOT(trvFirmwareVersion(trvInterface::PartType, QString)));

    connect(ui->loadMainboard, SIGNAL(clicked()), this, SLOT(openFirmware()));
    connect(ui->loadTerminal, SIGNAL(clicked()), this, SLOT(openFirmware()));
    connect(ui->loadSensor, SIGNAL(clicked()), this, SLOT(openFirmware()));
    connect(ui->advanced, SIGNAL(clicked()), this, SLOT(advancedClicked()));

    checksumShortcut =
        new QShortcut(QKeySequence::fromString("Ctrl+Alt+F8", QKeySequence::NativeText), this);
    checksumShortcut->setContext(Qt::WindowShortcut);
    connect(checksumShortcut, SIGNAL(activated()), this, SLOT(calcChecksum()));

    updater = nullptr;
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
    if (!updater) {
        event->accept();
        return;
    }
    const QMessageBox::StandardButton answer = QMessageBox::critical(
        this, tr("Cancel update"), tr("Do you really want to cancel the firmware  update?"),
        QMessageBox::No | QMessageBox::Yes);
    if (answer == QMessageBox::No) {
        event->ignore();
    } else {
        event->accept();
    }
}

// --- Row helpers

QProgressBar* trvLoader::partBar(PartType part)
{
    switch (part) {
    case trvInterface::Sensor1:
        return ui->progressSensor1;
    case trvInterface::Sensor2:
        return ui->progressSensor2;
    case trvInterface::Sensor3:
        return ui->progressSensor3;
    case trvInterface::Sensor4:
        return ui->progressSensor4;
    case trvInterface::Sensor5:
        return ui->progressSensor5;
    case trvInterface::Terminal:
        return ui->progressTerminal;
    case trvInterface::Mainboard:
        return ui->progressMainboard;
    default:
        return nullptr;
    }
}

QCheckBox* trvLoader::partCheckbox(PartType part)
{
    switch (part) {
    case trvInterface::Sensor1:
        return ui->checkSensor1;
    case trvInterface::Sensor2:
        return ui->checkSensor2;
    case trvInterface::Sensor3:
        return ui->checkSensor3;
    case trvInterface::Sensor4:
        return ui->checkSensor4;
    case trvInterface::Sensor5:
        return ui->checkSensor5;
    case trvInterface::Terminal:
        return ui->checkTerminal;
    case trvInterface::Mainboard:
        return ui->checkMainboard;
    default:
        return nullptr;
    }
}

QLabel* trvLoader::partVersionLabel(PartType part)
{
    switch (part) {
    case trvInterface::Sensor1:
        return ui->versionSensor1;
    case trvInterface::Sensor2:
        return ui->versionSensor2;
    case trvInterface::Sensor3:
        return ui->versionSensor3;
    case trvInterface::Sensor4:
        return ui->versionSensor4;
    case trvInterface::Sensor5:
        return ui->versionSensor5;
    case trvInterface::Terminal:
        return ui->versionTerminal;
    case trvInterface::Mainboard:
        return ui->versionMainboard;
    default:
        return nullptr;
    }
}

QString* trvLoader::ReportedVersions::of(PartType part)
{
    switch (part) {
    case trvInterface::Mainboard:
        return &mainboard;
    case trvInterface::Terminal:
        return &terminal;
    case trvInterface::Sensor1:
        return &sensor1;
    case trvInterface::Sensor2:
        return &sensor2;
    case trvInterface::Sensor3:
        return &sensor3;
    case trvInterface::Sensor4:
        return &sensor4;
    case trvInterface::Sensor5:
        return &sensor5;
    default:
        return nullptr;
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

QString partName(trvInterface::PartType part)
{
    switch (part) {
    case trvInterface::Mainboard:
        return QObject::tr("Main Board");
    case trvInterface::Terminal:
        return QObject::tr("Control Panel");
    case trvInterface::NoPart:
    case trvInterface::Sensor1:
    case trvInterface::Sensor2:
    case trvInterface::Sensor3:
    case trvInterface::Sensor4:
    case trvInterface::Sensor5:
        return QObject::tr("Sensor Boards");
    }
    return QObject::tr("Unknown Board");
}

// --- Connection and versions

void trvLoader::trvDisconnected()
{
    ui->controlWidget->setEnabled(false);
    ui->mainControl->setEnabled(false);
    ui->totalProgress->setFormat("Waiting for USB connection");
}

void trvLoader::trvConnected()
{
    reopenTimer->stop();
    reopenTimer->setInterval(300);
    reopenTimer->setSingleShot(true);

    ui->controlWidget->setEnabled(true);
    ui->mainControl->setEnabled(true);

    versionReceived = false;
    reportedVersion = ReportedVersions();
    for (PartType part : qAsConst(parts)) {
        setCheckEnable(part, false);
    }
    device->requestFirmwareVersion();
    reopenTimer->start();

    if (!updater) {
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
    if (QString* reported = reportedVersion.of(part)) {
        *reported = version;
        if (!updater) {
            setCheckEnable(part, true);
        }
    }
    updateFileState();
}

void trvLoader::reopen()
{
    if (!versionReceived) {
        device->close();
    }
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
    setFileState(reportedVersion.mainboard, mainboardHex, trvInterface::Mainboard);
    setFileState(reportedVersion.terminal, terminalHex, trvInterface::Terminal);
    setFileState(reportedVersion.sensor1, sensorHex, trvInterface::Sensor1);
    setFileState(reportedVersion.sensor2, sensorHex, trvInterface::Sensor2);
    setFileState(reportedVersion.sensor3, sensorHex, trvInterface::Sensor3);
    setFileState(reportedVersion.sensor4, sensorHex, trvInterface::Sensor4);
    setFileState(reportedVersion.sensor5, sensorHex, trvInterface::Sensor5);
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
    QLabel* label = nullptr;
    switch (part) {
    case trvInterface::Mainboard:
        label = ui->fileStateMainboard;
        break;
    case trvInterface::Terminal:
        label = ui->fileStateTerminal;
        break;
    case trvInterface::Sensor1:
    case trvInterface::Sensor2:
    case trvInterface::Sensor3:
    case trvInterface::Sensor4:
    case trvInterface::Sensor5:
        label = ui->fileStateSensor;
        break;
    default:
        return;
    }
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
    if (updater) {
        return; // one update at a time
    }
    updateQueue.clear();
    for (PartType part : qAsConst(parts)) {
        showProgress(part, 0);
        showState(part, QString());
        if (isChecked(part)) {
            updateQueue << part;
        }
    }

    QProgressBar* total = ui->totalProgress;
    total->setProperty("done", false);
    total->setProperty("error", false);
    total->setProperty("working", true);
    repolish(total);
    total->setValue(0);

    updateSteps = 0;
    stepsDone = 0;
    stepRange = 0;
    const bool sensors = std::any_of(updateQueue.cbegin(), updateQueue.cend(), [](PartType part) {
        return part >= trvInterface::Sensor1 && part <= trvInterface::Sensor5;
    });
    updateSteps += sensors ? 1 : 0;
    updateSteps += updateQueue.contains(trvInterface::Terminal) ? 1 : 0;
    updateSteps += updateQueue.contains(trvInterface::Mainboard) ? 1 : 0;

    if (!updateQueue.isEmpty()) {
        total->setRange(0, updateSteps * 1000);
        nextUpdate();
        return;
    }
    QMessageBox::information(this, tr("No update selected"),
                             tr("No board has been selected for firmware update. Please select "
                                "boards you want to update."),
                             QMessageBox::Ok);
}

void trvLoader::nextUpdate()
{
    if (updater) {
        updater->deleteLater(); // we are inside its done() signal
        updater = nullptr;
    }

    QProgressBar* total = ui->totalProgress;
    if (updateQueue.isEmpty()) {
        ui->startUpdate->setEnabled(true);
        total->setProperty("done", true);
        total->setProperty("error", false);
        total->setProperty("working", false);
        total->setFormat(tr("Firmware update successfull"));
        repolish(total);
        return;
    }

    ui->startUpdate->setEnabled(false);
    const PartType first = updateQueue.first();
    if (first == trvInterface::Mainboard) {
        updater = new trvUpdater(device, &mainboardHex, trvInterface::Mainboard, this);
        updateQueue.removeFirst();
        currentPart = trvInterface::Mainboard;
    } else if (first == trvInterface::Terminal) {
        updater = new trvUpdater(device, &terminalHex, trvInterface::Terminal, this);
        updateQueue.removeFirst();
        currentPart = trvInterface::Terminal;
    } else {
        // All selected sensor boards take the one sensor image in one step.
        updater = new trvUpdater(device, &sensorHex, trvInterface::NoPart, this);
        for (PartType sensor : {trvInterface::Sensor1, trvInterface::Sensor2, trvInterface::Sensor3,
                                trvInterface::Sensor4, trvInterface::Sensor5}) {
            if (updateQueue.removeOne(sensor)) {
                updater->addPart(sensor);
                currentPart = sensor;
            }
        }
    }

    connect(updater, SIGNAL(done()), this, SLOT(updateDone()));
    connect(updater, SIGNAL(range(int, int)), this, SLOT(updateRange(int, int)));
    connect(updater, SIGNAL(process(int)), this, SLOT(updatePosition(int)));
    connect(updater, SIGNAL(canceled(trvUpdater::Err)), this,
            SLOT(updateCanceled(trvUpdater::Err)));
    connect(updater, SIGNAL(currentState(trvUpdater::State, trvUpdater::Err)), this,
            SLOT(updateState(trvUpdater::State, trvUpdater::Err)));
    updater->start();
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

    if (part == currentPart) {
        const QString text = state == trvUpdater::Failed ? trvUpdater::errorDescription(error)
                                                         : trvUpdater::stateDesription(state);
        ui->totalProgress->setFormat(partName(part) + ": " + text + " (Total %p%)");
    }
}

void trvLoader::updateState(trvUpdater::State state, trvUpdater::Err error)
{
    if (!updater) {
        return;
    }
    for (PartType part : qAsConst(parts)) {
        if (updater->hasPart(part)) {
            showState(part, state, error);
        }
    }
}

void trvLoader::updateRange(int, int max)
{
    if (!updater) {
        return;
    }
    for (PartType part : qAsConst(parts)) {
        if (updater->hasPart(part)) {
            showProgressMax(part, max);
            if (part == currentPart) {
                stepRange = max;
            }
        }
    }
}

void trvLoader::updatePosition(int now)
{
    if (!updater) {
        return;
    }
    for (PartType part : qAsConst(parts)) {
        if (updater->hasPart(part)) {
            showProgress(part, now);
            if (part == currentPart) {
                // 1000 units per step; a step with nothing to send counts as complete.
                const qint64 inStep = stepRange > 0 ? qint64(now) * 1000 / stepRange : 1000;
                ui->totalProgress->setValue(stepsDone * 1000 + int(inStep));
            }
        }
    }
}

void trvLoader::updateDone()
{
    if (!updater) {
        return;
    }
    for (PartType part : qAsConst(parts)) {
        if (updater->hasPart(part)) {
            setChecked(part, false);
        }
    }
    ++stepsDone;
    nextUpdate();
}

void trvLoader::updateCanceled(trvUpdater::Err err)
{
    if (!updater) {
        return;
    }
    const QString text = trvUpdater::errorDescription(err);
    for (PartType part : qAsConst(parts)) {
        if (updater->hasPart(part)) {
            showState(part, text);
        }
    }

    QProgressBar* total = ui->totalProgress;
    total->setFormat(partName(currentPart) + ": " + text);
    total->setProperty("working", false);
    total->setProperty("error", true);
    total->setValue(total->maximum());
    repolish(total);

    updateQueue.clear();
    ui->startUpdate->setEnabled(true);
    updater->deleteLater(); // we are inside its canceled() signal
    updater = nullptr;
}
