// The waveform-audio backend of the audio input seam. See winmm_audio_input.h.
#include "tone/winmm_audio_input.h"

#include "tone/winmm_devices.h"

#include <chrono>

#include "tone/system_audio_output.h"

namespace calvento {

namespace {

constexpr int kBuffers = 40;
constexpr int kBufferMs = 50;
constexpr auto kSilentDevice = std::chrono::milliseconds(1500);

std::vector<AudioDeviceInfo> devicesInSystemOrder() {
    return WinmmDevicesInSystemOrder(
        waveInGetNumDevs(),
        [](UINT i) {
            WAVEINCAPSW caps{};
            return waveInGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR
                       ? Utf8OfWide(caps.szPname)
                       : std::string();
        },
        "Input device ");
}

}  // namespace

struct WinmmAudioInput::Device {
    HWAVEIN handle = nullptr;
    std::vector<int16_t> memory;
    WAVEHDR headers[kBuffers]{};
    int prepared = 0;  // headers prepared, from the first
    int next = 0;      // the header the device fills next
    bool started = false;
    std::chrono::steady_clock::time_point lastFilled{};

    bool filled(int i) const {
        return (static_cast<const volatile DWORD&>(headers[i].dwFlags) & WHDR_DONE) != 0;
    }
    // Gives every buffer back: the device stops, returns what it holds (marked done) and lets
    // go of the headers. The audio engine fills buffers from a thread of its own, so the memory
    // may go only once each header is done and unprepared; a header still held after a second
    // keeps the memory (the device is then left open rather than written into freed memory).
    bool releaseAll() {
        waveInStop(handle);
        waveInReset(handle);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        bool released = true;
        for (int i = 0; i < prepared; ++i) {
            while (true) {
                const MMRESULT r = waveInUnprepareHeader(handle, &headers[i], sizeof headers[i]);
                if (r == MMSYSERR_NOERROR) break;
                if (r != WAVERR_STILLPLAYING || std::chrono::steady_clock::now() > until) {
                    released = false;
                    break;
                }
                Sleep(5);
            }
        }
        if (released) prepared = 0;
        return released;
    }
};

int SystemAudioInputCount() {
    return static_cast<int>(waveInGetNumDevs());
}

WinmmAudioInput::WinmmAudioInput() = default;

WinmmAudioInput::~WinmmAudioInput() {
    if (m_device) close();
}

std::vector<AudioDeviceInfo> WinmmAudioInput::inputDevices() {
    std::vector<AudioDeviceInfo> devices = devicesInSystemOrder();
    WinmmDefaultFirst(devices, [](UINT message, DWORD_PTR a, DWORD_PTR b) {
        return waveInMessage(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(WAVE_MAPPER)), message,
                             a, b);
    });
    return devices;
}

int WinmmAudioInput::open(const PcmFormat& format) {
    if (m_device) return MMSYSERR_ALLOCATED;
    UINT deviceId = WAVE_MAPPER;
    if (!m_chosenDevice.empty()) {
        const std::vector<AudioDeviceInfo> devices = devicesInSystemOrder();
        deviceId = static_cast<UINT>(-2);
        for (UINT i = 0; i < devices.size(); ++i)
            if (devices[i].id == m_chosenDevice) deviceId = i;
        if (deviceId == static_cast<UINT>(-2)) return MMSYSERR_BADDEVICEID;
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
    const MMRESULT result = waveInOpen(&device->handle, deviceId, &wave, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) return static_cast<int>(result);
    const size_t perBuffer =
        static_cast<size_t>(format.samplesPerSecond) * format.channels * kBufferMs / 1000;
    device->memory.assign(perBuffer * kBuffers, 0);
    for (int i = 0; i < kBuffers; ++i) {
        WAVEHDR& h = device->headers[i];
        h.lpData = reinterpret_cast<LPSTR>(device->memory.data() + perBuffer * i);
        h.dwBufferLength = static_cast<DWORD>(perBuffer * sizeof(int16_t));
        const MMRESULT prepared = waveInPrepareHeader(device->handle, &h, sizeof h);
        if (prepared != MMSYSERR_NOERROR) {
            if (device->releaseAll()) waveInClose(device->handle);
            device.release();  // its memory stays with a device that would not let go
            return static_cast<int>(prepared);
        }
        ++device->prepared;
    }
    m_device = std::move(device);
    return AudioResult::Ok;
}

int WinmmAudioInput::start() {
    if (!m_device) return MMSYSERR_INVALHANDLE;
    Device& d = *m_device;
    for (int i = 0; i < kBuffers; ++i) {
        d.headers[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        d.headers[i].dwBytesRecorded = 0;
        const MMRESULT added = waveInAddBuffer(d.handle, &d.headers[i], sizeof d.headers[i]);
        if (added != MMSYSERR_NOERROR) return static_cast<int>(added);
    }
    d.next = 0;
    const MMRESULT result = waveInStart(d.handle);
    if (result != MMSYSERR_NOERROR) return static_cast<int>(result);
    d.started = true;
    d.lastFilled = std::chrono::steady_clock::now();
    return AudioResult::Ok;
}

int WinmmAudioInput::take(std::vector<int16_t>& samples, std::string* reason) {
    if (!m_device || !m_device->started) return MMSYSERR_INVALHANDLE;
    Device& d = *m_device;
    const auto now = std::chrono::steady_clock::now();
    int handed = 0;
    while (handed < kBuffers && d.filled(d.next)) {
        WAVEHDR& h = d.headers[d.next];
        const auto* data = reinterpret_cast<const int16_t*>(h.lpData);
        samples.insert(samples.end(), data, data + h.dwBytesRecorded / sizeof(int16_t));
        h.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        h.dwBytesRecorded = 0;
        const MMRESULT added = waveInAddBuffer(d.handle, &h, sizeof h);
        if (added != MMSYSERR_NOERROR) {
            if (reason) *reason = "the input device took no further buffer";
            return static_cast<int>(added);
        }
        d.next = (d.next + 1) % kBuffers;
        d.lastFilled = now;
        ++handed;
    }
    if (now - d.lastFilled > kSilentDevice) {
        if (reason)
            *reason =
                "no sound arrives from the input device any more (it was unplugged, or "
                "the audio service stopped)";
        return AudioResult::Stopped;
    }
    return AudioResult::Ok;
}

int WinmmAudioInput::stop() {
    if (!m_device) return MMSYSERR_INVALHANDLE;
    m_device->started = false;
    waveInStop(m_device->handle);
    return static_cast<int>(waveInReset(m_device->handle));
}

int WinmmAudioInput::close() {
    if (!m_device) return MMSYSERR_INVALHANDLE;
    m_device->started = false;
    if (!m_device->releaseAll()) {
        m_device.release();  // still held by the engine: its memory must stay
        return WAVERR_STILLPLAYING;
    }
    MMRESULT result = waveInClose(m_device->handle);
    for (int i = 0; i < 100 && result == WAVERR_STILLPLAYING; ++i) {
        Sleep(10);
        result = waveInClose(m_device->handle);
    }
    if (result != MMSYSERR_NOERROR) {
        m_device.release();
        return static_cast<int>(result);
    }
    m_device.reset();
    return AudioResult::Ok;
}

}  // namespace calvento
