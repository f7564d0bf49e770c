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
#include <QMetaEnum>
#include <QShortcut>

namespace {

// A reader's verdict on a file that is not usable, for the log: its state's
// name, and its fault's where it has one ("InvalidData, NotARecord at line 2").
QString unusableVerdict(const HexReader& reader)
{
    QString verdict =
        QString::fromLatin1(QMetaEnum::fromType<HexReader::Err>().valueToKey(reader.state));
    if (!reader.fault.isNone()) {
        verdict += QStringLiteral(", ") + reader.fault.name();
        if (reader.fault.line() > 0) {
            verdict += QStringLiteral(" at line %1").arg(reader.fault.line());
        }
    }
    return verdict;
}

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
    const QString offered = QStringLiteral("Firmware file %1 offered").arg(path);
    if (chosen.state != HexReader::FileOk) {
        host->logUserAction(
            QStringLiteral("%1: not usable (%2)").arg(offered, unusableVerdict(chosen)));
        showFileError(window, tr("Load firmwar efile"),
                      tr("An error occured while loading firmware file\n\"%1\"\n%2")
                          .arg(path, chosen.stateDescription()),
                      UserTexts::fileFaultDetails(chosen.state, chosen.fault, path));
        return;
    }
    // Nothing to ask about a file that no board can take.
    if (!offer.fitsGroup) {
        host->logUserAction(
            QStringLiteral("%1: for no board (part code %2), refused").arg(offered, chosen.part));
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
    const bool used = QMessageBox::question(window, tr("Load firmware file"), question,
                                            QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    host->logUserAction(QStringLiteral("%1 for %2 (%3 %4): asked whether to use it, answered %5")
                            .arg(offered, BoardTable::commandName(offer.group), chosen.part,
                                 chosen.version,
                                 used ? QStringLiteral("Yes") : QStringLiteral("No")));
    if (used) {
        host->useImage(offer);
    }
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
            host->logUserAction(
                QStringLiteral("Stamping tool: %1 not usable (%2%3)")
                    .arg(file,
                         QString::fromLatin1(
                             QMetaEnum::fromType<HexReader::Err>().valueToKey(result)),
                         fault.isNone() ? QString() : QStringLiteral(", ") + fault.name()));
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
