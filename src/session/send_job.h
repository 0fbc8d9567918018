// The send job: one send of a sequence as the window's Send button and `calvento-cli send` both
// run it, with its outcome as a value.
//
// The durations and the transmitter delay are held to the shared send rules, the transmitter is
// keyed, the delay passes, the sequence plays, push-to-talk is released after the tail (or at
// once on a failure) under the keyed-time guard (tone/keyed_send.h). What became of it is one
// outcome that both front ends tell in their own words and that a record of the sends can keep:
// completed, keying failed, the transmitter possibly still keyed, failed with the player's
// reason, stopped by the guard, or stopped on request (a signal, the user).
#pragma once

#include <string>

#include "tone/keyed_send.h"

namespace calvento {

enum class SendOutcome {
    Completed,       // played whole, keyed and released as asked
    KeyingFailed,    // the transmitter could not be keyed (played unkeyed, or not at all)
    NotReleased,     // the release was refused: the transmitter may still be keyed
    Failed,          // the sound did not all go out (the player's reason)
    StoppedByGuard,  // keyed too long: the guard dropped push-to-talk and stopped the sound
    Stopped,         // stopped on request before its end
};

struct SendReport {
    SendSettings used;  // the settings after the send rules
    KeyedSendResult sent;
    SendOutcome outcome = SendOutcome::Completed;
    bool onDefaultDevice = false;  // a chosen device had gone: the default one played
};

// The outcome of a send as it ended.
SendOutcome OutcomeOf(const KeyedSendResult& sent);

// Plays `keys` with `asked` held to the send rules, keying `ptt` when given.
SendReport RunSendJob(Player& player, Clock& clock, PushToTalk* ptt, const std::string& keys,
                      const SendSettings& asked, const KeyedSendOptions& options = {});

}  // namespace calvento
