#include "benchloop.h"

#include "instrumenthost.h"
#include "instrumentwait.h"
#include "reportwriter.h"
#include "usertexts.h"

#include <QJsonArray>
#include <QJsonValue>

BenchLoop::BenchLoop(InstrumentHost* instrumentHost, ReportWriter* writer,
                     const UpdateCommand::Options& asked, int instruments,
                     int answerMilliseconds, QObject* parent)
    : QObject(parent), host(instrumentHost), report(writer), options(asked), count(instruments),
      answerTime(answerMilliseconds)
{
    connect(host, &InstrumentHost::connected, this, [this] {
        if (running && !connectedThisTurn) {
            connectedThisTurn = true;
            turnTime.start();
        }
    });
}

void BenchLoop::start()
{
    next();
}

void BenchLoop::next()
{
    connectedThisTurn = false;
    const double seconds = options.waitMilliseconds / 1000.0;
    report->note(results.isEmpty()
                     ? tr("Waiting for an instrument (up to %1 s)...").arg(seconds)
                     : tr("Waiting for the next instrument (up to %1 s)...").arg(seconds));
    report->event(QJsonObject{{"event", "waiting"}, {"seconds", seconds}});
    // A wait and an update of their own for each instrument, on the one host.
    auto* wait = new InstrumentWait(host, answerTime);
    running = new UpdateCommand(report, wait, options, this);
    wait->setParent(running);
    running->setOneOfMany(true);
    // Once the stack that ended it has unwound: the update ends inside the
    // engine's and the sequence's own signals, and the next wait opens the
    // link again.
    connect(running, &InstrumentCommand::finished, this, &BenchLoop::instrumentEnded,
            Qt::QueuedConnection);
    running->start();
}

void BenchLoop::instrumentEnded(int exitCode)
{
    UpdateCommand* ended = running;
    running = nullptr;
    ended->deleteLater();
    const auto code = static_cast<ExitCode::Code>(exitCode);
    const QJsonObject details = ended->resultDetails();

    if (!connectedThisTurn) {
        // No instrument this turn: the wait ended, or the update tool could
        // not go on (another copy, several attached, a refused open).
        finish(code == ExitCode::NoInstrument && !results.isEmpty() ? ExitCode::Success : code);
        return;
    }

    Result result;
    result.serial = host->serialNumber();
    result.code = code;
    result.seconds = turnTime.elapsed() / 1000.0;
    if (code == ExitCode::Success) {
        result.outcome = details.value("outcome").toString(); // "updated" or "current"
    } else if (code == ExitCode::Canceled || code == ExitCode::Terminated ||
               code == ExitCode::HungUp) {
        result.outcome = QStringLiteral("canceled");
    } else {
        result.outcome = QStringLiteral("failed");
    }
    results.append(result);
    report->line(resultLine(result, details));

    if (result.outcome == QLatin1String("canceled")) {
        finish(code);
        return;
    }
    if (stopping || (count > 0 && results.size() >= count)) {
        finish(ExitCode::Success);
        return;
    }
    // Never the same one twice: it is taken again only once it has been unplugged.
    host->passOverLastInstrument();
    report->note(tr("Unplug %1; the next instrument is updated once it is plugged in.")
                     .arg(result.serial.isEmpty() ? UserTexts::instrumentText(QString())
                                                  : result.serial));
    next();
}

QString BenchLoop::resultLine(const Result& result, const QJsonObject& details) const
{
    QStringList boards;
    for (const QJsonValue& value : details.value("boards").toArray()) {
        const QJsonObject board = value.toObject();
        const QJsonValue before = board.value("before");
        const QJsonValue after = board.value("after");
        boards.append(QStringLiteral("%1 %2 -> %3")
                          .arg(board.value("board").toString(),
                               before.isString() ? before.toString() : QStringLiteral("?"),
                               after.isString() ? after.toString() : QStringLiteral("?")));
    }
    QString outcome;
    if (result.outcome == QLatin1String("updated")) {
        outcome = tr("updated");
    } else if (result.outcome == QLatin1String("current")) {
        outcome = tr("already current, nothing sent");
    } else if (result.outcome == QLatin1String("canceled")) {
        outcome = tr("canceled");
    } else {
        outcome = tr("failed (%1)").arg(ExitCode::description(result.code));
    }
    return tr("%1: %2 in %3 s: %4")
        .arg(result.serial.isEmpty() ? UserTexts::instrumentText(QString()) : result.serial,
             outcome, QString::number(result.seconds, 'f', 1),
             boards.join(QStringLiteral(", ")));
}

QStringList BenchLoop::serialsWith(const QString& outcome) const
{
    QStringList serials;
    for (const Result& result : results) {
        if (result.outcome == outcome) {
            serials.append(result.serial.isEmpty() ? QStringLiteral("-") : result.serial);
        }
    }
    return serials;
}

void BenchLoop::interrupt(ExitCode::Code code)
{
    if (over) {
        return;
    }
    if (running && connectedThisTurn) {
        stopping = true;         // also when the update has just ended by itself
        running->interrupt(code); // its end ends the loop
        return;
    }
    if (running) {
        // Only waiting: nothing of this turn to tell.
        disconnect(running, nullptr, this, nullptr);
        running->deleteLater();
        running = nullptr;
        host->closeLink();
    }
    finish(ExitCode::Success);
}

void BenchLoop::finish(ExitCode::Code code)
{
    if (over) {
        return;
    }
    over = true;
    const QStringList updated = serialsWith(QStringLiteral("updated"));
    const QStringList failed = serialsWith(QStringLiteral("failed")) +
                               serialsWith(QStringLiteral("canceled"));
    const QStringList current = serialsWith(QStringLiteral("current"));
    if (code == ExitCode::Success && !failed.isEmpty()) {
        code = ExitCode::InstrumentsFailed;
    }
    auto named = [](const QStringList& serials) {
        return serials.isEmpty() ? QString()
                                 : QStringLiteral(" (%1)").arg(serials.join(QStringLiteral(", ")));
    };
    report->line(tr("Bench: %1 updated%2, %3 failed%4, %5 already current%6.")
                     .arg(updated.size())
                     .arg(named(updated))
                     .arg(failed.size())
                     .arg(named(failed))
                     .arg(current.size())
                     .arg(named(current)));
    QJsonArray instruments;
    for (const Result& result : qAsConst(results)) {
        instruments.append(QJsonObject{
            {"serial", result.serial.isEmpty() ? QJsonValue(QJsonValue::Null)
                                               : QJsonValue(result.serial)},
            {"outcome", result.outcome},
            {"exitCode", int(result.code)},
            {"seconds", result.seconds},
        });
    }
    report->result(QStringLiteral("update"), code,
                   code == ExitCode::Success ? QString() : ExitCode::description(code),
                   {{"instruments", instruments},
                    {"updated", updated.size()},
                    {"failed", failed.size()},
                    {"current", current.size()}});
    emit finished(code);
}
