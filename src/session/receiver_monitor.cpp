// The receiver's level and what it decodes while idle. See receiver_monitor.h.
#include "session/receiver_monitor.h"

#include <vector>

#include "session/listen_job.h"
#include "tone/receive_decoder.h"

namespace calvento {

ReceiverMonitor::ReceiverMonitor(QObject* parent) : QObject(parent) {
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &ReceiverMonitor::poll);
}

ReceiverMonitor::~ReceiverMonitor() {
    stop();
}

bool ReceiverMonitor::start(AudioInput& input, const QString& deviceId, bool decode,
                            QString* failure) {
    stop();
    std::string why;
    if (!OpenReceiver(input, deviceId.toStdString(), &why)) {
        if (failure) *failure = QString::fromStdString(why);
        return false;
    }
    m_input = &input;
    if (decode) m_decoder = std::make_unique<ReceiveDecoder>(Listener::kSampleRate);
    m_timer.start();
    return true;
}

void ReceiverMonitor::stop() {
    m_timer.stop();
    m_decoder.reset();
    if (!m_input) return;
    m_input->stop();
    m_input->close();
    m_input = nullptr;
}

void ReceiverMonitor::poll() {
    if (!m_input) return;
    std::vector<int16_t> samples;
    std::string reason;
    const int code = m_input->take(samples, &reason);
    if (code != AudioResult::Ok) {
        stop();
        emit failed(QStringLiteral("%1 (error %2)").arg(QString::fromStdString(reason)).arg(code));
        return;
    }
    if (!samples.empty()) emit level(PeakLevelDb(samples));
    if (!m_decoder) return;
    std::vector<DecodedItem> items;
    m_decoder->feed(samples, items);
    for (const DecodedItem& item : items) emit heard(item);
}

}  // namespace calvento
