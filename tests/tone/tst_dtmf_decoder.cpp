// The DTMF decoder on its own: every key at 40 ms tone and 40 ms pause at any rate from 8 to
// 48 kHz, the acceptance limits (frequency offset, twist), one report per tone (a short burst
// none, the same key after a pause again), the same keys whatever the pieces the samples come
// in, noise at 3 dB, and speech from espeak-ng (a voice nobody here made) that must give no key.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <random>

#include "tone/dtmf_decoder.h"

using namespace calvento;

namespace {

const double kLow[] = {941, 697, 697, 697, 770, 770, 770, 852,
                       852, 852, 941, 941, 697, 770, 852, 941};
const double kHigh[] = {1336, 1209, 1336, 1477, 1209, 1336, 1477, 1209,
                        1336, 1477, 1209, 1477, 1633, 1633, 1633, 1633};
const char kKeys[] = "0123456789*#ABCD";

// Keys as tone pairs: each `toneMs` long at `offset` (a fraction) and `twistDb` (high over low),
// then `pauseMs` of silence.
std::vector<int16_t> keys(const QString& sequence, int rate, int toneMs = 40, int pauseMs = 40,
                          double offset = 0, double twistDb = 0) {
    std::vector<int16_t> out;
    for (const QChar c : sequence) {
        const int k = int(strchr(kKeys, c.toLatin1()) - kKeys);
        const int n = rate * toneMs / 1000;
        for (int i = 0; i < n; ++i)
            out.push_back(
                static_cast<int16_t>(6000 * std::sin(2 * M_PI * kLow[k] * (1 + offset) * i / rate) +
                                     6000 * std::pow(10, twistDb / 20) *
                                         std::sin(2 * M_PI * kHigh[k] * (1 + offset) * i / rate)));
        out.insert(out.end(), static_cast<size_t>(rate * pauseMs / 1000), 0);
    }
    return out;
}

QString heard(const std::vector<int16_t>& samples, int rate) {
    QString text;
    for (const DecodedItem& item : DecodeDtmf(samples, rate))
        text += QString::fromStdString(item.text);
    return text;
}

}  // namespace

class TstDtmfDecoder : public QObject {
    Q_OBJECT
private slots:
    void everyKeyAtEveryRate_data() {
        QTest::addColumn<int>("rate");
        for (int rate : {8000, 11025, 16000, 22050, 44100, 48000})
            QTest::addRow("%d Hz", rate) << rate;
    }
    void everyKeyAtEveryRate() {
        QFETCH(int, rate);
        QCOMPARE(heard(keys(kKeys, rate), rate), QString(kKeys));
    }

    // Within 1.5% of the keypad's frequencies a key is taken, beyond 3.5% never; the high tone
    // may be up to 4 dB above the low one and 8 dB below it.
    void acceptanceLimits_data() {
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("twist");
        QTest::addColumn<bool>("taken");
        QTest::newRow("exact") << 0.0 << 0.0 << true;
        QTest::newRow("+1.5%") << 0.015 << 0.0 << true;
        QTest::newRow("-1.5%") << -0.015 << 0.0 << true;
        QTest::newRow("+3.5%") << 0.035 << 0.0 << false;
        QTest::newRow("-3.5%") << -0.035 << 0.0 << false;
        QTest::newRow("high 4 dB above") << 0.0 << 4.0 << true;
        QTest::newRow("high 8 dB below") << 0.0 << -8.0 << true;
        QTest::newRow("high 6 dB above") << 0.0 << 6.0 << false;
        QTest::newRow("high 10 dB below") << 0.0 << -10.0 << false;
    }
    void acceptanceLimits() {
        QFETCH(double, offset);
        QFETCH(double, twist);
        QFETCH(bool, taken);
        QCOMPARE(heard(keys("159D", 8000, 60, 60, offset, twist), 8000),
                 taken ? QStringLiteral("159D") : QString());
    }

    // One report a tone, at its start; a 25 ms burst is no key; the same key after 40 ms of
    // silence is a second key; a long tone is one key. The samples may come in any pieces.
    void oneReportPerTone() {
        QCOMPARE(heard(keys("5", 8000, 25, 100), 8000), QString());
        QCOMPARE(heard(keys("55", 8000, 40, 40), 8000), QStringLiteral("55"));
        QCOMPARE(heard(keys("7", 8000, 2000, 40), 8000), QStringLiteral("7"));
        const std::vector<int16_t> s = keys("0123456789", 8000, 50, 60);
        const std::vector<DecodedItem> whole = DecodeDtmf(s, 8000);
        QCOMPARE(whole.size(), size_t(10));
        QVERIFY(std::abs(whole[3].seconds - 0.330) < 0.01);  // key 3 begins at 3 x 110 ms
        DtmfDecoder pieces(8000);
        std::vector<DecodedItem> got;
        for (size_t at = 0; at < s.size(); at += 37)
            pieces.feed(std::span(s).subspan(at, std::min<size_t>(37, s.size() - at)), got);
        pieces.feed(std::vector<int16_t>(800, 0), got);
        QVERIFY(got == whole);
    }

    // White noise 3 dB below the tones over the whole band: not one of 200 keys is lost.
    void keysInNoise() {
        std::mt19937 rng(5);
        QString sequence;
        for (int i = 0; i < 200; ++i) sequence += kKeys[rng() % 16];
        std::vector<int16_t> s = keys(sequence, 8000);
        std::normal_distribution<double> noise(0, 6000 * std::sqrt(2.0) / std::sqrt(2.0) * 1.0);
        // Signal power of two tones of amplitude 6000 is 6000^2; noise power half of it (+3 dB).
        std::normal_distribution<double> n(0, 6000 / std::sqrt(2.0));
        for (int16_t& x : s) x = static_cast<int16_t>(std::clamp(x + n(rng), -32768.0, 32767.0));
        QCOMPARE(heard(s, 8000), sequence);
    }

    // A minute of speech in a woman's voice, whose sparse harmonics can sit on two keypad
    // frequencies at once: no key.
    void speechIsNoKey() {
#ifdef Q_OS_WIN
        QSKIP("espeak-ng and sox are Linux programs: the Linux build runs this");
#endif
        QTemporaryDir dir;
        const QString wav = dir.filePath("s.wav"), raw = dir.filePath("s.raw");
        QString text;
        for (int i = 0; i < 8; ++i)
            text +=
                "The quick brown fox jumps over the lazy dog. Numbers one two three four five "
                "six seven eight nine, she sells sea shells by the sea shore. ";
        QCOMPARE(QProcess::execute("espeak-ng", {"-v", "en+f3", "-w", wav, text}), 0);
        QCOMPARE(QProcess::execute("sox", {wav, "-t", "raw", "-r", "8000", "-e", "signed", "-b",
                                           "16", "-c", "1", raw}),
                 0);
        QFile f(raw);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray b = f.readAll();
        const std::vector<int16_t> speech(
            reinterpret_cast<const int16_t*>(b.constData()),
            reinterpret_cast<const int16_t*>(b.constData()) + b.size() / 2);
        QVERIFY(speech.size() > 8000 * 50);
        QCOMPARE(heard(speech, 8000), QString());
    }
};

QTEST_GUILESS_MAIN(TstDtmfDecoder)
#include "tst_dtmf_decoder.moc"
