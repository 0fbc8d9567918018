// Live decoding of the receiver's audio. See receive_decoder.h.
#include "tone/receive_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tone/morse_decoder.h"

namespace calvento {

namespace {

constexpr double kDecodeEverySeconds = 1.0;
constexpr double kWordOverSeconds = 2.5;
constexpr double kQuietKeptSeconds = 3;
constexpr double kLongestKeptSeconds = 20;

}  // namespace

ReceiveDecoder::ReceiveDecoder(int sampleRate, bool dtmf, bool cw, double wpmHint)
    : m_rate(sampleRate), m_wantDtmf(dtmf), m_wantCw(cw), m_wpmHint(wpmHint), m_dtmf(sampleRate) {}

bool ReceiveDecoder::duringKeys(double seconds) const {
    return std::any_of(m_keyTimes.begin(), m_keyTimes.end(),
                       [seconds](double k) { return seconds > k - 0.2 && seconds < k + 1.0; });
}

void ReceiveDecoder::feed(std::span<const int16_t> samples, std::vector<DecodedItem>& out) {
    std::vector<DecodedItem> keys;
    m_dtmf.feed(samples, keys);
    for (const DecodedItem& k : keys) {
        m_keyTimes.push_back(k.seconds);
        if (m_wantDtmf) out.push_back(k);
    }
    // Keys older than any stretch kept can no longer matter.
    std::erase_if(m_keyTimes, [this](double k) {
        return k < static_cast<double>(m_cwStart) / m_rate - 2 * kLongestKeptSeconds;
    });
    m_total += static_cast<int64_t>(samples.size());
    if (!m_wantCw) return;
    m_cw.insert(m_cw.end(), samples.begin(), samples.end());
    m_sinceDecode += static_cast<int64_t>(samples.size());
    if (m_sinceDecode >= kDecodeEverySeconds * m_rate) decodeMorse(false, out);
}

void ReceiveDecoder::finish(std::vector<DecodedItem>& out) {
    if (m_wantCw) decodeMorse(true, out);
}

void ReceiveDecoder::decodeMorse(bool final, std::vector<DecodedItem>& out) {
    m_sinceDecode = 0;
    const double offset = static_cast<double>(m_cwStart) / m_rate;
    const double end = static_cast<double>(m_total) / m_rate;
    const MorseResult r = DecodeMorse(m_cw, m_rate, m_wpmHint);
    const double dot = 1.2 / (r.wpm > 0 ? r.wpm : 14);
    // Words with the time of their first and of their last character.
    struct Word {
        DecodedItem item;
        double last;
    };
    std::vector<Word> words;
    bool open = false;
    for (const DecodedItem& c : r.characters) {
        if (c.text == " ") {
            open = false;
            continue;
        }
        if (!open) words.push_back({{DecodedItem::Kind::Cw, offset + c.seconds, {}}, 0});
        words.back().item.text += c.text;
        words.back().last = offset + c.seconds;
        open = true;
    }
    m_pending.clear();
    for (size_t i = 0; i < words.size(); ++i) {
        const Word& w = words[i];
        // A word decoded again on the next pass may move by a step or two.
        if (w.item.seconds <= m_emittedUntil + 0.05 || duringKeys(w.item.seconds)) continue;
        if (final || i + 1 < words.size() || end - w.last > kWordOverSeconds) {
            out.push_back(w.item);
            m_emittedUntil = w.item.seconds;
            m_emittedLast = w.last;
        } else {
            m_pending.push_back(w.item);
        }
    }
    // What is kept for the next pass: the last three seconds, but nothing of a word reported (its
    // last character lasts at most 19 dots), and everything from the first pending word on (at
    // most the last twenty seconds).
    double keepFrom = std::max(end - kQuietKeptSeconds, m_emittedLast + 20 * dot);
    if (!m_pending.empty()) keepFrom = std::min(keepFrom, m_pending.front().seconds - 3 * dot);
    keepFrom = std::min(keepFrom, end);
    keepFrom = std::max(keepFrom, end - kLongestKeptSeconds);
    const int64_t cut = static_cast<int64_t>(keepFrom * m_rate) - m_cwStart;
    if (cut > 0 && cut < static_cast<int64_t>(m_cw.size())) {
        m_cw.erase(m_cw.begin(), m_cw.begin() + cut);
        m_cwStart += cut;
    }
}

double PeakLevelDb(std::span<const int16_t> samples) {
    int peak = 0;
    for (const int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    if (peak == 0) return -90;
    return std::max(-90.0, 20 * std::log10(peak / 32768.0));
}

}  // namespace calvento
