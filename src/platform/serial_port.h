// The serial port seam: the board link's port (the window's MSComm1) and push-to-talk's serial
// lines. It sits with the platform so that push-to-talk (tone/) and the board link (link/) both
// stand on it without depending on each other; the backends live in link/.
//
// The window opens it on a device name, writes bytes, raises and drops RTS, takes what arrived
// and hears of arrivals and line errors through two signals. Line errors carry the classic
// communication-event codes (1001 break ... 1011 device control block error) because the status
// window shows them. The Qt backend drives a real QSerialPort at 4800 baud, 8 data bits, no
// parity, one stop bit, no flow control; the tests use a fake that records every byte and line
// change.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace calvento {

// Communication-event codes reported by lineError().
namespace CommEvent {
constexpr int Receive = 2;
constexpr int Break = 1001;
constexpr int Frame = 1004;
constexpr int Overrun = 1006;
constexpr int RxOver = 1008;
constexpr int RxParity = 1009;
constexpr int TxFull = 1010;
constexpr int Dcb = 1011;
}  // namespace CommEvent

// The two output lines of the port that can key a transmitter.
enum class ModemLine { Rts, Dtr };

// "RTS" or "DTR", as messages name the line.
inline QString ModemLineName(ModemLine line) {
    return line == ModemLine::Rts ? QStringLiteral("RTS") : QStringLiteral("DTR");
}

class SerialPort : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens the device with the line settings above, its two output lines set at once to the
    // levels of setLinesAtOpen: by default RTS low (opening never keys a transmitter) and DTR
    // high (the classic port control raised it, and some programming cables draw their power
    // from it). On failure `error` holds the system's reason.
    virtual bool open(const QString& device, QString* error) = 0;

    // The levels the output lines take when the port opens: push-to-talk on a line sets that
    // line's idle level here, so that the transmitter is not keyed for an instant at the open.
    void setLinesAtOpen(bool rts, bool dtr) {
        m_rtsAtOpen = rts;
        m_dtrAtOpen = dtr;
    }
    bool rtsAtOpen() const { return m_rtsAtOpen; }
    bool dtrAtOpen() const { return m_dtrAtOpen; }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The device the port was last opened on.
    virtual QString device() const = 0;

    // Queues bytes for sending; false when the port is closed or refuses them.
    virtual bool write(const QByteArray& bytes) = 0;

    // Raises or drops the request-to-send line. False, with the reason, when the line cannot be
    // set: the port is closed, or the device has no modem lines (a pseudo-terminal, some
    // adapters), or it has gone away.
    virtual bool setRts(bool on, QString* error) = 0;

    // Raises or drops the data-terminal-ready line, with the same answers as setRts.
    virtual bool setDtr(bool on, QString* error) = 0;

    // Reads back the state of an output line; false, with the reason, where the device cannot
    // tell (a pseudo-terminal has no modem lines).
    virtual bool lineState(ModemLine line, bool* on, QString* error) = 0;

    // Sets an output line at once, from any thread, without the event loop: the keyed-time
    // guard's way to release a transmitter while the thread that keyed it is held up. Nothing
    // happens on a closed port or a device without modem lines.
    virtual void setLineFromAnyThread(ModemLine line, bool on) = 0;

    // When set, zero bytes are dropped from what arrives.
    virtual void setNullDiscard(bool discard) = 0;

    // Everything received since the last call, one byte per character.
    virtual QByteArray takeReceived() = 0;

signals:
    // Bytes are waiting in takeReceived().
    void received();
    // A line error or a failure of the device, with its communication-event code.
    void lineError(int code);

private:
    bool m_rtsAtOpen = false;
    bool m_dtrAtOpen = true;
};

}  // namespace calvento
