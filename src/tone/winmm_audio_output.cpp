// The waveform-audio backend of the audio output seam. See winmm_audio_output.h.
#include "tone/winmm_audio_output.h"

#include "tone/winmm_devices.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tone/system_audio_output.h"

namespace calvento {

namespace {

// A done flag that the position does not follow to the end within this time is taken at its
// word: some drivers stop their position a little short of the last sample.
constexpr auto kDoneWithoutPosition = std::chrono::milliseconds(250);

// The output devices in the system's numbering, each with its id (its name, made unique).
std::vector<AudioDeviceInfo> devicesInSystemOrder() {
    return WinmmDevicesInSystemOrder(
        waveOutGetNumDevs(),
        [](UINT i) {
            WAVEOUTCAPSW caps{};
            return waveOutGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR
                       ? Utf8OfWide(caps.szPname)
                       : std::string();
        },
        "Output device ");
}

}  // namespace

struct WinmmAudioOutput::Device {
    HWAVEOUT handle = nullptr;
    WAVEHDR header{};
    bool prepared = false;
    bool written = false;
    DWORD samples = 0;
    std::chrono::steady_clock::time_point flagSeen{};
    bool flagNoted = false;

    // The header's done flag, which the audio engine sets from a thread of its own.
    bool flagDone() const {
        return (static_cast<const volatile DWORD&>(header.dwFlags) & WHDR_DONE) != 0;
    }
};

WinmmAudioOutput::WinmmAudioOutput() = default;

WinmmAudioOutput::~WinmmAudioOutput() {
    if (!m_device) return;
    reset();
    close();
}

int WinmmAudioOutput::outputDeviceCount() {
    return static_cast<int>(waveOutGetNumDevs());
}

std::vector<AudioDeviceInfo> WinmmAudioOutput::outputDevices() {
    std::vector<AudioDeviceInfo> devices = devicesInSystemOrder();
    WinmmDefaultFirst(devices, [](UINT message, DWORD_PTR a, DWORD_PTR b) {
        return waveOutMessage(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(WAVE_MAPPER)),
                              message, a, b);
    });
    return devices;
}

int WinmmAudioOutput::open(const PcmFormat& format) {
    if (m_device) return MMSYSERR_ALLOCATED;
    UINT deviceId = WAVE_MAPPER;
    m_usedDefaultInstead = false;
    if (!m_chosenDevice.empty()) {
        const std::vector<AudioDeviceInfo> devices = devicesInSystemOrder();
        m_usedDefaultInstead = true;
        for (UINT i = 0; i < devices.size(); ++i)
            if (devices[i].id == m_chosenDevice) {
                deviceId = i;
                m_usedDefaultInstead = false;
            }
    }
    WAVEFORMATEX wave{};
    wave.wFormatTag = static_cast<WORD>(format.formatTag);
    wave.nChannels = static_cast<WORD>(format.channels);
    wave.nSamplesPerSec = static_cast<DWORD>(format.samplesPerSecond);
    wave.nAvgBytesPerSec = static_cast<DWORD>(format.averageBytesPerSecond);
    wave.nBlockAlign = static_cast<WORD>(format.blockAlign);
    wave.wBitsPerSample = static_cast<WORD>(format.bitsPerSample);
    wave.cbSize = static_cast<WORD>(format.extraSize);
    auto device = std::make_unique<Device>();
    const MMRESULT result = waveOutOpen(&device->handle, deviceId, &wave, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) return static_cast<int>(result);
    m_device = std::move(device);
    return AudioResult::Ok;
}

int WinmmAudioOutput::prepare(const int16_t* data, size_t samples) {
    if (!m_device) return MMSYSERR_INVALHANDLE;
    if (m_device->prepared) return WAVERR_STILLPLAYING;
    if (!data && samples) return MMSYSERR_NOMEM;
    // One header holds at most 4 GB; the largest sequence the program makes is some 180 MB.
    if (samples * sizeof(int16_t) > 0xFFFFFFF0u) return MMSYSERR_NOMEM;
    WAVEHDR& h = m_device->header;
    h = WAVEHDR{};
    h.lpData = reinterpret_cast<LPSTR>(const_cast<int16_t*>(data));
    h.dwBufferLength = static_cast<DWORD>(samples * sizeof(int16_t));
    const MMRESULT result = waveOutPrepareHeader(m_device->handle, &h, sizeof h);
    if (result != MMSYSERR_NOERROR) return static_cast<int>(result);
    m_device->prepared = true;
    m_device->written = false;
    m_device->flagNoted = false;
    m_device->samples = static_cast<DWORD>(samples);
    return AudioResult::Ok;
}

int WinmmAudioOutput::write() {
    if (!m_device) return MMSYSERR_INVALHANDLE;
    if (!m_device->prepared) return WAVERR_UNPREPARED;
    const MMRESULT result =
        waveOutWrite(m_device->handle, &m_device->header, sizeof m_device->header);
    if (result != MMSYSERR_NOERROR) return static_cast<int>(result);
    m_device->written = true;
    return AudioResult::Ok;
}

// The flag says the engine is finished with the buffer, which on most systems is when it has
// taken the last sample over, a little before the speaker plays it; the position says what was
// played. Done needs both, or the flag alone once it has stood for a while.
bool WinmmAudioOutput::done() {
    if (!m_device || !m_device->written || !m_device->flagDone()) return false;
    const auto now = std::chrono::steady_clock::now();
    if (!m_device->flagNoted) {
        m_device->flagNoted = true;
        m_device->flagSeen = now;
    }
    return playedSamples() >= m_device->samples || now - m_device->flagSeen >= kDoneWithoutPosition;
}

int64_t WinmmAudioOutput::playedSamples() {
    if (!m_device || !m_device->written) return 0;
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(m_device->handle, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
    int64_t played = 0;
    if (time.wType == TIME_SAMPLES)
        played = time.u.sample;
    else if (time.wType == TIME_BYTES)
        played = time.u.cb / static_cast<int64_t>(sizeof(int16_t));
    return std::min<int64_t>(played, m_device->samples);
}

int WinmmAudioOutput::unprepare() {
    if (!m_device) return MMSYSERR_INVALHANDLE;
    if (!m_device->prepared) return AudioResult::Ok;
    const MMRESULT result =
        waveOutUnprepareHeader(m_device->handle, &m_device->header, sizeof m_device->header);
    if (result != MMSYSERR_NOERROR) return static_cast<int>(result);
    m_device->prepared = false;
    m_device->written = false;
    return AudioResult::Ok;
}

int WinmmAudioOutput::close() {
    if (!m_device) return MMSYSERR_INVALHANDLE;
    if (m_device->prepared) return WAVERR_STILLPLAYING;
    const MMRESULT result = waveOutClose(m_device->handle);
    if (result != MMSYSERR_NOERROR) return static_cast<int>(result);
    m_device.reset();
    return AudioResult::Ok;
}

// Stops at once; the engine marks the header done, so that it can be unprepared.
int WinmmAudioOutput::reset() {
    if (!m_device) return MMSYSERR_INVALHANDLE;
    const MMRESULT result = waveOutReset(m_device->handle);
    unprepare();
    return static_cast<int>(result);
}

void ExitAfterAudio(int code) {
    std::fflush(nullptr);
    std::exit(code);
}

}  // namespace calvento
