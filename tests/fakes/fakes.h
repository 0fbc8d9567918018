// Fakes of the seams for the tests: an audio device that answers scripted result codes, a clock
// whose time only moves when told, and a user interface that records the message boxes instead
// of showing them.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "app/clock.h"
#include "app/user_interface.h"
#include "tone/audio_output.h"

namespace calvento::test {

struct ShownMessage {
    QString text;
    QString title;
    MessageIcon icon;
};

class RecordingUi final : public UiServices {
public:
    void messageBox(const QString& text, const QString& title, MessageIcon icon) override {
        messages.push_back({text, title, icon});
        if (onMessage) onMessage();
    }
    std::vector<ShownMessage> messages;
    std::function<void()> onMessage;
};

// Time moves by `msPerTurn` at each event-loop turn and by the requested amount at each sleep;
// nothing really waits. `onTurn` lets a test act "during" a wait.
class FakeClock final : public Clock {
public:
    uint32_t tickCount() override { return now; }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        now += static_cast<uint32_t>(ms);
    }
    void processEvents() override {
        ++turns;
        now += msPerTurn;
        if (onTurn) onTurn();
    }
    uint32_t now = 0;
    uint32_t msPerTurn = 1;
    int turns = 0;
    std::vector<int> sleeps;
    std::function<void()> onTurn;
};

// Every step answers the code set for it; `turnsUntilDone` event-loop turns after write() the
// done flag comes up (never, when negative). Calls are logged by name.
class FakeAudioOutput final : public AudioOutput {
public:
    int outputDeviceCount() override { return devices; }
    int open(const PcmFormat& f) override {
        log << "open";
        format = f;
        if (openResult == 0) isOpen = true;
        return openResult;
    }
    int prepare(const int16_t* data, size_t n) override {
        log << "prepare";
        buffer = data;
        samples = n;
        return prepareResult;
    }
    int write() override {
        log << "write";
        // What the device got: the buffer as it stands when it is written.
        written.assign(buffer, buffer + samples);
        doneAfter = turnsUntilDone;
        return writeResult;
    }
    bool done() override {
        if (doneAfter < 0) return false;
        if (doneAfter == 0) return true;
        --doneAfter;
        return false;
    }
    int unprepare() override {
        log << "unprepare";
        return unprepareResult;
    }
    int close() override {
        log << "close";
        isOpen = false;
        return closeResult;
    }
    int reset() override {
        log << "reset";
        return 0;
    }

    int devices = 1;
    int openResult = 0, prepareResult = 0, writeResult = 0, unprepareResult = 0, closeResult = 0;
    int turnsUntilDone = 3;
    int doneAfter = -1;
    bool isOpen = false;
    PcmFormat format;
    const int16_t* buffer = nullptr;
    size_t samples = 0;
    std::vector<int16_t> written;
    QStringList log;
};

}  // namespace calvento::test
