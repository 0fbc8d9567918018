// The sound-card player: one DTMF sequence at a time, synthesized whole and played as one buffer.
//
// The player is the tone module of the program. It holds the tone table (filled once by the main
// window at start-up), the timing record (set by the send command before each send) and the
// module-wide PlayerState. SuonaSequenza returns only when the device has played the whole buffer
// or a step has failed; while it waits it runs event-loop turns, so the window stays alive and
// its handlers run inside the wait. isPlaying is what keeps them from starting a second playback
// or closing the window under it. A failure comes back as its text, with the device's numeric
// result code, for the caller to show (the window's box is titled " SuonaSequenza").
//
// A transmitter keyed for the sequence must go down as soon as the sound ends, also when the
// window's thread is held elsewhere (a handler's message box opened during the wait): the caller
// hands SuonaSequenza a function that the player calls the moment the last sample has played,
// from its wait or from a timer that runs in any event loop, or as soon as a step has failed.
#pragma once

#include <QString>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "tone/tone_synthesis.h"

namespace calvento {

class AudioOutput;
class Clock;

struct PlayerState {
    bool isPlaying = false;
    int32_t effectiveTimeMs = 0;  // measured playing time of the last completed playback
};

// How one playback ended.
struct PlayResult {
    bool played = false;  // every step succeeded and the device played the last sample
    // Why not, for the user (" SuonaSequenza" boxes); empty for a quiet stop and for a sequence
    // that was not started (empty, or another one playing).
    QString failure;
    int32_t effectiveTimeMs = 0;  // from the write to the last sample, when played
};

// What the program says when the system has no sound output device, and the title of its box.
QString NoSoundCardText();
QString NoSoundCardTitle();

class Player {
public:
    Player(AudioOutput& audio, Clock& clock);
    ~Player();

    AudioOutput& audio() { return m_audio; }
    DtmfToneTable& toneTable() { return m_table; }
    ToneTiming& timing() { return m_timing; }
    const ToneTiming& timing() const { return m_timing; }
    const PlayerState& state() const { return m_state; }
    bool isPlaying() const { return m_state.isPlaying; }

    // True when the system has at least one sound output device (see NoSoundCardText).
    bool SoundCardPresent() const;

    // The durations of the keys, of the gaps between them and of a space, in milliseconds; the
    // player rounds them to whole samples itself. Callers correct them to the send's limits
    // first (tone/keyed_send.h).
    void setDurations(double digitMs, double gapMs, double pauseMs);

    // Called once per playback as soon as the sequence stops sounding: with true when the device
    // has played its last sample, with false as soon as a step has failed.
    using EndOfSound = std::function<void(bool lastSamplePlayed)>;

    // Plays the sequence (one byte per character) with the current timing. Does nothing for an
    // empty sequence or while another sequence is playing (and then never calls `endOfSound`).
    PlayResult SuonaSequenza(const std::string& sequence, const EndOfSound& endOfSound = {});

    // Ends the playback under way (or the next one, as soon as it starts) as a failure: with a
    // message, which comes back as the playback's failure, or quietly when `message` is empty.
    // Safe from any thread: the keyed-time guard and the termination signals stop a playback
    // this way.
    void requestStop(const QString& message);

    // Resets and closes the device if one is open, ignoring its answers; playback is over.
    void StopPlayback();

    // The sample buffer of the last sequence (it stays until the next one replaces it).
    const int16_t* samples() const { return m_samples.get(); }
    int64_t sampleCount() const { return m_sampleCount; }

private:
    void synthesizeInto(const std::string& sequence);
    PlayResult fail(const QString& text);
    void soundEnded(bool lastSamplePlayed);
    void watchDone();

    AudioOutput& m_audio;
    Clock& m_clock;
    DtmfToneTable m_table{};
    ToneTiming m_timing;
    PlayerState m_state;
    bool m_deviceOpen = false;
    std::unique_ptr<int16_t[]> m_samples;
    int64_t m_sampleCount = 0;

    // The playback under way: who hears of its end, whether they have, and when it was seen.
    EndOfSound m_endOfSound;
    bool m_soundEnded = false;
    bool m_doneSeen = false;
    uint32_t m_doneTick = 0;
    QTimer m_watch;  // sees the done flag in event loops other than the wait's own

    std::atomic<bool> m_stopRequested{false};
    std::mutex m_stopMutex;
    QString m_stopMessage;
};

// The effective time as the send command reports it: up to 9999 ms as "1234mS.", longer in
// seconds with one decimal and the locale's decimal separator, "12.5 Sec.".
QString EffectiveTimeText(int milliseconds);

}  // namespace calvento
