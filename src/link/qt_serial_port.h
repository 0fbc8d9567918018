// The Qt SerialPort backend of the serial port seam. See serial_port.h.
#pragma once

#include <QSerialPort>
#include <mutex>
#include <utility>

#include "platform/serial_port.h"

namespace calvento {

class QtSerialPort final : public SerialPort {
    Q_OBJECT

public:
    // Line-error codes of Qt's own errors that have no classic event: this plus Qt's number.
    static constexpr int kQtErrorBase = 2000;

    explicit QtSerialPort(QObject* parent = nullptr);

    bool open(const QString& device, QString* error) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    QString device() const override { return m_device; }
    bool write(const QByteArray& bytes) override;
    bool setRts(bool on, QString* error) override;
    bool setDtr(bool on, QString* error) override;
    bool lineState(ModemLine line, bool* on, QString* error) override;
    void setLineFromAnyThread(ModemLine line, bool on) override;
    void setNullDiscard(bool discard) override { m_nullDiscard = discard; }
    QByteArray takeReceived() override;

private:
    void onError(QSerialPort::SerialPortError error);
    bool answer(bool ok, QString* error);

    QSerialPort m_port;
    QString m_device;
    bool m_nullDiscard = false;
    bool m_opening = false;

    // The system's handle of the open port, for setLineFromAnyThread; the mutex keeps a close
    // from pulling it away in the middle of that call.
    std::mutex m_handleMutex;
    decltype(std::declval<QSerialPort&>().handle()) m_handle{};
    bool m_haveHandle = false;
};

}  // namespace calvento
