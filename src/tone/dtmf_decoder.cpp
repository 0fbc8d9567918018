// The DTMF decoder. See dtmf_decoder.h.
#include "tone/dtmf_decoder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace calvento {

namespace {

constexpr double kLow[4] = {697, 770, 852, 941};
constexpr double kHigh[4] = {1209, 1336, 1477, 1633};
// A grid over the voice band: a keypad puts nothing beside its two tones, a voice's harmonics
// something somewhere (its probes near the two tones heard are not counted).
constexpr double kFirstProbe = 300, kProbeStep = 100;
constexpr int kProbes = 32;  // 300 to 3400 Hz
constexpr int kBins = 16 + kProbes;
constexpr char kKeys[4][4] = {
    {'1', '2', '3', 'A'}, {'4', '5', '6', 'B'}, {'7', '8', '9', 'C'}, {'*', '0', '#', 'D'}};

constexpr int kInTuneToTell = 3;           // four frames on the tone: 20 ms + 3 hops of 5 ms, 35 ms
constexpr int kFramesToEnd = 3;            // 15 ms without the key ends it
constexpr double kDominance = 4.0;         // 6 dB over the other frequencies of the group
constexpr double kTwistHighAbove = 2.512;  // 4 dB
constexpr double kTwistHighBelow = 0.158;  // 8 dB
constexpr double kMinToneShare = 0.2;      // of the frame's energy
constexpr double kMaxOctaveShare = 0.3;    // of the tone's power
constexpr double kMaxProbeShare = 0.5;     // of the weaker tone's power
constexpr double kProbeClearance = 80;     // Hz around a tone heard where probes do not count
constexpr double kMaxDeviation = 0.025;    // of the nominal frequency
constexpr double kMinAmplitude = 60;       // of 32767: about -55 dBFS

// The strongest probe of the grid away from the two tones (and within the band the rate can
// carry).
double strongestProbe(const double* power, double low, double high) {
    double strongest = 0;
    for (int k = 0; k < kProbes; ++k) {
        const double f = kFirstProbe + kProbeStep * k;
        if (std::abs(f - low) < kProbeClearance || std::abs(f - high) < kProbeClearance) continue;
        strongest = std::max(strongest, power[16 + k]);
    }
    return strongest;
}

double wrap(double phase) {
    return phase - 2 * std::numbers::pi * std::nearbyint(phase / (2 * std::numbers::pi));
}

}  // namespace

DtmfDecoder::DtmfDecoder(int sampleRate)
    : m_rate(sampleRate),
      m_frame(std::max(2, sampleRate / 50)),
      m_hop(std::max(1, sampleRate / 200)) {
    m_window.resize(static_cast<size_t>(m_frame));
    for (int n = 0; n < m_frame; ++n) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / (m_frame - 1));
        m_window[static_cast<size_t>(n)] = static_cast<float>(w);
        m_windowSum += w;
        m_windowSquares += w * w;
    }
    m_cos.resize(kBins * static_cast<size_t>(m_frame));
    m_sin.resize(m_cos.size());
    for (int k = 0; k < kBins; ++k) {
        const double f = k < 4    ? kLow[k]
                         : k < 8  ? kHigh[k - 4]
                         : k < 12 ? 2 * kLow[k - 8]
                         : k < 16 ? 2 * kHigh[k - 12]
                                  : kFirstProbe + kProbeStep * (k - 16);
        for (int n = 0; n < m_frame; ++n) {
            const double phase = 2 * std::numbers::pi * f * n / m_rate;
            const size_t i =
                static_cast<size_t>(k) * static_cast<size_t>(m_frame) + static_cast<size_t>(n);
            m_cos[i] = static_cast<float>(m_window[static_cast<size_t>(n)] * std::cos(phase));
            m_sin[i] = static_cast<float>(m_window[static_cast<size_t>(n)] * std::sin(phase));
        }
    }
}

void DtmfDecoder::feed(std::span<const int16_t> samples, std::vector<DecodedItem>& out) {
    m_buffer.insert(m_buffer.end(), samples.begin(), samples.end());
    size_t at = 0;
    for (; m_buffer.size() - at >= static_cast<size_t>(m_frame); at += static_cast<size_t>(m_hop)) {
        step(frameKey(&m_buffer[at]), out);
        m_frameStart += m_hop;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(at));
}

char DtmfDecoder::frameKey(const int16_t* x) {
    double re[kBins], im[kBins], power[kBins];
    double energy = 0;
    for (int n = 0; n < m_frame; ++n) {
        const double y = m_window[static_cast<size_t>(n)] * x[n];
        energy += y * y;
    }
    for (int k = 0; k < kBins; ++k) {
        const float* c = &m_cos[static_cast<size_t>(k) * static_cast<size_t>(m_frame)];
        const float* s = &m_sin[static_cast<size_t>(k) * static_cast<size_t>(m_frame)];
        float r = 0, i = 0;
        for (int n = 0; n < m_frame; ++n) {
            r += c[n] * x[n];
            i -= s[n] * x[n];
        }
        re[k] = r;
        im[k] = i;
        power[k] = double(r) * r + double(i) * i;
    }
    auto strongest = [&power](int first) {
        int best = first;
        for (int k = first; k < first + 4; ++k)
            if (power[k] > power[best]) best = k;
        double second = 0;
        for (int k = first; k < first + 4; ++k)
            if (k != best) second = std::max(second, power[k]);
        return std::pair{best, second};
    };
    const auto [low, lowSecond] = strongest(0);
    const auto [high, highSecond] = strongest(4);
    const double pLow = power[low], pHigh = power[high];
    // A tone's amplitude from its bin, and its energy in the windowed frame.
    auto amplitude = [this](double p) { return 2 * std::sqrt(p) / m_windowSum; };
    auto toneEnergy = [&](double p) {
        const double a = amplitude(p);
        return a * a / 2 * m_windowSquares;
    };
    const bool holds =
        amplitude(pLow) >= kMinAmplitude && amplitude(pHigh) >= kMinAmplitude &&
        pLow >= kDominance * lowSecond && pHigh >= kDominance * highSecond &&
        pHigh <= kTwistHighAbove * pLow && pHigh >= kTwistHighBelow * pLow &&
        toneEnergy(pLow) + toneEnergy(pHigh) >= kMinToneShare * energy &&
        // The octave of a low tone may lie beside the high tone (2 x 697 = 1394, near 1336):
        // there the high tone's own skirt is what the octave's filter hears.
        (std::abs(2 * kLow[low] - kHigh[high - 4]) < 120 ||
         power[8 + low] <= kMaxOctaveShare * pLow) &&
        power[12 + high - 4] <= kMaxOctaveShare * pHigh &&
        strongestProbe(power, kLow[low], kHigh[high - 4]) <= kMaxProbeShare * std::min(pLow, pHigh);

    const double lowPhase = std::atan2(im[low], re[low]);
    const double highPhase = std::atan2(im[high], re[high]);
    // The phase a tone advances between two frames: its nominal advance plus 2 pi times its
    // offset from the nominal frequency over the hop.
    auto deviation = [this](double before, double now, double f) {
        const double expected = 2 * std::numbers::pi * f * m_hop / m_rate;
        const double offset =
            wrap(now - before - expected) * m_rate / (2 * std::numbers::pi * m_hop);
        return std::abs(offset) / f;
    };
    bool inTune = false;
    if (holds && low == m_lastLow && high == m_lastHigh)
        inTune = deviation(m_lastLowPhase, lowPhase, kLow[low]) <= kMaxDeviation &&
                 deviation(m_lastHighPhase, highPhase, kHigh[high - 4]) <= kMaxDeviation;
    m_lastLow = holds ? low : -1;
    m_lastHigh = holds ? high : -1;
    m_lastLowPhase = lowPhase;
    m_lastHighPhase = highPhase;
    return inTune ? kKeys[low][high - 4] : 0;
}

// A key is told once its tones have been in tune for kInTuneToTell frames; the key told last is
// not told again until kFramesToEnd frames without any key have passed (a stray frame of
// another key inside a noisy tone must not make the tone two keys).
void DtmfDecoder::step(char key, std::vector<DecodedItem>& out) {
    if (key == 0) {
        if (++m_missed >= kFramesToEnd) {
            m_key = 0;
            m_held = 0;
            m_told = 0;
        }
        return;
    }
    m_missed = 0;
    if (key != m_key) {
        m_key = key;
        m_held = 0;
        // Its first frame in tune is its second frame on the tone.
        m_keyStart = m_frameStart - m_hop;
    }
    if (++m_held >= kInTuneToTell && key != m_told) {
        m_told = key;
        out.push_back({DecodedItem::Kind::Dtmf, double(m_keyStart) / m_rate, std::string(1, key)});
    }
}

std::vector<DecodedItem> DecodeDtmf(std::span<const int16_t> samples, int sampleRate) {
    DtmfDecoder decoder(sampleRate);
    std::vector<DecodedItem> out;
    decoder.feed(samples, out);
    const std::vector<int16_t> silence(static_cast<size_t>(sampleRate / 10), 0);
    decoder.feed(silence, out);
    return out;
}

}  // namespace calvento
