// Synthesis speed and memory: samples per second for a typical sequence and for the largest one
// the window allows, and the process's peak memory. Prints figures; asserts nothing.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "tone/tone_synthesis.h"

using namespace calvento;
using Clock = std::chrono::steady_clock;

namespace {

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

ToneTiming timingOf(int digitMs, int gapMs, int pauseMs) {
    ToneTiming t;
    t.digitSeconds = digitMs / 1000.0;
    t.gapSeconds = gapMs / 1000.0;
    t.pauseSeconds = pauseMs / 1000.0;
    ComputeSampleCounts(t);
    return t;
}

// Best of `runs`, in seconds, synthesizing into a buffer allocated once as the player does.
double timeSynthesis(const std::string& seq, const ToneTiming& t, const DtmfToneTable& table,
                     int runs, int64_t* samples) {
    const int64_t n = SequenceLength(seq, t);
    auto buffer = std::make_unique_for_overwrite<int16_t[]>(static_cast<size_t>(n));
    double best = 1e9;
    for (int r = 0; r < runs; ++r) {
        const auto a = Clock::now();
        SynthesizeSequence(seq, t, table, std::span<int16_t>(buffer.get(), static_cast<size_t>(n)));
        best = std::min(best, std::chrono::duration<double>(Clock::now() - a).count());
    }
    *samples = n;
    return best;
}

}  // namespace

int main() {
    DtmfToneTable table;
    FillToneTable(table);

    int64_t n = 0;
    const std::string typical = "0123456789*#ABCD";
    double s = timeSynthesis(typical, timingOf(60, 40, 300), table, 200, &n);
    std::printf("typical  \"%s\" 60/40 ms: %lld samples in %.3f ms = %.1f Msamples/s\n",
                typical.c_str(), static_cast<long long>(n), s * 1e3, n / s / 1e6);

    std::string largest;
    for (int i = 0; i < 1024; ++i) largest += typical[static_cast<size_t>(i % 16)];
    const long before = peakRssKb();
    s = timeSynthesis(largest, timingOf(9999, 999, 9999), table, 3, &n);
    const long after = peakRssKb();
    std::printf("largest  1024 keys 9999/999 ms: %lld samples in %.3f s = %.1f Msamples/s\n",
                static_cast<long long>(n), s, n / s / 1e6);
    std::printf(
        "memory   peak %.1f MB (buffer %.1f MB, before it %.1f MB); "
        "budget 2 bytes/sample + 64 MB = %.1f MB\n",
        after / 1024.0, n * 2 / 1048576.0, before / 1024.0, (n * 2) / 1048576.0 + 64.0);

    // The fast path against the reference over the first samples of the largest sequence.
    std::vector<int16_t> ref(2'000'000), fast(2'000'000);
    SynthesizeSequenceReference(largest, timingOf(9999, 999, 9999), table, ref);
    const auto a = Clock::now();
    SynthesizeSequenceReference(largest, timingOf(9999, 999, 9999), table, ref);
    const double refSeconds = std::chrono::duration<double>(Clock::now() - a).count();
    std::printf("reference one core std::sin: %.1f Msamples/s\n", ref.size() / refSeconds / 1e6);
    return 0;
}
