// End to end through the real sound stack: the player plays a sequence with the Qt backend into
// a PulseAudio null sink, the sink's monitor is recorded, and multimon-ng, a DTMF decoder nobody
// here wrote, must hear exactly the keys that were sent. Run beside with_pulse.sh.
#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "fakes.h"
#include "tone/player.h"
#include "tone/qt_audio_output.h"

using namespace calvento;

namespace {

// The keys multimon-ng decodes from a raw recording (signed 16-bit, mono, 22050 Hz).
QString decodeDtmf(const QString& rawFile) {
    QProcess decoder;
    decoder.start("multimon-ng", {"-q", "-a", "DTMF", "-t", "raw", rawFile});
    if (!decoder.waitForFinished(60000)) return QStringLiteral("<multimon-ng did not finish>");
    QString keys;
    const QRegularExpression line(QStringLiteral("^DTMF: (.)"),
                                  QRegularExpression::MultilineOption);
    auto it = line.globalMatch(QString::fromLatin1(decoder.readAllStandardOutput()));
    while (it.hasNext()) keys += it.next().captured(1);
    return keys;
}

}  // namespace

class TstAudioE2e : public QObject {
    Q_OBJECT
private slots:
    void playedKeysAreDecodedBack() {
        QTemporaryDir dir;
        const QString raw = dir.filePath("monitor.raw");

        QProcess recorder;
        recorder.setStandardOutputFile(raw);
        recorder.start("parec", {"-d", "calvento_null.monitor", "--format=s16le", "--rate=22050",
                                 "--channels=1", "--latency-msec=20"});
        QVERIFY2(recorder.waitForStarted(5000), "parec did not start");
        QTest::qWait(500);  // the recording must run before the first tone

        QtAudioOutput audio;
        test::RecordingUi ui;
        Player player(audio, SystemClock(), ui);
        QVERIFY2(player.SoundCardPresent(), "no output device on the private sound server");
        FillToneTable(player.toneTable());
        player.timing().digitSeconds = 0.06;
        player.timing().gapSeconds = 0.04;
        player.timing().pauseSeconds = 0.3;
        ComputeSampleCounts(player.timing());

        const std::string sequence = "159#D*0";
        player.SuonaSequenza(sequence);
        for (const auto& m : ui.messages) qWarning() << m.title << m.text;
        QVERIFY(ui.messages.empty());
        QVERIFY(!player.isPlaying());

        // Measured, not computed: never less than the buffer's 0.66 s. A null sink reports its
        // progress late (it renders in large blocks when no client asks for low latency), so the
        // upper bound is loose here; on a real device the figure comes within a few tens of ms.
        const int nominalMs = static_cast<int>(player.sampleCount() / 8);
        QVERIFY2(player.state().effectiveTimeMs >= nominalMs - 30 &&
                     player.state().effectiveTimeMs <= nominalMs + 4000,
                 qPrintable(QStringLiteral("effective %1 ms for %2 ms of audio")
                                .arg(player.state().effectiveTimeMs)
                                .arg(nominalMs)));

        QTest::qWait(400);
        recorder.terminate();
        QVERIFY(recorder.waitForFinished(5000));
        QCOMPARE(decodeDtmf(raw), QString::fromStdString(sequence));
    }

    // The command-line send plays through the same player and reports as the window does.
    void theCommandLineSends() {
        QProcess cli;
        cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--digit", "10", "12"});
        QVERIFY(cli.waitForFinished(30000));
        QVERIFY2(cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0,
                 qPrintable(QStringLiteral("status %1, code %2: %3")
                                .arg(cli.exitStatus())
                                .arg(cli.exitCode())
                                .arg(QString::fromLocal8Bit(cli.readAllStandardError()))));
        const QString out = QString::fromLatin1(cli.readAllStandardOutput());
        QVERIFY2(QRegularExpression("^Sequence completed.\nEffective time = \\d+mS.\n$")
                     .match(out)
                     .hasMatch(),
                 qPrintable(out + cli.readAllStandardError()));
    }
};

// As the programs do, end without Qt Multimedia's static teardown (see ExitAfterAudio).
int main(int argc, char* argv[]) {
    int code;
    {
        QCoreApplication app(argc, argv);
        TstAudioE2e test;
        code = QTest::qExec(&test, argc, argv);
    }
    ExitAfterAudio(code);
}

#include "tst_audio_e2e.moc"
