// The board exchanges. See board_link.h.
#include "link/board_link.h"

#include <QStringList>
#include <algorithm>

#include "config/config_file.h"
#include "platform/serial_port.h"
#include "link/serial_trace.h"
#include "platform/clock.h"

namespace calvento {

QString DifferingFields(const DecoderImage& sent, const DecoderImage& readBack) {
    // The fields whose values differ, then the fields of any other byte that differs (a filler
    // of a command's slot, a flag the record does not show), each once, as the window labels them.
    std::vector<ConfigField> fields;
    for (const FieldChange& c : ConfigChanges(DecodeConfig(sent), DecodeConfig(readBack)))
        fields.push_back(c.field);
    QStringList offsets;
    for (int i = 0; i < kImageSize; ++i) {
        if (sent[i] == readBack[i]) continue;
        const std::vector<ConfigField> of = FieldsOfImageByte(i, sent[i], readBack[i]);
        if (of.empty()) offsets << QString::number(i);
        for (ConfigField f : of)
            if (std::find(fields.begin(), fields.end(), f) == fields.end()) fields.push_back(f);
    }
    QStringList names;
    for (ConfigField f : fields) names << QString::fromStdString(WindowLabel(f));
    const QString bytes = offsets.join(QStringLiteral(", "));
    if (names.isEmpty()) return QStringLiteral("Differs at byte ") + bytes;
    if (!offsets.isEmpty()) names << QStringLiteral("byte ") + bytes;
    // As many names as fit the status window's two lines for it, then how many more.
    constexpr int kLineChars = 48;
    QString text = QStringLiteral("Differs: ") + names[0];
    qsizetype shown = 1;
    for (; shown < names.size(); ++shown) {
        const QString longer = text + QStringLiteral(", ") + names[shown];
        const QString more = shown + 1 < names.size() ? QStringLiteral(" and 99 more") : QString();
        if (longer.size() + more.size() > kLineChars) break;
        text = longer;
    }
    if (shown < names.size()) text += QStringLiteral(" and %1 more").arg(names.size() - shown);
    return text;
}

QString BoardStateAfterWrite(BoardLink::Outcome outcome, bool writeBegan, const QString& backup,
                             const QString& restoreHow, const QString& readHow) {
    using Outcome = BoardLink::Outcome;
    if (!writeBegan || outcome == Outcome::Done) return QString();
    if (outcome == Outcome::NoData || outcome == Outcome::BadSum)
        return QStringLiteral("The board was written but not verified: %1 shows what it holds.")
            .arg(readHow);
    const QString state = outcome == Outcome::Mismatch
                              ? QStringLiteral("The board does not hold the configuration sent.")
                              : QStringLiteral(
                                    "The board may now hold part of the new "
                                    "configuration.");
    if (backup.isEmpty()) return state + QStringLiteral(" No backup was taken before the write.");
    return state + QStringLiteral(
                       " The configuration it held before is kept in %1; %2 puts it "
                       "back.")
                       .arg(backup, restoreHow);
}

BoardLink::BoardLink(SerialPort& port, Clock& clock, LinkView& view,
                     std::function<QString()> portText, QObject* parent)
    : QObject(parent), m_port(port), m_clock(clock), m_view(view), m_portText(std::move(portText)) {
    connect(&m_port, &SerialPort::received, this, [this] { MSComm1_OnComm(CommEvent::Receive); });
    connect(&m_port, &SerialPort::lineError, this, &BoardLink::MSComm1_OnComm);
}

void BoardLink::setInfo(const QString& text) {
    m_info = text;
    m_view.setInfo(text);
}

void BoardLink::appendInfo(const QString& text) {
    setInfo(m_info + text);
}

bool BoardLink::send(const uint8_t* bytes, size_t n) {
    const QByteArray data(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(n));
    if (m_trace) m_trace->sent(data);
    if (m_port.isOpen() && m_port.write(data)) return true;
    m_portFailure =
        m_port.isOpen()
            ? QStringLiteral("The serial port %1 refused the data.").arg(m_port.device())
            : QStringLiteral("The serial port %1 is no longer open.").arg(m_port.device());
    return false;
}

// 256 spaces, one write each: whatever the board was in the middle of, it ends.
bool BoardLink::sendFlush() {
    const uint8_t space = ' ';
    for (int i = 0; i < BoardCommand::FlushSpaces; ++i)
        if (!send(&space, 1)) return false;
    return true;
}

bool BoardLink::portGone() {
    if (m_port.isOpen()) return false;
    m_portFailure = QStringLiteral("The serial port %1 is no longer open.").arg(m_port.device());
    return true;
}

// Runs event-loop turns until `ms` milliseconds have passed by the clock (or `done` holds), so
// that a wait never ends early the way a coarse timer may; false when the port went away in the
// meantime (an adapter pulled out), so that no run waits on a dead port. The last turn comes
// after the time is up: bytes that arrived in time are handled even when the program itself was
// held up just then.
bool BoardLink::waitFor(int ms, const std::function<bool()>& done) {
    const uint32_t t0 = m_clock.tickCount();
    for (;;) {
        const bool timeUp =
            static_cast<uint32_t>(m_clock.tickCount() - t0) >= static_cast<uint32_t>(ms);
        m_clock.processEvents();
        if (portGone() || stopping()) return false;
        if (timeUp || (done && done())) return true;
    }
}

// After a failed wait: say so, restart the receiver on the next byte and flush the board.
BoardLink::Outcome BoardLink::failedWait(const QString& text, Outcome outcome) {
    setInfo(text);
    m_view.setOkVisible(true);
    m_rx.restartReceiver = true;
    return sendFlush() ? outcome : Outcome::PortFailed;
}

// Every run starts with its own flags clear and ends not running, whatever way it ends; the
// status window offers its OK button after every outcome, a failed port and a stop included.
BoardLink::Outcome BoardLink::run(const std::function<Outcome()>& steps) {
    m_portFailure.clear();
    m_dataReplyCompleted = false;
    m_dataReply = Outcome::NoData;
    m_writeBegan = false;
    m_running = true;
    Outcome outcome = stopping() ? Outcome::Stopped : steps();
    m_running = false;
    m_awaitingData = false;
    if (outcome == Outcome::Stopped) {
        m_rx.restartReceiver = true;
        if (!m_port.isOpen() || !sendFlush()) outcome = Outcome::PortFailed;
    }
    if (outcome == Outcome::PortFailed || outcome == Outcome::Stopped) m_view.setOkVisible(true);
    return outcome;
}

bool BoardLink::signOn(int waitMs) {
    m_showIdentification = true;
    m_identification.clear();
    if (!send(BoardCommand::Identify, 2)) return false;
    if (waitMs > 0) {
        waitFor(waitMs, [this] { return !m_identification.isEmpty(); });
        if (m_identification.isEmpty() && m_trace)
            m_trace->note(QStringLiteral("the switch-on identification wait of %1 ms ended "
                                         "without a reply")
                              .arg(waitMs));
    }
    return m_identification == QLatin1String(kExpectedIdentification);
}

void BoardLink::signOff() {
    if (!m_port.isOpen()) return;
    send(BoardCommand::SignOff, 2);
    m_clock.processEvents();
}

BoardLink::Outcome BoardLink::readImage(DecoderImage* image) {
    m_decodeReplies = false;
    const Outcome outcome = read();
    m_decodeReplies = true;
    if (outcome == Outcome::Done && image) *image = m_rx.receiveImage;
    return outcome;
}

BoardLink::Outcome BoardLink::read() {
    return run([this] {
        if (portGone()) return Outcome::PortFailed;
        m_view.setOkVisible(false);
        setInfo(QStringLiteral("\r\nReading Data."));
        m_view.showStatus();
        m_clock.processEvents();
        m_clock.sleepMs(200);
        appendInfo(QStringLiteral("."));
        m_clock.processEvents();
        if (const Outcome o = identify(
                QStringLiteral("FAILED to read version! Please Check Connections / Decoder"));
            o != Outcome::Done)
            return o;
        m_clock.sleepMs(200);
        appendInfo(QStringLiteral("."));
        m_clock.processEvents();
        if (stopping()) return Outcome::Stopped;
        return requestData(
            false, QStringLiteral("FAILED to read data!  Please check Connections / Decoder"));
    });
}

// The read command and the full data wait. The receiver decodes or compares the reply as it
// completes; only a reply completed inside this wait answers the run. Zero bytes are let through
// only while it comes.
BoardLink::Outcome BoardLink::requestData(bool verify, const QString& failure) {
    m_verifyMode = verify;
    m_dataReplyCompleted = false;
    m_port.setNullDiscard(false);
    m_awaitingData = true;
    if (!send(BoardCommand::Read, 2)) return Outcome::PortFailed;
    m_clock.processEvents();
    const bool portUp = !portGone() && waitFor(kDataWaitMs);
    m_awaitingData = false;
    if (!portUp) {
        if (portGone()) return Outcome::PortFailed;
        m_port.setNullDiscard(true);
        return Outcome::Stopped;
    }
    m_port.setNullDiscard(true);
    if (!m_dataReplyCompleted) {
        if (m_trace)
            m_trace->note(QStringLiteral("the data wait of %1 ms ended without a data reply")
                              .arg(kDataWaitMs));
        return failedWait(failure, Outcome::NoData);
    }
    return m_dataReply;
}

BoardLink::Outcome BoardLink::program(const DecoderImage& image, const QString& portName) {
    return run([this, &image, &portName] {
        m_txImage = image;
        const std::array<WritePacket, 4> packets = WritePackets(m_txImage);
        if (portGone()) return Outcome::PortFailed;
        setInfo(QStringLiteral("\r\nSending data on %1.").arg(portName));
        m_view.setOkVisible(false);
        m_view.showStatus();
        m_clock.processEvents();
        if (const Outcome o = identify(
                QStringLiteral("FAILED to get Version!  Unable to program, please check Decoder"));
            o != Outcome::Done)
            return o;
        m_clock.sleepMs(10);
        m_clock.processEvents();
        if (stopping()) return Outcome::Stopped;
        // The board takes the packets at its own pace: no reply, only the pauses between them.
        m_writeBegan = true;
        if (!send(BoardCommand::Write, 2)) return Outcome::PortFailed;
        for (const WritePacket& packet : packets) {
            if (!send(packet.data(), packet.size())) return Outcome::PortFailed;
            m_clock.sleepMs(520);
            appendInfo(QStringLiteral("."));
            m_clock.processEvents();
        }
        m_clock.sleepMs(100);
        return requestData(
            true, QStringLiteral("FAILED to read data!  Unable to program, please check Decoder"));
    });
}

// The identification step of a run: Done when the expected board answered, else the failure.
BoardLink::Outcome BoardLink::identify(const QString& failure) {
    if (RequestIdentification()) return Outcome::Done;
    if (!m_portFailure.isEmpty()) return Outcome::PortFailed;
    if (stopping()) return Outcome::Stopped;
    return failedWait(failure, Outcome::NoVersion);
}

bool BoardLink::RequestIdentification() {
    m_portFailure.clear();
    m_identification.clear();
    m_showIdentification = false;
    const bool sent = send(BoardCommand::Identify, 2) && waitFor(kIdentificationWaitMs, [this] {
                          return !m_identification.isEmpty();
                      });
    m_showIdentification = true;
    if (sent && m_identification.isEmpty() && m_trace)
        m_trace->note(QStringLiteral("the identification wait of %1 ms ended without a reply")
                          .arg(kIdentificationWaitMs));
    return sent && m_identification == QLatin1String(kExpectedIdentification);
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
    setInfo(text);  // seen only while the status window is up
}

void BoardLink::ReadInput() {
    const QByteArray bytes = m_port.takeReceived();
    if (m_trace) m_trace->received(bytes);
    m_pendingInput += bytes;
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
    // Compared whole: a zero byte inside the text must not cut it to a match.
    const std::string text = IdentificationText(m_rx.rxText);
    m_identification = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    if (!m_showIdentification) return;
    if (m_identification == QLatin1String(kExpectedIdentification)) {
        m_view.setOkVisible(true);
        m_view.setInfoRed(false);
        setInfo(m_identification + QStringLiteral(" detected."));
    } else {
        m_view.setInfoRed(true);
        setInfo(QStringLiteral("Wrong version detected: ") + m_identification +
                QStringLiteral("\r\nUse ") + QLatin1String(kExpectedIdentification) +
                QStringLiteral(" !"));
    }
    m_view.showStatus();
}

void BoardLink::completeDataReply(ReplyEvent event) {
    Outcome outcome = Outcome::Done;
    if (event == ReplyEvent::DataReplyBadSum) {
        outcome = Outcome::BadSum;
        setInfo(QStringLiteral("Error reading data from ") + m_identification);
    } else if (m_verifyMode) {
        const bool same = m_rx.receiveImage == m_txImage;
        outcome = same ? Outcome::Done : Outcome::Mismatch;
        setInfo(same ? m_identification + QStringLiteral(" successfully programmed")
                     : QStringLiteral("Error programming ") + m_identification +
                           QStringLiteral("\r\n") + DifferingFields(m_txImage, m_rx.receiveImage));
    } else {
        if (m_decodeReplies) m_view.decode(m_rx.receiveImage);
        setInfo(QStringLiteral("Data from ") + m_identification +
                QStringLiteral(" successfully read"));
    }
    // Only the reply to the run's own read command answers the run.
    if (m_awaitingData && !m_dataReplyCompleted) {
        m_dataReplyCompleted = true;
        m_dataReply = outcome;
    }
    m_view.setOkVisible(true);
    m_view.showStatus();
}

}  // namespace calvento
