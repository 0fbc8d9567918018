// Qt Multimedia backend of the audio output seam. See qt_audio_output.h.
#include "tone/qt_audio_output.h"
#include "tone/qt_audio_devices.h"
#include "tone/system_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

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

// About a second queued at the sound server, so that a busy moment of the machine never leaves a
// gap in the middle of a key; a typical sequence is handed over whole at once.
constexpr qsizetype kServerBufferBytes = 32000;

// How often the feeding thread tops the server up and measures how far it has played: a small
// part of the server's buffer, and fine enough for the release of push-to-talk.
constexpr int kFeedIntervalMs = 4;

// A sound server that takes nothing from the stream for this long has stopped playing it (the
// sink was suspended, the server hangs): it reads a few milliseconds at a time while it plays.
constexpr qint64 kServerStallMs = 1000;

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

// The sink and everything that touches it, on the feeding thread. The caller's thread reaches it
// only through QtAudioOutput::onFeeder, which waits for the answer, and through the two atomics.
class QtAudioOutput::Feeder final : public QObject {
public:
    Feeder() {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(kFeedIntervalMs);
        connect(&m_tick, &QTimer::timeout, this, &Feeder::tick);
    }

    int open(const QAudioDevice& device, const QAudioFormat& format) {
        if (m_sink) return AudioResult::Allocated;
        m_sink = std::make_unique<QAudioSink>(device, format);
        m_sink->setBufferSize(kServerBufferBytes);
        return AudioResult::Ok;
    }

    int prepare(const char* data, qint64 bytes) {
        if (!m_sink) return AudioResult::InvalidHandle;
        if (!data && bytes) return AudioResult::NoMemory;
        m_data = data;
        m_bytes = bytes;
        m_durationMs =
            bytes / m_sink->format().bytesPerFrame() * 1000 / m_sink->format().sampleRate();
        m_dataWritten = 0;
        done = false;
        playedBytes = 0;
        m_prepared = true;
        return AudioResult::Ok;
    }

    int write() {
        if (!m_sink) return AudioResult::InvalidHandle;
        if (!m_prepared) return AudioResult::Unprepared;
        m_io = m_sink->start();
        if (!m_io)
            return m_sink->error() == QAudio::NoError ? AudioResult::Error
                                                      : resultOf(m_sink->error());
        m_sinceWrite.start();
        m_sinceServerTook.start();
        m_serverTook = -1;
        tick();
        m_tick.start();
        return resultOf(m_sink->error());
    }

    int playbackError(std::string* reason) const {
        const std::lock_guard lock(m_failureMutex);
        if (reason) *reason = m_failureReason;
        return m_failure;
    }

    int unprepare() {
        if (m_io && !done) return AudioResult::StillPlaying;
        release();
        return AudioResult::Ok;
    }

    int close() {
        if (!m_sink) return AudioResult::InvalidHandle;
        if (m_prepared) return AudioResult::StillPlaying;
        m_sink.reset();
        return AudioResult::Ok;
    }

    int reset() {
        const bool open = m_sink != nullptr;
        release();
        return open ? AudioResult::Ok : AudioResult::InvalidHandle;
    }

    // Gone for good: the sink goes while its thread still runs its events.
    void shutDown() {
        release();
        m_sink.reset();
    }

    std::atomic<bool> done{false};
    std::atomic<int64_t> playedBytes{0};

private:
    void failPlayback(int code, const std::string& reason) {
        const std::lock_guard lock(m_failureMutex);
        if (m_failure) return;
        m_failure = code;
        m_failureReason = reason;
    }

    // Whether the sound server still plays the stream. Its clock alone cannot tell: the sink's
    // played time runs on while a suspended sink or a hung server takes nothing, so what the
    // server has taken from the stream (what was written less what still waits in its buffer)
    // must move on too. A stream that broke says so through the sink's error.
    bool stillPlaying() {
        if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
            failPlayback(m_sink->error() == QAudio::NoError ? AudioResult::Stopped
                                                            : resultOf(m_sink->error()),
                         "the sound server ended the stream");
            return false;
        }
        const qint64 took = m_totalWritten - (m_sink->bufferSize() - m_sink->bytesFree());
        if (took != m_serverTook) {
            m_serverTook = took;
            m_sinceServerTook.restart();
        } else if (m_sinceServerTook.elapsed() > kServerStallMs) {
            failPlayback(AudioResult::Stopped,
                         "the sound server stopped taking the sound (its device was suspended "
                         "or the server hangs)");
            return false;
        }
        return true;
    }

    // Tops the server up, then measures how much of the real samples it has played.
    void tick() {
        if (!m_io || m_failure) return;
        feed();
        if (!done && !stillPlaying()) return;
        // The sink reports how much of the stream the server has played: what it has read, less
        // the latency of the device behind it. That must cover every real sample.
        const qint64 played = m_sink->processedUSecs() * m_sink->format().bytesPerFrame() *
                              m_sink->format().sampleRate() / 1000000;
        playedBytes = std::min(played, m_bytes);
        // The server must also have taken every real sample: its clock alone runs on while a
        // suspended sink takes nothing.
        if (m_dataWritten == m_bytes && played >= m_bytes && m_serverTook >= m_bytes &&
            m_sinceWrite.elapsed() >= m_durationMs)
            done = true;
    }

    void feed() {
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

    void release() {
        m_tick.stop();
        if (m_sink) m_sink->stop();  // the sink deletes the device it handed out
        m_io = nullptr;
        m_data = nullptr;
        m_bytes = m_dataWritten = 0;
        m_prepared = false;
        m_totalWritten = 0;
        done = false;
        playedBytes = 0;
        const std::lock_guard lock(m_failureMutex);
        m_failure = AudioResult::Ok;
        m_failureReason.clear();
    }

    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr;  // owned by the sink while it plays
    const char* m_data = nullptr;
    qint64 m_bytes = 0;        // real samples, in bytes
    qint64 m_dataWritten = 0;  // real bytes handed to the server
    qint64 m_durationMs = 0;
    qint64 m_totalWritten = 0;  // every byte handed to the server, silence included
    qint64 m_serverTook = -1;   // of those, what the server had taken at the last change
    QElapsedTimer m_sinceServerTook;
    mutable std::mutex m_failureMutex;
    int m_failure = AudioResult::Ok;
    std::string m_failureReason;
    bool m_prepared = false;
    QElapsedTimer m_sinceWrite;
    QTimer m_tick{this};
};

QtAudioOutput::QtAudioOutput() : m_feeder(new Feeder) {
    m_thread.setObjectName(QStringLiteral("calvento audio"));
    m_feeder->moveToThread(&m_thread);
    m_thread.start(QThread::TimeCriticalPriority);
}

QtAudioOutput::~QtAudioOutput() {
    onFeeder([](Feeder& f) {
        f.shutDown();
        return AudioResult::Ok;
    });
    m_thread.quit();
    m_thread.wait();
    delete m_feeder;  // its thread has ended, so nothing of it runs any more
}

template <typename Step>
int QtAudioOutput::onFeeder(Step step) {
    int result = AudioResult::Error;
    QMetaObject::invokeMethod(
        m_feeder, [&] { result = step(*m_feeder); }, Qt::BlockingQueuedConnection);
    return result;
}

int QtAudioOutput::outputDeviceCount() {
    return static_cast<int>(QMediaDevices::audioOutputs().size());
}

std::vector<AudioDeviceInfo> QtAudioOutput::outputDevices() {
    return QtDeviceList(QMediaDevices::audioOutputs(), QMediaDevices::defaultAudioOutput());
}

int QtAudioOutput::open(const PcmFormat& format) {
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    m_usedDefaultInstead = false;
    if (!m_chosenDevice.empty()) {
        const QAudioDevice chosen = QtDeviceOfId(QMediaDevices::audioOutputs(), m_chosenDevice);
        if (!chosen.isNull())
            device = chosen;
        else
            m_usedDefaultInstead = true;
    }
    if (device.isNull()) return AudioResult::BadDeviceId;
    const QAudioFormat qtFormat = toQtFormat(format);
    if (format.formatTag != 1 || !qtFormat.isValid() || !device.isFormatSupported(qtFormat))
        return AudioResult::BadFormat;
    return onFeeder([&](Feeder& f) { return f.open(device, qtFormat); });
}

int QtAudioOutput::prepare(const int16_t* data, size_t samples) {
    return onFeeder([&](Feeder& f) {
        return f.prepare(reinterpret_cast<const char*>(data),
                         static_cast<qint64>(samples * sizeof(int16_t)));
    });
}

int QtAudioOutput::write() {
    return onFeeder([](Feeder& f) { return f.write(); });
}

bool QtAudioOutput::done() {
    return m_feeder->done;
}

int QtAudioOutput::playbackError(std::string* reason) {
    return m_feeder->playbackError(reason);
}

int64_t QtAudioOutput::playedSamples() {
    return m_feeder->playedBytes / static_cast<int64_t>(sizeof(int16_t));
}

int QtAudioOutput::unprepare() {
    return onFeeder([](Feeder& f) { return f.unprepare(); });
}

int QtAudioOutput::close() {
    return onFeeder([](Feeder& f) { return f.close(); });
}

int QtAudioOutput::reset() {
    return onFeeder([](Feeder& f) { return f.reset(); });
}

void ExitAfterAudio(int code) {
    std::fflush(nullptr);
    CALVENTO_LEAK_CHECK();
    std::_Exit(code);
}

}  // namespace calvento
