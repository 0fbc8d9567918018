// The audio input seam: the receiver's audio, taken as it arrives, for hearing the board's reply.
//
// The caller opens a device for a PCM format, starts it, takes the samples that have arrived
// whenever it likes (every few tens of milliseconds), stops and closes it. The backend keeps what
// arrives between two takes, a few seconds at most, on a thread or in buffers of its own, so that
// a caller busy for a moment loses nothing. Each step answers a numeric result code, 0 for
// success, with the numbers of the output seam (AudioResult).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tone/audio_output.h"

namespace calvento {

class AudioInput {
public:
    virtual ~AudioInput() = default;

    // The system's input devices; the default one first.
    virtual std::vector<AudioDeviceInfo> inputDevices() = 0;

    // The device open() uses from now on: an id from inputDevices(), or empty for the default.
    // Unlike an output, a chosen input that is not there is not replaced by the default: the
    // program would listen to the wrong receiver and take its silence for the board's.
    void chooseDevice(const std::string& id) { m_chosenDevice = id; }
    const std::string& chosenDevice() const { return m_chosenDevice; }

    // Opens the chosen (or the default) input device for the format: BadDeviceId when it is not
    // there, BadFormat when it cannot record the format.
    virtual int open(const PcmFormat& format) = 0;

    // Starts recording.
    virtual int start() = 0;

    // Appends the samples that have arrived since the last take. A stream that has failed (the
    // sound server went away, the device was unplugged, nothing arrives any more) answers its
    // code, with the reason in plain words.
    virtual int take(std::vector<int16_t>& samples, std::string* reason) = 0;

    // Stops recording; what has not been taken is dropped.
    virtual int stop() = 0;

    // Closes the device.
    virtual int close() = 0;

protected:
    std::string m_chosenDevice;
};

}  // namespace calvento
