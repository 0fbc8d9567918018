// One send of a sequence with push-to-talk: what the window's Send button and `calvento-cli send`
// both do, with the one set of rules for its durations and its transmitter delay.
//
// The durations are corrected to their limits, the transmitter is keyed, the transmitter delay
// passes, the player plays, and push-to-talk is released 40 ms after the last sample, or at once
// when a step fails, so that the radio is never keyed while a box waits for someone to press OK:
// the send returns its failure for the caller to tell. A guard on a thread of its
// own drops push-to-talk when the transmitter has been keyed longer than the delay, the sequence
// and 2 s together, whatever the window's thread is doing (a sound system that stalled, a handler
// that does not return), and the send then ends with a message.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "tone/player.h"
#include "tone/push_to_talk.h"

namespace calvento {

class Clock;
class Player;

// What the user asks for, in milliseconds, as typed (fractions allowed).
struct SendSettings {
    double digitMs = 60;
    double gapMs = 40;
    double pauseMs = 300;
    double txDelayMs = 200;
    bool operator==(const SendSettings&) const = default;
};

// The send's limits: a key and a pause last at least 25 ms, a gap 15 ms; the transmitter delay
// lies between 20 and 2000 ms. A delay above the range is held at its top, not cut to the
// minimum: a slow transmitter asked for a long delay, and the shortest would lose the first key.
namespace SendLimits {
constexpr int kMinDigitMs = 25;
constexpr int kMinGapMs = 15;
constexpr int kMinPauseMs = 25;
constexpr int kMinTxDelayMs = 20;
constexpr int kMaxTxDelayMs = 2000;
}  // namespace SendLimits

// The settings within the send's limits; what lies within stays as it was.
SendSettings CorrectedSendSettings(const SendSettings& asked);

struct KeyedSendResult {
    bool keyed = true;    // false when keying was asked for and the line could not be raised
    QString keyingError;  // why, then
    bool guardTripped = false;
    // False when the release at the end was refused (a rig control that died or stalled): the
    // transmitter may still be keyed, and the send is reported as such, never as completed.
    bool released = true;
    QString releaseError;  // why, then
    // The playback: whether it played whole, why not (the player's text or the guard's), and
    // its effective time. A send that was not started for want of keying has played == false
    // and no failure text.
    PlayResult play;
};

// How long the transmitter may stay keyed beyond the delay and the sequence itself.
constexpr int kKeyedTimeSlackMs = 2000;
// How long push-to-talk stays up after the last sample.
constexpr int kPttTailMs = 40;

struct KeyedSendOptions {
    // The window plays a sequence whose transmitter could not be keyed, as the classic program
    // did, and says so afterwards; a script is better told at once, with nothing played.
    bool playWhenNotKeyed = true;
    // When given, tells at the end whether push-to-talk still belongs to this send (the window's
    // box may have been cleared meanwhile, which released the line and closed the port): when it
    // does not, there is no tail and nothing to release.
    std::function<bool()> stillKeying;
    // When given and true at the end, a sequence that was stopped (the user's Stop) keeps the
    // tail before push-to-talk drops, as a finished one does; otherwise a stopped or failed
    // sequence lets go at once.
    std::function<bool()> tailAfterStop;
};

// Plays `keys` with the corrected settings. With `ptt`, keys the transmitter first and waits the
// transmitter delay.
KeyedSendResult SendKeyed(Player& player, Clock& clock, PushToTalk* ptt, const std::string& keys,
                          const SendSettings& settings, const KeyedSendOptions& options = {});

}  // namespace calvento
