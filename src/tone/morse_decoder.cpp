// The Morse decoder. See morse_decoder.h.
#include "tone/morse_decoder.h"
#include "tone/morse_code.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace calvento {

namespace {

constexpr double kStepSeconds = 0.002;  // the envelope's resolution
constexpr double kLowestPitch = 300, kHighestPitch = 2000;
constexpr double kWindowPerDot = 0.7;  // the longest window, in dots

// The magnitude of the tone at `f` in windows of `window` samples, every `step` samples.
std::vector<float> envelope(std::span<const int16_t> x, int rate, double f, int window, int step) {
    std::vector<float> c(static_cast<size_t>(window)), s(c.size());
    for (int n = 0; n < window; ++n) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (n + 0.5) / window);
        c[static_cast<size_t>(n)] =
            static_cast<float>(w * std::cos(2 * std::numbers::pi * f * n / rate));
        s[static_cast<size_t>(n)] =
            static_cast<float>(w * std::sin(2 * std::numbers::pi * f * n / rate));
    }
    std::vector<float> out;
    for (size_t at = 0; at + static_cast<size_t>(window) <= x.size();
         at += static_cast<size_t>(step)) {
        float re = 0, im = 0;
        for (int n = 0; n < window; ++n) {
            re += c[static_cast<size_t>(n)] * x[at + static_cast<size_t>(n)];
            im += s[static_cast<size_t>(n)] * x[at + static_cast<size_t>(n)];
        }
        out.push_back(std::sqrt(re * re + im * im));
    }
    return out;
}

// The pitch: the candidate (every 10 Hz) whose level swings most between its loud and its quiet
// moments, as a keyed tone's does; broadband noise and key clicks raise both alike.
double findPitch(std::span<const int16_t> x, int rate) {
    const int window = rate / 50;  // 20 ms: 50 Hz wide
    const int step = rate / 100;
    double best = 0, bestSwing = 0;
    for (double f = kLowestPitch; f <= std::min(kHighestPitch, rate / 2.0 - 100); f += 10) {
        std::vector<float> e = envelope(x, rate, f, window, step);
        if (e.size() < 10) return 0;
        std::sort(e.begin(), e.end());
        const double swing = e.back() - e[e.size() / 10];
        if (swing > bestSwing) {
            bestSwing = swing;
            best = f;
        }
    }
    return bestSwing > 0 ? best : 0;
}

struct Run {
    bool mark;
    int length;  // in steps
    int start;
};

// Marks and gaps of the envelope: a threshold between the floor and the tone, with hysteresis.
std::vector<Run> key(const std::vector<float>& e) {
    std::vector<float> sorted = e;
    std::sort(sorted.begin(), sorted.end());
    const double top = std::max<double>(sorted[sorted.size() * 98 / 100], 2);
    // Halfway in decibels between the noise floor and the tone; a clean recording's floor is
    // taken 30 dB below the tone, so that the window's skirts do not lengthen the marks.
    const double floor = std::max<double>(sorted[sorted.size() / 10], top * 0.03);
    const double middle = std::sqrt(floor * top);
    const double on = middle * 1.15, off = middle / 1.15;
    std::vector<Run> runs;
    bool mark = false;
    for (size_t i = 0; i < e.size(); ++i) {
        if (!mark && e[i] > on)
            mark = true;
        else if (mark && e[i] < off)
            mark = false;
        if (runs.empty() || runs.back().mark != mark)
            runs.push_back({mark, 0, static_cast<int>(i)});
        ++runs.back().length;
    }
    return runs;
}

// Removes marks and gaps shorter than `shortest` steps, merging their neighbours.
std::vector<Run> smooth(const std::vector<Run>& in, int shortest) {
    std::vector<Run> out;
    for (const Run& r : in) {
        if (!out.empty() && (r.length < shortest || out.back().mark == r.mark)) {
            out.back().length += r.length;
            continue;
        }
        out.push_back(r);
    }
    return out;
}

// The dot length of a stretch of keying: dots and the gaps inside characters are one dot each
// and make up most of the runs, so the dot is the lower quarter of the marks' and the short
// gaps' lengths, once the chatter (runs far shorter than the usual one) is left out.
double dotLength(const std::vector<Run>& runs) {
    std::vector<int> lengths;
    for (const Run& r : runs) lengths.push_back(r.length);
    if (lengths.size() < 3) return 0;
    std::vector<int> sorted = lengths;
    std::sort(sorted.begin(), sorted.end());
    const int median = sorted[sorted.size() / 2];
    std::vector<int> kept;
    for (const Run& r : runs)
        if (r.length * 4 >= median && (r.mark || r.length <= 4 * median)) kept.push_back(r.length);
    if (kept.empty()) return 0;
    std::sort(kept.begin(), kept.end());
    // The runs near that quarter are one dot each, those near three times it (dashes, gaps
    // between characters) three: their mean is finer than a step.
    const double rough = kept[kept.size() / 4];
    double sum = 0;
    int count = 0;
    for (int k : kept) {
        if (k >= rough * 0.5 && k <= rough * 1.6)
            sum += k;
        else if (k >= rough * 2.2 && k <= rough * 4)
            sum += k / 3.0;
        else
            continue;
        ++count;
    }
    return count > 0 ? sum / count : rough;
}

// One transmission: the window that suits its speed, its keying, and its characters.
void decodeTransmission(std::span<const int16_t> samples, int rate, double pitch, double offset,
                        double wpmHint, MorseResult& result) {
    const int step = std::max(1, static_cast<int>(rate * kStepSeconds));
    // The window: the longest (narrowest in frequency, so least noise) that is still shorter
    // than about two thirds of the dot it measures. A short window in noise chatters and finds
    // a short dot; a long one on fast keying merges the elements: the longest self-consistent
    // one is right for both.
    // With the sender's speed known, the window is the one that suits it, and the dot found is
    // held near it: a short transmission has too few elements to tell its speed by itself.
    std::vector<Run> runs;
    double d = 0;
    int window = 0;
    const double hintDot = wpmHint > 0 ? 1.2 / wpmHint / kStepSeconds : 0;  // in steps
    for (const double ms : {4.0, 6.0, 9.0, 13.0, 20.0, 30.0, 45.0}) {
        const int w = static_cast<int>(rate * ms / 1000);
        if (hintDot > 0 && window > 0 && ms > kWindowPerDot * hintDot * kStepSeconds * 1000) break;
        std::vector<Run> r = key(envelope(samples, rate, pitch, w, step));
        double dot = dotLength(r);
        if (hintDot > 0 && (dot <= 0 || dot > 1.5 * hintDot || dot < hintDot / 1.5)) dot = hintDot;
        if (dot <= 0) continue;
        if (window == 0 || hintDot > 0 || ms <= kWindowPerDot * dot * kStepSeconds * 1000) {
            window = w;
            runs = std::move(r);
            d = dot;
        }
    }
    if (d <= 0) return;
    result.wpm = 1.2 / (d * kStepSeconds);
    auto emit = [&](int startStep, const std::string& text) {
        result.characters.push_back(
            {DecodedItem::Kind::Cw, offset + (startStep * step + window / 2) / double(rate), text});
    };
    std::string symbol;
    int charStart = -1;
    for (const Run& r : smooth(runs, std::max(1, static_cast<int>(d / 3)))) {
        if (r.mark) {
            if (symbol.empty()) charStart = r.start;
            symbol += r.length < 2 * d ? '.' : '-';
            continue;
        }
        if (symbol.empty() || r.length < 2 * d) continue;
        const auto it = MorseCodes().find(symbol);
        emit(charStart, it == MorseCodes().end() ? std::string("*") : it->second);
        symbol.clear();
        if (r.length >= 5 * d) emit(r.start, " ");
    }
    if (!symbol.empty()) {
        const auto it = MorseCodes().find(symbol);
        emit(charStart, it == MorseCodes().end() ? std::string("*") : it->second);
    }
    if (!result.characters.empty() && result.characters.back().text != " ")
        result.characters.push_back(
            {DecodedItem::Kind::Cw, offset + samples.size() / double(rate), " "});
}

}  // namespace

MorseResult DecodeMorse(std::span<const int16_t> samples, int rate, double wpmHint) {
    MorseResult result;
    const double pitch = findPitch(samples, rate);
    if (pitch == 0) return result;
    result.pitchHz = pitch;
    // Transmissions are two seconds of quiet apart, found on a window of middling length; each
    // is decoded on its own, at its own speed and level.
    const int step = std::max(1, static_cast<int>(rate * kStepSeconds));
    const std::vector<Run> coarse = key(envelope(samples, rate, pitch, rate * 9 / 1000, step));
    const int pause = static_cast<int>(2.0 / kStepSeconds);
    const size_t margin = static_cast<size_t>(rate / 5);
    size_t from = 0;
    auto flush = [&](size_t to) {
        to = std::min(to, samples.size());
        if (to > from)
            decodeTransmission(samples.subspan(from, to - from), rate, pitch, from / double(rate),
                               wpmHint, result);
    };
    for (const Run& r : coarse) {
        if (r.mark || r.length < pause || r.start == 0) continue;
        const size_t gapStart = static_cast<size_t>(r.start) * static_cast<size_t>(step);
        const size_t gapEnd = static_cast<size_t>(r.start + r.length) * static_cast<size_t>(step);
        flush(gapStart + margin);
        from = gapEnd > margin ? gapEnd - margin : 0;
    }
    flush(samples.size());
    while (!result.characters.empty() && result.characters.back().text == " ")
        result.characters.pop_back();
    return result;
}

std::vector<DecodedItem> MorseWords(const std::vector<DecodedItem>& characters) {
    std::vector<DecodedItem> words;
    bool open = false;
    for (const DecodedItem& c : characters) {
        if (c.text == " ") {
            open = false;
            continue;
        }
        if (!open) words.push_back({DecodedItem::Kind::Cw, c.seconds, {}});
        words.back().text += c.text;
        open = true;
    }
    return words;
}

std::vector<DecodedItem> MergeDecoded(const std::vector<DecodedItem>& dtmf,
                                      const std::vector<DecodedItem>& morseWords) {
    std::vector<DecodedItem> all = dtmf;
    for (const DecodedItem& word : morseWords) {
        // A key's tone lasts from its time for at least 40 ms, a sequence's keys follow each
        // other within a second.
        const bool duringKeys =
            std::any_of(dtmf.begin(), dtmf.end(), [&word](const DecodedItem& k) {
                return word.seconds > k.seconds - 0.2 && word.seconds < k.seconds + 1.0;
            });
        if (!duringKeys) all.push_back(word);
    }
    std::stable_sort(all.begin(), all.end(), [](const DecodedItem& a, const DecodedItem& b) {
        return a.seconds < b.seconds;
    });
    return all;
}

}  // namespace calvento
