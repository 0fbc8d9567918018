// Qt SerialPort backend. See qt_serial_port.h.
#include "link/qt_serial_port.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace calvento {

QtSerialPort::QtSerialPort(QObject* parent) : SerialPort(parent) {
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::received);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

bool QtSerialPort::open(const QString& device, QString* error) {
    close();
    m_device = device;
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud4800);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // A failed open is answered here, with the system's reason; the error signal that comes with
    // it is no line error, and handling it would clear the reason before it is read.
    m_opening = true;
    const bool opened = m_port.open(QIODevice::ReadWrite);
    m_opening = false;
    if (!opened) {
        if (error) *error = m_port.errorString();
        m_port.clearError();
        return false;
    }
    // Opening a port on Linux raises RTS and DTR. Both go at once to the levels asked for: RTS
    // low unless it is an inverted push-to-talk line, DTR high (some cables draw power from it)
    // unless it is the push-to-talk line. A device without modem lines refuses both, which is
    // fine here.
    m_port.setRequestToSend(rtsAtOpen());
    m_port.setDataTerminalReady(dtrAtOpen());
    m_port.clearError();
    const std::lock_guard lock(m_handleMutex);
    m_handle = m_port.handle();
    m_haveHandle = true;
    return true;
}

void QtSerialPort::close() {
    {
        const std::lock_guard lock(m_handleMutex);
        m_haveHandle = false;
    }
    if (m_port.isOpen()) m_port.close();
}

void QtSerialPort::setLineFromAnyThread(ModemLine line, bool on) {
    const std::lock_guard lock(m_handleMutex);
    if (!m_haveHandle) return;
#ifdef Q_OS_WIN
    const DWORD function = line == ModemLine::Rts ? (on ? SETRTS : CLRRTS) : (on ? SETDTR : CLRDTR);
    EscapeCommFunction(m_handle, function);
#else
    int bits = line == ModemLine::Rts ? TIOCM_RTS : TIOCM_DTR;
    ioctl(m_handle, on ? TIOCMBIS : TIOCMBIC, &bits);
#endif
}

bool QtSerialPort::write(const QByteArray& bytes) {
    if (!m_port.isOpen()) return false;
    if (m_port.write(bytes) != bytes.size()) return false;
    // The exchanges pace the board with blocking pauses, during which Qt would not write what
    // it queued: hand the bytes to the system now.
    return m_port.waitForBytesWritten(2000) || m_port.bytesToWrite() == 0;
}

// The answer of a line call: the port's reason on failure, its error state cleared.
bool QtSerialPort::answer(bool ok, QString* error) {
    if (!ok) {
        if (error)
            *error =
                m_port.isOpen() ? m_port.errorString() : QStringLiteral("the port is not open");
        m_port.clearError();
    }
    return ok;
}

bool QtSerialPort::setRts(bool on, QString* error) {
    return answer(m_port.isOpen() && m_port.setRequestToSend(on), error);
}

bool QtSerialPort::setDtr(bool on, QString* error) {
    return answer(m_port.isOpen() && m_port.setDataTerminalReady(on), error);
}

bool QtSerialPort::lineState(ModemLine line, bool* on, QString* error) {
    if (!m_port.isOpen()) return answer(false, error);
    const QSerialPort::PinoutSignals pins = m_port.pinoutSignals();
    if (m_port.error() != QSerialPort::NoError) return answer(false, error);
    *on = pins.testFlag(line == ModemLine::Rts ? QSerialPort::RequestToSendSignal
                                               : QSerialPort::DataTerminalReadySignal);
    return true;
}

QByteArray QtSerialPort::takeReceived() {
    QByteArray bytes = m_port.readAll();
    if (m_nullDiscard) bytes.replace(QByteArray(1, '\0'), QByteArray());
    return bytes;
}

// Qt's error numbers are not the classic communication events: only what means the same is
// mapped (a device that went away, a write that failed); the rest is reported under a number of
// its own, 2000 and up, so that "Errore n." names it and it never reads as a break or a framing
// error.
void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    if (m_opening) return;
    switch (error) {
        case QSerialPort::NoError:
        case QSerialPort::UnsupportedOperationError:  // answered where it was asked
            return;
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
            // The device went away (an adapter pulled out): nothing more will come from it.
            m_port.clearError();
            close();
            emit lineError(CommEvent::Dcb);
            return;
        case QSerialPort::WriteError:
            m_port.clearError();
            emit lineError(CommEvent::TxFull);
            return;
        default:
            m_port.clearError();
            emit lineError(kQtErrorBase + static_cast<int>(error));
            return;
    }
}

}  // namespace calvento
