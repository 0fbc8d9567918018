// The Qt Multimedia backend of the audio output seam.
//
// It plays one buffer through a QAudioSink on the system's default output device (PulseAudio or
// PipeWire on Linux), pulling the samples straight from the caller's buffer without a copy. The
// done flag is raised when the sink has run dry after the last byte, which is when the sound
// server has played it; Qt's errors are mapped to the classic result codes of AudioResult.
#pragma once

#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QElapsedTimer>
#include <memory>

#include "tone/audio_output.h"

namespace calvento {

class QtAudioOutput final : public AudioOutput {
public:
    QtAudioOutput();
    ~QtAudioOutput() override;

    int outputDeviceCount() override;
    int open(const PcmFormat& format) override;
    int prepare(const int16_t* data, size_t samples) override;
    int write() override;
    bool done() override;
    int unprepare() override;
    int close() override;
    int reset() override;

private:
    std::unique_ptr<QAudioSink> m_sink;
    QByteArray m_data;  // wraps the caller's samples, no copy
    QBuffer m_source;
    bool m_prepared = false;
    bool m_written = false;
    qint64 m_durationMs = 0;
    QElapsedTimer m_sinceWrite;
};

}  // namespace calvento
