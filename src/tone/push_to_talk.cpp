// Push-to-talk on a serial line. See push_to_talk.h.
#include "tone/push_to_talk.h"

namespace calvento {

QString SerialLinePushToTalk::name() const {
    return ModemLineName(m_line) + (m_inverted ? QStringLiteral(" (inverted)") : QString()) +
           QStringLiteral(" of ") + m_port.device();
}

bool SerialLinePushToTalk::prepare(QString* error) {
    if (setKeyed(false, error)) return true;
    if (error && m_port.isOpen())
        *error = QStringLiteral(
                     "%1 has no %2 line that can be set (%3): the transmitter cannot "
                     "be keyed through it.")
                     .arg(m_port.device(), ModemLineName(m_line), *error);
    return false;
}

bool SerialLinePushToTalk::setKeyed(bool keyed, QString* error) {
    if (!m_port.isOpen()) {
        if (error) *error = QStringLiteral("The PTT port is not open.");
        return false;
    }
    const bool level = keyed != m_inverted;
    QString reason;
    const bool ok =
        m_line == ModemLine::Rts ? m_port.setRts(level, &reason) : m_port.setDtr(level, &reason);
    if (!ok && error) *error = m_port.device() + QStringLiteral(": ") + reason;
    return ok;
}

void SerialLinePushToTalk::releaseFromAnyThread() {
    m_port.setLineFromAnyThread(m_line, m_inverted);
}

bool SerialLinePushToTalk::readBack(bool* keyed, QString* error) {
    bool level = false;
    QString reason;
    if (!m_port.lineState(m_line, &level, &reason)) {
        if (error) *error = m_port.device() + QStringLiteral(": ") + reason;
        return false;
    }
    *keyed = level != m_inverted;
    return true;
}

}  // namespace calvento
