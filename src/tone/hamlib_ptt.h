// Push-to-talk through Hamlib, the rig-control library of radio software: a rig's own CAT
// command (any model Hamlib knows, on its serial port), a running rigctld over the network
// (model 2, port "host:port"), a USB sound card's CM108 GPIO pin (port /dev/hidrawN), or a
// serial line that Hamlib drives itself. Built where Hamlib is available (not on Windows).
#pragma once

#include <QString>
#include <mutex>

#include "tone/push_to_talk.h"

struct s_rig;

namespace calvento {

class HamlibPushToTalk final : public PushToTalk {
public:
    HamlibPushToTalk() = default;
    ~HamlibPushToTalk() override;
    HamlibPushToTalk(const HamlibPushToTalk&) = delete;
    HamlibPushToTalk& operator=(const HamlibPushToTalk&) = delete;

    // Opens rig `model` on `port` keying with `pttType`; false with Hamlib's reason.
    bool open(int model, const QString& port, const QString& pttType, QString* error);
    void close();
    bool isOpen() const { return m_rig != nullptr; }

    bool prepare(QString* error) override { return setKeyed(false, error); }
    bool setKeyed(bool keyed, QString* error) override;
    void releaseFromAnyThread() override;
    bool readBack(bool* keyed, QString* error) override;
    QString name() const override { return m_name; }

    // How long one Hamlib call waits for the rig (twice, with its one retry): a dead or frozen
    // rig control answers within about two seconds.
    static constexpr int kCallTimeoutMs = 800;

private:
    std::mutex m_mutex;  // Hamlib calls on one rig one at a time, the guard's included
    s_rig* m_rig = nullptr;
    QString m_name;
    int m_model = 0;  // what open() was given, for opening again after a lost connection
    QString m_port;
    QString m_pttType;
};

// The version of the Hamlib library the program runs with ("4.5.5").
QString HamlibLibraryVersion();

}  // namespace calvento
