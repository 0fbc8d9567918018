// Qt Multimedia backend of the audio output seam. See qt_audio_output.h.
#include "tone/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define CALVENTO_LEAK_CHECK() __lsan_do_leak_check()
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define CALVENTO_LEAK_CHECK() __lsan_do_leak_check()
#endif
#endif
#ifndef CALVENTO_LEAK_CHECK
#define CALVENTO_LEAK_CHECK() ((void)0)
#endif

namespace calvento {

namespace {

// About a second queued at the sound server, so that a busy moment of the window never leaves a
// gap in the middle of a key; a typical sequence is handed over whole at once.
constexpr qsizetype kServerBufferBytes = 32000;

QAudioFormat toQtFormat(const PcmFormat& f) {
    QAudioFormat format;
    format.setSampleRate(f.samplesPerSecond);
    format.setChannelCount(f.channels);
    format.setSampleFormat(f.bitsPerSample == 16 ? QAudioFormat::Int16 : QAudioFormat::Unknown);
    return format;
}

int resultOf(QAudio::Error error) {
    switch (error) {
        case QAudio::NoError:
            return AudioResult::Ok;
        case QAudio::OpenError:
            return AudioResult::Allocated;
        case QAudio::FatalError:
            return AudioResult::NoDriver;
        default:
            return AudioResult::Error;
    }
}

}  // namespace

QtAudioOutput::QtAudioOutput() = default;

QtAudioOutput::~QtAudioOutput() {
    reset();
    m_sink.reset();
}

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
    m_sink->setBufferSize(kServerBufferBytes);
    return AudioResult::Ok;
}

int QtAudioOutput::prepare(const int16_t* data, size_t samples) {
    if (!m_sink) return AudioResult::InvalidHandle;
    if (!data && samples) return AudioResult::NoMemory;
    m_data = reinterpret_cast<const char*>(data);
    m_bytes = static_cast<qint64>(samples * sizeof(int16_t));
    m_durationMs = static_cast<qint64>(samples) * 1000 / m_sink->format().sampleRate();
    m_dataWritten = m_totalWritten = 0;
    m_prepared = true;
    return AudioResult::Ok;
}

int QtAudioOutput::write() {
    if (!m_sink) return AudioResult::InvalidHandle;
    if (!m_prepared) return AudioResult::Unprepared;
    m_io = m_sink->start();
    if (!m_io)
        return m_sink->error() == QAudio::NoError ? AudioResult::Error : resultOf(m_sink->error());
    m_sinceWrite.start();
    feed();
    return resultOf(m_sink->error());
}

void QtAudioOutput::feed() {
    static const char kSilence[2048] = {};
    // A few rounds at most: the server takes what fits in its buffer and asks again later.
    for (int round = 0; round < 16; ++round) {
        const qint64 room = m_sink->bytesFree();
        if (room <= 0) return;
        qint64 n;
        if (m_dataWritten < m_bytes) {
            n = m_io->write(m_data + m_dataWritten, std::min(room, m_bytes - m_dataWritten));
            if (n > 0) m_dataWritten += n;
        } else {
            n = m_io->write(kSilence, std::min<qint64>(room, sizeof kSilence));
        }
        if (n <= 0) return;
        m_totalWritten += n;
    }
}

bool QtAudioOutput::done() {
    if (!m_sink || !m_io) return false;
    feed();
    if (m_dataWritten < m_bytes) return false;
    // The sink reports how much of the stream the server has played: what it has read, less the
    // latency of the device behind it. That must cover every real sample.
    const qint64 playedBytes = m_sink->processedUSecs() * m_sink->format().bytesPerFrame() *
                               m_sink->format().sampleRate() / 1000000;
    return playedBytes >= m_bytes && m_sinceWrite.elapsed() >= m_durationMs;
}

void QtAudioOutput::release() {
    if (m_sink) m_sink->stop();  // the sink deletes the device it handed out
    m_io = nullptr;
    m_data = nullptr;
    m_bytes = m_dataWritten = m_totalWritten = 0;
    m_prepared = false;
}

int QtAudioOutput::unprepare() {
    if (m_io && !done()) return AudioResult::StillPlaying;
    release();
    return AudioResult::Ok;
}

int QtAudioOutput::close() {
    if (!m_sink) return AudioResult::InvalidHandle;
    if (m_prepared) return AudioResult::StillPlaying;
    m_sink.reset();
    return AudioResult::Ok;
}

int QtAudioOutput::reset() {
    const bool open = m_sink != nullptr;
    release();
    return open ? AudioResult::Ok : AudioResult::InvalidHandle;
}

void ExitAfterAudio(int code) {
    std::fflush(nullptr);
    CALVENTO_LEAK_CHECK();
    std::_Exit(code);
}

}  // namespace calvento
