// Fakes of the seams for the tests: an audio device that answers scripted result codes, a clock
// whose time only moves when told, a serial port that records every byte and line change, and a
// user interface that records the message boxes instead of showing them. Fakes given the same
// `journal` write one shared, ordered account of what happened ("sleep 200", "rts 1", "open").
#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/user_interface.h"
#include "tone/audio_input.h"
#include "tone/audio_output.h"
#include "tone/morse_code.h"

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
    bool question(const QString& text, const QString& title) override {
        questions.push_back({text, title, MessageIcon::Exclamation});
        return questionAnswer;
    }
    bool confirm(const QString& text, const QString& title) override {
        confirmations.push_back({text, title, MessageIcon::Exclamation});
        if (onConfirm) onConfirm();
        return confirmAnswer;
    }
    QString askText(const QString& label, const QString& title, const QString&) override {
        questions.push_back({label, title, MessageIcon::None});
        return textAnswer;
    }
    QString openFileName(const QString& title, const QString& folder, const QString& proposed,
                         const QString& filter) override {
        dialogs << QStringList{title, folder, proposed, filter};
        return fileAnswer;
    }
    QString saveFileName(const QString& title, const QString& folder, const QString& proposed,
                         const QString& filter) override {
        dialogs << QStringList{title, folder, proposed, filter};
        return fileAnswer;
    }
    std::vector<ShownMessage> messages;
    std::vector<ShownMessage> questions;  // asked, and answered with questionAnswer
    bool questionAnswer = true;
    std::vector<ShownMessage> confirmations;  // asked, and answered with confirmAnswer
    bool confirmAnswer = true;
    std::function<void()> onConfirm;
    QString textAnswer;  // what askText answers; empty = cancel
    std::function<void()> onMessage;
    QList<QStringList> dialogs;  // title, folder, proposed name, filter of each dialog shown
    QString fileAnswer;          // what the dialogs answer; empty = cancel
};

// Time moves by `msPerTurn` at each event-loop turn and by the requested amount at each sleep;
// nothing really waits. `onTurn` lets a test act "during" a wait.
class FakeClock final : public Clock {
public:
    uint32_t tickCount() override { return now; }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        if (journal) *journal << QStringLiteral("sleep %1").arg(ms);
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
    QStringList* journal = nullptr;
};

// Every step answers the code set for it; `turnsUntilDone` event-loop turns after write() the
// done flag comes up (never, when negative). Calls are logged by name.
class FakeAudioOutput final : public AudioOutput {
public:
    int outputDeviceCount() override { return devices; }
    std::vector<AudioDeviceInfo> outputDevices() override { return deviceList; }
    int open(const PcmFormat& f) override {
        log << "open";
        m_usedDefaultInstead =
            !m_chosenDevice.empty() &&
            std::none_of(deviceList.begin(), deviceList.end(),
                         [this](const AudioDeviceInfo& d) { return d.id == m_chosenDevice; });
        if (journal) *journal << "play";
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
    int64_t playedSamples() override {
        if (progress) return progress();
        return doneAfter == 0 ? static_cast<int64_t>(samples) : 0;
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
    int playbackError(std::string* reason) override {
        if (reason) *reason = playbackErrorReason;
        return playbackErrorResult;
    }

    int devices = 1;
    std::vector<AudioDeviceInfo> deviceList;  // what outputDevices() lists
    int openResult = 0, prepareResult = 0, writeResult = 0, unprepareResult = 0, closeResult = 0;
    int turnsUntilDone = 3;
    int playbackErrorResult = 0;  // what playbackError() answers while a buffer plays
    std::string playbackErrorReason;
    int doneAfter = -1;
    std::function<int64_t()> progress;  // what playedSamples() answers; unset: none until done
    bool isOpen = false;
    PcmFormat format;
    const int16_t* buffer = nullptr;
    size_t samples = 0;
    std::vector<int16_t> written;
    QStringList log;
    QStringList* journal = nullptr;
};

// What the receiver hears, described as a row wants it: "quiet 1000" (ms of silence),
// "cw SIM 20" (a call at 20 WPM), "dtmf 12" (keys of 60 ms and gaps of 40 ms), "noise 3000" (ms of
// white noise at a quarter of full scale), one a word group, separated by commas.
inline std::vector<int16_t> Air(const QString& description) {
    std::vector<int16_t> out;
    uint32_t seed = 1;
    for (const QString& part : description.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList w = part.trimmed().split(QLatin1Char(' '));
        if (w[0] == QLatin1String("quiet")) {
            out.insert(out.end(), static_cast<size_t>(w[1].toInt() * 8), int16_t{0});
        } else if (w[0] == QLatin1String("cw")) {
            const std::vector<int16_t> t =
                MorseTone(w[1].toStdString(), w[2].toDouble(), 800, 8000);
            out.insert(out.end(), t.begin(), t.end());
        } else if (w[0] == QLatin1String("noise")) {
            for (int i = 0; i < w[1].toInt() * 8; ++i) {
                seed = seed * 1664525u + 1013904223u;
                out.push_back(static_cast<int16_t>(static_cast<int32_t>(seed >> 16) / 4 - 8192));
            }
        } else {
            static const char* keys = "123A456B789C*0#D";
            static const double low[] = {697, 770, 852, 941}, high[] = {1209, 1336, 1477, 1633};
            for (const QChar k : w[1]) {
                const int at = static_cast<int>(std::strchr(keys, k.toLatin1()) - keys);
                for (int n = 0; n < 480; ++n)
                    out.push_back(static_cast<int16_t>(
                        8000 * (std::sin(2 * std::numbers::pi * low[at / 4] * n / 8000) +
                                std::sin(2 * std::numbers::pi * high[at % 4] * n / 8000))));
                out.insert(out.end(), 320, int16_t{0});
            }
        }
    }
    return out;
}

// The receiver as a fake input: `air` is what arrives, at 8000 samples a second of the clock's time
// from start() on (silence after its end); the steps answer the codes set for them, and from
// `failAtMs` on take() fails as a sound server gone away would. Calls are logged by name.
class FakeAudioInput final : public AudioInput {
public:
    explicit FakeAudioInput(Clock& clock) : m_clock(clock) {}
    std::vector<AudioDeviceInfo> inputDevices() override { return deviceList; }
    int open(const PcmFormat& f) override {
        log << "open";
        openedOn = m_chosenDevice;
        format = f;
        if (openResult == 0) isOpen = true;
        return openResult;
    }
    int start() override {
        log << "start";
        startedAt = m_clock.tickCount();
        handed = 0;
        return startResult;
    }
    int take(std::vector<int16_t>& out, std::string* reason) override {
        const uint32_t ms = m_clock.tickCount() - startedAt;
        if (failAtMs >= 0 && ms >= static_cast<uint32_t>(failAtMs)) {
            if (reason) *reason = "the sound server went away";
            return AudioResult::Stopped;
        }
        const size_t due = static_cast<size_t>(ms) * 8;
        for (; handed < due; ++handed)
            out.push_back(handed < air.size() ? air[handed] : int16_t{0});
        return AudioResult::Ok;
    }
    int stop() override {
        log << "stop";
        return 0;
    }
    int close() override {
        log << "close";
        isOpen = false;
        return 0;
    }

    std::vector<AudioDeviceInfo> deviceList{{"receiver", "Receiver"}};
    std::vector<int16_t> air;
    int openResult = 0, startResult = 0;
    int failAtMs = -1;
    bool isOpen = false;
    std::string openedOn;
    PcmFormat format;
    uint32_t startedAt = 0;
    size_t handed = 0;
    QStringList log;

private:
    Clock& m_clock;
};

// A port on any device name except those listed in `refuse`; RTS can be refused too, as a
// pseudo-terminal or an adapter without modem lines would.
class FakeSerialPort final : public SerialPort {
public:
    bool open(const QString& dev, QString* error) override {
        openedDevices << dev;
        if (refuse.contains(dev)) {
            if (error) *error = QStringLiteral("No such file or directory");
            return false;
        }
        m_device = dev;
        m_open = true;
        rts = rtsAtOpen();
        dtr = dtrAtOpen();
        if (journal) *journal << "open " + dev;
        return true;
    }
    void close() override {
        if (m_open && journal) *journal << "close";
        m_open = false;
        rts = false;
    }
    bool isOpen() const override { return m_open; }
    QString device() const override { return m_device; }
    bool write(const QByteArray& bytes) override {
        if (!m_open) return false;
        sent += bytes;
        if (journal) *journal << "write " + bytes.toHex(' ');
        if (onWrite) onWrite();
        return true;
    }
    bool setRts(bool on, QString* error) override {
        if (!m_open || !rtsWorks) {
            if (error) *error = QStringLiteral("Inappropriate ioctl for device");
            return false;
        }
        rts = on;
        if (journal) *journal << QStringLiteral("rts %1").arg(on ? 1 : 0);
        if (onRts) onRts(on);
        return true;
    }
    bool setDtr(bool on, QString* error) override {
        if (!m_open || !rtsWorks) {
            if (error) *error = QStringLiteral("Inappropriate ioctl for device");
            return false;
        }
        dtr = on;
        if (journal) *journal << QStringLiteral("dtr %1").arg(on ? 1 : 0);
        return true;
    }
    bool lineState(ModemLine line, bool* on, QString* error) override {
        if (!m_open || !rtsWorks) {
            if (error) *error = QStringLiteral("Inappropriate ioctl for device");
            return false;
        }
        *on = line == ModemLine::Rts ? rts.load() : dtr.load();
        return true;
    }
    void setLineFromAnyThread(ModemLine line, bool on) override {
        if (!m_open || !rtsWorks) return;
        (line == ModemLine::Rts ? rts : dtr) = on;
        droppedFromAnyThread = true;
    }
    void setNullDiscard(bool discard) override { nullDiscard = discard; }
    QByteArray takeReceived() override {
        QByteArray bytes = incoming;
        incoming.clear();
        if (nullDiscard) bytes.replace(QByteArray(1, '\0'), QByteArray());
        return bytes;
    }
    // The board "sends" bytes.
    void receive(const QByteArray& bytes) {
        incoming += bytes;
        emit received();
    }

    QStringList refuse;
    QStringList openedDevices;
    bool rtsWorks = true;
    std::atomic<bool> rts{false};
    std::atomic<bool> dtr{true};                    // up after open, as the real port leaves it
    std::atomic<bool> droppedFromAnyThread{false};  // a line set by the keyed-time guard
    bool nullDiscard = false;
    QByteArray sent;
    QByteArray incoming;
    QStringList* journal = nullptr;
    std::function<void()> onWrite;    // the far end sees the bytes as they are written
    std::function<void(bool)> onRts;  // the line has been set

private:
    bool m_open = false;
    QString m_device;
};

}  // namespace calvento::test
