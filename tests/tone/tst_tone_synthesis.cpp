// The exact synthesis: tone table, sample counts, lengths, segment placement and sample values,
// and the fast path held to the std::sin reference sample by sample.
#include <QTest>
#include <random>

#include "tone/tone_synthesis.h"

using namespace calvento;

namespace {

DtmfToneTable table() {
    DtmfToneTable t;
    FillToneTable(t);
    return t;
}

// The timing of the worked examples: 50 ms keys, 50 ms gaps, 1000 ms pauses.
ToneTiming timing50(double digit = 0.05, double gap = 0.05, double pause = 1.0) {
    ToneTiming t;
    t.digitSeconds = digit;
    t.gapSeconds = gap;
    t.pauseSeconds = pause;
    ComputeSampleCounts(t);
    return t;
}

bool allZero(const std::vector<int16_t>& v, int from, int to) {  // 1-based, inclusive
    for (int i = from; i <= to; ++i)
        if (v[static_cast<size_t>(i - 1)] != 0) return false;
    return true;
}

}  // namespace

class TstToneSynthesis : public QObject {
    Q_OBJECT
private slots:
    void frequencies_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("#") << "#" << 941.0 << 1477.0;
        QTest::newRow("*") << "*" << 941.0 << 1209.0;
        QTest::newRow("0") << "0" << 941.0 << 1336.0;
        QTest::newRow("5") << "5" << 770.0 << 1336.0;
        QTest::newRow("D") << "D" << 941.0 << 1633.0;
        QTest::newRow("first character counts") << "7x" << 852.0 << 1209.0;
        QTest::newRow("space") << " " << 0.0 << 0.0;
        QTest::newRow("lower-case a") << "a" << 0.0 << 0.0;
        QTest::newRow("empty") << "" << 0.0 << 0.0;
    }
    void frequencies() {
        QFETCH(QString, key);
        QFETCH(double, low);
        QFETCH(double, high);
        const std::string k = key.toStdString();
        QCOMPARE(LowFrequency(table(), k), low);
        QCOMPARE(HighFrequency(table(), k), high);
    }

    void sampleCounts() {
        const ToneTiming t = timing50();
        QCOMPARE(t.sampleRate, 8000.0);
        QCOMPARE(t.amplitude, 10000.0);
        QCOMPARE(t.digitSamples, 400);
        QCOMPARE(t.gapSamples, 400);
        QCOMPARE(t.pauseSamples, 8000);
        // Whole milliseconds always give exactly 8 samples per millisecond.
        for (int ms : {0, 1, 15, 25, 999, 9999}) {
            ToneTiming u = timing50(ms / 1000.0, ms / 1000.0, ms / 1000.0);
            QCOMPARE(u.digitSamples, 8 * ms);
        }
    }

    void lengths_data() {
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<int>("n");
        QTest::newRow("one key") << "1" << 401;
        QTest::newRow("two keys and a gap") << "12" << 1203;
        QTest::newRow("space, no gaps beside it") << "1 2" << 8803;
        QTest::newRow("leading space") << " 1" << 8402;
        QTest::newRow("two spaces") << "1  2" << 16804;
        QTest::newRow("non-key between keys") << "1x2" << 2005;
        QTest::newRow("lower case is a silent key") << "a" << 401;
        QTest::newRow("trailing space") << "1 " << 8402;
        QTest::newRow("empty") << "" << 0;
    }
    void lengths() {
        QFETCH(QString, sequence);
        QFETCH(int, n);
        const std::string s = sequence.toStdString();
        QCOMPARE(SequenceLength(s, timing50()), int64_t{n});
        QCOMPARE(SynthesizeSequence(s, timing50(), table()).size(), size_t(n));
    }

    void firstSamplesOfKey1() {
        const auto v = SynthesizeSequence("1", timing50(), table());
        QCOMPARE(v[0], int16_t(13337));
        QCOMPARE(v[1], int16_t(18355));
        QCOMPARE(v[2], int16_t(12862));
        QCOMPARE(v[3], int16_t(2041));
    }

    void segmentsArePlacedOnTheWholeBufferPhase() {
        const DtmfToneTable tab = table();
        const double w1 = (697.0 * 6.28318530717958) / 8000.0;
        const double w2 = (1336.0 * 6.28318530717958) / 8000.0;
        // "12": key 2 starts at sample 803 with phase index 803, not 1.
        auto v = SynthesizeSequence("12", timing50(), tab);
        QVERIFY(allZero(v, 402, 802));
        QCOMPARE(v[802], ExactToneSample(803, w1, w2, 10000.0));
        QVERIFY(v[802] != SynthesizeSequence("2", timing50(), tab)[0]);
        // "1 2": the pause is all the silence there is, key 2 at 8403..8803.
        v = SynthesizeSequence("1 2", timing50(), tab);
        QVERIFY(allZero(v, 402, 8402));
        QCOMPARE(v[8402], ExactToneSample(8403, w1, w2, 10000.0));
        // " 1": 8001 zeros first.
        v = SynthesizeSequence(" 1", timing50(), tab);
        QVERIFY(allZero(v, 1, 8001));
        QVERIFY(v[8001] != 0);
        // "1x2": the x is a key-length stretch of silence between two gaps.
        v = SynthesizeSequence("1x2", timing50(), tab);
        QVERIFY(allZero(v, 402, 1604));
        QVERIFY(v[1604] != 0 || v[1605] != 0);
        // "a": silence.
        v = SynthesizeSequence("a", timing50(), tab);
        QVERIFY(allZero(v, 1, 401));
    }

    void zeroDurationsGiveOneSampleSegments() {
        const ToneTiming t = timing50(0, 0, 0);
        QCOMPARE(SequenceLength("12 3", t), int64_t{5});  // 3 keys, 1 gap, 1 space
        const auto v = SynthesizeSequence("12 3", t, table());
        const double w3Low = (697.0 * 6.28318530717958) / 8000.0;
        const double w3High = (1477.0 * 6.28318530717958) / 8000.0;
        QCOMPARE(v[1], int16_t(0));  // the gap
        QCOMPARE(v[3], int16_t(0));  // the space
        QCOMPARE(v[4], ExactToneSample(5, w3Low, w3High, 10000.0));
    }

    // The fast path against std::sin, over every key and phases up to the longest sequence.
    void fastPathIsBitExactAtAllPhases() {
        const DtmfToneTable tab = table();
        std::mt19937_64 rng(20261209);
        const char keys[] = "0123456789ABCD*#";
        for (int trial = 0; trial < 400; ++trial) {
            const std::string key(1, keys[trial % 16]);
            const double wl = (LowFrequency(tab, key) * 6.28318530717958) / 8000.0;
            const double wh = (HighFrequency(tab, key) * 6.28318530717958) / 8000.0;
            const int64_t first = 1 + static_cast<int64_t>(rng() % 90'089'000);
            std::vector<int16_t> fast(3000);
            ToneSamples(first, wl, wh, 10000.0, fast);
            for (size_t j = 0; j < fast.size(); ++j) {
                if (fast[j] != ExactToneSample(first + static_cast<int64_t>(j), wl, wh, 10000.0))
                    QFAIL(qPrintable(QStringLiteral("key %1 phase %2 differs")
                                         .arg(QString::fromStdString(key))
                                         .arg(first + static_cast<int64_t>(j))));
            }
        }
    }

    // Whole sequences, long enough to be split over worker threads, against the reference.
    void sequencesMatchTheReference_data() {
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<int>("digitMs");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("all keys") << "0123456789*#ABCD" << 60 << 40 << 300;
        QTest::newRow("spaces and junk") << " 1 x#  *d9 " << 25 << 15 << 25;
        QTest::newRow("threaded") << "159#D*0 159#D*0 159#D*0" << 9999 << 999 << 9999;
    }
    void sequencesMatchTheReference() {
        QFETCH(QString, sequence);
        QFETCH(int, digitMs);
        QFETCH(int, gapMs);
        QFETCH(int, pauseMs);
        const ToneTiming t = timing50(digitMs / 1000.0, gapMs / 1000.0, pauseMs / 1000.0);
        const std::string s = sequence.toStdString();
        const auto fast = SynthesizeSequence(s, t, table());
        std::vector<int16_t> ref(fast.size());
        SynthesizeSequenceReference(s, t, table(), ref);
        QVERIFY(fast == ref);
    }

    // Block by block, the blocks cut tones, gaps and pauses anywhere: the same samples as the
    // whole buffer, and a sink that stops is not called again.
    void streamedBlocksMatchTheWholeBuffer_data() {
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<int>("block");
        QTest::newRow("one-sample blocks") << "1#" << 1;
        QTest::newRow("blocks of 7 across every edge") << "159#D*0 A" << 7;
        QTest::newRow("blocks of 1000") << "0123456789*#ABCD 0123" << 1000;
        QTest::newRow("one block larger than the sequence") << "12" << 100'000;
        QTest::newRow("threaded rounds") << "159#D*0 159#D*0 159#D*0" << 300'000;
    }
    void streamedBlocksMatchTheWholeBuffer() {
        QFETCH(QString, sequence);
        QFETCH(int, block);
        const ToneTiming t = timing50(0.06, 0.04, 0.3);
        const std::string s = sequence.toStdString();
        const auto whole = SynthesizeSequence(s, t, table());
        std::vector<int16_t> streamed;
        size_t calls = 0;
        QVERIFY(StreamSequence(s, t, table(), block, [&](std::span<const int16_t> b) {
            ++calls;
            streamed.insert(streamed.end(), b.begin(), b.end());
            return true;
        }));
        QVERIFY(streamed == whole);
        QVERIFY(calls >= 1);
        int stoppedAfter = 0;
        QVERIFY(!StreamSequence(s, t, table(), 3,
                                [&](std::span<const int16_t>) { return ++stoppedAfter < 2; }));
        QCOMPARE(stoppedAfter, 2);
    }
};

QTEST_APPLESS_MAIN(TstToneSynthesis)
#include "tst_tone_synthesis.moc"
