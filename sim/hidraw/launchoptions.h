#pragma once

#include "instrument.h"

#include <QMap>
#include <QString>
#include <QStringList>

// What trvloader-emulated is asked for on its command line: the emulated
// instruments' timing, firmware versions and faults (alike for each), how
// many there are and when they are plugged in, and the program that runs on
// them. Boards are named mainboard, terminal (or
// panel), sensor1 to sensor5, sensors (all five) or all.
class LaunchOptions
{
public:
    LaunchOptions();

    // Reads the arguments that follow the program name. False, with the reason
    // in error, when they do not make sense; nothing is then to be relied on.
    bool parse(const QStringList& arguments, QString* error);
    static QString usage();
    // Sets the instrument's timing, versions and faults as asked; the reply
    // delay and the open refusal are the hidraw front's
    // (HidrawInstrument::setReplyDelay, setOpenRefusal).
    void applyTo(sim::Instrument& instrument) const;
    // The serial number of the bench's instrument at index: "SN0001" for the
    // first of a bench (--instruments or --one-after-another), else the
    // instrument's own.
    QString serialNumber(int index) const;

    bool helpWanted = false;
    QString program;                 // the trvloader to run; empty: the default one
    QStringList programArguments;    // handed to it (those after "--")
    int plugAfter = 0;               // ms after the start until the instrument is plugged in
    int replugAfter = -1;            // ms after an unplug until it is back; -1: never
    int instruments = 0;             // how many; 0: one (one after another: without end)
    bool oneAfterAnother = false;    // one present at a time, each unplugged once updated
    int unplugAfter = -1;            // ...or this many ms after its plug; -1: only once updated
    int nextAfter = 1500;            // ...and the next plugged in this many ms after
    int unplugAtLine = 0;            // unplugged when this data message arrives; 0: never
    int minReplyDelay = 1000;        // a board answers a message after this many microseconds...
    int maxReplyDelay = 2000;        // ...up to this many (the front applies it, see main)
    int boardRestartTime = 1500;     // control panel and sensor boards, after an accepted end
    int mainboardRestartTime = 1500; // off the bus after its restart message
    int openRefusal = 0;             // the node may not be used: EACCES, EBUSY; 0: it may
    QMap<sim::Board, int> versions;  // installed firmware, in tenths (33 is v3.3)
    QMap<sim::Board, sim::BoardFaults> faults;
};
