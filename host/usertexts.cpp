#include "usertexts.h"

#include "boardtable.h"
#include "hexreader.h"
#include "usbhid.h"

namespace {

// A whole group by its name, else each board.
QString stepName(const QList<trvInterface::PartType>& boards)
{
    if (boards.isEmpty()) {
        return QString();
    }
    const BoardTable::Group group = BoardTable::groupOf(boards.first());
    return boards == BoardTable::boardsOf(group) ? BoardTable::groupName(group)
                                                 : BoardTable::labels(boards);
}

} // namespace

QString UserTexts::failureText(const trvInstrument::Failure& failure)
{
    if (failure.disconnected) {
        return tr("The instrument was disconnected during the update of %1.")
            .arg(stepName(failure.boards));
    }
    const QString where = failure.refusing != trvInterface::NoPart
                              ? BoardTable::label(failure.refusing)
                              : BoardTable::groupName(failure.boards.value(0));
    const QString text =
        QStringLiteral("%1: %2").arg(where, trvUpdater::errorDescription(failure.error));
    if (failure.reported.isEmpty()) {
        return text;
    }
    return tr("%1: it reports %2, %3 was expected").arg(text, failure.reported, failure.expected);
}

QString UserTexts::failureAdvice(const trvInstrument::Failure& failure, FrontEnd asking)
{
    const QString first = failure.disconnected
                              ? tr("Plug the instrument in and start the update again.")
                              : runAgainAdvice();
    return first + QLatin1Char('\n') + reportAdvice(asking);
}

QString UserTexts::reportAdvice(FrontEnd asking)
{
    if (asking == Window) {
        // "?" opens it in every state; Advanced is disabled while the
        // instrument is away.
        return tr("If it fails again, press \"?\" and then \"%1\", and send the report to "
                  "support.")
            .arg(tr("Report for Support..."));
    }
    return tr("If it fails again, send support the report that %1 prints.")
        .arg(QStringLiteral("trvloader-cli report"));
}

QString UserTexts::runAgainAdvice()
{
    return tr("Running the update again brings the boards back.");
}

QString UserTexts::leftOutText(const QList<PartType>& boards)
{
    if (boards.isEmpty()) {
        return QString();
    }
    QStringList names;
    for (PartType board : boards) {
        names.append(BoardTable::rowName(board));
    }
    return tr("Not updated, since they did not answer: %1.").arg(names.join(QStringLiteral(", ")));
}

QString UserTexts::reinstalledText(const QList<PartType>& boards)
{
    if (boards.isEmpty()) {
        return QString();
    }
    return tr("Reinstalled the version they already ran: %1.").arg(BoardTable::labels(boards));
}

QString UserTexts::alreadyCurrentText(const QList<PartType>& boards)
{
    if (boards.isEmpty()) {
        return QString();
    }
    return tr("Left out, since they already run their image's version: %1.")
        .arg(BoardTable::labels(boards));
}

QString UserTexts::allCurrentText()
{
    return tr("Every board asked for already runs its image's version: nothing was sent.");
}

QString UserTexts::goneBeforeStartText()
{
    return tr("The instrument was disconnected before the update started: nothing was sent.");
}

QString UserTexts::lateReturnText(const QString& version)
{
    return tr("%1 came back late, with %2.")
        .arg(BoardTable::groupName(BoardTable::Mainboard), version);
}

QString UserTexts::lateWaitText(int lateReturnMilliseconds)
{
    return tr("%1: not back yet, waiting up to %2 s more")
        .arg(BoardTable::groupName(BoardTable::Mainboard))
        .arg(lateReturnMilliseconds / 1000.0);
}

QString UserTexts::restartWaitText(int millisecondsAtMost)
{
    return tr("%1 is restarting: waiting up to %2 s for it to come back")
        .arg(BoardTable::groupName(BoardTable::Mainboard))
        .arg(millisecondsAtMost / 1000.0);
}

QString UserTexts::timeLeftText(int seconds)
{
    if (seconds < 60) {
        return tr("about %1 s left").arg(seconds);
    }
    if (seconds % 60 == 0) {
        return tr("about %1 min left").arg(seconds / 60);
    }
    return tr("about %1 min %2 s left").arg(seconds / 60).arg(seconds % 60);
}

QString UserTexts::refusalText(int errorNumber, UsbHid::Language language)
{
    const QString remedy = UsbHid::refusalRemedy(errorNumber, language);
    return UsbHid::refusalDescription(errorNumber, language) +
           (remedy.isEmpty() ? QString() : QLatin1Char('\n') + remedy);
}

QStringList UserTexts::rowNames(const HistoryRecord& record)
{
    QStringList names;
    for (trvInterface::PartType board : BoardTable::boards()) {
        if (record.boards.contains(BoardTable::commandName(board))) {
            names.append(BoardTable::rowName(board));
        }
    }
    return names;
}

QString UserTexts::unfinishedText(const HistoryRecord& record)
{
    const QStringList names = rowNames(record);
    const QString when = record.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString how = record.outcome == HistoryRecord::Canceled
                            ? tr("The update of %1 started %2 was canceled before it finished.")
                            : tr("The update of %1 started %2 did not finish.");
    const QString need = names.size() == 1 ? tr("This board may need a new update.")
                                           : tr("These boards may need a new update.");
    return how.arg(names.join(QStringLiteral(", ")), when) + QLatin1Char(' ') + need +
           QLatin1Char(' ') + runAgainAdvice();
}

QString UserTexts::fileFaultDetails(HexReader::Err state, const FileFault& fault,
                                    const QString& fileName)
{
    if (!fault.isNone()) {
        return fault.description();
    }
    const QString fix =
        tr("The stamping tool of the window (Ctrl+Alt+F8) does both, as does\n  trvloader-cli "
           "sort %1 && trvloader-cli stamp %1")
            .arg(fileName);
    switch (state) {
    case HexReader::Corrupted:
        return tr("Its checksum record is missing or does not fit its text. For a file changed on "
                  "purpose, sort it (which drops the old record) and stamp it.") +
               QLatin1Char('\n') + fix;
    case HexReader::InvalidOrder:
        return tr("Its records are not in address order. Put them in order (this rewrites the "
                  "file), then stamp it.") +
               QLatin1Char('\n') + fix;
    default:
        return QString();
    }
}

QString UserTexts::imageName(const HexReader& image)
{
    return QStringLiteral("%1-%2.hex").arg(image.part, image.version);
}

QString UserTexts::imageSource(const QString& fileName)
{
    return fileName.isEmpty() ? tr("built-in") : fileName;
}

QString UserTexts::olderText(PartType board, const QString& installed, const QString& image)
{
    return tr("%1: installed %2, image %3 is older")
        .arg(BoardTable::label(board), installed, image);
}

QString UserTexts::instrumentText(const QString& serialNumber)
{
    return serialNumber.isEmpty() ? tr("Instrument without a serial number")
                                  : tr("Instrument %1").arg(serialNumber);
}

QString UserTexts::deviceName(const UsbHid::Device& device)
{
    return device.serialNumber.isEmpty() ? tr("no serial number (%1)").arg(device.path)
                                         : device.serialNumber;
}

QString UserTexts::severalText(const QList<UsbHid::Device>& devices)
{
    QStringList names;
    for (const UsbHid::Device& device : devices) {
        names.append(deviceName(device));
    }
    return tr("Several instruments are connected: %1.").arg(names.join(QStringLiteral(", ")));
}
