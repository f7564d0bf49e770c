#pragma once

#include "instrumentcommand.h"
#include "trvinterface.h"
#include "trvupdater.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class trvUpdateSequence;

// trvloader-cli update: waits for the instrument, checks that every board
// asked for has answered and that no image is older than what its board runs,
// then updates the boards in the window's order, with the window's engine and
// texts, and says how each board ended.
class UpdateCommand : public InstrumentCommand
{
    Q_OBJECT

public:
    using PartType = trvInterface::PartType;

    struct Options
    {
        QList<PartType> boards; // the boards asked for
        int waitMilliseconds = 10000;
        bool skipMissing = false; // leave out boards that do not answer, instead of failing
        bool allowOlder = false;  // install an image older than what its board runs
        bool skipCurrent = false; // leave out boards that already run their image's version
    };

    // The writer and the instrument are borrowed and must outlive the command.
    UpdateCommand(ReportWriter* writer, InstrumentWait* wait, const Options& asked,
                  QObject* parent = nullptr);

    // Ctrl-C: stops sending at once, and says which boards may now need a new update.
    void interrupt(ExitCode::Code code) override;

protected:
    void announceWait() override;
    void instrumentReady() override;

private slots:
    void stepStarted();
    void stateChanged(trvUpdater::State state, trvUpdater::Err error);
    void rangeChanged(int min, int max);
    void processed(int now);
    void stepDone();
    void updateFailed();
    void updateDone();
    void restartAwaited(int millisecondsAtMost);
    void lateReturnAwaited();

private:
    // How the update ended for one board.
    enum Outcome {
        NotStarted, // left as it was
        Updated,    // runs the image's version now
        Failed,     // its step failed: it may need a new update
        Canceled,   // Ctrl-C during its step: it may need a new update
        Skipped,    // did not answer, left out with --skip-missing
        Missing,    // did not answer
        Current,    // already ran its image's version, left out with --skip-current
    };

    // The line that shows the running step: its boards' state, their
    // percentage when withPercent, and the total.
    QString stepLine(bool withPercent) const;
    void showStep();
    QJsonObject stepEvent(const QString& name) const;
    QJsonObject boardEntry(PartType board) const;
    static QString outcomeName(Outcome outcome);
    // Boards asked for with the outcome, in the order of the rows.
    QList<PartType> boardsWith(Outcome outcome) const;
    // The texts that name the boards a failure or a cancel leaves behind.
    QString leftBehind() const;
    // Ends the command; extra goes into the result beside the boards' outcomes.
    void finish(ExitCode::Code code, const QString& error,
                const QJsonObject& extra = QJsonObject());
    QString imageVersion(PartType board) const;
    QString imageSource(PartType board) const;

    Options options;
    trvUpdateSequence* sequence = nullptr; // once the update has started
    QMap<PartType, Outcome> outcomes;      // for every board asked for
    QMap<PartType, QString> installed;     // what each board reported before the update
    QList<PartType> chosen;                // the boards being updated
    QList<PartType> reinstalled;           // those of them that run their image's version
    trvUpdater::State state = trvUpdater::Connecting;
    int stepNumber = 0;
    int stepMaximum = 0; // bytes of the running step's image
    int stepPosition = 0;
    int shownPercent = -1; // the running step's percentage last reported as an event
};
