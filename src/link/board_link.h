// BoardLink: the read and program exchanges with the board, shared by the window and the
// command-line tool so that both send the same commands with the same pauses and waits and
// report the same texts and outcomes.
//
// It owns the link state (the transmit image, the reply receiver with the receive image, the
// last identification and the flags that say what a completed reply means) and decides each
// run's outcome itself: a run is Done only when a data reply completed inside the wait of its
// own read command, so that a late, repeated or unasked identification can never make a run
// look complete. It talks to the board through the SerialPort seam and waits through the Clock
// seam: short fixed pauses are blocking sleeps, waits for replies run event-loop turns while the
// port's receive notifications feed the receiver, and every wait lasts its full length by the
// clock. What the user sees goes through LinkView, which only displays: the window shows it in
// its status window, the command-line tool prints it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "config/decoder_config.h"
#include "link/reply_receiver.h"

namespace calvento {

class Clock;
class SerialPort;
class SerialTrace;

// Where the exchanges show their progress and outcome (the status window and its OK button).
class LinkView {
public:
    virtual ~LinkView() = default;
    virtual void setInfo(const QString& text) = 0;
    virtual void setInfoRed(bool red) = 0;  // the colour stays for later texts
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
        NoData,      // no data reply completed inside the run's own wait
        BadSum,      // a data reply with a wrong sum
        Mismatch,    // the read-back differs from what was sent
        PortFailed,  // the port is closed, went away or refused the bytes; see portFailure()
        Stopped,     // stopped on request before anything was written (requestStop)
    };

    // The waits, in milliseconds, by the clock: they never end early.
    static constexpr int kIdentificationWaitMs = 100;
    static constexpr int kDataWaitMs = 832;

    // `portText` gives the programming port field's text, for line-error messages.
    BoardLink(SerialPort& port, Clock& clock, LinkView& view, std::function<QString()> portText,
              QObject* parent = nullptr);

    const DecoderImage& transmitImage() const { return m_txImage; }
    const DecoderImage& receiveImage() const { return m_rx.receiveImage; }
    QString identification() const { return m_identification; }
    QString portFailure() const { return m_portFailure; }
    // The status text as the view was last given it.
    QString info() const { return m_info; }
    // A read or program run is under way (its waits run the event loop, so handlers see this).
    bool running() const { return m_running; }

    // Switching the link on: completed identifications are shown from now on, and the identify
    // command goes out. With `waitMs` > 0 it waits that long for the reply, as a user would
    // before pressing a button; true when the expected identification has been seen.
    bool signOn(int waitMs = 0);
    // Switching the link off: the sign-off command, one event-loop turn to hand it over; the
    // caller closes the port.
    void signOff();

    // The read run (its steps after the button: status text, identification, read command,
    // the full data wait, flush on failure).
    Outcome read();

    // The same run for a backup before programming: the image goes to `image` when Done, and
    // not into the configuration on screen.
    Outcome readImage(DecoderImage* image);

    // Asks the run under way, or the next one, to stop: before the first byte of a write it
    // ends at once with Stopped (a wait ends early, the board is flushed); once the write has
    // begun, the write and its read-back run to their end, since a board left with part of its
    // packets holds a broken configuration. The request stands until clearStop().
    void requestStop() { m_stopRequested = true; }
    void clearStop() { m_stopRequested = false; }
    // The last program run sent its write command: from then on the board may hold part of the
    // new configuration, whatever the outcome.
    bool writeBegan() const { return m_writeBegan; }

    // Where the bytes of the exchanges are recorded from now on; null for none.
    void setTrace(SerialTrace* trace) { m_trace = trace; }

    // The programming run: identification, FF FF and the four packets of `image` with their
    // pauses, read-back and comparison with `image`. `portName` is shown in the status text
    // ("Sending data on COM1.").
    Outcome program(const DecoderImage& image, const QString& portName);

    // Sends the identify command and waits its full time unless a reply comes first; true for
    // the expected identification.
    bool RequestIdentification();

    // The port's communication event: received bytes, or a line error's code.
    void MSComm1_OnComm(int commEvent);

private:
    void ReadInput();
    void completeIdentification();
    void completeDataReply(ReplyEvent event);
    bool send(const uint8_t* bytes, size_t n);
    bool sendFlush();
    bool waitFor(int ms, const std::function<bool()>& done = {});
    Outcome failedWait(const QString& text, Outcome outcome);
    Outcome identify(const QString& failure);
    Outcome requestData(bool verify, const QString& failure);
    Outcome run(const std::function<Outcome()>& steps);
    void setInfo(const QString& text);
    void appendInfo(const QString& text);
    bool portGone();
    bool stopping() const { return m_stopRequested && !m_writeBegan; }

    SerialPort& m_port;
    Clock& m_clock;
    LinkView& m_view;
    std::function<QString()> m_portText;
    DecoderImage m_txImage{};
    ReplyReceiver m_rx;
    QString m_identification;
    QString m_info;
    bool m_showIdentification = false;
    bool m_verifyMode = false;
    bool m_running = false;
    // Set while the run waits for the data reply of its own read command; a data reply that
    // completes then is the run's answer (m_dataReply), any other only shows.
    bool m_awaitingData = false;
    bool m_dataReplyCompleted = false;
    Outcome m_dataReply = Outcome::NoData;
    QByteArray m_pendingInput;
    QString m_portFailure;
    bool m_decodeReplies = true;  // a read's reply goes into the configuration on screen
    SerialTrace* m_trace = nullptr;
    bool m_stopRequested = false;
    bool m_writeBegan = false;
};

// What a program run that ended without a verified write left on the board, said after its
// failure: empty when the write never began or the board was verified. `backup` is the backup
// taken before the write (empty for none), `restoreHow` how to put it back ("Restore last
// backup, then PROGRAM,") and `readHow` how to see what the board holds ("READ").
QString BoardStateAfterWrite(BoardLink::Outcome outcome, bool writeBegan, const QString& backup,
                             const QString& restoreHow, const QString& readHow);

// Which fields a read-back differs in from the image sent, as the window labels them ("Differs:
// 0: Output 1 ON, CW Call"): the fields whose values differ and those of every other differing
// byte that belongs to a field (a filler in a command's slot); the bytes that belong to none
// (the fillers 7 and 188-191) by their offsets ("Differs at byte 7").
QString DifferingFields(const DecoderImage& sent, const DecoderImage& readBack);

}  // namespace calvento
