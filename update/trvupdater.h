#pragma once

#include "trvinterface.h"
#include "trvtiming.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class HexReader;
class QTimer;

// Brings one update step to its end: one image into the main board, the
// control panel, or a group of sensor boards, driven by the instrument's
// replies and one single-shot time-out.
//
// A reply counts only when it comes from a board whose reply the engine
// awaits, and only when it was decoded from an input report read after the
// request it answers was queued (trvInterface::inputReports). A stray or
// repeated acknowledgement, also one that stands in the same report as the
// acknowledgement that completed the previous line, is never taken for the
// next line: no line and no end message leaves before every board of the
// step has acknowledged the line before it.
class trvUpdater : public QObject
{
    Q_OBJECT

public:
    enum State {
        Failed = 0,
        Connecting = 1,
        CheckCompatibility = 2,
        StartUpdateMode = 3,
        Transfer = 4,
        FinishTransfer = 5,
        VerifyVersion = 6,
        WaitForDevice = 7,
        Restarting = 8,
        WaitForReconnect = 9,
        Succeeded = 10,
    };
    Q_ENUM(State)

    enum Err {
        NoError = 0,
        InternalError = 1,
        NoResponse = 2,
        StartFailed = 3,
        TransferFailed = 4,
        InvalidFirmware = 5,
        FinishFailed = 6,
    };
    Q_ENUM(Err)

    // protocol and image are borrowed and must outlive the engine; board is
    // Mainboard, Terminal, or NoPart for a group of sensor boards.
    trvUpdater(trvInterface* protocol, HexReader* image, trvInterface::PartType board,
               QObject* parent = nullptr);
    ~trvUpdater() override;

    // For a sensor group (part NoPart): adds Sensor1 to Sensor5, each once.
    void addPart(trvInterface::PartType p);
    // Whether this step concerns the board p.
    bool hasPart(trvInterface::PartType p);
    // The waits to use; set before start(). The defaults are the instrument's.
    void setTiming(const trvTiming& waits);
    // Begins the step; called once. An image whose reader is not FileOk, or with a line
    // too long for one data message, fails it with InvalidFirmware before anything is sent.
    void start();

    // Ends the step where it stands, for good: the time-out is stopped, no
    // reply is heard any more, nothing more is sent and nothing is emitted,
    // also when called from a receiver of one of the engine's own signals.
    void stop();
    bool isStopped() const;

    // The board whose reply failed the step: it refused the update mode, a
    // line or the end, or reported another version than the image's. NoPart
    // while the step has not failed, and when no reply failed it (a time-out,
    // an image that cannot be sent).
    trvInterface::PartType failedPart() const;
    // The version that board reported when it ran another version than the
    // image's (FinishFailed); empty otherwise.
    QString reportedVersion() const;

    static QString stateDesription(trvUpdater::State state);
    static QString errorDescription(trvUpdater::Err error);
    // The error's description as written, in English whatever translation is
    // installed: for the history, the log and the report.
    static QString errorDescriptionInEnglish(trvUpdater::Err error);
    // The state's and the error's names in the code: the same in every
    // language, for the log, the history and machine-readable output.
    static QString stateName(trvUpdater::State state);
    static QString errorName(trvUpdater::Err error);

signals:
    void done();
    void canceled(trvUpdater::Err error);
    // Emitted before the state takes its new value.
    void currentState(trvUpdater::State state, trvUpdater::Err error);
    void range(int min, int max);
    void process(int now);

private slots:
    void timeout();
    void connected();
    void version(trvInterface::PartType p, QString text);
    void startAck(trvInterface::PartType p, bool ready);
    void dataAck(trvInterface::PartType p, int ok);
    void endAck(trvInterface::PartType p, bool ok);

private:
    void setTimeout(int ms);
    void clearTimeout();
    // Takes the state and reports it; false when the engine has been stopped,
    // also by a receiver of these reports.
    bool setState(trvUpdater::State s, trvUpdater::Err e = NoError);
    // Fails the step for the reply of the board p.
    void refusedBy(trvInterface::PartType p, trvUpdater::Err e);
    // Awaits a reply from every board of the step to the request about to be queued.
    void buildAckWaiter();
    // Whether a reply from p counts; if so, p is no longer awaited.
    bool ackWanted(trvInterface::PartType p);
    bool ackDone() const;
    void sendNextBlock();
    // Length of the longest line of text, its line feed included.
    static int longestBlock(const QByteArray& text);

    trvInterface* interface;
    HexReader* reader;
    trvInterface::PartType part;
    QTimer* timer;
    trvTiming timing;
    bool stopped = false;
    State state;
    QByteArray data;
    int position;
    int retries;
    QList<trvInterface::PartType> ackWaiter;
    // Input reports decoded when the awaited request was queued; replies
    // from these reports came before it left.
    quint64 reportsBeforeRequest;
    QList<trvInterface::PartType> sensors;
    trvInterface::PartType refusing = trvInterface::NoPart;
    QString refusingVersion; // what the refusing board reported instead of imageVersion
    // The image's version and checksum, taken by start() together with data.
    QString imageVersion;
    quint8 imageChecksum;
};
