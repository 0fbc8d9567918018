// Push-to-talk: what keys the transmitter while a sequence is sent.
//
// The classic way is the request-to-send line of the shared serial port. A radio interface may
// instead be keyed by the data-terminal-ready line, by either line inverted (idle high, keyed
// low), or through Hamlib (hamlib_ptt.h): a rig's own CAT command, a running rigctld, a USB sound
// card's CM108 GPIO pin, or a serial line that Hamlib drives. Every method answers the same
// calls, so the send routine (keyed_send.h) gives them all the same guarantees.
#pragma once

#include <QString>

#include "platform/serial_port.h"

namespace calvento {

// The ways Hamlib can key, by their command-line names, in the order the Radio dialog lists
// them: "rig" (CAT), "dtr", "rts", "cm108".
inline constexpr const char* kHamlibPttTypes[] = {"rig", "dtr", "rts", "cm108"};
inline bool IsHamlibPttType(const QString& type) {
    for (const char* t : kHamlibPttTypes)
        if (type == QLatin1String(t)) return true;
    return false;
}

class PushToTalk {
public:
    virtual ~PushToTalk() = default;

    // Puts the transmitter in its unkeyed state as the method takes over (an inverted line goes
    // high); false, with the reason in plain words, when the method cannot key anything.
    virtual bool prepare(QString* error) = 0;

    // Keys or releases the transmitter on the thread that sends; false, with the reason, when
    // that failed.
    virtual bool setKeyed(bool keyed, QString* error) = 0;

    // Releases the transmitter at once from any thread: the keyed-time guard's way down.
    virtual void releaseFromAnyThread() = 0;

    // Whether the transmitter is keyed, as the device reports it; false where it cannot tell.
    virtual bool readBack(bool* keyed, QString* error) = 0;

    // How the method names itself in messages: "RTS of /dev/ttyUSB0".
    virtual QString name() const = 0;
};

// One output line of the serial port; the other line keeps what the port set at its opening
// (RTS low, DTR high), except that a DTR method leaves RTS low and keys nothing else.
class SerialLinePushToTalk final : public PushToTalk {
public:
    // The port opens with the keying line already at its idle level (SerialPort::setLinesAtOpen);
    // the other line keeps its default.
    SerialLinePushToTalk(SerialPort& port, ModemLine line = ModemLine::Rts, bool inverted = false)
        : m_port(port) {
        setLine(line, inverted);
    }

    void setLine(ModemLine line, bool inverted) {
        m_line = line;
        m_inverted = inverted;
        m_port.setLinesAtOpen(line == ModemLine::Rts ? inverted : false,
                              line == ModemLine::Dtr ? inverted : true);
    }
    ModemLine line() const { return m_line; }
    bool inverted() const { return m_inverted; }

    bool prepare(QString* error) override;
    bool setKeyed(bool keyed, QString* error) override;
    void releaseFromAnyThread() override;
    bool readBack(bool* keyed, QString* error) override;
    QString name() const override;

private:
    SerialPort& m_port;
    ModemLine m_line;
    bool m_inverted;
};

}  // namespace calvento
