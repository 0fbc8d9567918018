// calvento-cli run as a script would run it: its output compared with what the window's own
// code produces (samples, image bytes, messages), its exit statuses, its board exchange against
// calvento-board-sim, and a long random sequence decoded back by multimon-ng.
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "board_sim_process.h"
#include "config/config_file.h"
#include "config/decoder_config.h"
#include "fakes.h"
#include "rigctld_process.h"
#include "test_share.h"
#include "tone/player.h"

using namespace calvento;

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QString err;
};

Run cli(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(QStringLiteral(CALVENTO_CLI), args);
    p.waitForStarted(5000);
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The buffer the window's player hands the sound device for the same sequence and durations.
std::vector<int16_t> playerBuffer(const std::string& seq, int digit, int gap, int pause) {
    test::FakeAudioOutput audio;
    test::FakeClock clock;
    Player player(audio, clock);
    FillToneTable(player.toneTable());
    player.setDurations(digit, gap, pause);
    player.SuonaSequenza(seq);
    return audio.written;
}

}  // namespace

class TstCli : public QObject {
    Q_OBJECT
private slots:
    void init() { test::RunOnlyThisShare(); }

    void synthIsThePlayersBuffer_data() {
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<int>("digit");
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("pause");
        QTest::newRow("defaults") << "0123456789*#ABCD" << 60 << 40 << 300;
        QTest::newRow("spaces and small d") << " 1 #  *d9 " << 25 << 15 << 25;
        QTest::newRow("zero durations") << "12 3" << 0 << 0 << 0;
        QTest::newRow("long tones") << "159#D*0" << 2000 << 500 << 1000;
    }
    void synthIsThePlayersBuffer() {
        QFETCH(QString, sequence);
        QFETCH(int, digit);
        QFETCH(int, gap);
        QFETCH(int, pause);
        const Run r =
            cli({"synth", "--digit", QString::number(digit), "--gap", QString::number(gap),
                 "--pause", QString::number(pause), "--raw", "-", sequence});
        QCOMPARE(r.status, 0);
        // The window's filter makes small a-d capitals before the player sees them.
        const std::vector<int16_t> expected =
            playerBuffer(sequence.toUpper().toStdString(), digit, gap, pause);
        QCOMPARE(r.out.size(), qsizetype(expected.size() * 2));
        QVERIFY(std::memcmp(r.out.constData(), expected.data(), expected.size() * 2) == 0);
        QVERIFY(r.err.startsWith(QString::number(expected.size()) + " samples"));
    }

    void synthWritesAWaveFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.wav");
        QCOMPARE(cli({"synth", "--wav", path, "1"}).status, 0);
        const QByteArray wav = fileBytes(path);
        QVERIFY(wav.startsWith("RIFF"));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 24), 8000u);
        QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 34), quint16(16));
        QCOMPARE(wav.size(), 44 + 481 * 2);  // 60 ms + 1 sample
    }

    void imageMatchesTheEncoder() {
        QTemporaryDir dir;
        const QString prg = QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg");
        const Run enc = cli({"image", "encode", prg});
        QCOMPARE(enc.status, 0);
        const QByteArray file = fileBytes(prg);
        const EncodeResult expected =
            EncodeConfig(ConfigFromFileValues(ReadConfigFile(file.toStdString()).values));
        QVERIFY(expected.ok);
        QCOMPARE(enc.out,
                 QByteArray(reinterpret_cast<const char*>(expected.image.data()), kImageSize));
        // And back: decode gives a file that encodes to the same bytes.
        const QString img = dir.filePath("b.bin");
        QCOMPARE(cli({"image", "encode", prg, "-o", img}).status, 0);
        const QString back = dir.filePath("back.prg");
        QCOMPARE(cli({"image", "decode", img, "-o", back}).status, 0);
        QVERIFY(fileBytes(back).endsWith("\"1\"\r\n"));
        QCOMPARE(cli({"image", "encode", back}).out, enc.out);
    }

    void refusalsAndMistakes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("replace refused in the window's words")
            << QStringList{"replace", "--modifier", "*0", "--checksum", "#", "12*0", "3"} << 1
            << "Original Sequence ends with Modifier ID Sequence.\nPlease modify Original "
               "Sequence.";
        QTest::newRow("replace: a small modifier ends the original")
            << QStringList{"replace", "--modifier", "A", "--checksum", "#", "12a", "3"} << 1
            << "Original Sequence ends with Modifier ID Sequence.";
        QTest::newRow("replace: original over 10 keys")
            << QStringList{"replace", "--modifier", "*0", "--checksum", "#", "12345678901", "3"}
            << 1 << "Original Sequence has more than 10 keys.";
        QTest::newRow("replace: checksum of two keys")
            << QStringList{"replace", "--modifier", "*0", "--checksum", "#1", "12", "3"} << 1
            << "Checksum ID: only one key is allowed.";
        QTest::newRow("replace: a character that is no key")
            << QStringList{"replace", "--modifier", "*0", "--checksum", "#", "12", "3+"} << 1
            << "The New Sequence holds \"+\", which is not a DTMF key.";
        QTest::newRow("synth: a character that is no key")
            << QStringList{"synth", "--raw", "-", "12XY"} << 1
            << "The sequence holds \"X\", which is not a DTMF key.";
        QTest::newRow("send: empty sequence")
            << QStringList{"send", ""} << 1 << "The sequence is empty.";
        QTest::newRow("read: output that cannot be written")
            << QStringList{"read", "--port", "/dev/no-such-tty", "-o", "/no/such/dir/b.prg"} << 1
            << "Cannot write /no/such/dir/b.prg";
        QTest::newRow("encode check fails")
            << QStringList{"image", "encode", "-"} << 1 << "Please insert a valid Morse Speed";
        QTest::newRow("missing file") << QStringList{"image", "encode", "/no/such.prg"} << 1
                                      << "Unable to load data file /no/such.prg: File not found";
        QTest::newRow("not an image")
            << QStringList{"image", "decode", CALVENTO_DATA_DIR "/Default31.prg"} << 1
            << "is not a board image";
        QTest::newRow("no command") << QStringList{} << 2 << "usage:";
        QTest::newRow("unknown option")
            << QStringList{"synth", "--fast", "1"} << 2 << "unknown option --fast";
        QTest::newRow("negative duration")
            << QStringList{"synth", "--digit", "-5", "--raw", "-", "1"} << 2
            << "--digit takes a whole number";
        QTest::newRow("both outputs")
            << QStringList{"synth", "--raw", "a", "--wav", "b", "1"} << 2 << "either";
        QTest::newRow("port out of range")
            << QStringList{"read", "--port", "17"} << 1 << "Please enter a valid Comm number.";
        QTest::newRow("port that is not there")
            << QStringList{"read", "--port", "/dev/no-such-tty"} << 1
            << "Not able to open /dev/no-such-tty: No such file or directory";
        QTest::newRow("ptt: only off")
            << QStringList{"ptt", "on", "--port", "1"} << 2 << "ptt takes off --port PORT";
        QTest::newRow("ptt off: a port or a rig")
            << QStringList{"ptt", "off"} << 2 << "ptt takes off --port PORT";
        QTest::newRow("ptt off: a pseudo-terminal has no RTS")
            << QStringList{"ptt", "off", "--port", "/dev/ptmx"} << 1
            << "The transmitter on /dev/ptmx may still be keyed";
        QTest::newRow("ports takes nothing")
            << QStringList{"ports", "x"} << 2 << "ports takes nothing";
    }
    void refusalsAndMistakes() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        // A configuration whose speed is refused, on standard input.
        const QByteArray badSpeed =
            QByteArray(
                "0\r\n0\r\n0\r\n0\r\n\"1\",\"#\",1,\"999\",\"\",\"1\",\"1\",1,\"1\",\"2\"\r\n") +
            QByteArray("\"\"\r\n").repeated(18) + "\"1\"\r\n";
        const Run r =
            cli(args, args.contains("-") && args.contains("encode") ? badSpeed : QByteArray());
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    void helpListsEveryCommand() {
        const Run r = cli({"--help"});
        QCOMPARE(r.status, 0);
        for (const char* c :
             {"synth", "send", "replace", "image encode", "image decode", "read", "program"})
            QVERIFY2(r.out.contains(QByteArray("calvento-cli ") + c), c);
        QCOMPARE(cli({"--version"}).out, QByteArray("calvento-cli 3.1\n"));
    }

    void readAndProgramTheSimulatedBoard() {
        test::Sim sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString out = dir.filePath("board.prg");
        Run r = cli({"read", "--port", sim.device, "-o", out});
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        QVERIFY(r.out.contains("DTMF Decoder v3.1 by Kolbex detected."));
        QVERIFY(r.out.contains("Data from DTMF Decoder v3.1 by Kolbex successfully read"));
        QVERIFY(fileBytes(out).contains("\"SIM\""));

        // Programming keeps the board's configuration first: the backup decodes to the image
        // the simulator held before, and its path is printed.
        const DecoderImage before = sim.image();
        const QString prg = QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg");
        const QString backups = dir.filePath("backups");
        r = cli({"program", "--port", sim.device, "--backup-dir", backups, prg});
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        const QStringList kept = QDir(backups).entryList({"board-*.prg"});
        QCOMPARE(kept.size(), 1);
        QVERIFY(r.out.contains("Backup of the board's configuration: " +
                               QDir::toNativeSeparators(QDir(backups).filePath(kept[0])).toUtf8()));
        const Run backupImage = cli({"image", "encode", QDir(backups).filePath(kept[0])});
        QCOMPARE(backupImage.out,
                 QByteArray(reinterpret_cast<const char*>(before.data()), kImageSize));
        // The status names the device the tool uses.
        QVERIFY(r.out.contains("Sending data on " + sim.device.toLatin1() + "....."));
        QVERIFY(r.out.contains("successfully programmed"));
        QCOMPARE(fileBytes(sim.savePath()), cli({"image", "encode", prg}).out);

        // Read without -o: the file on standard output, the status texts on standard error.
        r = cli({"read", "--port", sim.device});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("0\r\n"));
        QVERIFY(r.out.contains("\"CALV\""));
        QVERIFY(r.err.contains("successfully read"));
    }

    // diff as diff does: the differing fields one a line, exit 1; equal files print nothing,
    // exit 0; a file that cannot be read, exit 2.
    void diffNamesTheFieldsThatDiffer() {
        QTemporaryDir dir;
        const QString a = QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg");
        const QString b = dir.filePath("b.prg");
        const QString broken = dir.filePath("broken.prg");
        DecoderConfig c = ConfigFromFileValues(ReadConfigFile(fileBytes(a).toStdString()).values);
        const std::string oldCommand = c.commands[3], oldCall = c.cwCall;
        c.commands[3] = "4321";
        c.cwCall = "IZ0XYZ";
        writeBytes(b, QByteArray::fromStdString(FormatConfigFile(c, "1")));
        writeBytes(broken, "\"1\",\"2");

        Run r = cli({"diff", a, b});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QByteArray("CW Call: " + QByteArray::fromStdString(oldCall) +
                                   " -> IZ0XYZ\n3: Output 2 OFF: " +
                                   QByteArray::fromStdString(oldCommand) + " -> 4321\n"));
        r = cli({"diff", a, a});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(cli({"diff", a, dir.filePath("missing.prg")}).status, 2);
        QCOMPARE(cli({"diff", broken, a}).status, 2);
    }

    // The trace of a read: the switch-on identify, the run's identify and read commands, and
    // every byte of the data reply, each line with its time and direction.
    void aTraceHoldsEveryByteOfARead() {
        test::Sim sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.txt");
        const Run r =
            cli({"read", "--port", sim.device, "--trace", trace, "-o", dir.filePath("board.prg")});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QStringList lines =
            QString::fromLatin1(fileBytes(trace)).split('\n', Qt::SkipEmptyParts);
        const QRegularExpression form(QStringLiteral("^\\d+\\.\\d{3} ([<>!]) (.*)$"));
        QByteArray sent, received;
        for (const QString& line : lines) {
            const auto m = form.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            const QByteArray bytes = QByteArray::fromHex(m.captured(2).toLatin1());
            (m.captured(1) == ">" ? sent : received) += bytes;
        }
        QCOMPARE(sent, QByteArray("\xFF\xCC\xFF\xCC\xFF\xAA\xFF\x99", 8));
        // Two identifications (FF AA, the text, CR LF, the sum: 32 bytes), then the data reply
        // (FF FF, the board's 208 bytes, the sum: 211).
        QCOMPARE(received.size(), 32 + 32 + 211);
        QCOMPARE(received.mid(64, 2), QByteArray("\xFF\xFF", 2));
        const DecoderImage board = sim.image();
        QCOMPARE(received.mid(66, kImageSize),
                 QByteArray(reinterpret_cast<const char*>(board.data()), kImageSize));
    }

    // A board that never answers: the trace marks the wait that ended without a reply.
    void aTraceMarksAWaitWithoutAReply() {
        test::Sim sim;
        QVERIFY(sim.start({"--silent"}));
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.txt");
        QCOMPARE(cli({"read", "--port", sim.device, "--trace", trace}).status, 1);
        // Both waits: the switch-on's and the run's own.
        for (const char* wait : {" ! the switch-on identification wait of 100 ms ended without a "
                                 "reply",
                                 " ! the identification wait of 100 ms ended without a reply"})
            QVERIFY2(fileBytes(trace).contains(wait), fileBytes(trace).constData());
    }

    // Boards at their real speed that answer wrong or not at all: a failure text printed once
    // with its line ended, the flush, exit 1; a read never writes its file.
    void boardFailures_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<bool>("program");
        QTest::addColumn<QString>("text");
        const QString readFailed = "FAILED to read data!  Please check Connections / Decoder";
        const QString programFailed =
            "FAILED to read data!  Unable to program, please check Decoder";
        const QString noBackup =
            "No backup of the board's configuration could be read: nothing "
            "was written";
        QTest::newRow("silent board, read")
            << QStringList{"--silent"} << false
            << "FAILED to read version! Please Check Connections / Decoder";
        QTest::newRow("data cut after 120 bytes, read")
            << QStringList{"--partial", "120"} << false << readFailed;
        QTest::newRow("no data reply, read") << QStringList{"--no-data"} << false << readFailed;
        QTest::newRow("read-back cut after 120 bytes, program without a backup")
            << QStringList{"--partial", "120"} << true << programFailed;
        QTest::newRow("no read-back, program without a backup")
            << QStringList{"--no-data"} << true << programFailed;
        QTest::newRow("backup read cut after 120 bytes, program")
            << QStringList{"--partial", "120"} << true << noBackup;
        QTest::newRow("no backup read, program") << QStringList{"--no-data"} << true << noBackup;
        QTest::newRow("no read-back, program: written, not verified")
            << QStringList{"--no-data"} << true
            << "The board was written but not verified: calvento-cli read --port";
        QTest::newRow("cable pulled after two packets, program without a backup")
            << QStringList{"--hang-up-after-packets", "2"} << true
            << "The board may now hold part of the new configuration. No backup was taken "
               "before the write.";
    }
    void boardFailures() {
        QFETCH(QStringList, simOptions);
        QFETCH(bool, program);
        QFETCH(QString, text);
        test::Sim sim;
        QVERIFY(sim.start(simOptions));
        QTemporaryDir dir;
        const QString out = dir.filePath("board.prg");
        const bool withBackup = text.startsWith("No backup");
        QStringList args{"read", "--port", sim.device};
        if (program)
            args = QStringList{"program", "--port", sim.device,
                               withBackup ? "--backup-dir" : "--no-backup"} +
                   (withBackup ? QStringList{dir.path()} : QStringList{}) +
                   QStringList{QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg")};
        const Run r = cli(args);
        QVERIFY2(r.status == 1 && r.err.count(text) == 1, qPrintable(r.err + r.out));
        // A backup that could not be read stops the run before any write command.
        if (withBackup) QVERIFY(!sim.received().contains(QByteArray("\xFF\xFF", 2)));
        QVERIFY2(r.err.endsWith('\n'), qPrintable(r.err));
        QVERIFY(!r.out.contains("successfully"));
        if (!program) QVERIFY(r.out.isEmpty());
        if (!simOptions.contains("--hang-up-after-packets"))
            QTRY_VERIFY(sim.received().contains(QByteArray(256, ' ')));
    }

    // A port the user may not open says so with the system's reason and the group to join. A
    // pseudo-terminal of root's with mode 0600, opened as another user; only root can set that up.
    void aPortWithoutPermissionSaysWhy() {
        if (geteuid() != 0) QSKIP("needs root to open the port as another user");
        int master = -1, slave = -1;
        char name[256] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        QVERIFY(chmod(name, 0600) == 0 && chown(name, 0, 0) == 0);
        // The build tree may lie in a home folder that other users cannot enter: the tool runs
        // from a copy in a folder they can.
        QTemporaryDir reachable(QStringLiteral("/tmp/calvento-cli-XXXXXX"));
        const QString tool = reachable.filePath("calvento-cli");
        QVERIFY(QFile::copy(QStringLiteral(CALVENTO_CLI), tool));
        QVERIFY(chmod(qPrintable(reachable.path()), 0755) == 0 &&
                chmod(qPrintable(tool), 0755) == 0);
        QProcess p;
        p.start("runuser", {"-u", "nobody", "--", tool, "read", "--port", name});
        QVERIFY(p.waitForFinished(30000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        close(slave);
        close(master);
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(err.contains(QStringLiteral("%1: Permission denied (is your user in the dialout "
                                             "group?)")
                                  .arg(name)),
                 qPrintable(err));
    }

    // The tool's edges: odd and huge inputs, output that cannot be written, usage mistakes.
    // Every row's outcome is what a script can rely on: the status and one line saying why.
    void edges_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("stdoutFile");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString prg = QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg");
        QByteArray nul = fileBytes(prg);
        nul.replace("\"301\"", QByteArray("\"3\0001\"", 5));  // command 4
        QTest::newRow("replace: the new sequence holds the checksum key")
            << QStringList{"replace", "--modifier", "*0*", "--checksum", "#", "101", "AB#"}
            << QByteArray() << QString() << 1
            << "The New Sequence holds the Checksum ID key \"#\".";
        QTest::newRow("replace: standard output on a full disk")
            << QStringList{"replace", "--modifier", "*0*", "--checksum", "#", "101", "ABC"}
            << QByteArray() << "/dev/full" << 1
            << "Cannot write to standard output: No space left on device";
        QTest::newRow("image encode: standard output on a full disk")
            << QStringList{"image", "encode", prg} << QByteArray() << "/dev/full" << 1
            << "Cannot write to standard output: No space left on device";
        QTest::newRow("help: standard output on a full disk")
            << QStringList{"--help"} << QByteArray() << "/dev/full" << 1
            << "Cannot write to standard output";
        QTest::newRow("diff: an endless file")
            << QStringList{"diff", "/dev/zero", prg} << QByteArray() << QString() << 2
            << "Unable to load data file /dev/zero: it is larger than any such file";
        QTest::newRow("image decode: an endless file")
            << QStringList{"image", "decode", "/dev/zero"} << QByteArray() << QString() << 1
            << "Unable to load data file /dev/zero: it is larger than any such file";
        QTest::newRow("image encode: a NUL byte in a command")
            << QStringList{"image", "encode", "-"} << nul << QString() << 1
            << "Command #4: the byte 0x00 is not a DTMF key.";
        QTest::newRow("send: an unknown push-to-talk type is a usage error")
            << QStringList{"send", "--rig", "1", "--rig-port", "x", "--ptt-type", "bogus", "1"}
            << QByteArray() << QString() << 2 << "--ptt-type takes rig, dtr, rts or cm108";
        QTest::newRow("send: an unknown line is a usage error")
            << QStringList{"send", "--ptt", "1", "--ptt-line", "cts", "1"} << QByteArray()
            << QString() << 2 << "--ptt-line takes rts or dtr";
        QTest::newRow("read: a path that is no port is named as given")
            << QStringList{"read", "--port", "/dev/null"} << QByteArray() << QString() << 1
            << "Not able to open /dev/null: ";
        QTest::newRow("program: a backup folder that cannot be made")
            << QStringList{"program", "--port", "/dev/null", "--backup-dir", "/dev/null/b", prg}
            << QByteArray() << QString() << 1 << "Not able to open /dev/null: ";
    }
    void edges() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, stdoutFile);
        QFETCH(int, status);
        QFETCH(QString, message);
        QProcess p;
        if (!stdoutFile.isEmpty()) p.setStandardOutputFile(stdoutFile);
        p.start(QStringLiteral(CALVENTO_CLI), args);
        QVERIFY(p.waitForStarted(5000));
        p.write(input);
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(30000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), status);
        QVERIFY2(err.count(message) == 1, qPrintable(err));
    }

    void helpTellsEveryStatus() {
        const Run r = cli({"--help"});
        for (const char* text : {"128+N", "130 Ctrl+C", "143 SIGTERM", "held at 2000",
                                 "2    wrong usage", "may still"})
            QVERIFY2(r.out.contains(text), text);
        QProcess sim;
        sim.start(QStringLiteral(CALVENTO_BOARD_SIM), {"--help"});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        const QByteArray help = sim.readAllStandardOutput();
        for (const char* flag :
             {"--link", "--image", "--save", "--log", "--instant", "--id", "--silent", "--no-data",
              "--bad-id-sum", "--bad-data-sum", "--late", "--bad-byte", "--noise", "--partial",
              "--store-differs", "--hang-up-after-packets"})
            QVERIFY2(help.count(flag) >= 2, flag);  // in the usage line and explained
        QVERIFY(help.contains("Exit status"));
    }

    // A trace that cannot be written fails the run that wrote it, with the system's reason.
    void aTraceOnAFullDiskFails() {
        test::Sim sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const Run r = cli({"read", "--port", sim.device, "--trace", "/dev/full", "-o",
                           dir.filePath("board.prg")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.count("The trace could not be written to /dev/full: No space left on "
                             "device") == 1,
                 qPrintable(r.err));
    }

    // Two programs into one backup folder at the same time: each board's backup is kept, in a
    // file of its own, and each run prints the path of its own.
    void twoRunsAtOnceKeepBothBackups() {
        QTemporaryDir dir;
        const QString prg = QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg");
        // The second board holds another configuration, so that the backups tell them apart.
        DecoderConfig other =
            ConfigFromFileValues(ReadConfigFile(fileBytes(prg).toStdString()).values);
        other.cwCall = "OTHER";
        const EncodeResult otherImage = EncodeConfig(other);
        QVERIFY(otherImage.ok);
        const QString imageFile = dir.filePath("other.bin");
        writeBytes(imageFile,
                   QByteArray(reinterpret_cast<const char*>(otherImage.image.data()), kImageSize));
        test::Sim a, b;
        QVERIFY(a.start() && b.start({"--image", imageFile}));
        const DecoderImage before[2] = {a.image(), b.image()};
        const QString backups = dir.filePath("backups");
        QProcess runs[2];
        const QString devices[2] = {a.device, b.device};
        for (int i = 0; i < 2; ++i)
            runs[i].start(QStringLiteral(CALVENTO_CLI),
                          {"program", "--port", devices[i], "--backup-dir", backups, prg});
        for (int i = 0; i < 2; ++i) {
            QVERIFY(runs[i].waitForFinished(30000));
            QCOMPARE(runs[i].exitCode(), 0);
            const QString printed = QString::fromUtf8(runs[i].readAllStandardOutput());
            const QRegularExpression path(
                QStringLiteral("Backup of the board's configuration: "
                               "(\\S+)"));
            const QString kept = path.match(printed).captured(1);
            QVERIFY2(QFile::exists(kept), qPrintable(printed));
            QCOMPARE(cli({"image", "encode", kept}).out,
                     QByteArray(reinterpret_cast<const char*>(before[i].data()), kImageSize));
        }
        QCOMPARE(QDir(backups).entryList({"board-*.prg"}).size(), 2);
    }

    // A signal at each phase of a program run against a board at its real pace. Before the
    // write command nothing is written and the board is flushed and signed off; once the write
    // has begun it is finished and read back. Either way the status is 128 + the signal and a
    // line says what the board holds. SIGPIPE (the reader of the output went away) stops nothing.
    void signalsDuringAProgramRun_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("phase");
        QTest::addColumn<bool>("written");
        QTest::newRow("SIGINT while the backup is read") << SIGINT << "backup" << false;
        QTest::newRow("SIGTERM at switch-on") << SIGTERM << "switch-on" << false;
        QTest::newRow("SIGTERM between the write packets") << SIGTERM << "write" << true;
        QTest::newRow("SIGHUP before the read-back") << SIGHUP << "read-back" << true;
        QTest::newRow("SIGPIPE: the reader of the output went away") << SIGPIPE << "output" << true;
    }
    void signalsDuringAProgramRun() {
        QFETCH(int, signal);
        QFETCH(QString, phase);
        QFETCH(bool, written);
        test::Sim sim;
        QVERIFY(sim.start());
        const DecoderImage before = sim.image();
        QTemporaryDir dir;
        const QString prg = QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg");
        const QByteArray wanted = cli({"image", "encode", prg}).out;
        // The write's phases without the backup read before them: fewer waits at the board's
        // pace for a loaded machine to miss.
        const QStringList args =
            phase == "write" || phase == "read-back"
                ? QStringList{"program", "--port", sim.device, "--no-backup", prg}
                : QStringList{"program",      "--port",          sim.device,
                              "--backup-dir", dir.filePath("b"), prg};
        QProcess p;
        if (signal == SIGPIPE) {
            // The tool's output goes through a pipe whose reader leaves after the first line.
            p.start("bash", QStringList{"-c",
                                        QStringLiteral("\"$0\" \"$@\" 2>%1 | head -c 20 "
                                                       ">/dev/null; echo ${PIPESTATUS[0]} >%2")
                                            .arg(dir.filePath("err"), dir.filePath("status")),
                                        QStringLiteral(CALVENTO_CLI)} +
                                args);
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(fileBytes(dir.filePath("status")).trimmed(), QByteArray("1"));
            QVERIFY(fileBytes(dir.filePath("err")).contains("Cannot write to standard output"));
            QCOMPARE(fileBytes(sim.savePath()), wanted);
            return;
        }
        p.start(QStringLiteral(CALVENTO_CLI), args);
        QVERIFY(p.waitForStarted(5000));
        const QByteArray write("\xFF\xFF", 2);
        auto reached = [&] {
            const QByteArray got = sim.received();
            if (phase == "switch-on") return got.startsWith("\xFF\xCC");
            if (phase == "backup") return got.contains("\xFF\xAA");
            const qsizetype w = got.indexOf(write);
            if (phase == "write") return w >= 0 && got.size() > w + 2 + 53;
            return w >= 0 && got.size() >= w + 2 + 4 * 53;
        };
        QTRY_VERIFY_WITH_TIMEOUT(reached() || p.state() == QProcess::NotRunning, 20000);
        QVERIFY2(reached(), qPrintable("the run ended before the phase: " +
                                       QString::fromUtf8(p.readAllStandardError())));
        QVERIFY(kill(static_cast<pid_t>(p.processId()), signal) == 0);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + signal);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        const QByteArray sent = sim.received();
        QTRY_VERIFY(sim.received().endsWith("\xFF\x99"));  // signed off
        if (written) {
            QVERIFY2(err.contains(QStringLiteral("Stopped by signal %1 after the write had begun: "
                                                 "the write and the read-back were finished "
                                                 "first, and the board holds the new "
                                                 "configuration, verified.")
                                      .arg(signal)),
                     qPrintable(err));
            QCOMPARE(fileBytes(sim.savePath()), wanted);
        } else {
            QVERIFY2(err.contains(QStringLiteral("Stopped by signal %1 before anything was "
                                                 "written: the board keeps its configuration.")
                                      .arg(signal)),
                     qPrintable(err));
            QVERIFY(!sent.contains(write));
            QVERIFY(sim.image() == before);
        }
    }

    // What synth writes, decode hears: every key with its time, from a WAV file and from raw
    // samples on standard input.
    void decodeHearsWhatSynthWrote() {
        QTemporaryDir dir;
        const QString wav = dir.filePath("k.wav");
        QCOMPARE(
            cli({"synth", "--digit", "40", "--gap", "40", "--wav", wav, "0123456789*#ABCD"}).status,
            0);
        const Run r = cli({"decode", wav});
        QCOMPARE(r.status, 0);
        const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 16);
        // Key 1 begins 80 ms in; its time is that of the first frame that heard it.
        QCOMPARE(lines[1].section('\t', 1), QStringLiteral("dtmf\t1"));
        QVERIFY2(std::abs(lines[1].section('\t', 0, 0).toDouble() - 0.080) <= 0.010,
                 qPrintable(lines[1]));
        const Run raw = cli({"decode", "-"}, cli({"synth", "--raw", "-", "159D"}).out);
        QCOMPARE(QString::fromUtf8(raw.out).count("\tdtmf\t"), 4);
        QCOMPARE(cli({"decode", "--rate", "96000", "-"}, QByteArray(100, 0)).status, 1);

        // A command and the board's Morse reply after it (made by ebook2cw): the keys, then the
        // call; the tones of the keys are not taken for Morse.
        QProcess cw;
        cw.setWorkingDirectory(dir.path());
        cw.start("ebook2cw", {"-O", "-w", "25", "-f", "800", "-s", "8000", "-o", "reply"});
        cw.write("K1ABC\n");
        cw.closeWriteChannel();
        QVERIFY(cw.waitForFinished(30000));
        const QString reply = dir.filePath("reply.raw");
        QCOMPARE(QProcess::execute("sox", {dir.filePath("reply0000.ogg"), "-t", "raw", "-r", "8000",
                                           "-e", "signed", "-b", "16", "-c", "1", reply}),
                 0);
        const QByteArray both = cli({"synth", "--raw", "-", "208#"}).out +
                                QByteArray(8000 * 2 * 3, 0) + fileBytes(reply);
        const QStringList items =
            QString::fromUtf8(cli({"decode", "-"}, both).out).split('\n', Qt::SkipEmptyParts);
        QStringList kinds;
        for (const QString& item : items) kinds << item.section('\t', 1);
        QCOMPARE(kinds, QStringList({"dtmf\t2", "dtmf\t0", "dtmf\t8", "dtmf\t#", "cw\tK1ABC"}));
    }

    // The serial ports as listed: a header, then one port a line with its six fields.
    void portsAreListed() {
        const Run r = cli({"ports"});
        QCOMPARE(r.status, 0);
        const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines[0],
                 QStringLiteral("port\tby-id\tdescription\tmanufacturer\tserial\tvid:pid"));
        for (const QString& line : lines) QCOMPARE(line.count('\t'), 5);
    }

    // The doctor on this machine: every check a line, OK or FAIL with its fix, and the status
    // says whether all passed.
    void theDoctorReports() {
        const Run r = cli({"doctor"});
        const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() >= 7);
        bool failed = false;
        for (const QString& line : lines) {
            QVERIFY2(QRegularExpression("^(OK    |FAIL  |      fix: )\\S").match(line).hasMatch(),
                     qPrintable(line));
            failed = failed || line.startsWith("FAIL");
        }
        QCOMPARE(r.status, failed ? 1 : 0);
        QVERIFY(r.out.contains("Program folder"));
    }

    // A rig left transmitting by a program that was killed: `ptt off --rig` ends it, and rigctl
    // reads the rig back as not transmitting.
    void pttOffReleasesARig() {
        test::Rigctld rig;
        QVERIFY(rig.start());
        QCOMPARE(QProcess::execute("rigctl", {"-m", "2", "-r", rig.address, "T", "1"}), 0);
        QCOMPARE(rig.state(), QStringLiteral("1"));
        const Run r = cli({"ptt", "off", "--rig", "2", "--rig-port", rig.address});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(QString::fromUtf8(r.out),
                 QStringLiteral("Push-to-talk is off on %1: the rig reports no transmission.\n")
                     .arg(rig.address));
        QCOMPARE(rig.state(), QStringLiteral("0"));
        rig.freeze(true);  // a rig that no longer answers is no "off"
        const Run frozen = cli({"ptt", "off", "--rig", "2", "--rig-port", rig.address});
        QCOMPARE(frozen.status, 1);
        QVERIFY2(frozen.err.contains("may still be keyed"), qPrintable(frozen.err));
    }

    // An independent decoder must hear exactly the keys of a long random sequence.
    void multimonHearsTheKeys() {
        const char keys[] = "0123456789*#ABCD";
        QString sequence;
        auto* rng = QRandomGenerator::global();
        for (int i = 0; i < 120; ++i) sequence += QLatin1Char(keys[rng->bounded(16)]);
        QTemporaryDir dir;
        const QString raw = dir.filePath("t.raw"), resampled = dir.filePath("t22050.raw");
        QCOMPARE(cli({"synth", "--raw", raw, sequence}).status, 0);
        QCOMPARE(
            QProcess::execute("sox", {"-t",     "raw", "-r", "8000", "-e",  "signed", "-b",    "16",
                                      "-c",     "1",   raw,  "-t",   "raw", "-r",     "22050", "-e",
                                      "signed", "-b",  "16", "-c",   "1",   resampled}),
            0);
        QProcess decoder;
        decoder.start("multimon-ng", {"-q", "-a", "DTMF", "-t", "raw", resampled});
        QVERIFY(decoder.waitForFinished(60000));
        QString heard;
        const QRegularExpression line(QStringLiteral("^DTMF: (.)"),
                                      QRegularExpression::MultilineOption);
        auto it = line.globalMatch(QString::fromLatin1(decoder.readAllStandardOutput()));
        while (it.hasNext()) heard += it.next().captured(1);
        QCOMPARE(heard, sequence);
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
