// End to end through the real sound stack: the player plays with the Qt backend into a PulseAudio
// null sink, the sink's monitor is recorded, and multimon-ng, a DTMF decoder nobody here wrote,
// must hear exactly the keys that were sent. The recording also shows the length of every tone
// and gap, which must hold while a message box or a stuck handler keeps the window's thread from
// the player; and push-to-talk, on a port fake that notes the time of each change of its line,
// must come down just after the last sample, never before. Hearing the board: a board made of
// parts nobody here wrote (board_on_air.sh: multimon-ng hears the command, ebook2cw made the Morse
// call it answers with) answers into a second sink, whose monitor is the program's receiver.
// Run beside with_pulse.sh.
#include <pty.h>
#include <signal.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTabWidget>

#include "app/frm_tone.h"
#include "config/config_file.h"
#include "fakes.h"
#include "python_csv.h"
#include "rigctld_process.h"
#include "session/send_log.h"
#include "session/sites.h"
#include "test_share.h"
#include "tone/keyed_send.h"
#include "tone/player.h"
#include "tone/system_audio_output.h"

#include <QLabel>
#include <QListWidget>

using namespace calvento;

namespace {

constexpr int kRecordRate = 22050;  // what multimon-ng reads

// The null sink's monitor recorded to a raw file (signed 16-bit, mono) while the object lives.
class Recording {
public:
    explicit Recording(const QString& sink = QStringLiteral("calvento_null"))
        : m_raw(m_dir.filePath("monitor.raw")) {
        m_parec.setStandardOutputFile(m_raw);
        m_parec.start("parec", {"-d", sink + ".monitor", "--format=s16le",
                                QStringLiteral("--rate=%1").arg(kRecordRate), "--channels=1",
                                "--latency-msec=20"});
        m_started = m_parec.waitForStarted(5000);
        QTest::qWait(500);  // the recording must run before the first tone
    }
    bool started() const { return m_started; }

    // Ends the recording once the tail of the sound has reached the monitor.
    void stop() {
        QTest::qWait(400);
        m_parec.terminate();
        m_parec.waitForFinished(5000);
    }

    // The keys multimon-ng decodes from the recording.
    QString keys() const {
        QProcess decoder;
        decoder.start("multimon-ng", {"-q", "-a", "DTMF", "-t", "raw", m_raw});
        if (!decoder.waitForFinished(60000)) return QStringLiteral("<multimon-ng did not finish>");
        QString keys;
        const QRegularExpression line(QStringLiteral("^DTMF: (.)"),
                                      QRegularExpression::MultilineOption);
        auto it = line.globalMatch(QString::fromLatin1(decoder.readAllStandardOutput()));
        while (it.hasNext()) keys += it.next().captured(1);
        return keys;
    }

    // The sounding stretches of the recording, as [start, end) in milliseconds: 2 ms windows
    // whose peak stands well above the silence of the null sink.
    QList<QPair<int, int>> tones() const {
        QFile f(m_raw);
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = f.readAll();
        const auto* s = reinterpret_cast<const int16_t*>(bytes.constData());
        const qsizetype n = bytes.size() / 2;
        constexpr int kWindow = kRecordRate / 500;
        QList<QPair<int, int>> out;
        bool inTone = false;
        for (qsizetype w = 0; w * kWindow < n; ++w) {
            int peak = 0;
            for (qsizetype i = w * kWindow; i < std::min(n, (w + 1) * kWindow); ++i)
                peak = std::max(peak, std::abs(int(s[i])));
            const int ms = static_cast<int>(w * 2);
            if (peak > 1000 && !inTone) out.append({ms, ms});
            if (peak > 1000) out.last().second = ms + 2;
            inTone = peak > 1000;
        }
        return out;
    }

private:
    QTemporaryDir m_dir;
    QString m_raw;
    QProcess m_parec;
    bool m_started = false;
};

// The board on the air (board_on_air.sh) while the object lives: it answers `command` with `call`
// in Morse made by ebook2cw at 25 WPM.
class BoardOnAir {
public:
    BoardOnAir(const QString& command, const QString& call) {
        QProcess cw;
        cw.setWorkingDirectory(m_dir.path());
        cw.start("ebook2cw", {"-O", "-w", "25", "-f", "700", "-s", "8000", "-o", "call"});
        cw.write(call.toLatin1() + "\n");
        cw.closeWriteChannel();
        cw.waitForFinished(30000);
        QProcess::execute("sox", {m_dir.filePath("call0000.ogg"), "-r", "48000", "-c", "1",
                                  m_dir.filePath("call.wav")});
        m_board.setProgram("setsid");  // its own process group: the pipeline ends with it
        m_board.setArguments({QStringLiteral(CALVENTO_E2E_DIR "/board_on_air.sh"), command,
                              m_dir.filePath("call.wav"), m_dir.filePath("answers")});
        m_board.start();
        m_board.waitForStarted(5000);
        QTest::qWait(700);  // the recorder runs before the first key
    }
    ~BoardOnAir() {
        ::kill(-static_cast<pid_t>(m_board.processId()), SIGTERM);
        m_board.waitForFinished(5000);
    }
    // How often it has answered.
    int answers() const {
        QFile f(m_dir.filePath("answers"));
        return f.open(QIODevice::ReadOnly) ? static_cast<int>(f.readAll().count('\n')) : -1;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_board;
};

// The real backend, with the moment the buffer went to the sound server noted.
class TimedAudio final : public AudioOutput {
public:
    int outputDeviceCount() override { return m_real.outputDeviceCount(); }
    int open(const PcmFormat& f) override { return m_real.open(f); }
    int prepare(const int16_t* d, size_t n) override { return m_real.prepare(d, n); }
    int write() override {
        const int r = m_real.write();
        writtenAt = clock.elapsed();
        return r;
    }
    bool done() override { return m_real.done(); }
    int64_t playedSamples() override { return m_real.playedSamples(); }
    int unprepare() override { return m_real.unprepare(); }
    int close() override { return m_real.close(); }
    int reset() override { return m_real.reset(); }

    QElapsedTimer clock;
    qint64 writtenAt = -1;

private:
    SystemAudioOutput m_real;
};

// A player on the real device with the given durations, and a push-to-talk port whose line
// changes are timed on the same clock as the audio.
struct Rig {
    TimedAudio audio;
    Player player{audio, SystemClock()};
    test::FakeSerialPort port;
    SerialLinePushToTalk ptt{port};
    qint64 keyedAt = -1, releasedAt = -1;
    SendSettings settings;

    Rig(int digitMs, int gapMs) {
        audio.clock.start();
        FillToneTable(player.toneTable());
        settings.digitMs = digitMs;
        settings.gapMs = gapMs;
        settings.txDelayMs = 20;
        player.setDurations(digitMs, gapMs, settings.pauseMs);
        QString error;
        port.open("ptt", &error);
        port.onRts = [this](bool on) { (on ? keyedAt : releasedAt) = audio.clock.elapsed(); };
    }
    int nominalMs(const std::string& keys) const {
        return static_cast<int>(SequenceLength(keys, player.timing()) / 8);
    }
    KeyedSendResult send(const std::string& keys) {
        return SendKeyed(player, SystemClock(), &ptt, keys, settings);
    }
    // How long after the audio's nominal end push-to-talk came down.
    qint64 releaseDelay(const std::string& keys) const {
        return releasedAt - (audio.writtenAt + nominalMs(keys));
    }
};

}  // namespace

class TstAudioE2e : public QObject {
    Q_OBJECT
private slots:
    void init() { test::RunOnlyThisShare(); }

    // Keys decoded back, the effective time near the buffer's length, and push-to-talk down 40
    // ms or a little more after the nominal end: the tail after the last sample, never earlier.
    void keyedSequencesPlayWholeAndReleaseAfterTheLastSample_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("digitMs");
        QTest::addColumn<int>("gapMs");
        QTest::newRow("shortest timing") << "12AB#" << 25 << 25;
        QTest::newRow("typical") << "159#D*0" << 60 << 40;
        QTest::newRow("long") << "0123456789*#ABCD0123456789" << 100 << 100;
    }
    void keyedSequencesPlayWholeAndReleaseAfterTheLastSample() {
        QFETCH(QString, keys);
        QFETCH(int, digitMs);
        QFETCH(int, gapMs);
        const std::string sequence = keys.toStdString();
        Recording recording;
        QVERIFY2(recording.started(), "parec did not start");
        Rig r(digitMs, gapMs);
        QVERIFY2(r.player.SoundCardPresent(), "no output device on the private sound server");

        const KeyedSendResult sent = r.send(sequence);
        QVERIFY2(sent.play.played, qPrintable(sent.play.failure));
        QVERIFY(sent.keyed && !sent.guardTripped);
        QVERIFY(!r.player.isPlaying() && !r.port.rts);

        const int nominal = r.nominalMs(sequence);
        const int effective = sent.play.effectiveTimeMs;
        const qint64 release = r.releaseDelay(sequence);
        qInfo(
            "%s: %d ms of audio, effective time %d ms (%+d), push-to-talk released %lld ms "
            "after the nominal end",
            qPrintable(keys), nominal, effective, effective - nominal, release);
        // Measured, not computed, and never shorter than the buffer; the upper bounds leave room
        // for a loaded machine (here: +30 to +50 ms and 45 to 60 ms).
        QVERIFY2(effective >= nominal - 5 && effective <= nominal + 400,
                 qPrintable(QStringLiteral("effective %1 ms").arg(effective)));
        QVERIFY2(release >= kPttTailMs && release <= 500,
                 qPrintable(QStringLiteral("released %1 ms after the end").arg(release)));

        recording.stop();
        QCOMPARE(recording.keys(), keys);
    }

    // A message box held open for 4 s during a sequence, or a handler that blocks the window's
    // thread as long, leaves every tone and every gap at its length: the sound server is fed from
    // a thread of its own. When the sequence ends under the box, push-to-talk comes down then,
    // not when the box goes.
    void tonesKeepTheirPaceWhileTheWindowIsHeld_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("modalBox");
        QTest::newRow("modal box, sequence longer than the box") << "1234567890" << true;
        QTest::newRow("blocked thread, sequence longer") << "1234567890" << false;
        QTest::newRow("modal box outlasting the sequence") << "1234" << true;
    }
    void tonesKeepTheirPaceWhileTheWindowIsHeld() {
        QFETCH(QString, keys);
        QFETCH(bool, modalBox);
        const std::string sequence = keys.toStdString();
        Recording recording;
        QVERIFY2(recording.started(), "parec did not start");
        Rig r(300, 300);

        qint64 boxClosedAt = -1;
        QTimer::singleShot(300, [&] {
            if (modalBox) {
                QMessageBox box(QMessageBox::Information, "Calvento", "Held open for 4 s");
                QTimer::singleShot(4000, &box, &QMessageBox::accept);
                box.exec();
            } else {
                QThread::msleep(4000);
            }
            boxClosedAt = r.audio.clock.elapsed();
        });
        const KeyedSendResult sent = r.send(sequence);
        QVERIFY2(sent.play.played, qPrintable(sent.play.failure));
        QVERIFY(boxClosedAt > 0);
        QVERIFY(!sent.guardTripped);
        const qint64 release = r.releaseDelay(sequence);
        qInfo(
            "%s, %s: push-to-talk released %lld ms after the nominal end, box closed %lld ms "
            "after it",
            qPrintable(keys), modalBox ? "modal box" : "blocked thread", release,
            boxClosedAt - (r.audio.writtenAt + r.nominalMs(sequence)));
        if (modalBox)
            QVERIFY2(release >= kPttTailMs && release <= 500, qPrintable(QString::number(release)));

        recording.stop();
        QCOMPARE(recording.keys(), keys);
        const auto tones = recording.tones();
        QCOMPARE(tones.size(), keys.size());
        int longestSilence = 0;
        for (qsizetype i = 0; i < tones.size(); ++i) {
            const int length = tones[i].second - tones[i].first;
            QVERIFY2(std::abs(length - 300) <= 30,
                     qPrintable(QStringLiteral("tone %1 lasts %2 ms").arg(i).arg(length)));
            if (i == 0) continue;
            const int gap = tones[i].first - tones[i - 1].second;
            longestSilence = std::max(longestSilence, gap);
            QVERIFY2(std::abs(gap - 300) <= 30,
                     qPrintable(QStringLiteral("gap %1 lasts %2 ms").arg(i).arg(gap)));
        }
        qInfo("longest silence inside the sequence: %d ms", longestSilence);
    }

    // Two sites in the real window, sounding through the real sound stack: F3 on site B sends
    // exactly B's user sequence (multimon-ng hears it from the null sink's monitor) keyed on B's
    // line, while site A's line, on before the switch, was never raised; a command button of B
    // sends its stored sequence; a refused confirmation sends nothing.
    void twoSitesInTheWindow() {
        QTemporaryDir home;
        qputenv("CALVENTO_HOME", home.path().toUtf8());
        qputenv("CALVENTO_COM1", "lineA");
        qputenv("CALVENTO_COM2", "lineB");
        DecoderConfig board;
        board.commands[8] = "208#";
        const QString boardFile = home.filePath("b.prg");
        {
            QFile f(boardFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray::fromStdString(FormatConfigFile(board, "3")));
        }
        QJsonArray user{QJsonObject{}, QJsonObject{{"name", "Gate"}, {"sequence", "*51#"}}};
        const QJsonArray sites{QJsonObject{{"name", "Default"}, {"pttOn", true}},
                               QJsonObject{{"name", "B"},
                                           {"configFile", boardFile},
                                           {"pttPort", "2"},
                                           {"programmingPort", "3"},
                                           {"ptt", "rts"},
                                           {"pttOn", true},
                                           {"digitMs", 80},
                                           {"gapMs", 60},
                                           {"txDelayMs", 50},
                                           {"userSequences", user}}};
        {
            QFile f(home.filePath("sites.json"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QJsonDocument(QJsonObject{{"sites", sites}}).toJson());
        }
        SystemAudioOutput audio;
        Clock& clock = SystemClock();
        Player player(audio, clock);
        test::FakeSerialPort programming, ptt;
        test::RecordingUi ui;
        QStringList lines;  // what each port's line did, in order
        ptt.journal = &lines;
        FrmTone w(player, programming, ui, clock, &ptt);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.findChild<QTabWidget*>("SSTab1")->setCurrentIndex(2);
        QVERIFY(lines.contains("open lineA"));  // Default's push-to-talk is on

        auto* chooser = w.findChild<QComboBox*>("cmbSite");
        chooser->setCurrentIndex(1);
        emit chooser->activated(1);
        QCOMPARE(w.currentSite(), 1);
        const QStringList onA = lines.mid(0, lines.indexOf("close"));
        QVERIFY2(!onA.contains("rts 1"), qPrintable(lines.join(", ")));

        {
            Recording recording;
            QVERIFY2(recording.started(), "parec did not start");
            QTest::keyClick(&w, Qt::Key_F3);
            recording.stop();
            QCOMPARE(recording.keys(), QStringLiteral("*51#"));
        }
        const QStringList onB = lines.mid(lines.indexOf("open lineB"));
        QVERIFY2(onB.contains("rts 1") && onB.lastIndexOf("rts 0") > onB.indexOf("rts 1"),
                 qPrintable(lines.join(", ")));
        {
            Recording recording;
            w.findChild<QPushButton*>("cmdCommand_8")->click();
            recording.stop();
            QCOMPARE(recording.keys(), QStringLiteral("208#"));
        }
        ui.confirmAnswer = false;
        {
            Recording recording;
            QTest::keyClick(&w, Qt::Key_F3);
            recording.stop();
            QCOMPARE(recording.keys(), QString());
        }
        QCOMPARE(ui.confirmations.size(), size_t(3));
        w.close();
        qunsetenv("CALVENTO_HOME");
    }

    // The tool hears the board: a command the board stores is answered and heard (status 0), one
    // it does not is not (status 3, after a full second send); the log keeps what was heard. The
    // board simulator on the air answers its own stored command the same way.
    void theToolHearsTheBoard() {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CALVENTO_HOME", home.path());
        QProcess cli;
        cli.setProcessEnvironment(env);
        {
            BoardOnAir board("208#", "IK2ABC");
            cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--expect", "ik2abc", "208#"});
            QVERIFY(cli.waitForFinished(30000));
            const QString out = QString::fromLatin1(cli.readAllStandardOutput());
            QVERIFY2(cli.exitCode() == 0 && out.contains(QRegularExpression(
                                                "\nHeard IK2ABC after [0-9]\\.[0-9] s\n$")),
                     qPrintable(out + cli.readAllStandardError()));
            cli.start(QStringLiteral(CALVENTO_CLI),
                      {"send", "--expect", "IK2ABC", "--listen", "3", "--retries", "1", "123"});
            QVERIFY(cli.waitForFinished(30000));
            const QString missed = QString::fromLatin1(cli.readAllStandardOutput());
            QVERIFY2(cli.exitCode() == 3 && missed.count("No reply heard") == 2 &&
                         missed.contains("Sending again (1 of 1)."),
                     qPrintable(missed + cli.readAllStandardError()));
            QCOMPARE(board.answers(), 1);
        }
        std::vector<QStringList> logged;
        QString why;
        QVERIFY(SendLog::read(home.filePath("logs/sends.csv"), &logged, &why));
        QCOMPARE(logged.size(), size_t(3));
        QCOMPARE(logged[0][14], QStringLiteral("IK2ABC"));
        QCOMPARE(logged[1][14], QStringLiteral("none"));
        QCOMPARE(logged[2][14], QStringLiteral("none"));

        QProcess sim;
        sim.start(QStringLiteral(CALVENTO_BOARD_SIM),
                  {"--air-input", "calvento_air", "--air-output", "calvento_second"});
        QVERIFY(sim.waitForReadyRead(5000));
        QTest::qWait(500);
        cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--no-log", "--expect", "SIM", "101"});
        QVERIFY(cli.waitForFinished(30000));
        sim.terminate();
        sim.waitForFinished(5000);
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardOutput() + sim.readAllStandardError());
    }

    // The console confirms a command end to end: the board's call is heard after the send and
    // shown with what the receiver heard, and the log keeps it.
    void theConsoleHearsTheBoard() {
        QTemporaryDir home;
        qputenv("CALVENTO_HOME", home.path().toUtf8());
        DecoderConfig board;
        board.commands[8] = "208#";
        board.cwCall = "IK2ABC";
        board.morseSpeed = "25";
        board.cwEnabled = 1;
        const QString boardFile = home.filePath("hill.prg");
        {
            QFile f(boardFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray::fromStdString(FormatConfigFile(board, "3")));
        }
        const QJsonArray sites{
            QJsonObject{{"name", "Hill"}, {"configFile", boardFile}, {"confirm", false}}};
        {
            QFile f(home.filePath("sites.json"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QJsonDocument(QJsonObject{{"sites", sites}}).toJson());
        }
        SystemAudioOutput audio;
        SystemAudioInput input;
        Player player(audio, SystemClock());
        test::FakeSerialPort programming;
        test::RecordingUi ui;
        FrmTone w(player, programming, ui, SystemClock());
        w.setAudioInput(&input);
        w.show();
        w.findChild<QTabWidget*>("SSTab1")->setCurrentIndex(2);
        auto* chooser = w.findChild<QComboBox*>("cmbSite");
        chooser->setCurrentIndex(1);
        emit chooser->activated(1);
        QCOMPARE(w.currentSite(), 1);
        {
            BoardOnAir onAir("208#", "IK2ABC");
            w.findChild<QPushButton*>("cmdCommand_8")->click();
            QCOMPARE(onAir.answers(), 1);
        }
        const QString status = w.findChild<QLabel*>("lblConsoleStatus")->text();
        QVERIFY2(status.contains(
                     QRegularExpression("completed in \\d+mS\\. Heard IK2ABC after \\d\\.\\d s$")),
                 qPrintable(status));
        auto* heard = w.findChild<QListWidget*>("lstHeard");
        QVERIFY(heard->count() >= 1);
        QVERIFY2(heard->item(heard->count() - 1)->text().endsWith("Morse  IK2ABC"),
                 qPrintable(heard->item(heard->count() - 1)->text()));
        std::vector<QStringList> logged;
        QString why;
        QVERIFY(SendLog::read(home.filePath("logs/sends.csv"), &logged, &why));
        QCOMPARE(logged.back().mid(2, 4),
                 QStringList({"Hill", "console", "8: Send Status", "208#"}));
        QCOMPARE(logged.back()[14], QStringLiteral("IK2ABC"));
        w.close();
        qunsetenv("CALVENTO_HOME");
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

    // Every send of the tool is a line of the log, written before the tool says anything: a tool
    // killed (SIGKILL) as soon as it has printed its outcome leaves that line whole; a log that
    // cannot be written is told and the send still succeeds; --no-log writes nothing.
    void theCommandLineLogsEverySend() {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CALVENTO_HOME", home.path());
        const QString logPath = home.filePath("logs/sends.csv");
        auto rows = [&] {
            return test::RunPythonOnCsv(
                "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8',newline='')))\n"
                "print(len(rows)-1); print(rows[-1][3], rows[-1][5], rows[-1][12])",
                logPath);
        };
        QProcess cli;
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--digit", "10", "12"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(rows(), QStringLiteral("1\ntool 12 completed\n"));

        cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--digit", "10", "34"});
        QVERIFY(cli.waitForReadyRead(30000));  // the outcome is out: the line is already there
        QProcess::execute("kill", {"-KILL", QString::number(cli.processId())});
        cli.waitForFinished(5000);
        QCOMPARE(rows(), QStringLiteral("2\ntool 34 completed\n"));

        cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--no-log", "--digit", "10", "5"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(rows(), QStringLiteral("2\ntool 34 completed\n"));

        // The log as the tool prints it: the header and the two sends, or one site's, or none
        // from a later date.
        QProcess log;
        log.setProcessEnvironment(env);
        for (const auto& [args, lines] :
             {std::pair{QStringList{"log"}, 3},
              std::pair{QStringList{"log", "--site", "Default"}, 3},
              std::pair{QStringList{"log", "--site", "Elsewhere"}, 1},
              std::pair{QStringList{"log", "--since", "2999-01-01"}, 1}}) {
            log.start(QStringLiteral(CALVENTO_CLI), args);
            QVERIFY(log.waitForFinished(10000));
            QCOMPARE(log.exitCode(), 0);
            const QByteArray printed = log.readAllStandardOutput();
            QVERIFY2(
                printed.startsWith("utc_time,local_time,site,") && printed.count('\n') == lines,
                printed.constData());
        }
        log.start(QStringLiteral(CALVENTO_CLI), {"log", "--since", "yesterday"});
        QVERIFY(log.waitForFinished(10000));
        QCOMPARE(log.exitCode(), 2);

        QVERIFY(QFile::rename(logPath, home.filePath("kept.csv")));
        QVERIFY(QDir(home.path()).rmdir("logs"));
        QVERIFY(QFile(home.filePath("logs")).open(QIODevice::WriteOnly));  // a file in the way
        cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--digit", "10", "6"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(cli.readAllStandardError().contains("The send log could not be written: "));
        QVERIFY(cli.readAllStandardOutput().startsWith("Sequence completed."));
    }

    // A stored command of a site, sent by its name with the site's durations: the sink hears
    // exactly that command, and the log names the site and the command. Mistakes are told.
    void theCommandLineSendsASitesCommand() {
        QTemporaryDir home;
        QFile prg(QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg"));
        QVERIFY(prg.open(QIODevice::ReadOnly));
        DecoderConfig config =
            ConfigFromFileValues(ReadConfigFile(prg.readAll().toStdString()).values);
        config.commands[8] = "159#";
        const QString boardB = home.filePath("b.prg");
        QFile out(boardB);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray::fromStdString(FormatConfigFile(config, "2")));
        out.close();
        Site b;
        b.name = "Repeater B";
        b.configFile = boardB;
        b.settings = {80, 60, 300, 200};
        QString why;
        QVERIFY2(SaveSites(home.filePath("sites.json"), {Site{}, b}, &why), qPrintable(why));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CALVENTO_HOME", home.path());
        QProcess cli;
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(CALVENTO_CLI), {"sites"});
        QVERIFY(cli.waitForFinished(10000));
        QVERIFY(
            cli.readAllStandardOutput().contains("\nRepeater B\t" + boardB.toUtf8() + "\t1\toff"));

        Recording recording;
        QVERIFY(recording.started());
        cli.start(QStringLiteral(CALVENTO_CLI),
                  {"send", "--site", "Repeater B", "--command", "Send Status"});
        QVERIFY(cli.waitForFinished(30000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        recording.stop();
        QCOMPARE(recording.keys(), QStringLiteral("159#"));
        std::vector<QStringList> logged;
        QVERIFY(SendLog::read(home.filePath("logs/sends.csv"), &logged, &why));
        QCOMPARE(logged.size(), size_t(1));
        QCOMPARE(logged[0].mid(2, 4),
                 QStringList({"Repeater B", "tool", "8: Send Status", "159#"}));
        QCOMPARE(logged[0][6], QStringLiteral("80"));

        for (const auto& [args, status] :
             {std::pair{QStringList{"--site", "Nowhere", "--command", "8"}, 1},
              std::pair{QStringList{"--site", "Repeater B", "--command", "18"}, 2},
              std::pair{QStringList{"--site", "Repeater B", "--command", "8", "--digit", "5"}, 2},
              std::pair{QStringList{"--site", "Repeater B", "123"}, 2}}) {
            cli.start(QStringLiteral(CALVENTO_CLI), QStringList{"send"} + args);
            QVERIFY(cli.waitForFinished(30000));
            QCOMPARE(cli.exitCode(), status);
        }
    }

    // The device a script names plays the tones, not the default one: a second null sink stands
    // for a USB sound interface.
    void theCommandLinePlaysOnTheChosenDevice() {
        QProcess list;
        list.start(QStringLiteral(CALVENTO_CLI), {"devices"});
        QVERIFY(list.waitForFinished(10000));
        QCOMPARE(list.exitCode(), 0);
        QString secondId;
        const QStringList lines =
            QString::fromUtf8(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        for (const QString& line : lines) {
            QVERIFY2(line.count('\t') == 1, qPrintable(line));
            if (line.endsWith("\tSecond")) secondId = line.section('\t', 0, 0);
        }
        QVERIFY2(!secondId.isEmpty(), qPrintable(lines.join('\n')));
        QVERIFY(!lines.first().endsWith("\tSecond"));  // the default comes first

        Recording second(QStringLiteral("calvento_second"));
        Recording first;
        QVERIFY(second.started() && first.started());
        QProcess cli;
        cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--device", secondId, "159#"});
        QVERIFY(cli.waitForFinished(30000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        second.stop();
        first.stop();
        QCOMPARE(second.keys(), QStringLiteral("159#"));
        QCOMPARE(first.keys(), QString());

        cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--device", "no-such-sink", "1"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(cli.readAllStandardError().contains("calvento-cli devices lists them"));
    }

    // Keyed through Hamlib's network client: a running rigctld shows the transmitter keyed
    // while the sequence plays, and released when the tool has ended.
    void theCommandLineKeysRigctld() {
        test::Rigctld daemon;
        QVERIFY2(daemon.start(), "rigctld did not start");
        const QString address = daemon.address;
        auto state = [&] { return daemon.state(); };
        QCOMPARE(state(), QStringLiteral("0"));
        QProcess cli;
        cli.start(QStringLiteral(CALVENTO_CLI),
                  {"send", "--rig", "2", "--rig-port", address, "--digit", "700", "123"});
        QVERIFY(cli.waitForStarted(5000));
        QTRY_COMPARE(state(), QStringLiteral("1"));
        QVERIFY(cli.waitForFinished(30000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        QCOMPARE(state(), QStringLiteral("0"));

        cli.start(QStringLiteral(CALVENTO_CLI),
                  {"send", "--rig", "2", "--rig-port", "127.0.0.1:1", "1"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(cli.readAllStandardError().contains("Hamlib could not open rig model 2"));
    }

    // rigctld killed or frozen while the tool keys through it: the release fails within a few
    // seconds (not the minute Hamlib's defaults would wait) and the tool says the transmitter
    // may still be keyed, with status 1, never "Sequence completed.".
    void theCommandLineNamesADeadOrFrozenRigctld_data() {
        QTest::addColumn<bool>("frozen");
        QTest::newRow("killed") << false;
        QTest::newRow("frozen") << true;
    }
    void theCommandLineNamesADeadOrFrozenRigctld() {
        QFETCH(bool, frozen);
        test::Rigctld daemon;
        QVERIFY2(daemon.start(), "rigctld did not start");
        QProcess cli;
        cli.start(QStringLiteral(CALVENTO_CLI),
                  {"send", "--rig", "2", "--rig-port", daemon.address, "--digit", "300", "12345"});
        QVERIFY(cli.waitForStarted(5000));
        QTRY_COMPARE(daemon.state(), QStringLiteral("1"));
        QElapsedTimer sinceFault;
        sinceFault.start();
        if (frozen) {
            daemon.freeze(true);
        } else {
            daemon.process.kill();
        }
        QVERIFY(cli.waitForFinished(30000));
        qInfo("the tool ended %lld ms after the fault",
              static_cast<long long>(sinceFault.elapsed()));
        QVERIFY(sinceFault.elapsed() < 8000);
        QCOMPARE(cli.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
        QVERIFY2(
            err.contains("The transmitter may still be keyed: Hamlib rig 2 on " + daemon.address),
            qPrintable(err));
        QVERIFY(!cli.readAllStandardOutput().contains("Sequence completed."));
    }

    // A script is told at once when the transmitter cannot be keyed (a pseudo-terminal has no
    // RTS line), and nothing goes out unkeyed.
    void theCommandLineRefusesAnUnkeyedSend_data() {
        QTest::addColumn<QStringList>("line");
        QTest::newRow("RTS") << QStringList{};
        QTest::newRow("DTR inverted") << QStringList{"--ptt-line", "dtr", "--ptt-invert"};
    }
    void theCommandLineRefusesAnUnkeyedSend() {
        QFETCH(QStringList, line);
        int master = -1, slave = -1;
        char name[256] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        QProcess cli;
        cli.start(QStringLiteral(CALVENTO_CLI),
                  QStringList{"send", "--ptt", name} + line + QStringList{"--digit", "2000", "12"});
        QVERIFY(cli.waitForFinished(3000));  // the sequence alone would take 4 s
        QCOMPARE(cli.exitCode(), 1);
        const QString error = QString::fromLocal8Bit(cli.readAllStandardError());
        QVERIFY2(error.contains("The transmitter was not keyed, nothing was sent") &&
                     error.contains(QString::fromLatin1(name)) &&
                     error.contains(line.isEmpty() ? "no RTS line" : "no DTR line"),
                 qPrintable(error));
        QVERIFY(cli.readAllStandardOutput().isEmpty());
        ::close(slave);
        ::close(master);
    }

    // Ctrl+C or a termination signal in the middle of a sequence stops it at once, with the
    // shell's status for the signal.
    void theCommandLineStopsOnASignal_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << 2;
        QTest::newRow("SIGTERM") << 15;
    }
    void theCommandLineStopsOnASignal() {
        QFETCH(int, signal);
        QProcess cli;
        cli.start(QStringLiteral(CALVENTO_CLI), {"send", "--digit", "1000", "0123456789"});
        QVERIFY(cli.waitForStarted(5000));
        QTest::qWait(1500);
        QElapsedTimer sinceSignal;
        sinceSignal.start();
        QProcess::execute("kill",
                          {QStringLiteral("-%1").arg(signal), QString::number(cli.processId())});
        QVERIFY(cli.waitForFinished(5000));
        QVERIFY2(sinceSignal.elapsed() < 2000, "the sequence went on after the signal");
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 128 + signal);
        QVERIFY(cli.readAllStandardError().contains("stopped by signal"));
    }
};

// As the programs do, end without Qt Multimedia's static teardown (see ExitAfterAudio).
int main(int argc, char* argv[]) {
    int code;
    {
        QApplication app(argc, argv);
        TstAudioE2e test;
        code = QTest::qExec(&test, argc, argv);
    }
    ExitAfterAudio(code);
}

#include "tst_audio_e2e.moc"
