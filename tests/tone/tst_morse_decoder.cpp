// The Morse decoder against Morse that another program made (ebook2cw): every speed from 14 to
// 150 WPM, pitches across the band, any sample rate, punctuation, a second transmission at
// another speed, and a tone in white noise.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <random>

#include "tone/morse_decoder.h"

using namespace calvento;

namespace {

// `text` keyed by ebook2cw at `wpm` and `pitch`, as 16-bit samples at `rate`.
std::vector<int16_t> morse(const QString& text, int wpm, int pitch, int rate = 8000) {
    QTemporaryDir dir;
    QProcess cw;
    cw.setWorkingDirectory(dir.path());
    cw.start("ebook2cw", {"-O", "-w", QString::number(wpm), "-f", QString::number(pitch), "-s",
                          "8000", "-o", "m"});
    cw.write(text.toLatin1() + "\n");
    cw.closeWriteChannel();
    cw.waitForFinished(30000);
    const QString raw = dir.filePath("m.raw");
    QProcess::execute("sox", {dir.filePath("m0000.ogg"), "-t", "raw", "-r", QString::number(rate),
                              "-e", "signed", "-b", "16", "-c", "1", raw});
    QFile f(raw);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return {reinterpret_cast<const int16_t*>(b.constData()),
            reinterpret_cast<const int16_t*>(b.constData()) + b.size() / 2};
}

QString text(const MorseResult& r) {
    QString out;
    for (const DecodedItem& c : r.characters) out += QString::fromStdString(c.text);
    return out;
}

}  // namespace

class TstMorseDecoder : public QObject {
    Q_OBJECT
private slots:
    void init() {
#ifdef Q_OS_WIN
        if (QString(QTest::currentTestFunction()) != QLatin1String("nothingIsNoMorse"))
            QSKIP("ebook2cw and sox are Linux programs: the Linux build runs this");
#endif
    }
    void speedsAndPitches_data() {
        QTest::addColumn<int>("wpm");
        QTest::addColumn<int>("pitch");
        QTest::addColumn<int>("rate");
        QTest::newRow("14 WPM") << 14 << 700 << 8000;
        QTest::newRow("40 WPM") << 40 << 700 << 8000;
        QTest::newRow("80 WPM") << 80 << 700 << 8000;
        QTest::newRow("150 WPM") << 150 << 700 << 8000;
        QTest::newRow("low pitch") << 25 << 450 << 8000;
        QTest::newRow("high pitch") << 25 << 1800 << 8000;
        QTest::newRow("48 kHz") << 30 << 700 << 48000;
    }
    void speedsAndPitches() {
        QFETCH(int, wpm);
        QFETCH(int, pitch);
        QFETCH(int, rate);
        const std::vector<int16_t> s = morse("CQ DE K1ABC 599 AB/C? 5=6", wpm, pitch, rate);
        QVERIFY(!s.empty());
        const MorseResult r = DecodeMorse(s, rate);
        QCOMPARE(text(r), QStringLiteral("CQ DE K1ABC 599 AB/C? 5=6"));
        // The sender's speed, when it is known, changes nothing (ebook2cw's elements have
        // ramps: at 150 WPM a dot is mostly ramp, which a window chosen for the speed alone
        // misses).
        QCOMPARE(text(DecodeMorse(s, rate, wpm)), QStringLiteral("CQ DE K1ABC 599 AB/C? 5=6"));
        QVERIFY2(std::abs(r.pitchHz - pitch) <= 20, qPrintable(QString::number(r.pitchHz)));
        QVERIFY2(std::abs(r.wpm - wpm) <= wpm * 0.25, qPrintable(QString::number(r.wpm)));
        // Words with the time of their first character, in order.
        const std::vector<DecodedItem> words = MorseWords(r.characters);
        QCOMPARE(words.size(), size_t(6));
        QCOMPARE(words[2].text, std::string("K1ABC"));
        QVERIFY(words[0].seconds < words[1].seconds && words[1].seconds < words[2].seconds);
    }

    // A board answering twice: slowly, then after a pause much faster; both are read, each at
    // its own speed.
    void aSecondTransmissionAtAnotherSpeed() {
        std::vector<int16_t> s = morse("QRL", 18, 700);
        s.insert(s.end(), 8000 * 3, 0);
        const std::vector<int16_t> fast = morse("TEST", 90, 700);
        s.insert(s.end(), fast.begin(), fast.end());
        const MorseResult r = DecodeMorse(s, 8000);
        QCOMPARE(text(r), QStringLiteral("QRL TEST"));
        QVERIFY2(r.wpm > 60, qPrintable(QString::number(r.wpm)));
    }

    // Morse in white noise over the whole band, `snr` dB below the power of the keyed signal.
    void aToneInNoise_data() {
        QTest::addColumn<int>("wpm");
        QTest::addColumn<double>("snr");
        QTest::newRow("20 WPM, 0 dB") << 20 << 0.0;
        QTest::newRow("40 WPM, 3 dB") << 40 << 3.0;
        QTest::newRow("80 WPM, 10 dB") << 80 << 10.0;
    }
    void aToneInNoise() {
        QFETCH(int, wpm);
        QFETCH(double, snr);
        std::vector<int16_t> s = morse("CQ DE K1ABC", wpm, 700);
        QVERIFY(!s.empty());
        addNoise(s, snr);
        QCOMPARE(text(DecodeMorse(s, 8000)), QStringLiteral("CQ DE K1ABC"));
    }

    // Silence, noise alone and random bytes are no Morse.
    void nothingIsNoMorse() {
        QCOMPARE(text(DecodeMorse(std::vector<int16_t>(8000 * 3, 0), 8000)), QString());
        std::vector<int16_t> quiet(8000 * 10, 0);
        addNoise(quiet, 0, 3000);
        QCOMPARE(text(DecodeMorse(quiet, 8000)), QString());
        std::mt19937 rng(5);
        std::vector<int16_t> bytes(8000 * 10);
        for (int16_t& x : bytes) x = static_cast<int16_t>(rng());
        QCOMPARE(text(DecodeMorse(bytes, 8000)), QString());
    }

private:
    // White noise (a fixed seed) `snr` dB below the samples' own power, or of RMS `rms`.
    static void addNoise(std::vector<int16_t>& s, double snr, double rms = 0) {
        if (rms == 0) {
            double power = 0;
            for (int16_t x : s) power += double(x) * x;
            rms = std::sqrt(power / double(s.size()) / std::pow(10, snr / 10));
        }
        std::mt19937 rng(11);
        std::normal_distribution<double> noise(0, rms);
        for (int16_t& x : s)
            x = static_cast<int16_t>(std::clamp(x + noise(rng), -32768.0, 32767.0));
    }
};

QTEST_GUILESS_MAIN(TstMorseDecoder)
#include "tst_morse_decoder.moc"
