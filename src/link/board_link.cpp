// The board exchanges. See board_link.h.
#include "link/board_link.h"

#include <QTimer>

#include "app/clock.h"
#include "link/serial_port.h"

namespace calvento {

namespace {

QByteArray bytesOf(const uint8_t* data, size_t n) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(n));
}

}  // namespace

BoardLink::BoardLink(SerialPort& port, Clock& clock, LinkView& view,
                     std::function<QString()> portText, QObject* parent)
    : QObject(parent), m_port(port), m_clock(clock), m_view(view), m_portText(std::move(portText)) {
    m_tmrTimeOut = new QTimer(this);
    m_tmrTimeOut->setObjectName(QStringLiteral("tmrTimeOut"));
    m_tmrTimeOut->setInterval(2400);
    m_tmrTimeOut->setSingleShot(true);
    connect(m_tmrTimeOut, &QTimer::timeout, m_tmrTimeOut, &QTimer::stop);  // tmrTimeOut_Timer
    connect(&m_port, &SerialPort::received, this, [this] { MSComm1_OnComm(CommEvent::Receive); });
    connect(&m_port, &SerialPort::lineError, this, &BoardLink::MSComm1_OnComm);
}

void BoardLink::appendInfo(const QString& text) {
    m_view.setInfo(m_view.info() + text);
}

bool BoardLink::send(const QByteArray& bytes) {
    if (m_port.isOpen() && m_port.write(bytes)) return true;
    m_portFailure =
        m_port.isOpen()
            ? QStringLiteral("The serial port %1 refused the data.").arg(m_port.device())
            : QStringLiteral("The serial port %1 is no longer open.").arg(m_port.device());
    return false;
}

// 256 spaces, one write each: whatever the board was in the middle of, it ends.
bool BoardLink::sendFlush() {
    for (int i = 0; i < BoardCommand::FlushSpaces; ++i)
        if (!send(QByteArray(1, ' '))) return false;
    return true;
}

// Arms tmrTimeOut and runs event-loop turns until it has fired (or `done` holds); false when
// the port went away in the meantime (an adapter pulled out), so that no run waits on a dead
// port. The clock decides too, so that tests with a fake clock need no real timer.
bool BoardLink::waitTimeOut(int ms, const std::function<bool()>& done) {
    m_tmrTimeOut->start(ms);
    const uint32_t t0 = m_clock.tickCount();
    while (m_tmrTimeOut->isActive() && !(done && done())) {
        m_clock.processEvents();
        if (!m_port.isOpen()) {
            m_tmrTimeOut->stop();
            m_portFailure =
                QStringLiteral("The serial port %1 is no longer open.").arg(m_port.device());
            return false;
        }
        if (static_cast<uint32_t>(m_clock.tickCount() - t0) >= static_cast<uint32_t>(ms))
            m_tmrTimeOut->stop();
    }
    return true;
}

// After a failed wait: say so, restart the receiver on the next byte and flush the board.
BoardLink::Outcome BoardLink::failedWait(const QString& text, Outcome outcome) {
    m_view.setInfo(text);
    m_view.setOkVisible(true);
    m_rx.restartReceiver = true;
    return sendFlush() ? outcome : Outcome::PortFailed;
}

BoardLink::Outcome BoardLink::read() {
    m_portFailure.clear();
    m_view.setOkVisible(false);
    m_view.setInfo(QStringLiteral("\r\nReading Data."));
    m_view.showStatus();
    m_clock.processEvents();
    m_clock.sleepMs(200);
    appendInfo(QStringLiteral("."));
    m_clock.processEvents();
    if (!RequestIdentification()) {
        if (!m_portFailure.isEmpty()) return Outcome::PortFailed;
        return failedWait(
            QStringLiteral("FAILED to read version! Please Check Connections / Decoder"),
            Outcome::NoVersion);
    }
    m_clock.sleepMs(200);
    appendInfo(QStringLiteral("."));
    m_clock.processEvents();
    return requestData(false,
                       QStringLiteral("FAILED to read data!  Please check Connections / Decoder"));
}

// The read command and the full 832 ms wait for the data reply, which the receiver decodes or
// compares as it completes; zero bytes are let through only while it comes.
BoardLink::Outcome BoardLink::requestData(bool verify, const QString& failure) {
    m_verifyMode = verify;
    m_port.setNullDiscard(false);
    if (!send(bytesOf(BoardCommand::Read, 2))) return Outcome::PortFailed;
    m_clock.processEvents();
    if (!waitTimeOut(832)) return Outcome::PortFailed;
    m_port.setNullDiscard(true);
    if (!m_view.okVisible()) return failedWait(failure, Outcome::NoData);
    return m_lastReply;
}

BoardLink::Outcome BoardLink::program(int portNumber) {
    m_portFailure.clear();
    const std::array<WritePacket, 4> packets = WritePackets(m_txImage);
    if (!m_port.isOpen()) return Outcome::Done;
    m_view.setInfo(QStringLiteral("\r\nSending data on COM%1.").arg(portNumber));
    m_view.setOkVisible(false);
    m_view.showStatus();
    m_clock.processEvents();
    if (!RequestIdentification()) {
        if (!m_portFailure.isEmpty()) return Outcome::PortFailed;
        return failedWait(
            QStringLiteral("FAILED to get Version!  Unable to program, please check Decoder"),
            Outcome::NoVersion);
    }
    m_clock.sleepMs(10);
    // The board takes the packets at its own pace: no reply, only the pauses between them.
    if (!send(bytesOf(BoardCommand::Write, 2) + bytesOf(packets[0].data(), kPacketSize)))
        return Outcome::PortFailed;
    for (size_t k = 0; k < 4; ++k) {
        if (k > 0 && !send(bytesOf(packets[k].data(), kPacketSize))) return Outcome::PortFailed;
        m_clock.sleepMs(520);
        appendInfo(QStringLiteral("."));
        m_clock.processEvents();
    }
    m_clock.sleepMs(100);
    return requestData(
        true, QStringLiteral("FAILED to read data!  Unable to program, please check Decoder"));
}

bool BoardLink::RequestIdentification() {
    m_portFailure.clear();
    m_identification.clear();
    m_showIdentification = false;
    if (!send(bytesOf(BoardCommand::Identify, 2))) return false;
    if (!waitTimeOut(100, [this] { return !m_identification.isEmpty(); })) return false;
    m_showIdentification = true;
    return m_identification == QLatin1String(kExpectedIdentification);
}

void BoardLink::MSComm1_OnComm(int commEvent) {
    QString text;
    switch (commEvent) {
        case CommEvent::Receive:
            ReadInput();
            return;
        case CommEvent::Break:
            text = QStringLiteral("Comm Break Detected");
            break;
        case CommEvent::Frame:
            text = QStringLiteral("Comm Frame Error");
            break;
        case CommEvent::Overrun:
            text = QStringLiteral("Comm OverRun Error");
            break;
        case CommEvent::RxOver:
            text = QStringLiteral("Comm OverFlow Error");
            break;
        case CommEvent::RxParity:
            text = QStringLiteral("Comm Parity Error");
            break;
        case CommEvent::TxFull:
            text = QStringLiteral("Comm Tx Buffer Full");
            break;
        case CommEvent::Dcb:
            text = QStringLiteral("Comm Device Control Block Error");
            break;
        default:
            text = QStringLiteral("Errore n.%1 su COM%2")
                       .arg(commEvent)
                       .arg(m_portText ? m_portText() : QString());
            break;
    }
    m_view.setInfo(text);  // seen only while the status window is up
}

void BoardLink::ReadInput() {
    m_pendingInput += m_port.takeReceived();
    while (!m_pendingInput.isEmpty()) {
        const auto b = static_cast<uint8_t>(m_pendingInput.front());
        m_pendingInput.remove(0, 1);
        const ReplyEvent event = HandleReplyByte(m_rx, b);
        if (event == ReplyEvent::IdentificationReply) completeIdentification();
        if (event == ReplyEvent::DataReply || event == ReplyEvent::DataReplyBadSum)
            completeDataReply(event);
    }
}

void BoardLink::completeIdentification() {
    m_identification = QString::fromLatin1(IdentificationText(m_rx.rxText).c_str());
    if (!m_showIdentification) return;
    if (m_identification == QLatin1String(kExpectedIdentification)) {
        m_view.setOkVisible(true);
        m_view.setInfoRed(false);
        m_view.setInfo(m_identification + QStringLiteral(" detected."));
    } else {
        m_view.setInfoRed(true);
        m_view.setInfo(QStringLiteral("Wrong version detected: ") + m_identification +
                       QStringLiteral("\r\nUse ") + QLatin1String(kExpectedIdentification) +
                       QStringLiteral(" !"));
    }
    m_view.showStatus();
}

void BoardLink::completeDataReply(ReplyEvent event) {
    if (event == ReplyEvent::DataReplyBadSum) {
        m_lastReply = Outcome::BadSum;
        m_view.setInfo(QStringLiteral("Error reading data from ") + m_identification);
    } else if (m_verifyMode) {
        const bool same = m_rx.receiveImage == m_txImage;
        m_lastReply = same ? Outcome::Done : Outcome::Mismatch;
        m_view.setInfo(same ? m_identification + QStringLiteral(" successfully programmed")
                            : QStringLiteral("Error programming ") + m_identification);
    } else {
        m_lastReply = Outcome::Done;
        m_view.decode(m_rx.receiveImage);
        m_view.setInfo(QStringLiteral("Data from ") + m_identification +
                       QStringLiteral(" successfully read"));
    }
    m_view.setOkVisible(true);
    m_view.showStatus();
}

}  // namespace calvento
