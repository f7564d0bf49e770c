#include "fileoffering.h"

#include "hexreader.h"
#include "hexsorter.h"
#include "instrumenthost.h"
#include "trvinstrument.h"
#include "usertexts.h"

#include <QDir>
#include <QFileDialog>
#include <QKeySequence>
#include <QMessageBox>
#include <QShortcut>

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

FileOffering::FileOffering(InstrumentHost* instrumentHost, QWidget* parentWindow)
    : QObject(parentWindow), host(instrumentHost), window(parentWindow),
      stampShortcut(new QShortcut(QKeySequence::fromString("Ctrl+Alt+F8", QKeySequence::NativeText),
                                  parentWindow)),
      stampShortcutAlternative(new QShortcut(
          QKeySequence::fromString("Ctrl+Shift+F8", QKeySequence::NativeText), parentWindow))
{
    for (QShortcut* shortcut : {stampShortcut, stampShortcutAlternative}) {
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &FileOffering::stampFiles);
    }
}

void FileOffering::setEnabled(bool enabled)
{
    stampShortcut->setEnabled(enabled);
    stampShortcutAlternative->setEnabled(enabled);
}

void FileOffering::chooseFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(window, tr("Load firmware files"),
                                                            "files", "Firmware (*.hex)");
    for (const QString& file : files) {
        offerFile(file);
    }
    emit imagesChanged();
}

void FileOffering::offerFile(const QString& path)
{
    const InstrumentHost::ImageOffer offer = InstrumentHost::offerImageFile(path);
    const HexReader& chosen = offer.image;
    if (chosen.state != HexReader::FileOk) {
        showFileError(window, tr("Load firmwar efile"),
                      tr("An error occured while loading firmware file\n\"%1\"\n%2")
                          .arg(path, chosen.stateDescription()),
                      UserTexts::fileFaultDetails(chosen.state, chosen.fault, path));
        return;
    }
    // Nothing to ask about a file that no board can take.
    if (!offer.fitsGroup) {
        QMessageBox::information(
            window, tr("Load firmware file"),
            tr("The firmware file\n\"%1\"\nis for no board of this instrument (part code \"%2\").")
                .arg(path, chosen.part));
        return;
    }

    // Any load button takes any group's file: the question names whose image it replaces.
    const HexReader& target = host->instrument()->image(offer.group);
    const QString group = BoardTable::groupName(offer.group);
    const QString question =
        target.state == HexReader::FileOk
            ? tr("Do you want to replace the firmware file of the %1\n\"%2\"\nwith selected "
                 "firmware file?\n\"%3\"")
                  .arg(group, target.fullName(), chosen.fullName())
            : tr("Use selected firmware for the %1?\n\"%2\"").arg(group, chosen.fullName());
    if (QMessageBox::question(window, tr("Load firmware file"), question,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    host->useImage(offer);
}

void FileOffering::stampFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        window, "Firmware files", QDir::currentPath(), "Firmware (*.hex)");
    for (const QString& file : files) {
        FileFault fault;
        HexReader::Err result = HexSorter::sort(file, &fault);
        if (result == HexReader::FileOk) {
            HexReader stamped;
            result = stamped.read(file, true);
            fault = stamped.fault;
        }
        if (result != HexReader::FileOk) {
            // The box does not name the file: its details do.
            const QString cause = fault.isNone() ? QString() : "\n" + fault.description();
            showFileError(window, "Firmware files", HexReader::stateDescription(result),
                          QDir::toNativeSeparators(file) + cause);
            continue;
        }
        offerFile(file);
    }
    // A damaged built-in image shows in its row's file label.
    host->readBuiltInImages();
    emit imagesChanged();
}
