// The waveform-audio devices as the seams list them, for the output and the input backend alike.
//
// Devices are known by their product names (the name is the id; a second device of the same
// name gets " #2"), the default first: the system's device numbers change when a device is
// plugged in, the names do not. Windows only.
#pragma once

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <string>
#include <vector>

#include "tone/audio_output.h"

namespace calvento {

inline std::string Utf8OfWide(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string s(static_cast<size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, s.data(), n, nullptr, nullptr);
    return s;
}

// The devices in the system's numbering, each with its id (its name, made unique). `nameOf`
// answers device i's product name, empty when the system does not tell it.
template <typename NameOf>
std::vector<AudioDeviceInfo> WinmmDevicesInSystemOrder(UINT count, NameOf nameOf,
                                                       const char* unnamed) {
    std::vector<AudioDeviceInfo> devices;
    for (UINT i = 0; i < count; ++i) {
        std::string name = nameOf(i);
        if (name.empty()) name = unnamed + std::to_string(i + 1);
        std::string id = name;
        for (int n = 2;; ++n) {
            bool taken = false;
            for (const AudioDeviceInfo& d : devices) taken = taken || d.id == id;
            if (!taken) break;
            id = name + " #" + std::to_string(n);
        }
        devices.push_back({id, name});
    }
    return devices;
}

// Puts the device the wave mapper uses (the user's default) first, when the system tells it.
// `ask` sends the mapper's DRVM_MAPPER_PREFERRED_GET message.
template <typename Ask>
void WinmmDefaultFirst(std::vector<AudioDeviceInfo>& devices, Ask ask) {
    constexpr UINT kPreferredGet = 0x2000 + 21;  // DRVM_MAPPER_PREFERRED_GET
    DWORD preferred = 0, flags = 0;
    if (ask(kPreferredGet, reinterpret_cast<DWORD_PTR>(&preferred),
            reinterpret_cast<DWORD_PTR>(&flags)) == MMSYSERR_NOERROR &&
        preferred > 0 && preferred < devices.size()) {
        const AudioDeviceInfo first = devices[preferred];
        devices.erase(devices.begin() + preferred);
        devices.insert(devices.begin(), first);
    }
}

}  // namespace calvento
