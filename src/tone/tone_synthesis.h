// The DTMF tone table and the sample-exact synthesis of a key sequence.
//
// Everything here is pure computation: given a sequence and the timing record it yields the
// number of samples and the 16-bit samples themselves, 8000 per second, mono. The samples are
// defined to the bit (the phase index runs from 1 over the whole buffer, the angular step uses the
// literal 6.28318530717958, each sine component is rounded to an integer with ties to even), so
// that a board, a recording and the command-line tool all see exactly the same audio. The fast
// synthesis below is checked against the plain reference one sample at a time in the tests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace calvento {

// One row of the tone table: the low-group and the high-group frequency of a key, in hertz.
struct ToneRow {
    int16_t low = 0;
    int16_t high = 0;
};

// Rows 0-9 are the digits, 10-13 "A" to "D", 14 "*", 15 "#". This order is the tone module's
// own; it is not the key code that the board uses in its data.
using DtmfToneTable = std::array<ToneRow, 16>;

// Writes the sixteen keypad frequency pairs into the table.
void FillToneTable(DtmfToneTable& table);

// The low and high frequency of the first character of `key`; 0.0 for anything that is not one of
// the sixteen keys (lower-case letters and the space included) and for an empty string.
double LowFrequency(const DtmfToneTable& table, std::string_view key);
double HighFrequency(const DtmfToneTable& table, std::string_view key);

// The timing of one send: the durations come from the window's fields, the sample counts are
// derived from them by ComputeSampleCounts.
struct ToneTiming {
    double sampleRate = 8000.0;
    double amplitude = 10000.0;
    double digitSeconds = 0.0;
    double gapSeconds = 0.0;
    double pauseSeconds = 0.0;
    int32_t digitSamples = 0;
    int32_t gapSamples = 0;
    int32_t pauseSamples = 0;
};

// Sets the fixed rate and amplitude and rounds each duration times the rate to a whole number of
// samples (ties to even): 8 samples per millisecond.
void ComputeSampleCounts(ToneTiming& timing);

// Number of samples N of the whole sequence: every key (any character but the space) lasts
// digitSamples + 1, every space pauseSamples + 1, and every pair of adjacent non-space characters
// has a gap of gapSamples + 1 between them. Computed in 64 bits so that no input can wrap it.
int64_t SequenceLength(std::string_view sequence, const ToneTiming& timing);

// Fills `out` (exactly SequenceLength samples) with the sequence. Large buffers are split over
// worker threads; the result does not depend on how many.
void SynthesizeSequence(std::string_view sequence, const ToneTiming& timing,
                        const DtmfToneTable& table, std::span<int16_t> out);

// The same samples block by block, for output that need not be held whole (the command-line
// tool writing a file): `sink` receives consecutive spans of at most `blockSamples` times the
// number of cores samples, in order, and their concatenation is exactly SynthesizeSequence's
// buffer. Blocks are computed on worker threads while the sink takes the previous ones, so memory
// stays a few blocks however long the sequence. False when the sink returned false to stop.
bool StreamSequence(std::string_view sequence, const ToneTiming& timing, const DtmfToneTable& table,
                    int64_t blockSamples,
                    const std::function<bool(std::span<const int16_t>)>& sink);

// Convenience for callers that want a fresh buffer (tests).
std::vector<int16_t> SynthesizeSequence(std::string_view sequence, const ToneTiming& timing,
                                        const DtmfToneTable& table);

// The reference: the synthesis's state machine run sample by sample with std::sin. Slow;
// the tests hold the fast synthesis to it.
void SynthesizeSequenceReference(std::string_view sequence, const ToneTiming& timing,
                                 const DtmfToneTable& table, std::span<int16_t> out);

// The value of one sample of a tone with angular steps wLow and wHigh at phase index i, computed
// with std::sin exactly as this file's first comment defines the samples.
int16_t ExactToneSample(int64_t i, double wLow, double wHigh, double amplitude);

// Fills out[0..n) with the samples of a tone for phase indexes first, first+1, ...: the fast path,
// bit-identical to ExactToneSample.
void ToneSamples(int64_t first, double wLow, double wHigh, double amplitude,
                 std::span<int16_t> out);

}  // namespace calvento
