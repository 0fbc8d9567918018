// The Qt Multimedia backend of the audio output seam.
//
// It plays one buffer through a QAudioSink on the system's default output device (PulseAudio or
// PipeWire on Linux). The sink is fed in push mode from the caller's buffer, without a copy, each
// time the player asks whether playback is done (the player asks at every event-loop turn).
//
// Knowing when the last sample has been played: Qt's idle state fires too early on a short
// buffer and never on some servers, and a sound server holds back a small remainder that does not
// fill its start-up threshold. So after the samples we keep feeding silence, which pushes every
// real sample through, and ask the sink how much of the stream has been played (the server's read
// position less its device latency). Done means that has passed the last real sample and at least
// the buffer's own duration has gone by. Qt's errors map to AudioResult codes.
#pragma once

#include <QAudioSink>
#include <QByteArray>
#include <QElapsedTimer>
#include <memory>

#include "tone/audio_output.h"

class QIODevice;

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
    void feed();
    void release();

    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr;  // owned by the sink while it plays
    const char* m_data = nullptr;
    qint64 m_bytes = 0;         // real samples, in bytes
    qint64 m_dataWritten = 0;   // real bytes handed to the server
    qint64 m_totalWritten = 0;  // real bytes plus the silence after them
    qint64 m_durationMs = 0;
    bool m_prepared = false;
    QElapsedTimer m_sinceWrite;
};

}  // namespace calvento
