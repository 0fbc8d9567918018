// The Qt Multimedia backend of the audio input seam.
//
// A QAudioSource records on a thread of its own, which empties it every 20 ms into a queue that
// take() hands over: whatever the caller's thread is doing, the source never overflows. A source
// that goes to its stopped state or errors, or from which nothing arrives for a second (a sound
// server that hangs or was killed), is a failed stream.
#pragma once

#include <QThread>

#include "tone/audio_input.h"

namespace calvento {

class QtAudioInput final : public AudioInput {
public:
    QtAudioInput();
    ~QtAudioInput() override;

    std::vector<AudioDeviceInfo> inputDevices() override;
    int open(const PcmFormat& format) override;
    int start() override;
    int take(std::vector<int16_t>& samples, std::string* reason) override;
    int stop() override;
    int close() override;

    class Recorder;  // the source and its emptying, on m_thread

private:
    template <typename Step>
    int onRecorder(Step step);

    QThread m_thread;
    Recorder* m_recorder = nullptr;
};

}  // namespace calvento
