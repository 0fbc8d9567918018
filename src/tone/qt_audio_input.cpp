// Qt Multimedia backend of the audio input seam. See qt_audio_input.h.
#include "tone/qt_audio_input.h"
#include "tone/qt_audio_devices.h"
#include "tone/system_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <mutex>

namespace calvento {

namespace {

constexpr int kEmptyIntervalMs = 20;
// A source from which nothing arrives for this long has stopped: it delivers every few tens of
// milliseconds while it records.
constexpr qint64 kSilentSourceMs = 1500;
// What is kept for a caller that does not take: at most this many seconds, the oldest dropped.
constexpr qint64 kKeptSeconds = 10;

}  // namespace

class QtAudioInput::Recorder final : public QObject {
public:
    Recorder() {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(kEmptyIntervalMs);
        connect(&m_tick, &QTimer::timeout, this, &Recorder::empty);
    }

    int open(const QAudioDevice& device, const QAudioFormat& format) {
        if (m_source) return AudioResult::Allocated;
        m_source = std::make_unique<QAudioSource>(device, format);
        m_keptBytes = kKeptSeconds * format.bytesForDuration(1000000);
        return AudioResult::Ok;
    }

    int start() {
        if (!m_source) return AudioResult::InvalidHandle;
        m_io = m_source->start();
        if (!m_io) return AudioResult::Allocated;
        {
            const std::lock_guard lock(m_mutex);
            m_queue.clear();
            m_failure = AudioResult::Ok;
            m_reason.clear();
        }
        m_sinceData.start();
        m_tick.start();
        return AudioResult::Ok;
    }

    int take(std::vector<int16_t>& samples, std::string* reason) {
        const std::lock_guard lock(m_mutex);
        const size_t n = static_cast<size_t>(m_queue.size()) / sizeof(int16_t);
        const size_t at = samples.size();
        samples.resize(at + n);
        std::copy_n(m_queue.constData(), n * sizeof(int16_t),
                    reinterpret_cast<char*>(samples.data() + at));
        m_queue.remove(0, static_cast<qsizetype>(n * sizeof(int16_t)));
        if (reason) *reason = m_reason;
        return m_failure;
    }

    int stop() {
        if (!m_source) return AudioResult::InvalidHandle;
        m_tick.stop();
        m_source->stop();  // the source deletes the device it handed out
        m_io = nullptr;
        return AudioResult::Ok;
    }

    int close() {
        if (!m_source) return AudioResult::InvalidHandle;
        stop();
        m_source.reset();
        return AudioResult::Ok;
    }

private:
    void fail(int code, const char* reason) {
        const std::lock_guard lock(m_mutex);
        if (m_failure) return;
        m_failure = code;
        m_reason = reason;
    }

    void empty() {
        if (!m_source) return;
        // A stream that broke (a server killed or gone) stops the source, which deletes the device
        // it handed out: the device is read only while the source still records.
        if (m_source->error() != QAudio::NoError || m_source->state() == QAudio::StoppedState ||
            !m_io) {
            fail(AudioResult::Stopped, "the sound server ended the recording");
            return;
        }
        const QByteArray got = m_io->readAll();
        if (!got.isEmpty()) {
            m_sinceData.restart();
            const std::lock_guard lock(m_mutex);
            m_queue.append(got);
            if (m_queue.size() > m_keptBytes)
                m_queue.remove(0, (m_queue.size() - m_keptBytes) & ~qsizetype(1));
        }
        if (m_sinceData.elapsed() > kSilentSourceMs)
            fail(AudioResult::Stopped,
                 "no sound arrives from the input device any more (the sound server hangs, or "
                 "the device was unplugged or suspended)");
    }

    std::unique_ptr<QAudioSource> m_source;
    QPointer<QIODevice> m_io;  // the source's, gone when the source stops
    QElapsedTimer m_sinceData;
    qint64 m_keptBytes = 0;
    std::mutex m_mutex;
    QByteArray m_queue;
    int m_failure = AudioResult::Ok;
    std::string m_reason;
    QTimer m_tick{this};
};

QtAudioInput::QtAudioInput() : m_recorder(new Recorder) {
    m_thread.setObjectName(QStringLiteral("calvento input"));
    m_recorder->moveToThread(&m_thread);
    m_thread.start(QThread::HighPriority);
}

QtAudioInput::~QtAudioInput() {
    onRecorder([](Recorder& r) {
        r.close();
        return AudioResult::Ok;
    });
    m_thread.quit();
    m_thread.wait();
    delete m_recorder;
}

template <typename Step>
int QtAudioInput::onRecorder(Step step) {
    int result = AudioResult::Error;
    QMetaObject::invokeMethod(
        m_recorder, [&] { result = step(*m_recorder); }, Qt::BlockingQueuedConnection);
    return result;
}

int SystemAudioInputCount() {
    return static_cast<int>(QMediaDevices::audioInputs().size());
}

std::vector<AudioDeviceInfo> QtAudioInput::inputDevices() {
    return QtDeviceList(QMediaDevices::audioInputs(), QMediaDevices::defaultAudioInput());
}

int QtAudioInput::open(const PcmFormat& format) {
    const QAudioDevice device = m_chosenDevice.empty()
                                    ? QMediaDevices::defaultAudioInput()
                                    : QtDeviceOfId(QMediaDevices::audioInputs(), m_chosenDevice);
    if (device.isNull()) return AudioResult::BadDeviceId;
    QAudioFormat qtFormat;
    qtFormat.setSampleRate(format.samplesPerSecond);
    qtFormat.setChannelCount(format.channels);
    qtFormat.setSampleFormat(format.bitsPerSample == 16 ? QAudioFormat::Int16
                                                        : QAudioFormat::Unknown);
    if (format.formatTag != 1 || format.channels != 1 || !qtFormat.isValid())
        return AudioResult::BadFormat;
    return onRecorder([&](Recorder& r) { return r.open(device, qtFormat); });
}

int QtAudioInput::start() {
    return onRecorder([](Recorder& r) { return r.start(); });
}

int QtAudioInput::take(std::vector<int16_t>& samples, std::string* reason) {
    return m_recorder->take(samples, reason);
}

int QtAudioInput::stop() {
    return onRecorder([](Recorder& r) { return r.stop(); });
}

int QtAudioInput::close() {
    return onRecorder([](Recorder& r) { return r.close(); });
}

}  // namespace calvento
