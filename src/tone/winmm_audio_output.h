// The Windows backend of the audio output seam, on the waveform-audio API (winmm).
//
// The seam was drawn after this API, so each step is one call: open is waveOutOpen on the
// chosen device or the wave mapper (the system's default), prepare fills one WAVEHDR over the
// caller's buffer and waveOutPrepareHeader's it, write is waveOutWrite, done reads the header's
// WHDR_DONE flag, playedSamples asks waveOutGetPosition, and unprepare, close and reset are
// waveOutUnprepareHeader, waveOutClose and waveOutReset. Their MMRESULT codes are the numbers of
// AudioResult and pass through unchanged. Once written, the buffer is played by the system's
// audio engine on threads of its own, whatever the caller's thread does.
//
// Devices are known by their product names (the name is the id; a second device of the same
// name gets " #2"), the default first: the system's device numbers change when a device is
// plugged in, the names do not.
#pragma once

#include <memory>

#include "tone/audio_output.h"

namespace calvento {

class WinmmAudioOutput final : public AudioOutput {
public:
    WinmmAudioOutput();
    ~WinmmAudioOutput() override;

    int outputDeviceCount() override;
    std::vector<AudioDeviceInfo> outputDevices() override;
    int open(const PcmFormat& format) override;
    int prepare(const int16_t* data, size_t samples) override;
    int write() override;
    bool done() override;
    int64_t playedSamples() override;
    int unprepare() override;
    int close() override;
    int reset() override;

private:
    struct Device;  // the open device and its one header
    std::unique_ptr<Device> m_device;
};

}  // namespace calvento
