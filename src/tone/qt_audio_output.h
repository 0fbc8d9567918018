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

// Ends a process that has used this backend, without the static teardown of the libraries.
//
// Qt 6.4's PulseAudio engine is a static of Qt Multimedia that, at exit, disconnects from the
// sound server without holding the lock of its event thread. When a server event arrives at that
// moment (the sink going idle just after our stream has ended, say), the two threads tear the
// connection down together and the process dies with a segmentation fault or an assertion, after
// all its work was done and reported. Call this at the very end of main, once everything of ours
// has been destroyed: it flushes the standard streams, runs the leak check in sanitizer builds,
// and ends the process with the given code.
[[noreturn]] void ExitAfterAudio(int code);

}  // namespace calvento
