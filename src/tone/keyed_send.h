// One send of a sequence with push-to-talk: what the window's Send button and `calvento-cli send`
// both do once the durations are set.
//
// The transmitter is keyed, the transmitter delay passes, the player plays, and push-to-talk is
// released 40 ms after the last sample, or at once before a failure is told to the user, so that
// the radio is never keyed while a box waits for someone to press OK. A guard on a thread of its
// own drops push-to-talk when the transmitter has been keyed longer than the delay, the sequence
// and 2 s together, whatever the window's thread is doing (a sound system that stalled, a handler
// that does not return), and the send then ends with a message.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "tone/push_to_talk.h"

namespace calvento {

class Clock;
class Player;

struct KeyedSendResult {
    bool keyed = true;    // false when keying was asked for and the line could not be raised
    QString keyingError;  // why, then
    bool guardTripped = false;
};

// How long the transmitter may stay keyed beyond the delay and the sequence itself.
constexpr int kKeyedTimeSlackMs = 2000;
// How long push-to-talk stays up after the last sample.
constexpr int kPttTailMs = 40;

struct KeyedSendOptions {
    int txDelayMs = 200;
    // The window plays a sequence whose transmitter could not be keyed, as the classic program
    // did, and says so afterwards; a script is better told at once, with nothing played.
    bool playWhenNotKeyed = true;
    // When given, tells at the end whether push-to-talk still belongs to this send (the window's
    // box may have been cleared meanwhile, which released the line and closed the port): when it
    // does not, there is no tail and nothing to release.
    std::function<bool()> stillKeying;
};

// Plays `keys` with the player's timing. With `ptt`, keys the transmitter first and waits the
// transmitter delay.
KeyedSendResult SendKeyed(Player& player, Clock& clock, PushToTalk* ptt, const std::string& keys,
                          const KeyedSendOptions& options);

}  // namespace calvento
