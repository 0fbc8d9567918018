// The Windows backend of the audio input seam, on the waveform-audio API (winmm).
//
// open is waveInOpen on the chosen device or the wave mapper (the system's default); start hands
// the device a ring of 40 buffers of 50 ms (two seconds) and calls waveInStart; take hands over
// the buffers the device has filled, in their order, and gives each back at once; stop is
// waveInStop and waveInReset; close waits until the engine, which fills the buffers from a thread
// of its own, has let go of every one before waveInClose frees them (memory it still holds is
// never freed). The MMRESULT codes are the numbers of AudioResult. Devices are
// named as the output backend names them. No buffer filled for a second and a half while some
// are still free is a failed stream (a device unplugged, an audio service that stopped).
#pragma once

#include <memory>

#include "tone/audio_input.h"

namespace calvento {

class WinmmAudioInput final : public AudioInput {
public:
    WinmmAudioInput();
    ~WinmmAudioInput() override;

    std::vector<AudioDeviceInfo> inputDevices() override;
    int open(const PcmFormat& format) override;
    int start() override;
    int take(std::vector<int16_t>& samples, std::string* reason) override;
    int stop() override;
    int close() override;

private:
    struct Device;  // the open device and its ring of buffers
    std::unique_ptr<Device> m_device;
};

}  // namespace calvento
