// The Qt Multimedia backend of the audio output seam.
//
// It plays one buffer through a QAudioSink on the system's default output device (PulseAudio or
// PipeWire on Linux). The sink lives on a thread of its own, which feeds it from the caller's
// buffer (without a copy) every few milliseconds: whatever the window's thread is doing (a message
// box, a file dialog, a board exchange), the sound server never runs dry in the middle of a key.
// The seam's calls reach that thread and wait for its answer; done() and playedSamples() only
// read what the feeding thread last measured.
//
// Knowing when the last sample has been played: Qt's idle state fires too early on a short
// buffer and never on some servers, and a sound server holds back a small remainder that does not
// fill its start-up threshold. So after the samples we keep feeding silence, which pushes every
// real sample through, and ask the sink how much of the stream has been played (the server's read
// position less its device latency). Done means that has passed the last real sample and at least
// the buffer's own duration has gone by. Qt's errors map to AudioResult codes.
//
// A sound server that stops taking the stream (its sink suspended, the server hung or gone) is a
// failed playback, told through playbackError(): the sink's own clock runs on in those cases, so
// the feeding thread also watches what the server takes from the stream.
#pragma once

#include <QThread>
#include <atomic>

#include "tone/audio_output.h"

namespace calvento {

class QtAudioOutput final : public AudioOutput {
public:
    QtAudioOutput();
    ~QtAudioOutput() override;

    int outputDeviceCount() override;
    std::vector<AudioDeviceInfo> outputDevices() override;
    int open(const PcmFormat& format) override;
    int prepare(const int16_t* data, size_t samples) override;
    int write() override;
    bool done() override;
    int64_t playedSamples() override;
    int playbackError(std::string* reason) override;
    int unprepare() override;
    int close() override;
    int reset() override;

    class Feeder;  // the sink and its feeding, on m_thread

private:
    // Runs `step` on the feeding thread and returns its result code.
    template <typename Step>
    int onFeeder(Step step);

    QThread m_thread;
    Feeder* m_feeder = nullptr;
};

// ExitAfterAudio (system_audio_output.h) ends a process that has used this backend without the
// static teardown of the libraries. Qt 6.4's PulseAudio engine is a static of Qt Multimedia that,
// at exit, disconnects from the sound server without holding the lock of its event thread. When a
// server event arrives at that moment (the sink going idle just after our stream has ended, say),
// the two threads tear the connection down together and the process dies with a segmentation
// fault or an assertion, after all its work was done and reported. So it flushes the standard
// streams, runs the leak check in sanitizer builds, and ends the process with the given code.

}  // namespace calvento
