// Qt Multimedia backend of the audio output seam. See qt_audio_output.h.
#include "tone/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>

namespace calvento {

namespace {

// Some sound servers never report that a stream ran dry. Once the sink has taken the whole buffer
// and this much time beyond its length has passed, the samples have certainly been played.
constexpr qint64 kDrainAllowanceMs = 1500;

QAudioFormat toQtFormat(const PcmFormat& f) {
    QAudioFormat format;
    format.setSampleRate(f.samplesPerSecond);
    format.setChannelCount(f.channels);
    format.setSampleFormat(f.bitsPerSample == 16 ? QAudioFormat::Int16 : QAudioFormat::Unknown);
    return format;
}

}  // namespace

QtAudioOutput::QtAudioOutput() = default;

QtAudioOutput::~QtAudioOutput() { reset(); }

int QtAudioOutput::outputDeviceCount() {
    return static_cast<int>(QMediaDevices::audioOutputs().size());
}

int QtAudioOutput::open(const PcmFormat& format) {
    if (m_sink) return AudioResult::Allocated;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return AudioResult::BadDeviceId;
    const QAudioFormat qtFormat = toQtFormat(format);
    if (format.formatTag != 1 || !qtFormat.isValid() || !device.isFormatSupported(qtFormat))
        return AudioResult::BadFormat;
    m_sink = std::make_unique<QAudioSink>(device, qtFormat);
    m_durationMs = 0;
    return AudioResult::Ok;
}

int QtAudioOutput::prepare(const int16_t* data, size_t samples) {
    if (!m_sink) return AudioResult::InvalidHandle;
    if (!data && samples) return AudioResult::NoMemory;
    const qsizetype bytes = static_cast<qsizetype>(samples * sizeof(int16_t));
    m_data = QByteArray::fromRawData(reinterpret_cast<const char*>(data), bytes);
    m_source.close();
    m_source.setBuffer(&m_data);
    if (!m_source.open(QIODevice::ReadOnly)) return AudioResult::NoMemory;
    m_durationMs = static_cast<qint64>(samples) * 1000 / 8000;
    m_prepared = true;
    m_written = false;
    return AudioResult::Ok;
}

int QtAudioOutput::write() {
    if (!m_sink) return AudioResult::InvalidHandle;
    if (!m_prepared) return AudioResult::Unprepared;
    m_sink->start(&m_source);
    m_sinceWrite.start();
    m_written = true;
    switch (m_sink->error()) {
        case QAudio::NoError: return AudioResult::Ok;
        case QAudio::OpenError: return AudioResult::Allocated;
        case QAudio::FatalError: return AudioResult::NoDriver;
        default: return AudioResult::Error;
    }
}

bool QtAudioOutput::done() {
    if (!m_sink || !m_written) return false;
    if (!m_source.atEnd()) return false;
    // Each write to the server makes the sink active again; it turns idle when the server has
    // played everything it was given and asks for more.
    if (m_sink->state() == QAudio::IdleState) return true;
    return m_sinceWrite.elapsed() >= m_durationMs + kDrainAllowanceMs;
}

int QtAudioOutput::unprepare() {
    if (!m_prepared) return AudioResult::Ok;
    if (m_written && m_sink && m_sink->state() == QAudio::ActiveState && !done())
        return AudioResult::StillPlaying;
    if (m_sink) m_sink->stop();
    m_source.close();
    m_data = QByteArray();
    m_prepared = false;
    m_written = false;
    return AudioResult::Ok;
}

int QtAudioOutput::close() {
    if (!m_sink) return AudioResult::InvalidHandle;
    if (m_prepared) return AudioResult::StillPlaying;
    m_sink.reset();
    return AudioResult::Ok;
}

int QtAudioOutput::reset() {
    if (m_sink) m_sink->stop();
    m_source.close();
    m_data = QByteArray();
    m_prepared = false;
    m_written = false;
    return m_sink ? AudioResult::Ok : AudioResult::InvalidHandle;
}

}  // namespace calvento
