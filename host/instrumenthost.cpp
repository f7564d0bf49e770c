#include "instrumenthost.h"

#include "servicerecorder.h"
#include "supportreport.h"
#include "trvinstrument.h"
#include "trvupdatesequence.h"
#include "usertexts.h"

#include <QTimer>

#include <algorithm>

bool InstrumentHost::ImageOffer::isUsable() const
{
    return image.state == HexReader::FileOk && fitsGroup;
}

InstrumentHost::InstrumentHost(const QString& frontEnd, const trvTiming& timing, QObject* parent)
    : QObject(parent), link(new trvInterface(this)), tracked(new trvInstrument(link, timing, this)),
      record(new ServiceRecorder(tracked, frontEnd, &updateHistory, &serviceLog, this)),
      estimate(timing), timeLeftTicks(new QTimer(this))
{
    // Qt's own warnings are worth a line in the log that support reads.
    ServiceLog::keepQtWarnings(&serviceLog);

    connect(tracked, &trvInstrument::connected, this, &InstrumentHost::connected);
    connect(tracked, &trvInstrument::disconnected, this, &InstrumentHost::disconnected);
    connect(tracked, &trvInstrument::versionReported, this, &InstrumentHost::versionReported);
    connect(tracked, &trvInstrument::allAnswered, this, &InstrumentHost::allAnswered);
    connect(tracked, &trvInstrument::waitingForRestart, this, &InstrumentHost::waitingForRestart);
    connect(tracked, &trvInstrument::openRefusalChanged, this, &InstrumentHost::openRefusalChanged);
    connect(tracked, &trvInstrument::linkError, this, &InstrumentHost::linkError);
    connect(link, &UsbHid::attachedChanged, this, &InstrumentHost::linkAttachedChanged);
    connect(record, &ServiceRecorder::unfinishedUpdate, this, &InstrumentHost::unfinishedUpdate);
    connect(record, &ServiceRecorder::recordUnavailable, this, &InstrumentHost::recordUnavailable);
    followUpdates();
}

InstrumentHost::~InstrumentHost()
{
    closeLink();
    ServiceLog::keepQtWarnings(nullptr);
    // The recorder writes to members that go before the children do.
    delete record;
}

bool InstrumentHost::takeLock()
{
    if (locked) {
        return true;
    }
    locked = lock.acquire();
    if (!locked) {
        record->log(lock.failureText());
    }
    return locked;
}

QString InstrumentHost::lockFailureText() const
{
    return lock.failureText();
}

void InstrumentHost::lookForInstrument(FirstLook firstLook)
{
    link->setAutoconnect(true);
    if (firstLook == AtOnce) {
        link->open();
    }
}

void InstrumentHost::closeLink()
{
    // Messages still queued are dropped with the closed link, and what it
    // has already read is not told any more.
    tracked->abort();
    link->setAutoconnect(false);
    link->close();
}

bool InstrumentHost::isConnected() const
{
    return tracked->isConnected();
}

int InstrumentHost::openRefusal() const
{
    return tracked->openRefusal();
}

QString InstrumentHost::refusalText() const
{
    return openRefusal() == 0 ? QString() : UserTexts::refusalText(openRefusal());
}

QString InstrumentHost::serialNumber() const
{
    return tracked->serialNumber();
}

QList<InstrumentHost::Device> InstrumentHost::attached() const
{
    return link->attached();
}

bool InstrumentHost::choiceNeeded() const
{
    return link->choiceNeeded();
}

void InstrumentHost::chooseInstrument(const QString& identity)
{
    choiceUntilUnplugged = true;
    link->choose(identity);
    // Another than the one connected: the link opens the one chosen instead,
    // unless an update holds it to this one.
    if (isConnected() && !tracked->isUpdating() && link->openedDevice().identity() != identity) {
        link->reopen();
    }
}

void InstrumentHost::requireSerialNumber(const QString& serialNumber)
{
    choiceUntilUnplugged = false;
    link->choose(serialNumber);
}

QString InstrumentHost::chosenInstrument() const
{
    return link->choice();
}

void InstrumentHost::passOverLastInstrument()
{
    link->passOver(link->openedDevice().identity());
}

void InstrumentHost::linkAttachedChanged()
{
    const QString chosen = link->choice();
    if (choiceUntilUnplugged && !chosen.isEmpty() && !link->isPinned()) {
        const QList<Device> devices = link->attached();
        const bool stillThere = std::any_of(devices.begin(), devices.end(), [&](const Device& d) {
            return d.identity() == chosen;
        });
        if (!stillThere) {
            // Unplugged: the choice ends with it (the link says so again).
            record->log(QStringLiteral("The chosen instrument %1 was unplugged").arg(chosen));
            link->choose(QString());
            return;
        }
    }
    emit attachedChanged();
}

trvInstrument* InstrumentHost::instrument() const
{
    return tracked;
}

bool InstrumentHost::readBuiltInImages(Group* failed)
{
    return tracked->readBuiltInImages(failed);
}

InstrumentHost::ImageOffer InstrumentHost::offerImageFile(const QString& fileName)
{
    ImageOffer offer;
    offer.fileName = fileName;
    if (offer.image.read(fileName, false) == HexReader::FileOk) {
        offer.fitsGroup = BoardTable::groupOfPartCode(offer.image.part, &offer.group);
    }
    return offer;
}

bool InstrumentHost::useImage(const ImageOffer& offer)
{
    return offer.isUsable() && tracked->useImage(offer.image, offer.fileName);
}

QString InstrumentHost::imageSource(Group group) const
{
    return UserTexts::imageSource(tracked->imageFile(group));
}

int InstrumentHost::secondsLeft() const
{
    return estimate.secondsLeft(clock.isValid() ? clock.elapsed() : 0);
}

void InstrumentHost::followUpdates()
{
    trvUpdateSequence* updates = tracked->sequence();
    connect(updates, &trvUpdateSequence::stepStarted, this, [this, updates] {
        if (updates->stepsDone() == 0) {
            QList<TimeLeft::Step> steps;
            for (const QList<PartType>& boards :
                 BoardTable::steps(updates->stepBoards() + updates->pendingBoards())) {
                // The engine sends the image text a line at a time.
                const QByteArray& text = tracked->imageFor(boards.first()).data;
                TimeLeft::Step step;
                step.lines = text.count('\n') + (text.endsWith('\n') ? 0 : 1);
                step.mainboard = boards.contains(trvInterface::Mainboard);
                steps.append(step);
            }
            estimate.setTiming(tracked->timing());
            clock.start();
            estimate.start(steps, 0);
            timeLeftTicks->start(1000);
        }
        linePosition = 0;
        estimate.stepStarted(clock.elapsed());
    });
    connect(updates, &trvUpdateSequence::process, this, [this](int position) {
        // The end of the text is reported again once its last line is acknowledged.
        if (position > linePosition) {
            linePosition = position;
            estimate.lineSent(clock.elapsed());
        }
    });
    connect(updates, &trvUpdateSequence::currentState, this, [this](trvUpdater::State state) {
        if (state == trvUpdater::FinishTransfer) {
            estimate.transferDone(clock.elapsed());
        } else if (state == trvUpdater::Succeeded) {
            estimate.stepDone(clock.elapsed());
        }
    });
    for (auto over : {&trvUpdateSequence::done, &trvUpdateSequence::aborted}) {
        connect(updates, over, this, [this] {
            estimate.stop();
            tellTimeLeft();
        });
    }
    connect(updates, &trvUpdateSequence::canceled, this, [this] {
        estimate.stop();
        tellTimeLeft();
    });
    connect(timeLeftTicks, &QTimer::timeout, this, &InstrumentHost::tellTimeLeft);
}

void InstrumentHost::tellTimeLeft()
{
    if (!estimate.isRunning()) {
        timeLeftTicks->stop();
    }
    const int seconds = secondsLeft();
    if (seconds != shownSecondsLeft) {
        shownSecondsLeft = seconds;
        emit timeLeftChanged(seconds);
    }
}

bool InstrumentHost::canKeepOlder(const UpdatePlan& plan)
{
    return !plan.older.isEmpty() && plan.older.size() < plan.boards.size();
}

QStringList InstrumentHost::concerns(const UpdatePlan& plan, bool boardsShown) const
{
    QStringList result;
    if (plan.boards.isEmpty()) {
        return result; // nothing would be sent
    }
    if (!boardsShown && !plan.silent.isEmpty()) {
        QStringList silent;
        for (PartType board : plan.silent) {
            silent << BoardTable::label(board);
        }
        result << tr("These boards have not answered and will not be updated:") + "\n" +
                      silent.join("\n");
    }
    if (!plan.older.isEmpty()) {
        QStringList newer;
        for (PartType board : plan.older) {
            newer << UserTexts::olderText(board, tracked->reportedVersion(board),
                                          tracked->imageFor(board).version);
        }
        QString older = tr("These boards run newer firmware than the update would install:") +
                        "\n" + newer.join("\n");
        if (canKeepOlder(plan)) {
            older += "\n" + tr("\"Update the Others\" keeps these boards as they are.");
        }
        result << older;
    }
    if (!boardsShown && plan.allCurrent) {
        result << tr("Every board that answered already runs the firmware that the update "
                     "would install. The update would install it again.");
    } else if (!result.isEmpty() && !plan.current.isEmpty()) {
        // Where the boards are listed anyway, those installed again are named too.
        QStringList current;
        for (PartType board : plan.current) {
            current << BoardTable::label(board);
        }
        result << tr("These boards already run the firmware that the update would install; "
                     "it will be reinstalled:") +
                      "\n" + current.join("\n");
    }
    return result;
}

ServiceRecorder* InstrumentHost::recorder() const
{
    return record;
}

void InstrumentHost::logUserAction(const QString& what)
{
    record->log(what);
}

const UpdateHistory& InstrumentHost::history() const
{
    return updateHistory;
}

const ServiceLog& InstrumentHost::log() const
{
    return serviceLog;
}

QString InstrumentHost::supportReport(const QString& toolName, const QString& instrumentNote) const
{
    SupportReport::Tool tool;
    tool.name = toolName;
    tool.version = QCoreApplication::applicationVersion();
    return SupportReport::text(tool, *tracked, updateHistory, serviceLog, instrumentNote);
}
