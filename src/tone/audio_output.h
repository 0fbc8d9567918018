// The audio output seam: one PCM buffer played on the default or a chosen output device.
//
// The player opens a device for a format, prepares one buffer, writes it once and watches a done
// flag; then it unprepares the buffer and closes the device, or resets and closes it on failure.
// Once written, the buffer reaches the device whatever the caller's thread does meanwhile: the
// window may sit in a message box for seconds while a sequence plays.
// Each step answers a numeric result code, 0 for success, because the user sees these codes in
// the player's messages. The codes follow the classic waveform-audio numbering so that they mean
// the same on every platform (see AudioResult).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace calvento {

// Linear PCM: 8000 Hz, one channel, 16-bit signed little-endian for every sequence we play.
struct PcmFormat {
    int formatTag = 1;
    int channels = 1;
    int samplesPerSecond = 8000;
    int averageBytesPerSecond = 16000;
    int blockAlign = 2;
    int bitsPerSample = 16;
    int extraSize = 0;
};

// Result codes shown to the user.
namespace AudioResult {
constexpr int Ok = 0;
constexpr int Error = 1;          // unspecified failure
constexpr int BadDeviceId = 2;    // no output device to open
constexpr int Allocated = 4;      // the device is busy or the sound server refused it
constexpr int InvalidHandle = 5;  // a step called without an open device
constexpr int NoDriver = 6;       // no sound system at all
constexpr int NoMemory = 7;       // the buffer could not be handed over
constexpr int BadFormat = 32;     // the device cannot play this format
constexpr int StillPlaying = 33;  // the buffer is still in use by the device
constexpr int Unprepared = 34;    // write before prepare
constexpr int Stopped = 35;       // the sound system stopped taking the sound while it played
}  // namespace AudioResult

// An output device as the system lists it: a stable id (the same from one run to the next) and the
// description a user recognises.
struct AudioDeviceInfo {
    std::string id;
    std::string description;
    bool operator==(const AudioDeviceInfo&) const = default;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // How many output devices the system offers.
    virtual int outputDeviceCount() = 0;

    // The system's output devices; the default one first.
    virtual std::vector<AudioDeviceInfo> outputDevices() { return {}; }

    // The device open() uses from now on: an id from outputDevices(), or empty for the system's
    // default. A chosen device that is not there when open() runs gives way to the default, and
    // usedDefaultInstead() says so until the next open().
    void chooseDevice(const std::string& id) { m_chosenDevice = id; }
    const std::string& chosenDevice() const { return m_chosenDevice; }
    bool usedDefaultInstead() const { return m_usedDefaultInstead; }

    // Opens the chosen (or the default) output device for the format.
    virtual int open(const PcmFormat& format) = 0;

    // Hands the device a buffer of `samples` 16-bit samples. The buffer stays owned by the caller
    // and must not move until unprepare; its contents may still be written before write().
    virtual int prepare(const int16_t* data, size_t samples) = 0;

    // Starts playing the prepared buffer.
    virtual int write() = 0;

    // True once the device has played the last sample of the buffer, as near as the sound system
    // can tell (not merely taken it over).
    virtual bool done() = 0;

    // How many samples of the written buffer the device has played so far, as near as it can
    // tell. The player takes a count that stops growing for a long while as a stalled device.
    virtual int64_t playedSamples() = 0;

    // 0 while the written buffer plays on; a result code, with the reason in plain words, once
    // the sound system has failed it (the sound server went away, the device was suspended or
    // taken, the stream broke), so that a sequence cut short is never taken for one played.
    virtual int playbackError(std::string* reason) {
        (void)reason;
        return AudioResult::Ok;
    }
    // Releases the buffer; fails with StillPlaying while the device still uses it.
    virtual int unprepare() = 0;

    // Closes the device.
    virtual int close() = 0;

    // Stops playback at once and gives the buffer back.
    virtual int reset() = 0;

protected:
    std::string m_chosenDevice;
    bool m_usedDefaultInstead = false;
};

}  // namespace calvento
