// BoardLink: the read and program exchanges with the board, shared by the window and the
// command-line tool so that both send the same commands with the same pauses and waits and
// report the same texts.
//
// It owns the link state (the transmit image, the reply receiver with the receive image, the
// last identification and the flags that say what a completed reply means) and the reply
// time-out timer tmrTimeOut. It talks to the board through the SerialPort seam and waits through
// the Clock seam: short fixed pauses are blocking sleeps, waits for replies run event-loop turns
// while the port's receive notifications feed the receiver. What the user sees goes through
// LinkView: the window shows it in its status window, the command-line tool prints it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "config/decoder_config.h"
#include "link/reply_receiver.h"

class QTimer;

namespace calvento {

class Clock;
class SerialPort;

// Where the exchanges show their progress and outcome (the status window and its OK button).
class LinkView {
public:
    virtual ~LinkView() = default;
    virtual QString info() const = 0;
    virtual void setInfo(const QString& text) = 0;
    virtual void setInfoRed(bool red) = 0;  // the colour stays for later texts
    virtual bool okVisible() const = 0;
    virtual void setOkVisible(bool visible) = 0;
    virtual void showStatus() = 0;
    // A data reply was accepted in read mode: put it into the configuration.
    virtual void decode(const DecoderImage& image) = 0;
};

class BoardLink : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Done,        // read and decoded, or programmed and verified
        NoVersion,   // no (or the wrong) identification
        NoData,      // no data reply completed in time
        BadSum,      // a data reply with a wrong sum
        Mismatch,    // the read-back differs from what was sent
        PortFailed,  // the port went away or refused the bytes; see portFailure()
    };

    // `portText` gives the programming port field's text, for line-error messages.
    BoardLink(SerialPort& port, Clock& clock, LinkView& view, std::function<QString()> portText,
              QObject* parent = nullptr);

    QTimer* tmrTimeOut() const { return m_tmrTimeOut; }
    DecoderImage& transmitImage() { return m_txImage; }
    DecoderImage& receiveImage() { return m_rx.receiveImage; }
    QString identification() const { return m_identification; }
    QString portFailure() const { return m_portFailure; }

    // Programming switched on: completed identifications are shown from now on.
    void setShowIdentification(bool show) { m_showIdentification = show; }

    // The read run (its steps after the button: status text, identification, read command,
    // the 832 ms wait, flush on failure).
    Outcome read();

    // The programming run: identification, FF FF and the four packets of the transmit image
    // with their pauses, read-back and comparison. `portNumber` is shown in the status text.
    Outcome program(int portNumber);

    // Sends the identify command and waits up to 100 ms; true for the expected identification.
    bool RequestIdentification();

    // The port's communication event: received bytes, or a line error's code.
    void MSComm1_OnComm(int commEvent);

private:
    void ReadInput();
    void completeIdentification();
    void completeDataReply(ReplyEvent event);
    bool send(const QByteArray& bytes);
    bool sendFlush();
    bool waitTimeOut(int ms, const std::function<bool()>& done = {});
    Outcome failedWait(const QString& text, Outcome outcome);
    Outcome requestData(bool verify, const QString& failure);
    void appendInfo(const QString& text);

    SerialPort& m_port;
    Clock& m_clock;
    LinkView& m_view;
    std::function<QString()> m_portText;
    QTimer* m_tmrTimeOut;
    DecoderImage m_txImage{};
    ReplyReceiver m_rx;
    QString m_identification;
    bool m_showIdentification = false;
    bool m_verifyMode = false;
    QByteArray m_pendingInput;
    QString m_portFailure;
    Outcome m_lastReply = Outcome::Done;
};

}  // namespace calvento
