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
constexpr double kWindowPerDot = 1.6;       // the longest window, in dots
constexpr double kWindowPerKnownDot = 0.8;  // the window for a known speed, in dots
constexpr double kShortestRun = 0.34;       // marks and gaps shorter than this, in dots, are noise
constexpr double kThreshold = 0.3;          // where marks begin, from the gaps' level to the marks'
constexpr double kMinContrast = 3;          // the marks' level over the gaps', at least (9.5 dB)

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
    const int step = window;       // frames side by side
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

// Marks and gaps of the envelope: a threshold halfway between the level of the gaps and that of
// the marks, with hysteresis. The two levels are the means of the envelope below and above the
// threshold, found in a few rounds from a first guess between the floor (a quarter of the time
// lies below it) and the tone (the loudest `topShare` of the time). Halfway in amplitude, noise
// peaks stay below it and a noisy tone above, and the marks keep their length whatever the
// window: its skirts cross the threshold at the marks' edges. A tone less than 12 dB above the
// gaps is no tone: noise alone makes no marks.
std::vector<Run> key(const std::vector<float>& e, double topShare = 0.02) {
    if (e.empty()) return {};
    std::vector<float> sorted = e;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&sorted](double share) {
        return static_cast<double>(
            sorted[std::min(sorted.size() - 1, static_cast<size_t>(sorted.size() * share))]);
    };
    double low = at(0.25), high = std::max(at(1 - topShare), 2.0);
    for (int round = 0; round < 4; ++round) {
        const double middle = (low + high) / 2;
        const auto split = std::upper_bound(sorted.begin(), sorted.end(), middle);
        const auto below = split - sorted.begin(), above = sorted.end() - split;
        if (below == 0 || above == 0) break;
        double sum = 0;
        for (auto it = sorted.begin(); it != split; ++it) sum += *it;
        low = sum / static_cast<double>(below);
        sum = 0;
        for (auto it = split; it != sorted.end(); ++it) sum += *it;
        high = sum / static_cast<double>(above);
    }
    if (high < kMinContrast * low) return {{false, static_cast<int>(e.size()), 0}};
    const double middle = low + kThreshold * (high - low);
    const double on = middle + 0.06 * (high - low), off = middle - 0.06 * (high - low);
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

// Removes marks shorter than `shortestMark` steps and gaps shorter than `shortestGap`, merging
// their neighbours.
std::vector<Run> smooth(const std::vector<Run>& in, double shortestMark, double shortestGap) {
    std::vector<Run> out;
    for (const Run& r : in) {
        const double shortest = r.mark ? shortestMark : shortestGap;
        if (!out.empty() && (r.length < shortest || out.back().mark == r.mark)) {
            out.back().length += r.length;
            continue;
        }
        out.push_back(r);
    }
    return out;
}

// The timing of a stretch of keying: the dot, and how much longer the marks are than their
// share (negative when shorter: a sender's weighting, the ramps of its keying, the threshold).
// Dots make up a fair part of the marks and the gaps inside characters most of the gaps, so the
// dot's mark is near the lower quarter of the marks and the dot's gap near that of the gaps
// (chatter, runs far shorter than the usual one, left out); their mean is the dot, whatever the
// weighting, and half their difference the weight.
struct Timing {
    double dot = 0;     // in steps
    double weight = 0;  // added to each mark and taken from each gap by the keying
};

// The mean of the lengths near the lower quarter of `lengths`, or 0 for none.
double shortRun(std::vector<int> lengths) {
    if (lengths.empty()) return 0;
    std::sort(lengths.begin(), lengths.end());
    const double rough = lengths[lengths.size() / 4];
    double sum = 0;
    int count = 0;
    for (const int k : lengths)
        if (k >= rough * 0.5 && k <= rough * 1.6) {
            sum += k;
            ++count;
        }
    return count > 0 ? sum / count : rough;
}

Timing timingOf(const std::vector<Run>& runs) {
    std::vector<int> all;
    for (const Run& r : runs) all.push_back(r.length);
    if (all.size() < 3) return {};
    std::sort(all.begin(), all.end());
    const int median = all[all.size() / 2];
    std::vector<int> marks, gaps;
    for (size_t i = 0; i < runs.size(); ++i) {
        const Run& r = runs[i];
        if (r.length * 4 < median) continue;
        // The silence before the first mark and after the last is no gap of the keying.
        if (!r.mark && (i == 0 || i + 1 == runs.size())) continue;
        (r.mark ? marks : gaps).push_back(r.length);
    }
    const double mark = shortRun(marks), gap = shortRun(gaps);
    if (mark <= 0 && gap <= 0) return {};
    if (mark <= 0 || gap <= 0) return {std::max(mark, gap), 0};
    return {(mark + gap) / 2, (mark - gap) / 2};
}

// One transmission: the window that suits its speed, its keying, and its characters.
void decodeTransmission(std::span<const int16_t> samples, int rate, double pitch, double offset,
                        double wpmHint, MorseResult& result) {
    const int step = std::max(1, static_cast<int>(rate * kStepSeconds));
    // The keying as windows from 2 to 45 ms see it. A long window is a narrow filter (least
    // noise) but merges the elements of fast keying; a short one resolves them but chatters in
    // noise.
    struct Keying {
        int window;
        double ms;
        std::vector<Run> runs;
        Timing timing;
    };
    std::vector<Keying> tried;
    for (const double ms : {2.0, 3.0, 4.0, 6.0, 9.0, 13.0, 20.0, 30.0, 45.0}) {
        const int w = static_cast<int>(rate * ms / 1000);
        std::vector<Run> r = key(envelope(samples, rate, pitch, w, step));
        const Timing timing = timingOf(r);
        tried.push_back({w, ms, std::move(r), timing});
    }
    // Fits: the window is not much longer than the dot it finds (a Hann window's main part is
    // about half its length, so a gap of a dot still shows through one of 1.6 dots).
    const auto fits = [](const Keying& k) {
        return k.timing.dot > 0 && k.ms <= kWindowPerDot * k.timing.dot * kStepSeconds * 1000;
    };
    // Where two neighbouring windows find the same dot, that dot is the keying's: a window too
    // long merges elements (its dot grows), one too short in noise chatters (its dot shrinks,
    // and differs from one window to the next). Elements merged by long windows agree with each
    // other too, so of the agreeing pairs the one with the shortest dot counts; then the longest
    // window that fits and still finds that dot (the narrowest filter, so the least noise).
    const auto agree = [](double a, double b) { return std::abs(a - b) <= 0.1 * std::max(a, b); };
    // Chatter may agree on a dot by chance, not on how many marks there are.
    const auto marks = [](const Keying& k) {
        return static_cast<double>(
            std::count_if(k.runs.begin(), k.runs.end(), [](const Run& r) { return r.mark; }));
    };
    const Keying* chosen = nullptr;
    for (size_t i = 0; i + 1 < tried.size(); ++i) {
        const Keying &a = tried[i], &b = tried[i + 1];
        if (!fits(a) || !agree(a.timing.dot, b.timing.dot) ||
            std::abs(marks(a) - marks(b)) > 0.05 * std::max(marks(a), marks(b)))
            continue;
        if (!chosen || a.timing.dot < chosen->timing.dot * 0.8) chosen = &a;
    }
    if (chosen)
        for (const Keying& k : tried)
            if (k.ms > chosen->ms && fits(k) && agree(k.timing.dot, chosen->timing.dot) &&
                std::abs(marks(k) - marks(*chosen)) <= 0.05 * marks(*chosen))
                chosen = &k;
    // No two agree: the longest window that fits.
    if (!chosen)
        for (const Keying& k : tried)
            if (fits(k) || (!chosen && k.timing.dot > 0)) chosen = &k;
    // With the sender's speed known, a keying whose dot is far from it is not the sender's (a
    // transmission of a few elements cannot tell its own speed): the window whose dot is nearest
    // the known one, or, when none is near, the window for that speed with its dot.
    Timing timing = chosen ? chosen->timing : Timing{};
    if (wpmHint > 0) {
        const double hintDot = 1.2 / wpmHint / kStepSeconds;  // in steps
        const auto near = [hintDot](const Keying& k) {
            return k.timing.dot > hintDot / 1.5 && k.timing.dot < hintDot * 1.5;
        };
        if (!chosen || !near(*chosen)) {
            chosen = nullptr;
            for (const Keying& k : tried)
                if (near(k) && (!chosen || std::abs(k.timing.dot - hintDot) <
                                               std::abs(chosen->timing.dot - hintDot)))
                    chosen = &k;
            if (chosen) {
                timing = chosen->timing;
            } else {
                for (const Keying& k : tried)
                    if (!chosen || k.ms <= kWindowPerKnownDot * hintDot * kStepSeconds * 1000)
                        chosen = &k;
                timing = {hintDot, 0};
            }
        }
    }
    if (!chosen || timing.dot <= 0) return;
    const int window = chosen->window;
    const std::vector<Run>& runs = chosen->runs;
    const double d = timing.dot, weight = timing.weight;
    result.wpm = 1.2 / (d * kStepSeconds);
    auto emit = [&](int startStep, const std::string& text) {
        result.characters.push_back(
            {DecodedItem::Kind::Cw, offset + (startStep * step + window / 2) / double(rate), text});
    };
    std::string symbol;
    int charStart = -1;
    // Too short to be keying, once the weighting is taken off: a mark or gap of noise.
    for (const Run& r : smooth(runs, d * kShortestRun + weight, d * kShortestRun - weight)) {
        // The length the run would have without the weighting.
        const double length = r.length + (r.mark ? -weight : weight);
        if (r.mark) {
            if (symbol.empty()) charStart = r.start;
            symbol += length < 2 * d ? '.' : '-';
            continue;
        }
        if (symbol.empty() || length < 2 * d) continue;
        const auto it = MorseCodes().find(symbol);
        emit(charStart, it == MorseCodes().end() ? std::string("*") : it->second);
        symbol.clear();
        if (length >= 5 * d) emit(r.start, " ");
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
    // A short call in a long quiet recording is a small share of it.
    const std::vector<Run> coarse =
        key(envelope(samples, rate, pitch, rate * 9 / 1000, step), 0.002);
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
