#include "supportreport.h"

#include "boardtable.h"
#include "servicelog.h"
#include "servicerecorder.h"
#include "trvconfig.h"
#include "trvinstrument.h"
#include "usertexts.h"

#include <QDateTime>
#include <QDir>
#include <QMetaEnum>
#include <QObject>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>

namespace {

// "v1.0 -> v2.4" for one board, "v1.0, v1.1 -> v2.4" for boards that differ;
// a version not known, as after a step that failed part-way, is "unknown".
QString versionChange(const HistoryRecord& record)
{
    const QString unknown = QStringLiteral("unknown");
    QStringList before;
    QStringList after;
    for (const QString& board : record.boards) {
        const QString was = record.versionsBefore.value(board, unknown);
        const QString is = record.versionsAfter.value(board, unknown);
        if (!before.contains(was)) {
            before.append(was);
        }
        if (!after.contains(is)) {
            after.append(is);
        }
    }
    return QStringLiteral("%1 -> %2")
        .arg(before.join(QStringLiteral(", ")), after.join(QStringLiteral(", ")));
}

QString outcomeText(const HistoryRecord& record)
{
    QString text = HistoryRecord::outcomeName(record.outcome);
    if (record.outcome == HistoryRecord::Failed) {
        // The engine's reason in English, also for a record that an earlier
        // version kept in the user's language.
        bool known = false;
        const int error = QMetaEnum::fromType<trvUpdater::Err>().keyToValue(
            record.failureReason.toLatin1().constData(), &known);
        text += QStringLiteral(" (%1)").arg(
            known ? trvUpdater::errorDescriptionInEnglish(static_cast<trvUpdater::Err>(error))
                  : record.failureText);
    }
    return text;
}

} // namespace

// The report is for support: it is written in English, whatever the user's language.
QString SupportReport::text(const Tool& tool, const trvInstrument& instrument,
                            const UpdateHistory& history, const ServiceLog& log,
                            const QString& instrumentNote)
{
    QString report;
    report +=
        QStringLiteral("Tarvo QX40 Firmware Update Tool: report for support") + QLatin1Char('\n');
    report +=
        QStringLiteral("Made: %1").arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)) +
        QLatin1Char('\n');
    report += QStringLiteral("Tool: %1 %2").arg(tool.name, tool.version) + QLatin1Char('\n');
    report += QStringLiteral("Qt: %1 (built with %2)")
                  .arg(QString::fromLatin1(qVersion()), QStringLiteral(TRV_QT_BUILD_VERSION)) +
              QLatin1Char('\n');
    report +=
        QStringLiteral("hidapi: %1").arg(QStringLiteral(TRV_HIDAPI_VERSION)) + QLatin1Char('\n');
    report += QStringLiteral("System: %1, %2 %3, %4")
                  .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(),
                       QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture()) +
              QLatin1Char('\n');
    report +=
        QStringLiteral("Data folder: %1").arg(UpdateHistory::dataFolder()) + QLatin1String("\n\n");

    report += QStringLiteral("Instrument: %1")
                  .arg(instrumentNote.isEmpty() ? instrumentState(instrument) : instrumentNote) +
              QLatin1Char('\n');
    if (instrument.isConnected()) {
        for (trvInterface::PartType board : BoardTable::boards()) {
            const QString installed = instrument.hasAnswered(board)
                                          ? instrument.reportedVersion(board)
                                          : QStringLiteral("did not answer");
            report += QStringLiteral("  %1 %2 %3 %4\n")
                          .arg(BoardTable::commandName(board), -10)
                          .arg(BoardTable::rowName(board), -14)
                          .arg(installed, -16)
                          .arg(QStringLiteral("image %1").arg(instrument.imageFor(board).version));
        }
    }

    int skipped = 0;
    QList<HistoryRecord> records = history.records(&skipped);
    std::reverse(records.begin(), records.end());
    report += QLatin1Char('\n') +
              QStringLiteral("Update history (%1, the last %2, newest first):")
                  .arg(history.fileName())
                  .arg(historyRecords) +
              QLatin1Char('\n');
    if (skipped > 0) {
        report += QStringLiteral("  (%1 damaged lines skipped)").arg(skipped) + QLatin1Char('\n');
    }
    report += records.isEmpty() ? QStringLiteral("  No update recorded.") + QLatin1Char('\n')
                                : historyTable(records.mid(0, historyRecords));

    const QString logTail = log.tail(logBytes);
    report += QLatin1Char('\n') + QStringLiteral("Log (%1, its end):").arg(log.fileName()) +
              QLatin1Char('\n');
    report += logTail.isEmpty() ? QStringLiteral("  Nothing logged.") + QLatin1Char('\n') : logTail;
    return withoutHome(report);
}

QString SupportReport::withoutHome(const QString& text)
{
    // The home folder names the user: the report shows it as ~.
    const QString home = QDir::homePath();
    if (home.isEmpty() || home == QDir::rootPath()) {
        return text;
    }
    QString result = text;
    for (const QString& form : {home, QDir::toNativeSeparators(home)}) {
        // The folder itself, not a longer name that begins with it.
        result.replace(
            QRegularExpression(QRegularExpression::escape(form) + QStringLiteral("(?![\\w.-])")),
            QStringLiteral("~"));
    }
    return result;
}

QString SupportReport::instrumentState(const trvInstrument& instrument)
{
    if (instrument.isConnected()) {
        return QStringLiteral("connected, serial number %1")
            .arg(ServiceRecorder::serialText(instrument.serialNumber()));
    }
    if (instrument.openRefusal() != 0) {
        return UserTexts::refusalText(instrument.openRefusal(), UsbHid::English);
    }
    return QStringLiteral("not found on USB");
}

QString SupportReport::historyTable(const QList<HistoryRecord>& records)
{
    // The boards column as wide as its widest value: five sensor boards are
    // longer than any fixed width that suits one board.
    const QString boardsHeading = QStringLiteral("Boards");
    int boardsWidth = boardsHeading.size();
    for (const HistoryRecord& record : records) {
        boardsWidth = std::max(boardsWidth, int(record.boards.join(QLatin1Char(',')).size()));
    }
    QString table = QStringLiteral("  %1 %2 %3 %4 %5 %6\n")
                        .arg(QStringLiteral("Started (UTC)"), -20)
                        .arg(QStringLiteral("Instrument"), -14)
                        .arg(boardsHeading, -boardsWidth)
                        .arg(QStringLiteral("Versions"), -16)
                        .arg(QStringLiteral("Image"), -22)
                        .arg(QStringLiteral("Outcome"));
    for (const HistoryRecord& record : records) {
        table +=
            QStringLiteral("  %1 %2 %3 %4 %5 %6\n")
                .arg(record.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), -20)
                .arg(record.serialNumber.isEmpty() ? QStringLiteral("-") : record.serialNumber, -14)
                .arg(record.boards.join(QLatin1Char(',')), -boardsWidth)
                .arg(versionChange(record), -16)
                .arg(QStringLiteral("%1 %2").arg(record.image, record.imageVersion), -22)
                .arg(outcomeText(record));
    }
    return table;
}
