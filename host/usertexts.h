#pragma once

#include "filefault.h"
#include "hexreader.h"
#include "trvinstrument.h"
#include "updatehistory.h"
#include "usbhid.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// The words both front ends say about the instrument and its update, each
// written once: what failed and what to do next, the boards left out, the
// late main board, why the instrument cannot be opened, an update that did
// not finish, and an image's name.
class UserTexts
{
    Q_DECLARE_TR_FUNCTIONS(UserTexts)

public:
    using PartType = trvInterface::PartType;

    // Which front end asks: where they differ, each names its own way.
    enum FrontEnd {
        Window,
        CommandLine,
    };

    // Which boards failed and why, e.g. "Keys 43-64 (sensor2): Errors while
    // transfering data".
    static QString failureText(const trvInstrument::Failure& failure);
    // What the user can do about the failure, and when it fails again, on
    // a line of its own.
    static QString failureAdvice(const trvInstrument::Failure& failure, FrontEnd asking);
    // What to do when the update fails again: a report for support, made as
    // the front end makes it.
    static QString reportAdvice(FrontEnd asking);
    // That running the update again brings the boards back.
    static QString runAgainAdvice();
    // The boards an update left out and why; empty for none.
    static QString leftOutText(const QList<PartType>& boards);
    // The boards an update installed again at the version they ran; empty for none.
    static QString reinstalledText(const QList<PartType>& boards);
    // The boards an update left out since they already ran their image's
    // version; empty for none.
    static QString alreadyCurrentText(const QList<PartType>& boards);
    // That every board asked for already runs its image's version: nothing was sent.
    static QString allCurrentText();
    // That the instrument went while the update was being started: nothing was sent.
    static QString goneBeforeStartText();
    // That the main board came back late, with the version it runs now.
    static QString lateReturnText(const QString& version);
    // That the main board is not back yet and how long the tool listens for it.
    static QString lateWaitText(int lateReturnMilliseconds);
    // That the main board is restarting and how long the tool waits for it at most.
    static QString restartWaitText(int millisecondsAtMost);
    // The update's time left, "about 1 min 20 s left" (seconds not below 0).
    static QString timeLeftText(int seconds);

    // Why the instrument on USB cannot be opened (errorNumber not 0), and
    // what fixes it, as one text.
    static QString refusalText(int errorNumber, UsbHid::Language language = UsbHid::UserLanguage);

    // What a front end says about an unfinished step: which boards may need a
    // new update, and that running the update again brings them back.
    static QString unfinishedText(const HistoryRecord& record);
    // The record's boards by their row names, in the order of the rows.
    static QStringList rowNames(const HistoryRecord& record);

    // The details behind a firmware file the reader refused: the fault where
    // it is known, else the cause its state tells and what fixes the file;
    // empty when there is nothing more to say.
    static QString fileFaultDetails(HexReader::Err state, const FileFault& fault,
                                    const QString& fileName);

    // A usable image by its part code and version, "KTERM-v2.1.hex".
    static QString imageName(const HexReader& image);
    // Where a group's image comes from: "built-in", or the file it was read from.
    static QString imageSource(const QString& fileName);
    // A board whose image is older than what it runs: "Control Panel
    // (terminal): installed v3.0, image v2.1 is older".
    static QString olderText(PartType board, const QString& installed, const QString& image);

    // Which instrument: "Instrument SN0001", or that it reports no serial number.
    static QString instrumentText(const QString& serialNumber);
    // How an attached instrument is named where one is chosen: its serial
    // number, or its device path where it reports none.
    static QString deviceName(const UsbHid::Device& device);
    // "Several instruments are connected: SN0001, SN0002."
    static QString severalText(const QList<UsbHid::Device>& devices);
};
