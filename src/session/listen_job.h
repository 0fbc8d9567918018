// Listening for the board's reply: after a command has gone out and push-to-talk is down, the
// receiver's audio is decoded for a few seconds and the board's CW call looked for in it.
//
// The Listener opens the input device before the send (so that no time is lost starting it once
// the transmitter is down), drops what it heard while we transmitted, and then listens: the
// receiver's DTMF keys and Morse words as they are decoded, until the call has been heard whole,
// the time is up, the device fails or the caller stops it. RunConfirmedSend is the whole
// workflow, the same in the console and in the tool: send, listen, and send again (a full keyed
// send, logged on its own) while nothing was heard and retries are left.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "session/send_job.h"
#include "tone/audio_input.h"
#include "tone/dtmf_decoder.h"

namespace calvento {

struct ListenRequest {
    double seconds = 8;         // how long to listen at most; negative: until stopped
    bool stopWhenHeard = true;  // end as soon as the call has been heard whole
    bool dtmf = true;           // report DTMF keys heard
    bool cw = true;             // report Morse words heard
    std::string expectCall;     // the board's CW call; empty: any Morse counts as a reply
    double wpm = 0;             // the board's Morse speed when known (its configuration), else 0
};

enum class ListenOutcome {
    Heard,     // the call (or, without one, any Morse) was heard
    NotHeard,  // the time ran out
    Failed,    // the input device could not be opened or stopped delivering
    Stopped,   // the caller stopped listening
};

struct ListenResult {
    ListenOutcome outcome = ListenOutcome::NotHeard;
    std::string call;                // what was heard as the call
    double heardAfter = 0;           // seconds from the start of listening to the call's first sign
    std::vector<DecodedItem> items;  // every key and word, times from the start of listening
    std::string failure;             // Failed: why, with the device's code
};

struct ListenHooks {
    std::function<void(const DecodedItem&)> heard;  // each item as it is decoded
    std::function<bool()> stopRequested;            // polled between takes
};

// Opens and starts `input` on `deviceId` ("" for the default) for the decoders' format (8000 Hz,
// mono, 16-bit); false with the reason ("the input device X is not there (error 2)").
bool OpenReceiver(AudioInput& input, const std::string& deviceId, std::string* failure);

class Listener {
public:
    static constexpr int kSampleRate = 8000;

    Listener(AudioInput& input, Clock& clock) : m_input(input), m_clock(clock) {}
    ~Listener() { close(); }

    // Opens and starts the input device ("" for the default); false with the reason.
    bool open(const std::string& deviceId, std::string* failure);
    bool isOpen() const { return m_open; }

    // Drops what has arrived so far (our own transmission).
    void discard();

    // Listens as asked; the input stays open for another listen.
    ListenResult listen(const ListenRequest& request, const ListenHooks& hooks);

    void close();

private:
    AudioInput& m_input;
    Clock& m_clock;
    bool m_open = false;
};

// "Heard IK2ABC after 1.8 s", "No reply heard", "Listening failed: ...", "Listening stopped".
QString ListenOutcomeText(const ListenResult& result);

// What was heard for the send log's reply column: the keys and words in their order, a run of
// keys as one word ("208# IK2ABC"), or "none".
QString ReplyText(const ListenResult& result);

// How a reply is checked: the listen, and how often a command is sent again (0 to 3) when
// nothing was heard.
struct ReplyCheck {
    static constexpr int kMostRetries = 3;
    ListenRequest request;
    int retries = 0;
};

// Sends with `sendOnce`; when the send went out whole and `listener` is open, listens as `check`
// asks and sends again while nothing was heard and retries are left. `attemptEnded` is told each
// send with what was heard (null when it did not listen), so that the caller logs every send.
// Answers the last listen, or nothing when none took place.
std::optional<ListenResult> RunConfirmedSend(
    Listener* listener, const ReplyCheck& check, const std::function<SendReport()>& sendOnce,
    const std::function<void(const SendReport&, const ListenResult*)>& attemptEnded,
    const ListenHooks& hooks = {});

}  // namespace calvento
