#include "trvloader.h"

#include "ui_trvloader.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMessageBox>
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

// Not wired yet: the window does not open the instrument so far.
void trvLoader::trvConnected() {}
void trvLoader::trvFirmwareVersion(trvInterface::PartType, QString) {}
void trvLoader::reopen() {}

// --- Firmware files (not yet: the readers stay empty and the labels keep their placeholders)

void trvLoader::loadFirmwareFiles() {}
void trvLoader::updateFileState() {}
void trvLoader::openFirmware() {}
void trvLoader::loadFirmware(QString) {}
void trvLoader::setFileState(const QString&, HexReader&, PartType) {}
void trvLoader::showFirmwareInfo(PartType, QString, QString, int) {}
QString trvLoader::formatByteCount(int)
{
    return QString();
}

// --- Checksum stamping tool (not yet)

void trvLoader::calcChecksum() {}

// --- Advanced mode and licence (not yet)

void trvLoader::advancedClicked() {}
void trvLoader::showLicense() {}

// --- Update (not yet: nothing is ever started, so updater stays null)

void trvLoader::startUpdate() {}
void trvLoader::nextUpdate() {}
void trvLoader::updateRange(int, int) {}
void trvLoader::updatePosition(int) {}
void trvLoader::updateCanceled(trvUpdater::Err) {}
void trvLoader::updateState(trvUpdater::State, trvUpdater::Err) {}
void trvLoader::updateDone() {}
void trvLoader::showState(PartType, trvUpdater::State, trvUpdater::Err) {}
