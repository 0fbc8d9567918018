// The receiver's audio watched while the window is idle: its level for the Radio dialog's meter,
// and what it decodes for the console's monitor.
//
// The monitor opens the input device, takes what has arrived every 50 ms, and tells the level of
// each take and, when decoding, the DTMF keys and Morse words as they become final. A device
// that cannot be opened or stops delivering is told once, and the monitor stops.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "tone/audio_input.h"
#include "tone/dtmf_decoder.h"

namespace calvento {

class ReceiveDecoder;

class ReceiverMonitor : public QObject {
    Q_OBJECT

public:
    explicit ReceiverMonitor(QObject* parent = nullptr);
    ~ReceiverMonitor() override;

    // Starts watching `input` on device `deviceId` ("" for the default); false with the reason.
    bool start(AudioInput& input, const QString& deviceId, bool decode, QString* failure);
    void stop();
    bool isRunning() const { return m_input != nullptr; }

signals:
    void level(double peakDb);
    void heard(const calvento::DecodedItem& item);
    void failed(const QString& reason);

private:
    void poll();

    AudioInput* m_input = nullptr;
    std::unique_ptr<ReceiveDecoder> m_decoder;
    QTimer m_timer;
};

}  // namespace calvento
