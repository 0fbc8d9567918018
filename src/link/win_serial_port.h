// The Windows backend of the serial port seam, on the Win32 communications API. See serial_port.h.
//
// "COM12" opens as \\.\COM12 (the only form that reaches ports above 9); any other name is
// opened as given. The line settings go in through SetCommState (4800 baud, 8N1, no flow
// control, no automatic RTS or DTR), then RTS and DTR are dropped with EscapeCommFunction, so
// that opening the port keys no transmitter on either line.
//
// The handle is overlapped. A reader thread keeps one read pending that completes as soon as a
// byte arrives (or after a short timeout); it stores what came under a mutex and posts
// received() to the port's own thread, where the window and the board link hear it as they
// hear Qt's readyRead on Linux. Between reads it asks ClearCommError for the line errors Windows
// records (break, framing, overrun, parity, a full input buffer) and posts them as their
// communication-event codes. A read that fails (an adapter pulled out) closes the port and
// reports a device control block error, as the Linux backend does. Failures carry the system's
// own message text.
#pragma once

#include <QByteArray>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/serial_port.h"

namespace calvento {

class WinSerialPort final : public SerialPort {
    Q_OBJECT

public:
    explicit WinSerialPort(QObject* parent = nullptr);
    ~WinSerialPort() override;

    bool open(const QString& device, QString* error) override;
    void close() override;
    bool isOpen() const override { return m_handle != nullptr; }
    QString device() const override { return m_device; }
    bool write(const QByteArray& bytes) override;
    bool setRts(bool on, QString* error) override;
    bool setDtr(bool on, QString* error) override;
    bool lineState(ModemLine line, bool* on, QString* error) override;
    void setLineFromAnyThread(ModemLine line, bool on) override;
    void setNullDiscard(bool discard) override { m_nullDiscard = discard; }
    QByteArray takeReceived() override;

    // The path CreateFile is given for a device name: \\.\COMn for COMn.
    static QString SystemPath(const QString& device);

    // The communication-event codes of the line errors that ClearCommError reports in `errors`
    // (its CE_ flags), in the order of their codes.
    static std::vector<int> LineErrorEvents(unsigned long errors);

private:
    void readLoop();
    void reportLineErrors();
    bool setLine(ModemLine line, bool on, QString* error);

    void* m_handle = nullptr;     // HANDLE of the open port
    void* m_stopEvent = nullptr;  // set to end the reader
    QString m_device;
    bool m_nullDiscard = false;
    std::thread m_reader;

    std::mutex m_receivedMutex;
    QByteArray m_received;
    std::atomic<bool> m_receivedPosted{false};

    // Keeps a close from pulling the handle away in the middle of setLineFromAnyThread.
    std::mutex m_handleMutex;
};

}  // namespace calvento
