// The serial trace. See serial_trace.h.
#include "link/serial_trace.h"

#include "platform/clock.h"

namespace calvento {

namespace {

// Bytes closer together than this, in one direction, are one burst.
constexpr uint32_t kBurstGapMs = 5;

}  // namespace

SerialTrace::SerialTrace(Clock& clock) : m_clock(clock) {}

SerialTrace::~SerialTrace() {
    close();
}

bool SerialTrace::open(const QString& path, QString* error) {
    close();
    m_error.clear();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        if (error) *error = m_file.errorString();
        return false;
    }
    m_start = m_clock.tickCount();
    return true;
}

QString SerialTrace::stamp(uint32_t tick) const {
    const uint32_t ms = tick - m_start;
    return QStringLiteral("%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

void SerialTrace::add(char direction, const QByteArray& bytes) {
    if (!m_file.isOpen() || bytes.isEmpty()) return;
    const uint32_t now = m_clock.tickCount();
    if (direction != m_direction || now - m_lastByte > kBurstGapMs) {
        endBurst();
        m_direction = direction;
        m_burstStart = now;
    }
    m_burst += bytes;
    m_lastByte = now;
}

void SerialTrace::endBurst() {
    if (m_direction && !m_burst.isEmpty()) {
        writeLine(stamp(m_burstStart).toLatin1() + ' ' + m_direction + ' ' +
                  m_burst.toHex(' ').toUpper() + '\n');
    }
    m_burst.clear();
    m_direction = 0;
}

void SerialTrace::note(const QString& text) {
    if (!m_file.isOpen()) return;
    endBurst();
    writeLine((stamp(m_clock.tickCount()) + QStringLiteral(" ! ") + text + '\n').toUtf8());
}

// Each line reaches the file at once; the first failure is kept for the caller to report.
void SerialTrace::writeLine(const QByteArray& line) {
    if ((m_file.write(line) != line.size() || !m_file.flush()) && m_error.isEmpty())
        m_error = m_file.errorString();
}

void SerialTrace::close() {
    if (!m_file.isOpen()) return;
    endBurst();
    m_file.close();
}

}  // namespace calvento
