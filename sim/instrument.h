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
    bool absent = false;          // not fitted: never answers anything
    bool silent = false;          // fitted, but answers nothing
    bool notReady = false;        // answers an update start with "not ready"
    int zeroAckAtLine = 0;        // answers this data line (1-based) with a zero ack; 0: never
    bool refuseEnd = false;       // refuses the end of every transfer
    int versionAfterUpdate = -1;  // reports this version (tenths) after an accepted end; -1: the image's
    int dropReplyAt = 0;          // loses its Nth reply (1-based, counted from now on); 0: never
};

// The instrument: a main board on USB (vendor 0x04D8, product 0xF93C) relaying
// to a control panel and five sensor boards. It is deterministic and runs no
// threads and no timers: the front passes the time in (milliseconds on any
// monotonic clock), and everything that is due happens when the front next
// writes, reads or looks for the device.
class Instrument
{
public:
    Instrument();
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    // A healthy instrument, plugged in, every board fitted and at version 1.0,
    // no latency, no faults, boards back at once after an update, the main
    // board off the bus for 1500 ms after its restart message (an update looks
    // for it again only after a second); the log is cleared.
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
    // The next input report the host reads is these bytes (padded to 64).
    void injectReport(const QByteArray& report);

    // --- Reading it back
    bool isPlugged() const;
    int version(Board board) const;
    BoardFaults faults(Board board) const;
    // The image text the board stored in its last transfer, line by line as received.
    QByteArray storedText(Board board) const;
    // Every message the host sent, in order (requests split out of the output reports).
    QList<QByteArray> messages() const;
    // The messages that board took as meant for itself (its own and the group's), in order.
    QList<QByteArray> received(Board board) const;
    // Every output report written, 65 bytes each, report ID first.
    QList<QByteArray> outputReports() const;
    // Every input report handed to the host, 64 bytes each.
    QList<QByteArray> inputReports() const;
    void clearLog();

    // --- The device side, used by the hidapi fronts
    // Whether a device with these IDs can be opened now; opening gives a
    // connection number that a later unplug makes stale.
    int open(unsigned short vendor, unsigned short product, qint64 now);
    bool setNonblocking(int connection);
    // A 65-byte output report, report ID first; -1 when the connection is gone.
    int write(int connection, const unsigned char* report, std::size_t length, qint64 now);
    // The next due input report (up to length bytes); 0 when none is due, -1 when the connection is gone.
    int read(int connection, unsigned char* report, std::size_t length, qint64 now);
    // Why the last call on that connection failed, or an empty text.
    QString lastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The instrument behind the in-process hidapi front (hid_open and friends).
Instrument& instrument();

} // namespace sim
