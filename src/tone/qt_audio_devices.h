// The Qt Multimedia devices as the seams list them, for the output and the input backend alike:
// each by its stable id and its description, the default first, and found again by its id.
#pragma once

#include <QAudioDevice>
#include <QList>
#include <algorithm>
#include <string>
#include <vector>

#include "tone/audio_output.h"

namespace calvento {

inline std::vector<AudioDeviceInfo> QtDeviceList(const QList<QAudioDevice>& all,
                                                 const QAudioDevice& fallback) {
    std::vector<AudioDeviceInfo> devices;
    for (const QAudioDevice& d : all) {
        const AudioDeviceInfo info{d.id().toStdString(), d.description().toStdString()};
        if (d.id() == fallback.id())
            devices.insert(devices.begin(), info);
        else
            devices.push_back(info);
    }
    return devices;
}

// The device of that id, or a null device when it is not there.
inline QAudioDevice QtDeviceOfId(const QList<QAudioDevice>& all, const std::string& id) {
    const QByteArray wanted = QByteArray::fromStdString(id);
    const auto it = std::find_if(all.begin(), all.end(),
                                 [&](const QAudioDevice& d) { return d.id() == wanted; });
    return it != all.end() ? *it : QAudioDevice();
}

}  // namespace calvento
