// The DTMF decoder: keys heard in a stream of samples, as the board's own decoder hears them.
//
// Pure (no Qt): samples in, keys with their times out, at any sample rate from 8 to 48 kHz. The
// samples are taken in frames of 20 ms every 10 ms, each windowed and measured at the eight
// keypad frequencies (a Goertzel filter a frequency), and a frame holds a key when
//  - one low-group and one high-group frequency stand well above the others of their group,
//  - the twist is within limits: the high tone at most 4 dB above the low one, at most 8 dB below,
//  - the two tones carry a fair part of the frame's energy, and the octave above the low tone
//    little of it (speech has harmonics, a keypad has none),
//  - each tone lies within 2.5% of its nominal frequency, measured from the phase that the tone
//    advances between two frames 5 ms apart: within ±1.5% a key is always accepted, beyond ±3.5%
//    never.
// A key is reported once per tone, when four frames in a row have held it (a tone of 40 ms is
// enough, a burst of 25 ms is not); the same key again only after 15 ms without it, a single
// stray frame inside a noisy tone neither ends it nor starts another key.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace calvento {

// One decoded item: a DTMF key or a run of Morse text, and when it began, in seconds from the
// start of the stream.
struct DecodedItem {
    enum class Kind { Dtmf, Cw };
    Kind kind = Kind::Dtmf;
    double seconds = 0;
    std::string text;
    bool operator==(const DecodedItem&) const = default;
};

class DtmfDecoder {
public:
    explicit DtmfDecoder(int sampleRate);

    // Takes the next samples; the keys they complete are appended to `out`.
    void feed(std::span<const int16_t> samples, std::vector<DecodedItem>& out);

private:
    // The key the frame of m_frame samples at `x` holds, or 0.
    char frameKey(const int16_t* x);
    void step(char key, std::vector<DecodedItem>& out);

    int m_rate;
    int m_frame;  // samples in a frame (20 ms)
    int m_hop;    // samples between frames (5 ms)
    // Window times cosine and sine of each of the 16 frequencies, a row of m_frame each.
    std::vector<float> m_cos, m_sin;
    std::vector<float> m_window;
    double m_windowSum = 0, m_windowSquares = 0;
    std::vector<int16_t> m_buffer;  // samples not yet consumed by a frame
    int64_t m_frameStart = 0;       // the sample number of the next frame's first sample
    // The frame before: the two tones it held (indices, -1 for none) and their phases.
    int m_lastLow = -1, m_lastHigh = -1;
    double m_lastLowPhase = 0, m_lastHighPhase = 0;
    // The key being heard: how many frames held it, how many since did not, whether it was told.
    char m_key = 0;
    int m_held = 0;
    int m_missed = 0;
    char m_told = 0;
    int64_t m_keyStart = 0;
};

// Every key of a whole recording.
std::vector<DecodedItem> DecodeDtmf(std::span<const int16_t> samples, int sampleRate);

}  // namespace calvento
