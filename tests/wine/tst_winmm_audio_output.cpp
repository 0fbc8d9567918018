// The waveform-audio backend through Wine's PulseAudio driver (under with_pulse.sh): the
// seam's result codes for steps out of order, a chosen device that has gone, and a sequence
// that plays to its end while the calling thread sleeps through it (the reason the seam hands
// the device one buffer). play_while_blocked.sh records the sink and decodes what this played.
#include <QTest>
#include <thread>

#include "tone/tone_synthesis.h"
#include "tone/winmm_audio_output.h"

using namespace calvento;

namespace {

std::vector<int16_t> sequence(std::string_view keys, int digitMs, int gapMs) {
    DtmfToneTable table;
    FillToneTable(table);
    ToneTiming timing;
    timing.digitSeconds = digitMs / 1000.0;
    timing.gapSeconds = gapMs / 1000.0;
    timing.pauseSeconds = 0.3;
    ComputeSampleCounts(timing);
    return SynthesizeSequence(keys, timing, table);
}

}  // namespace

class TstWinmmAudioOutput : public QObject {
    Q_OBJECT
private slots:
    void theDevicesAreListed() {
        WinmmAudioOutput audio;
        QVERIFY(audio.outputDeviceCount() >= 1);
        const std::vector<AudioDeviceInfo> devices = audio.outputDevices();
        QCOMPARE(devices.size(), size_t(audio.outputDeviceCount()));
        for (const AudioDeviceInfo& d : devices) QVERIFY(!d.id.empty() && !d.description.empty());
        for (size_t i = 0; i < devices.size(); ++i)
            for (size_t j = i + 1; j < devices.size(); ++j) QVERIFY(devices[i].id != devices[j].id);
    }

    void stepsOutOfOrderAnswerTheClassicCodes() {
        WinmmAudioOutput audio;
        const std::vector<int16_t> samples = sequence("1", 100, 40);
        QCOMPARE(audio.prepare(samples.data(), samples.size()), AudioResult::InvalidHandle);
        QCOMPARE(audio.write(), AudioResult::InvalidHandle);
        QCOMPARE(audio.close(), AudioResult::InvalidHandle);
        QCOMPARE(audio.open(PcmFormat{}), AudioResult::Ok);
        QCOMPARE(audio.open(PcmFormat{}), AudioResult::Allocated);
        QCOMPARE(audio.write(), AudioResult::Unprepared);
        QCOMPARE(audio.prepare(samples.data(), samples.size()), AudioResult::Ok);
        QCOMPARE(audio.write(), AudioResult::Ok);
        QCOMPARE(audio.unprepare(), AudioResult::StillPlaying);
        QCOMPARE(audio.close(), AudioResult::StillPlaying);
        QVERIFY(!audio.done());
        // Reset stops it at once and gives the buffer back.
        QCOMPARE(audio.reset(), AudioResult::Ok);
        QCOMPARE(audio.unprepare(), AudioResult::Ok);
        QCOMPARE(audio.close(), AudioResult::Ok);
    }

    void aFormatTheDeviceCannotPlayIsRefused() {
        WinmmAudioOutput audio;
        PcmFormat odd;
        odd.formatTag = 0x55;  // MPEG layer 3, which no waveform device takes raw
        QCOMPARE(audio.open(odd), AudioResult::BadFormat);
    }

    void aChosenDeviceThatHasGoneGivesWayToTheDefault() {
        WinmmAudioOutput audio;
        audio.chooseDevice("A card unplugged long ago");
        QCOMPARE(audio.open(PcmFormat{}), AudioResult::Ok);
        QVERIFY(audio.usedDefaultInstead());
        QCOMPARE(audio.close(), AudioResult::Ok);
        audio.chooseDevice(audio.outputDevices().back().id);
        QCOMPARE(audio.open(PcmFormat{}), AudioResult::Ok);
        QVERIFY(!audio.usedDefaultInstead());
        QCOMPARE(audio.close(), AudioResult::Ok);
    }

    // "2580" at 200/200 ms: 1.4 s of sound, written, then the thread sleeps 2 s. Once it wakes,
    // the device has played every sample.
    void theBufferPlaysWhileTheThreadSleeps() {
        WinmmAudioOutput audio;
        const std::vector<int16_t> samples = sequence("2580", 200, 200);
        QCOMPARE(audio.open(PcmFormat{}), AudioResult::Ok);
        QCOMPARE(audio.prepare(samples.data(), samples.size()), AudioResult::Ok);
        QCOMPARE(audio.write(), AudioResult::Ok);
        QVERIFY(audio.playedSamples() < int64_t(samples.size()));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        QTRY_VERIFY_WITH_TIMEOUT(audio.done(), 500);
        QCOMPARE(audio.playedSamples(), int64_t(samples.size()));
        QCOMPARE(audio.unprepare(), AudioResult::Ok);
        QCOMPARE(audio.close(), AudioResult::Ok);
    }
};

QTEST_GUILESS_MAIN(TstWinmmAudioOutput)
#include "tst_winmm_audio_output.moc"
