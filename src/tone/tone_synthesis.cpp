// Tone table and synthesis. See tone_synthesis.h.
//
// The fast path: a sample is round(A sin(i wLow)) + round(A sin(i wHigh)). We evaluate the sines
// with our own argument reduction (pi/2 split in three parts, so that k * part is exact for every
// phase that a sequence can reach) and short polynomials, in straight-line code that the compiler
// vectorises. That is accurate to about 1e-15, far below what matters for rounding to a whole
// number, except when A sin(x) lies within a hair of a half-integer: there the rounding could go
// either way, so every such sample is recomputed with std::sin. The result is therefore the same,
// bit for bit, as the reference, only about ten times faster; worker threads add the second core.
//
// This file must be compiled without contraction into fused multiply-adds (-ffp-contract=off):
// the phase i * w is defined as a rounded product, and the rounding trick needs plain adds.
#include "tone/tone_synthesis.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>

namespace calvento {

namespace {

// The decimal literal the synthesis is defined with; deliberately not the double nearest to 2 pi.
constexpr double kTwoPiLiteral = 6.28318530717958;

int toneRowOf(std::string_view key) {
    if (key.empty()) return -1;
    const char c = key.front();
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'D') return 10 + (c - 'A');
    if (c == '*') return 14;
    if (c == '#') return 15;
    return -1;
}

// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51 to an integer with
// ties to even, in the default rounding mode, and unlike nearbyint it vectorises on plain SSE2.
constexpr double kRoundMagic = 6755399441055744.0;

// pi/2 in three parts: the first two have 26 significant bits, so k * part is exact for any
// k < 2^27 (phases up to about 2e8, while the longest sequence stays below 1.2e8).
constexpr double kTwoOverPi = 0.6366197723675814;
constexpr double kPio2Part1 = 1.5707963109016418;
constexpr double kPio2Part2 = 1.5893254712295857e-08;
constexpr double kPio2Part3 = 6.123233995736766e-17;

// Minimax coefficients of sin and cos on [-pi/4, pi/4].
constexpr double kS1 = -1.66666666666666324348e-01;
constexpr double kS2 = 8.33333333332248946124e-03;
constexpr double kS3 = -1.98412698298579493134e-04;
constexpr double kS4 = 2.75573137070700676789e-06;
constexpr double kS5 = -2.50507602534068634195e-08;
constexpr double kS6 = 1.58969099521155010221e-10;
constexpr double kC1 = 4.16666666666666019037e-02;
constexpr double kC2 = -1.38888888888741095749e-03;
constexpr double kC3 = 2.48015872894767294178e-05;
constexpr double kC4 = -2.75573143513906633035e-07;
constexpr double kC5 = 2.08757232129817482790e-09;
constexpr double kC6 = -1.13596475577881948265e-11;

// sin(x) for 0 <= x < 2^27 * pi/2, to about 1e-15 absolute.
inline double fastSin(double x) {
    const double k = (x * kTwoOverPi + kRoundMagic) - kRoundMagic;
    const double r = ((x - k * kPio2Part1) - k * kPio2Part2) - k * kPio2Part3;
    const double z = r * r;
    const double s = r + r * z * (kS1 + z * (kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6)))));
    const double c =
        1.0 - 0.5 * z + z * z * (kC1 + z * (kC2 + z * (kC3 + z * (kC4 + z * (kC5 + z * kC6)))));
    // Quadrant k mod 4, in doubles so that the loop stays in vector registers.
    const double quarter = ((k * 0.25 - 0.375) + kRoundMagic) - kRoundMagic;
    const double q = k - 4.0 * quarter;
    const bool odd = (q == 1.0) | (q == 3.0);
    const double v = odd ? c : s;
    return q >= 2.0 ? -v : v;
}

// How close to a half-integer A sin(x) may come before the fast value is not trusted. The fast
// error is below 1e-11 at A = 10000; this leaves a wide margin and still falls back only about
// once in a million samples.
constexpr double kHalfMargin = 1e-6;

// One block of the fast path. Returns false if any sample came too close to a rounding boundary;
// the caller then recomputes the block exactly. On x86-64 a second copy is built for processors
// with AVX2 and picked at load time; without contraction both give the same bits.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
__attribute__((target_clones("arch=x86-64-v3", "default")))
#endif
bool fastBlock(int64_t first, double wLow, double wHigh, double amplitude, int16_t* out, int n) {
    int nearHalf = 0;
    const double base = static_cast<double>(first);  // exact: phases stay far below 2^53
    for (int j = 0; j < n; ++j) {
        const double i = base + static_cast<double>(j);
        const double s1 = amplitude * fastSin(i * wLow);
        const double s2 = amplitude * fastSin(i * wHigh);
        const double r1 = (s1 + kRoundMagic) - kRoundMagic;
        const double r2 = (s2 + kRoundMagic) - kRoundMagic;
        const double d1 = std::fabs(std::fabs(s1 - r1) - 0.5);
        const double d2 = std::fabs(std::fabs(s2 - r2) - 0.5);
        nearHalf |= (d1 < kHalfMargin) | (d2 < kHalfMargin);
        out[j] = static_cast<int16_t>(static_cast<int>(r1 + r2));
    }
    return nearHalf == 0;
}

// A stretch of the buffer with constant angular steps: a key tone, or silence when both are 0.
struct Segment {
    int64_t first;  // phase index of the first sample (1-based)
    int64_t last;
    double wLow;
    double wHigh;
};

// Cuts the sequence into segments with the synthesis's state machine: k is the position of
// the next character to consume, toneJustPlayed inserts a gap after a key unless a space follows.
std::vector<Segment> segmentsOf(std::string_view seq, const ToneTiming& t,
                                const DtmfToneTable& table, int64_t n) {
    std::vector<Segment> segments;
    int64_t k = 1;
    bool toneJustPlayed = false;
    int64_t i = 1;
    auto charAt = [&](int64_t pos) -> std::string_view {
        if (pos < 1 || pos > static_cast<int64_t>(seq.size())) return {};
        return seq.substr(static_cast<size_t>(pos - 1), 1);
    };
    while (i <= n) {
        const std::string_view c = charAt(k);
        if (c == " ") toneJustPlayed = false;
        double wLow = (LowFrequency(table, c) * kTwoPiLiteral) / t.sampleRate;
        double wHigh = (HighFrequency(table, c) * kTwoPiLiteral) / t.sampleRate;
        if (!toneJustPlayed) ++k;
        const std::string_view p = charAt(k - 1);
        int64_t end;
        if (p == " ") {
            end = i + t.pauseSamples;
        } else if (toneJustPlayed) {
            toneJustPlayed = false;
            end = i + t.gapSamples;
            wLow = wHigh = 0.0;
        } else {
            toneJustPlayed = true;
            end = i + t.digitSamples;
        }
        end = std::min(end, n);
        segments.push_back({i, end, wLow, wHigh});
        i = end + 1;
    }
    return segments;
}

// Samples `from` to `to` (phase indexes, 1-based) into `out`, whose first element holds the
// sample of index `outFirst`.
void synthesizeRange(const std::vector<Segment>& segments, double amplitude, int64_t from,
                     int64_t to, int16_t* out, int64_t outFirst = 1) {
    for (const Segment& s : segments) {
        const int64_t a = std::max(s.first, from);
        const int64_t b = std::min(s.last, to);
        if (a > b) continue;
        int16_t* dst = out + (a - outFirst);
        const size_t count = static_cast<size_t>(b - a + 1);
        if (s.wLow == 0.0 && s.wHigh == 0.0) {
            std::fill(dst, dst + count, int16_t{0});
        } else {
            ToneSamples(a, s.wLow, s.wHigh, amplitude, std::span<int16_t>(dst, count));
        }
    }
}

}  // namespace

void FillToneTable(DtmfToneTable& table) {
    static constexpr ToneRow kRows[16] = {
        {941, 1336}, {697, 1209}, {697, 1336}, {697, 1477}, {770, 1209}, {770, 1336},
        {770, 1477}, {852, 1209}, {852, 1336}, {852, 1477}, {697, 1633}, {770, 1633},
        {852, 1633}, {941, 1633}, {941, 1209}, {941, 1477},
    };
    std::copy(std::begin(kRows), std::end(kRows), table.begin());
}

double LowFrequency(const DtmfToneTable& table, std::string_view key) {
    const int row = toneRowOf(key);
    return row < 0 ? 0.0 : static_cast<double>(table[static_cast<size_t>(row)].low);
}

double HighFrequency(const DtmfToneTable& table, std::string_view key) {
    const int row = toneRowOf(key);
    return row < 0 ? 0.0 : static_cast<double>(table[static_cast<size_t>(row)].high);
}

void ComputeSampleCounts(ToneTiming& timing) {
    timing.sampleRate = 8000.0;
    timing.amplitude = 10000.0;
    // Durations from the fields stay far inside 32 bits; anything beyond (a script's typo) is
    // held at the edge rather than wrapped, and nothing lasts less than nothing.
    auto count = [&](double seconds) {
        const double n = std::nearbyint(seconds * timing.sampleRate);
        if (!(n > 0.0)) return int32_t{0};
        if (!(n < std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
        return static_cast<int32_t>(n);
    };
    timing.digitSamples = count(timing.digitSeconds);
    timing.pauseSamples = count(timing.pauseSeconds);
    timing.gapSamples = count(timing.gapSeconds);
}

int64_t SequenceLength(std::string_view seq, const ToneTiming& t) {
    int64_t keys = 0, spaces = 0, gaps = 0;
    for (size_t pos = 0; pos < seq.size(); ++pos) {
        if (seq[pos] == ' ') {
            ++spaces;
            continue;
        }
        ++keys;
        if (pos + 1 < seq.size() && seq[pos + 1] != ' ') ++gaps;
    }
    return (int64_t{t.digitSamples} + 1) * keys + (int64_t{t.pauseSamples} + 1) * spaces +
           (int64_t{t.gapSamples} + 1) * gaps;
}

int16_t ExactToneSample(int64_t i, double wLow, double wHigh, double amplitude) {
    const double id = static_cast<double>(i);
    const double x1 = id * wLow;
    const double x2 = id * wHigh;
    const double s1 = amplitude * std::sin(x1);
    const double s2 = amplitude * std::sin(x2);
    return static_cast<int16_t>(static_cast<int>(std::nearbyint(s1)) +
                                static_cast<int>(std::nearbyint(s2)));
}

void ToneSamples(int64_t first, double wLow, double wHigh, double amplitude,
                 std::span<int16_t> out) {
    constexpr int kBlock = 256;
    const size_t n = out.size();
    for (size_t done = 0; done < n; done += kBlock) {
        const int len = static_cast<int>(std::min<size_t>(kBlock, n - done));
        const int64_t blockFirst = first + static_cast<int64_t>(done);
        int16_t* dst = out.data() + done;
        if (!fastBlock(blockFirst, wLow, wHigh, amplitude, dst, len)) {
            for (int j = 0; j < len; ++j)
                dst[j] = ExactToneSample(blockFirst + j, wLow, wHigh, amplitude);
        }
    }
}

void SynthesizeSequence(std::string_view seq, const ToneTiming& timing, const DtmfToneTable& table,
                        std::span<int16_t> out) {
    const int64_t n = static_cast<int64_t>(out.size());
    if (n == 0) return;
    const std::vector<Segment> segments = segmentsOf(seq, timing, table, n);

    // Threads pay off from about a quarter of a second of audio; below that one core is faster
    // than starting a thread, and a typical sequence takes well under a millisecond.
    constexpr int64_t kSamplesPerThread = 2'000'000;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int64_t workers = std::clamp<int64_t>(n / kSamplesPerThread, 1, cores);
    if (workers == 1) {
        synthesizeRange(segments, timing.amplitude, 1, n, out.data());
        return;
    }
    std::vector<std::thread> threads;
    const int64_t share = (n + workers - 1) / workers;
    for (int64_t w = 1; w < workers; ++w) {
        const int64_t from = 1 + w * share;
        const int64_t to = std::min(n, from + share - 1);
        threads.emplace_back(
            [&, from, to] { synthesizeRange(segments, timing.amplitude, from, to, out.data()); });
    }
    synthesizeRange(segments, timing.amplitude, 1, std::min(n, share), out.data());
    for (std::thread& t : threads) t.join();
}

bool StreamSequence(std::string_view seq, const ToneTiming& timing, const DtmfToneTable& table,
                    int64_t blockSamples,
                    const std::function<bool(std::span<const int16_t>)>& sink) {
    const int64_t n = SequenceLength(seq, timing);
    if (n == 0) return true;
    blockSamples = std::max<int64_t>(1, blockSamples);
    const std::vector<Segment> segments = segmentsOf(seq, timing, table, n);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int64_t workers = std::clamp<int64_t>((n + blockSamples - 1) / blockSamples, 1, cores);

    // One round computes `workers` consecutive blocks side by side; the sink takes them in
    // order while the next round is computed into the other half of the buffer.
    std::vector<int16_t> buffer(static_cast<size_t>(2 * workers * blockSamples));
    auto compute = [&](int half, int64_t first) {
        int16_t* base = buffer.data() + half * workers * blockSamples;
        std::vector<std::thread> threads;
        for (int64_t w = 0; w < workers; ++w) {
            const int64_t from = first + w * blockSamples;
            const int64_t to = std::min(n, from + blockSamples - 1);
            if (from > n) break;
            auto work = [&, from, to, w] {
                synthesizeRange(segments, timing.amplitude, from, to, base + w * blockSamples,
                                from);
            };
            if (w + 1 < workers && to < n)
                threads.emplace_back(work);
            else
                work();
        }
        for (std::thread& t : threads) t.join();
    };
    const int64_t round = workers * blockSamples;
    int half = 0;
    compute(half, 1);
    for (int64_t first = 1; first <= n; first += round, half ^= 1) {
        const int64_t count = std::min(round, n - first + 1);
        std::thread next;
        if (first + round <= n) next = std::thread(compute, half ^ 1, first + round);
        const bool more = sink(
            std::span<const int16_t>(buffer.data() + half * round, static_cast<size_t>(count)));
        if (next.joinable()) next.join();
        if (!more) return false;
    }
    return true;
}

std::vector<int16_t> SynthesizeSequence(std::string_view seq, const ToneTiming& timing,
                                        const DtmfToneTable& table) {
    std::vector<int16_t> out(static_cast<size_t>(SequenceLength(seq, timing)));
    SynthesizeSequence(seq, timing, table, out);
    return out;
}

void SynthesizeSequenceReference(std::string_view seq, const ToneTiming& t,
                                 const DtmfToneTable& table, std::span<int16_t> out) {
    const int64_t n = static_cast<int64_t>(out.size());
    int64_t k = 1;
    bool toneJustPlayed = false;
    int64_t segmentEnd = 0;
    double wLow = 0.0, wHigh = 0.0;
    auto charAt = [&](int64_t pos) -> std::string_view {
        if (pos < 1 || pos > static_cast<int64_t>(seq.size())) return {};
        return seq.substr(static_cast<size_t>(pos - 1), 1);
    };
    for (int64_t i = 1; i <= n; ++i) {
        if (i > segmentEnd) {
            const std::string_view c = charAt(k);
            if (c == " ") toneJustPlayed = false;
            wLow = (LowFrequency(table, c) * kTwoPiLiteral) / t.sampleRate;
            wHigh = (HighFrequency(table, c) * kTwoPiLiteral) / t.sampleRate;
            if (!toneJustPlayed) ++k;
            const std::string_view p = charAt(k - 1);
            if (p == " ") {
                segmentEnd = i + t.pauseSamples;
            } else if (toneJustPlayed) {
                toneJustPlayed = false;
                segmentEnd = i + t.gapSamples;
                wLow = wHigh = 0.0;
            } else {
                toneJustPlayed = true;
                segmentEnd = i + t.digitSamples;
            }
        }
        out[static_cast<size_t>(i - 1)] = ExactToneSample(i, wLow, wHigh, t.amplitude);
    }
}

}  // namespace calvento
