// Morse code: the signs of letters, digits, punctuation and prosigns, and a keyed tone made from
// text, as the board sends its call (and as the board simulator answers).
//
// Pure (no Qt). Timing is the usual one: a dash three dots, one dot between the elements of a
// character, three between characters, seven between words; a dot lasts 1.2 / WPM seconds. The
// tone's edges are shaped over 4 ms (or a quarter of a dot when that is shorter) so that the
// keying does not click.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace calvento {

// Every sign ("-.-." and so on) and its text: a letter, a digit, a punctuation mark, or a
// prosign in angle brackets (those that share a sign with punctuation appear as that mark).
const std::map<std::string, std::string>& MorseCodes();

// The sign of one character (a letter in either case, a digit or a punctuation mark), or empty.
std::string MorseSignOf(char c);

// `text` keyed at `wpm` on a tone of `pitchHz`, at `amplitude` of full scale, sampled at `rate`.
// Characters without a sign are left out; a space is a word gap.
std::vector<int16_t> MorseTone(const std::string& text, double wpm, double pitchHz, int rate,
                               double amplitude = 0.5);

}  // namespace calvento
