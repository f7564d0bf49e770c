#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <memory>

namespace sim {

// Board numbers as they travel in messages.
enum Board {
    NoPart = 0, // the sensor group: broadcast version requests and data blocks
    Sensor1 = 1,
    Sensor2 = 2,
    Sensor3 = 3,
    Sensor4 = 4,
    Sensor5 = 5,
    Terminal = 6,
    Mainboard = 7,
};

// What can go wrong with one board. A default-constructed value is a healthy board.
struct BoardFaults
{
    // Not fitted: never answers anything (the main board: not on the bus).
    bool absent = false;
    // Fitted, but ignores everything; what it got is still logged.
    bool silent = false;
    // Answers an update start with "not ready".
    bool notReady = false;
    // Answers this data line (1-based, counted from the update start) with a
    // zero ack and does not store it; 0: never.
    int zeroAckAtLine = 0;
    // Refuses the end of every transfer.
    bool refuseEnd = false;
    // Reports this version (tenths) after an accepted end; -1: the image's.
    int versionAfterUpdate = -1;
    // Loses its Nth reply (1-based, counted from now on); 0: never.
    int dropReplyAt = 0;
};

// The instrument: a main board on USB (vendor 0x04D8, product 0xF93C) relaying
// to a control panel and five sensor boards. It is deterministic and runs no
// threads and no timers: the front passes the time in (milliseconds on any
// monotonic clock), and everything that is due happens when the front next
// writes, reads or looks for the device.
//
// A board stores each valid data line of a transfer (an invalid one gets a
// zero ack). An end with the image checksum of the stored text is accepted:
// the board takes the version that the text's version block (0x840..0x87F)
// names as "vX.Y" (if it names none, the board keeps its old version), is
// silent for the board restart time and then reports it. The version block is
// read as the tool reads a firmware file, up to a record out of address
// order, if there is one. The main board installs it when it restarts: the
// restart message takes it off the bus for the main board restart time; open
// connections go stale, pending replies are lost. Replies leave in order, up
// to 21 records in one 64-byte input report, each report once the latency of
// the request it answers has passed. A start or a version request for the
// group reaches every sensor board; a group data block every sensor board in
// update mode; each answers for itself. Ends and restarts for the group are
// ignored.
class Instrument
{
public:
    // The serial number the bench's first instrument reports.
    static constexpr const char* defaultSerialNumber = "QX40-204871";

    // A fresh instrument (see reset()) that reports serialNumber.
    explicit Instrument(const QString& serialNumber = QString::fromLatin1(defaultSerialNumber));
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    // A healthy instrument, plugged in, every board fitted and at version 1.0,
    // no latency, no faults, the serial number it was made with, boards back at
    // once after an update, the main board off the bus for 1500 ms after its
    // restart message (an update looks for it again only after a second); the
    // log is cleared.
    void reset();

    // --- Setting it up
    void plug();
    void unplug();
    // Unplugs itself when the Nth data message (1-based, counted from now on) arrives.
    void unplugAtDataMessage(int n);
    // Replies become readable minLatency..maxLatency ms after their request was
    // written (a fixed pseudo-random sequence picks within the range).
    void setReplyLatency(int minLatency, int maxLatency);
    // How long the control panel and the sensor boards stay silent after an accepted end.
    void setBoardRestartTime(int ms);
    // How long the main board stays off the bus after its restart message.
    void setMainboardRestartTime(int ms);
    void setVersion(Board board, int tenths);
    void setFaults(Board board, const BoardFaults& faults);
    // Device-wide hidapi failures.
    void setWriteFails(bool fails);
    void setReadFails(bool fails);
    void setNonblockingFails(bool fails);
    // The device stays on the bus but refuses to be opened with this error
    // number (EACCES: this user may not open it; EBUSY: in use; ENOENT or
    // ENODEV: listed, but its node goes as it is opened); 0: opens.
    void setOpenRefusal(int errorNumber);
    // The USB serial number the device reports; empty: it reports none.
    void setSerialNumber(const QString& serialNumber);
    // The next input report the host reads is these bytes (padded to 64).
    void injectReport(const QByteArray& report);

    // --- Reading it back
    bool isPlugged() const;
    int openRefusal() const;
    QString serialNumber() const;
    // The delays in use (ms), as set above or by reset().
    int boardRestartTime() const;
    int mainboardRestartTime() const;
    int version(Board board) const;
    BoardFaults faults(Board board) const;
    // The image text the board stored in its last transfer, line by line as received.
    QByteArray storedText(Board board) const;
    // Every message the host sent, in order (requests split out of the output reports).
    QList<QByteArray> messages() const;
    // The messages that board took as meant for itself (its own and the group's), in order;
    // a group data block only while the board is in update mode. Absent boards receive nothing.
    QList<QByteArray> received(Board board) const;
    // How many of those were update messages (start, data, end, restart).
    int updateMessagesReceived(Board board) const;
    // Every output report written, 65 bytes each, report ID first.
    QList<QByteArray> outputReports() const;
    // Every input report handed to the host, 64 bytes each.
    QList<QByteArray> inputReports() const;
    void clearLog();
    // Whether the host has finished an update: some board has taken an update
    // start since the last reset(), and each that has took the new firmware
    // (the main board: installed it as it restarted) and has answered a
    // version request since; and the main board is on the bus.
    bool updateFinished(qint64 now) const;

    // --- The device side, used by the hidapi fronts
    // Whether a device with these IDs is on the bus now, whether or not it can be opened.
    bool isPresent(unsigned short vendor, unsigned short product, qint64 now) const;
    // Whether a device with these IDs can be opened now; opening gives a
    // connection number (1 or more) that a later unplug or restart makes
    // stale; 0 when no such device is on the bus or it refuses to be opened.
    int open(unsigned short vendor, unsigned short product, qint64 now);
    bool setNonblocking(int connection);
    // A 65-byte output report, report ID first; -1 when the connection is gone.
    int write(int connection, const unsigned char* report, std::size_t length, qint64 now);
    // The next due input report (up to length bytes); 0 when none is due,
    // -1 when the connection is gone.
    int read(int connection, unsigned char* report, std::size_t length, qint64 now);
    // Why the last call on that connection failed, or an empty text.
    QString lastError() const;

private:
    QString madeWithSerialNumber;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The bench of instruments behind the in-process hidapi front (hid_enumerate,
// hid_open and friends): each present one is listed with its own path
// ("emulated:<index>") and serial number, and a handle talks to its own only.

// The bench's first instrument, as before (serial "QX40-204871" after reset()).
Instrument& instrument();
// The bench's instrument at index (0 is instrument()). Asking for one past the
// last adds instruments up to it: each fresh (reset(), so plugged in), with the
// serial number "SN%04d" of index + 1 ("SN0002" for index 1), and its own
// device path "emulated:<index>".
Instrument& instrumentAt(int index);
// How many instruments the bench has (at least 1).
int benchSize();
// Removes every instrument but the first (as unplugged); the first is left as it is.
void clearBench();

} // namespace sim
