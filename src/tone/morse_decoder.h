// The Morse decoder: the board's CW reply (and any Morse on the channel) as text.
//
// Pure (no Qt): samples in, characters with their times out, at any sample rate from 8 to
// 48 kHz. A recording is decoded in four steps:
//  1. the pitch: the strongest steady tone between 300 and 2000 Hz, found by itself;
//  2. the envelope: the tone's magnitude every 2 ms, measured in a window that suits the speed
//     (short for 150 WPM, long, and so narrow in frequency, for 14 WPM): of windows from 2 to
//     45 ms, the longest that is at most 1.6 dots long and finds the dot (and the number of
//     marks) that a neighbouring window finds too;
//  3. keying: an adaptive threshold between the level of the gaps and that of the marks, with
//     hysteresis, and marks and gaps shorter than a third of a dot smoothed away; a tone less
//     than 9.5 dB above the gaps makes no marks at all (noise alone decodes as nothing);
//  4. timing: each transmission (two seconds of quiet apart) at its own speed: the dot as the
//     mean of a dot's mark and a dot's gap (so a sender's weighting does not change it), then
//     dots and dashes, character and word gaps, and the characters: letters,
//     digits, the usual punctuation, and prosigns; those that share a sign with punctuation as
//     that sign (AR +, BT =, KN (), the others as <SK>, <KA>, <SN>, <HH>.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tone/dtmf_decoder.h"

namespace calvento {

struct MorseResult {
    std::vector<DecodedItem> characters;  // one a character; a word gap is an item " "
    double pitchHz = 0;                   // 0 when no tone was found
    double wpm = 0;                       // the speed of the last transmission
};

// `wpmHint`, when the sender's speed is known (the board's configured Morse speed), holds the
// decoder to it: a transmission of a few elements (a call "E" alone) is too short to tell its
// own speed. 0: the speed is found from the signal.
MorseResult DecodeMorse(std::span<const int16_t> samples, int sampleRate, double wpmHint = 0);

// The characters as words: consecutive characters joined, each word with the time of its first.
std::vector<DecodedItem> MorseWords(const std::vector<DecodedItem>& characters);

// DTMF keys and Morse words of one recording in time order, the Morse words that began while
// keys sounded left out: a keyed tone pair also looks like Morse to the Morse decoder.
std::vector<DecodedItem> MergeDecoded(const std::vector<DecodedItem>& dtmf,
                                      const std::vector<DecodedItem>& morseWords);

}  // namespace calvento
