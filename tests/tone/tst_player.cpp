// The player against a fake device: the order of the device steps, the numbered failure texts
// and the clean-up after each, the done-flag wait and its bound, and the measured time.
#include <QTest>
#include <algorithm>

#include "player_rig.h"
#include "tone/keyed_send.h"

using namespace calvento;
using namespace calvento::test;

using Rig = PlayerRig;

class TstPlayer : public QObject {
    Q_OBJECT
private slots:
    void playsTheExactBufferAndMeasuresTime() {
        Rig r;
        r.audio.turnsUntilDone = 40;
        r.clock.msPerTurn = 7;
        const PlayResult played = r.player.SuonaSequenza("159#D*0");
        QCOMPARE(r.audio.log, QStringList({"open", "prepare", "write", "unprepare", "close"}));
        QVERIFY(played.played && played.failure.isEmpty());
        QVERIFY(!r.player.isPlaying());
        QCOMPARE(played.effectiveTimeMs, 40 * 7);
        QCOMPARE(r.audio.format.samplesPerSecond, 8000);
        QCOMPARE(r.audio.format.averageBytesPerSecond, 16000);
        QCOMPARE(r.audio.format.blockAlign, 2);
        const auto expected =
            SynthesizeSequence("159#D*0", r.player.timing(), r.player.toneTable());
        QVERIFY(r.audio.written == expected);
    }

    void effectiveTimeSurvivesTheTickCounterWrapping() {
        Rig r;
        r.clock.now = 0xFFFFFFF0u;
        r.clock.msPerTurn = 5;
        r.audio.turnsUntilDone = 10;
        QCOMPARE(r.player.SuonaSequenza("1").effectiveTimeMs, 50);
    }

    void emptySequenceDoesNothing() {
        Rig r;
        r.player.SuonaSequenza("1");
        const int before = r.player.state().effectiveTimeMs;
        r.audio.log.clear();
        r.clock.msPerTurn = 100;
        const PlayResult nothing = r.player.SuonaSequenza("");
        QVERIFY(r.audio.log.isEmpty());
        QVERIFY(!nothing.played && nothing.failure.isEmpty());
        QCOMPARE(r.player.state().effectiveTimeMs, before);
    }

    void aSecondCallWhilePlayingIsRefused() {
        Rig r;
        r.audio.turnsUntilDone = 5;
        int nestedTurn = 0;
        QStringList logDuringNested;
        r.clock.onTurn = [&] {
            if (++nestedTurn != 2) return;
            QVERIFY(r.player.isPlaying());
            const QStringList before = r.audio.log;
            // A handler running inside the wait.
            const PlayResult nested = r.player.SuonaSequenza("2");
            QVERIFY(!nested.played && nested.failure.isEmpty());
            logDuringNested = r.audio.log;
            QCOMPARE(logDuringNested, before);
        };
        r.player.SuonaSequenza("1");
        QCOMPARE(r.audio.log, QStringList({"open", "prepare", "write", "unprepare", "close"}));
        QVERIFY(!r.player.isPlaying());
    }

    void failures_data() {
        QTest::addColumn<int>("openResult");
        QTest::addColumn<int>("prepareResult");
        QTest::addColumn<int>("unprepareResult");
        QTest::addColumn<int>("closeResult");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("open, unsupported format")
            << 32 << 0 << 0 << 0 << "1. waveOutOpen failed - 32" << QStringList{"open"};
        QTest::newRow("prepare") << 0 << 7 << 0 << 0 << "2. waveOutPrepareHeader failed - 7"
                                 << QStringList{"open", "prepare", "reset", "close"};
        QTest::newRow("unprepare, still playing")
            << 0 << 0 << 33 << 0 << "4. waveOutUnPrepareHeader failed - 1 - 33"
            << QStringList{"open", "prepare", "write", "unprepare", "reset", "close"};
        QTest::newRow("close") << 0 << 0 << 0 << 5 << "5. waveOutClose failed - 5"
                               << QStringList{"open", "prepare", "write", "unprepare", "close"};
    }
    void failures() {
        QFETCH(int, openResult);
        QFETCH(int, prepareResult);
        QFETCH(int, unprepareResult);
        QFETCH(int, closeResult);
        QFETCH(QString, message);
        QFETCH(QStringList, log);
        Rig r;
        r.player.SuonaSequenza("1");
        const int before = r.player.state().effectiveTimeMs;
        r.audio.log.clear();
        r.audio.openResult = openResult;
        r.audio.prepareResult = prepareResult;
        r.audio.unprepareResult = unprepareResult;
        r.audio.closeResult = closeResult;
        r.clock.msPerTurn = 13;
        const PlayResult failed = r.player.SuonaSequenza("123");
        QVERIFY(!failed.played);
        QCOMPARE(failed.failure, message);
        QCOMPARE(r.audio.log, log);
        QVERIFY(!r.player.isPlaying());
        QVERIFY(!r.audio.isOpen || closeResult != 0);
        // Only a playback that reached the end of its wait updates the time.
        if (openResult || prepareResult) QCOMPARE(r.player.state().effectiveTimeMs, before);
    }

    // A device that takes the buffer but never finishes must not hang the program.
    void aDeviceThatNeverFinishesIsStopped() {
        Rig r;
        r.audio.turnsUntilDone = -1;
        r.clock.msPerTurn = 50;
        const PlayResult stalled = r.player.SuonaSequenza("1");  // 61 ms of audio
        QVERIFY(!stalled.played && !stalled.failure.isEmpty());
        QCOMPARE(r.audio.log.mid(r.audio.log.size() - 2), QStringList({"reset", "close"}));
        QVERIFY(!r.player.isPlaying());
        QVERIFY(r.clock.now < 7000);  // gave up a few seconds after the buffer's own length
        QCOMPARE(stalled.effectiveTimeMs, 0);
    }

    // The wait ends on a device that stops playing, counted from its last progress: a slow
    // device that keeps going is waited for well past the buffer's own length.
    void theWaitEndsOnADeviceThatStopsPlaying_data() {
        QTest::addColumn<int>("progressUntilMs");
        QTest::addColumn<int>("doneAtMs");
        QTest::addColumn<bool>("fails");
        QTest::newRow("slow, never stops: 20 s for 61 ms") << 20000 << 20000 << false;
        QTest::newRow("stops after 3 s") << 3000 << -1 << true;
    }
    void theWaitEndsOnADeviceThatStopsPlaying() {
        QFETCH(int, progressUntilMs);
        QFETCH(int, doneAtMs);
        QFETCH(bool, fails);
        Rig r;
        r.audio.turnsUntilDone = -1;
        r.clock.msPerTurn = 10;
        r.audio.progress = [&] {
            return int64_t(std::min<uint32_t>(r.clock.now, progressUntilMs));
        };
        r.clock.onTurn = [&] {
            if (doneAtMs >= 0 && r.clock.now >= uint32_t(doneAtMs)) r.audio.doneAfter = 0;
        };
        const PlayResult result = r.player.SuonaSequenza("1");
        QCOMPARE(result.played, !fails);
        if (fails) {
            QVERIFY(result.failure.contains("did not finish playing"));
            QVERIFY(r.clock.now > uint32_t(progressUntilMs) + 5000);
            QVERIFY(r.clock.now < uint32_t(progressUntilMs) + 5100);
        } else {
            QCOMPARE(result.effectiveTimeMs, doneAtMs);
        }
    }

    // Whoever keyed a transmitter hears of the end once: after the last sample, or as soon as a
    // step fails, before the failure comes back to be shown, so that nothing waits for the user
    // with the transmitter keyed.
    void theEndOfSoundComesBeforeAnyMessage_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("lastSamplePlayed");
        QTest::addColumn<int>("messages");
        QTest::newRow("played") << "" << true << 0;
        QTest::newRow("open fails") << "open" << false << 1;
        QTest::newRow("prepare fails") << "prepare" << false << 1;
        QTest::newRow("write refused") << "write" << false << 1;
        QTest::newRow("out of memory") << "memory" << false << 1;
        QTest::newRow("device stalls") << "stall" << false << 1;
        QTest::newRow("stopped with a message") << "stop" << false << 1;
        QTest::newRow("stopped quietly") << "quiet" << false << 0;
        QTest::newRow("unprepare fails after the last sample") << "unprepare" << true << 1;
        QTest::newRow("the sound server stops taking the sound") << "server" << false << 1;
    }
    void theEndOfSoundComesBeforeAnyMessage() {
        QFETCH(QString, failure);
        QFETCH(bool, lastSamplePlayed);
        QFETCH(int, messages);
        Rig r;
        std::string keys = "12";
        if (failure == "open") r.audio.openResult = 4;
        if (failure == "prepare") r.audio.prepareResult = 7;
        if (failure == "write") r.audio.writeResult = 4;
        if (failure == "unprepare") r.audio.unprepareResult = 33;
        if (failure == "memory") {
            r.player.setDurations(60, 40, 1e9);
            keys = std::string(200, ' ');
        }
        if (failure == "stall") {
            r.audio.turnsUntilDone = -1;
            r.clock.msPerTurn = 100;
        }
        if (failure == "server") {
            // The device's clock runs on as if it played: only its error tells.
            r.audio.turnsUntilDone = -1;
            r.audio.progress = [&] { return int64_t(r.clock.turns * 100); };
            r.clock.onTurn = [&] {
                if (r.clock.turns == 2) {
                    r.audio.playbackErrorResult = AudioResult::Stopped;
                    r.audio.playbackErrorReason = "the sound server went away";
                }
            };
        }
        if (failure == "stop" || failure == "quiet") {
            r.audio.turnsUntilDone = -1;
            r.clock.onTurn = [&] {
                if (r.clock.turns == 2) r.player.requestStop(failure == "stop" ? "Stopped." : "");
            };
        }
        QStringList order;
        const PlayResult result = r.player.SuonaSequenza(
            keys, [&](bool played) { order << (played ? "played" : "ended"); });
        QCOMPARE(order, QStringList{lastSamplePlayed ? "played" : "ended"});
        QCOMPARE(result.played, failure.isEmpty());
        QCOMPARE(!result.failure.isEmpty(), messages == 1);
        if (failure == "server")
            QCOMPARE(
                result.failure,
                QStringLiteral("The sound did not all go out: the sound server went away - 35"));
        QVERIFY(!r.player.isPlaying());
    }

    void aRefusedWriteIsReportedAtOnce() {
        Rig r;
        r.audio.writeResult = 4;
        QVERIFY(r.player.SuonaSequenza("1").failure.endsWith(" - 4"));
        QCOMPARE(r.clock.turns, 0);
        QVERIFY(!r.player.isPlaying());
    }

    void soundCardPresentCountsOutputDevices() {
        Rig r;
        QVERIFY(r.player.SoundCardPresent());
        r.audio.devices = 0;
        QVERIFY(!r.player.SoundCardPresent());
        QCOMPARE(NoSoundCardText(),
                 QString::fromUtf8("Questo PC non ha schede audio.\r\n"
                                   "Il programma non pu\xc3\xb2 inviare i toni DTMF"));
        QCOMPARE(NoSoundCardTitle(), QStringLiteral("DTMF"));
    }

    // The one set of limits of a send, for the window and the tool alike: short durations are
    // raised to their minimum, the transmitter delay held within 20 to 2000 ms, and what lies
    // within stays exactly as typed.
    void theSendsLimits_data() {
        QTest::addColumn<QList<double>>("asked");  // digit, gap, pause, transmitter delay
        QTest::addColumn<QList<double>>("used");
        QTest::newRow("typical") << QList<double>{60, 40, 300, 200}
                                 << QList<double>{60, 40, 300, 200};
        QTest::newRow("emptied fields")
            << QList<double>{0, 0, 0, 0} << QList<double>{25, 15, 25, 20};
        QTest::newRow("just below")
            << QList<double>{24.9, 14, 24, 19.5} << QList<double>{25, 15, 25, 20};
        QTest::newRow("at the limits")
            << QList<double>{25, 15, 25, 2000} << QList<double>{25, 15, 25, 2000};
        QTest::newRow("fractions and long")
            << QList<double>{60.5, 999, 9999, 2500} << QList<double>{60.5, 999, 9999, 2000};
    }
    void theSendsLimits() {
        QFETCH(QList<double>, asked);
        QFETCH(QList<double>, used);
        const SendSettings s = CorrectedSendSettings({asked[0], asked[1], asked[2], asked[3]});
        QCOMPARE((QList<double>{s.digitMs, s.gapMs, s.pauseMs, s.txDelayMs}), used);
    }

    // Run by ctest under an address-space limit that leaves no room for the 180 MB buffer.
    void largestSequenceWithLittleMemory() {
        if (qEnvironmentVariableIsEmpty("CALVENTO_MEMORY_LIMITED"))
            QSKIP("runs under a memory limit (ctest: player_memory_limit)");
        Rig r;
        r.player.setDurations(9999, 999, 9999);
        std::string largest;
        for (int i = 0; i < 1024; ++i) largest += "0123456789*#ABCD"[i % 16];
        QVERIFY(r.player.SuonaSequenza(largest).failure.contains("memory"));
        QVERIFY(r.audio.log.isEmpty());
        QVERIFY(!r.player.isPlaying());
    }

    void aBufferThatCannotBeAllocatedIsToldNotCrashed() {
        Rig r;
        r.player.setDurations(60, 40, 1e9);  // 8e9 samples per space: 16 GB each
        QVERIFY(r.player.SuonaSequenza(std::string(200, ' ')).failure.contains("memory"));
        QVERIFY(r.audio.log.isEmpty());
        QVERIFY(!r.player.isPlaying());
    }
};

QTEST_GUILESS_MAIN(TstPlayer)
#include "tst_player.moc"
