// The DTMF decoder measured beside multimon-ng, a decoder nobody here wrote, on the same
// samples: every key at 40 ms tone and 40 ms pause; the acceptance table (frequency offsets,
// twist); keys missed in 1000 random keys at 3, 0 and -3 dB signal-to-noise (white noise over the
// whole band, the signal's power measured over its tones); false keys on speech from espeak-ng
// mixed with noise; and the cost, in samples decoded per second. Prints tables.
//
// Usage: bench_dtmf [KEYS]   (KEYS: how many random keys per noise level, 1000 unless told)
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tone/dtmf_decoder.h"
#include "tone/morse_code.h"
#include "tone/receive_decoder.h"
#include "tone/tone_synthesis.h"

using namespace calvento;

namespace {

constexpr int kRate = 8000;
const char kKeys[] = "0123456789*#ABCD";

std::vector<int16_t> synth(const std::string& keys, int toneMs, int gapMs) {
    ToneTiming t;
    t.digitSeconds = toneMs / 1000.0;
    t.gapSeconds = gapMs / 1000.0;
    t.pauseSeconds = 0.3;
    ComputeSampleCounts(t);
    DtmfToneTable table;
    FillToneTable(table);
    return SynthesizeSequence(keys, t, table);
}

// Two tones of a key at given offsets (fractions) and twist (high over low, dB), `ms` long, then
// `ms` of silence.
std::vector<int16_t> tonePair(double low, double high, double offset, double twistDb, int ms) {
    const int n = kRate * ms / 1000;
    std::vector<int16_t> out(static_cast<size_t>(2 * n), 0);
    const double aLow = 8000, aHigh = 8000 * std::pow(10, twistDb / 20);
    for (int i = 0; i < n; ++i)
        out[static_cast<size_t>(i)] =
            static_cast<int16_t>(aLow * std::sin(2 * M_PI * low * (1 + offset) * i / kRate) +
                                 aHigh * std::sin(2 * M_PI * high * (1 + offset) * i / kRate));
    return out;
}

std::string ours(const std::vector<int16_t>& samples, int rate = kRate) {
    std::string keys;
    for (const DecodedItem& item : DecodeDtmf(samples, rate)) keys += item.text;
    return keys;
}

std::string multimon(const std::vector<int16_t>& samples, const QString& dir) {
    const QString raw = dir + "/m.raw", resampled = dir + "/m22.raw";
    QFile f(raw);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char*>(samples.data()), qint64(samples.size() * 2));
    f.close();
    QProcess::execute(
        "sox", {"-t", "raw", "-r", "8000",  "-e", "signed", "-b", "16", "-c", "1", raw,
                "-t", "raw", "-r", "22050", "-e", "signed", "-b", "16", "-c", "1", resampled});
    QProcess p;
    p.start("multimon-ng", {"-q", "-a", "DTMF", "-t", "raw", resampled});
    p.waitForFinished(600000);
    std::string keys;
    auto it = QRegularExpression("^DTMF: (.)", QRegularExpression::MultilineOption)
                  .globalMatch(QString::fromLatin1(p.readAllStandardOutput()));
    while (it.hasNext()) keys += it.next().captured(1).toStdString();
    return keys;
}

// Keys of `sent` missing from `heard` (longest common subsequence), and keys heard that were not
// sent.
std::pair<int, int> missedAndFalse(const std::string& sent, const std::string& heard) {
    std::vector<std::vector<int>> l(sent.size() + 1, std::vector<int>(heard.size() + 1, 0));
    for (size_t i = 1; i <= sent.size(); ++i)
        for (size_t j = 1; j <= heard.size(); ++j)
            l[i][j] = sent[i - 1] == heard[j - 1] ? l[i - 1][j - 1] + 1
                                                  : std::max(l[i - 1][j], l[i][j - 1]);
    const int common = l[sent.size()][heard.size()];
    return {int(sent.size()) - common, int(heard.size()) - common};
}

void addNoise(std::vector<int16_t>& samples, double signalPower, double snrDb, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, std::sqrt(signalPower / std::pow(10, snrDb / 10)));
    for (int16_t& s : samples)
        s = static_cast<int16_t>(std::clamp(s + noise(rng), -32768.0, 32767.0));
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir;

    const std::vector<int16_t> all = synth(kKeys, 40, 40);
    std::printf("Every key at 40 ms tone / 40 ms pause (%s)\n", kKeys);
    std::printf("| decoder | heard |\n| --- | --- |\n| calvento | %s |\n| multimon-ng | %s |\n\n",
                ours(all).c_str(), multimon(all, dir.path()).c_str());

    std::printf("Acceptance: key 5 (770 + 1336 Hz), 60 ms\n");
    std::printf(
        "| offset | twist (high - low) | calvento | multimon-ng |\n| --- | --- | --- | --- |\n");
    for (const double offset : {-0.035, -0.03, -0.015, 0.0, 0.015, 0.03, 0.035})
        for (const double twist : {0.0}) {
            const auto s = tonePair(770, 1336, offset, twist, 60);
            std::printf("| %+.1f%% | %+.0f dB | %s | %s |\n", offset * 100, twist, ours(s).c_str(),
                        multimon(s, dir.path()).c_str());
        }
    for (const double twist : {-10.0, -8.0, -6.0, 4.0, 6.0}) {
        const auto s = tonePair(770, 1336, 0, twist, 60);
        std::printf("| +0.0%% | %+.0f dB | %s | %s |\n", twist, ours(s).c_str(),
                    multimon(s, dir.path()).c_str());
    }

    std::printf("\nKeys missed in %d random keys (40 ms / 40 ms), white noise over the band\n",
                count);
    std::printf(
        "| SNR | calvento missed | calvento false | multimon-ng missed | multimon-ng false |\n");
    std::printf("| --- | --- | --- | --- | --- |\n");
    std::mt19937 rng(1);
    std::string keys;
    for (int i = 0; i < count; ++i) keys += kKeys[rng() % 16];
    const std::vector<int16_t> clean = synth(keys, 40, 40);
    double power = 0;
    size_t sounding = 0;
    for (int16_t s : clean)
        if (s != 0) {
            power += double(s) * s;
            ++sounding;
        }
    power /= double(std::max<size_t>(sounding, 1));
    for (const double snr : {3.0, 0.0, -3.0}) {
        std::vector<int16_t> noisy = clean;
        addNoise(noisy, power, snr, 7);
        const auto a = missedAndFalse(keys, ours(noisy));
        const auto b = missedAndFalse(keys, multimon(noisy, dir.path()));
        std::printf("| %+.0f dB | %d | %d | %d | %d |\n", snr, a.first, a.second, b.first,
                    b.second);
    }

    // Speech: espeak-ng reading a long text in a man's and a woman's voice (a high voice puts
    // fewer, stronger harmonics in the keypad's band), at 8000 Hz, with noise 10 dB below it.
    QString text;
    for (int i = 0; i < 100; ++i)
        text +=
            "This is a test of the talk off resistance of the decoder. Numbers one two three "
            "four, the quick brown fox jumps over the lazy dog, she sells sea shells. ";
    std::printf(
        "\nSpeech (espeak-ng, four voices, about an hour; noise 10 dB below): false keys\n");
    std::printf("| voice | minutes | calvento | multimon-ng |\n| --- | --- | --- | --- |\n");
    for (const char* voice : {"en", "en+f3", "en+f4", "en-us+m3"}) {
        const QString wav = dir.filePath("speech.wav"), raw = dir.filePath("speech.raw");
        QProcess::execute("espeak-ng", {"-v", voice, "-w", wav, text});
        QProcess::execute(
            "sox", {wav, "-t", "raw", "-r", "8000", "-e", "signed", "-b", "16", "-c", "1", raw});
        QFile f(raw);
        std::vector<int16_t> speech;
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray b = f.readAll();
            speech.assign(reinterpret_cast<const int16_t*>(b.constData()),
                          reinterpret_cast<const int16_t*>(b.constData()) + b.size() / 2);
        }
        double speechPower = 0;
        for (int16_t s : speech) speechPower += double(s) * s;
        speechPower /= double(std::max<size_t>(speech.size(), 1));
        addNoise(speech, speechPower, 10, 3);
        const double minutes = speech.size() / double(kRate) / 60;
        const std::string o = ours(speech), m = multimon(speech, dir.path());
        std::printf("| %s | %.1f | %zu | %zu |\n", voice, minutes, o.size(), m.size());
    }

    const auto start = std::chrono::steady_clock::now();
    const std::string again = ours(clean);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "\nCost: %.0f samples a second decoded offline (%.2f%% of one core in real time "
        "at 8000 Hz)\n",
        clean.size() / seconds, 100.0 * kRate / (clean.size() / seconds));

    // Live decoding as the console's monitor and a listen after a command run it: DTMF and Morse
    // together, fed 20 ms at a time, over two minutes of a receiver: noise, a command, the
    // board's call, noise, a long Morse transmission.
    std::vector<int16_t> air(static_cast<size_t>(kRate) * 20, 0);
    air.insert(air.end(), clean.begin(), clean.begin() + std::min<size_t>(clean.size(), kRate * 5));
    air.insert(air.end(), static_cast<size_t>(kRate) * 2, 0);  // the board's turn-around
    for (const char* text : {"IK2ABC", "CQ CQ DE IK2ABC IK2ABC PSE K"}) {
        const std::vector<int16_t> cw = MorseTone(text, 25, 800, kRate);
        air.insert(air.end(), cw.begin(), cw.end());
        air.insert(air.end(), static_cast<size_t>(kRate) * 30, 0);
    }
    air.resize(static_cast<size_t>(kRate) * 120, 0);
    addNoise(air, 1e6, 0, 9);
    ReceiveDecoder live(kRate);
    std::vector<DecodedItem> heard;
    const auto liveStart = std::chrono::steady_clock::now();
    for (size_t at = 0; at < air.size(); at += kRate / 50)
        live.feed(std::span<const int16_t>(air).subspan(
                      at, std::min<size_t>(kRate / 50, air.size() - at)),
                  heard);
    live.finish(heard);
    const double liveSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - liveStart).count();
    std::string words;
    for (const DecodedItem& item : heard) words += item.text + ' ';
    std::printf("Live decoding (DTMF and Morse): %.2f%% of one core in real time; heard: %s\n",
                100.0 * liveSeconds / (air.size() / double(kRate)), words.c_str());
    return 0;
}
