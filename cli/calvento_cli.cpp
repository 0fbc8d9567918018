// calvento-cli: every job of the program from a script, with the window's own libraries, so
// that a script gets the same samples, image bytes, checks, messages and board exchange as a
// user at the window.
//
// Exit status: 0 success; 1 refused input or a failed exchange (the reason on standard error,
// in the window's words); 2 wrong usage (with a usage line); 3 a send whose expected reply was
// not heard; 128 + N stopped by signal N. Every
// write to standard output is checked: output that did not all go out fails the command.
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryFile>
#include <QtEndian>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "config/config_file.h"
#include "config/decoder_config.h"
#include "link/board_backup.h"
#include "link/board_link.h"
#include "link/port_names.h"
#include "link/serial_trace.h"
#include "link/system_ports.h"
#include "link/system_serial_port.h"
#include "platform/clock.h"
#include "platform/process_setup.h"
#include "platform/termination_signals.h"
#include "remote/replace_calculator.h"
#include "session/doctor.h"
#include "session/listen_job.h"
#include "session/program_job.h"
#include "session/radio_choice.h"
#include "session/read_job.h"
#include "session/send_job.h"
#include "session/send_log.h"
#include "session/sites.h"
#include "tone/dtmf_decoder.h"
#include "tone/keyed_send.h"
#include "tone/morse_decoder.h"
#include "tone/player.h"
#include "tone/system_audio_output.h"
#include "tone/tone_synthesis.h"

using namespace calvento;

namespace {

const char kUsage[] =
    "usage: calvento-cli synth  [--digit MS] [--gap MS] [--pause MS] (--raw FILE | --wav FILE) "
    "SEQUENCE\n"
    "       calvento-cli send   [--digit MS] [--gap MS] [--pause MS] [--txdelay MS] [--device ID]\n"
    "                           [--no-log] [--ptt PORT [--ptt-line rts|dtr] [--ptt-invert]\n"
    "H                            | --rig MODEL --rig-port PORT [--ptt-type rig|dtr|rts|cm108]]\n"
    "                           SEQUENCE\n"
    "       calvento-cli devices [--input]\n"
    "       calvento-cli replace --modifier SEQ --checksum KEY ORIGINAL NEW\n"
    "       calvento-cli image encode CONFIG.prg [-o IMAGE.bin]\n"
    "       calvento-cli image decode IMAGE.bin [-o CONFIG.prg]\n"
    "       calvento-cli read    --port PORT [--trace FILE] [-o CONFIG.prg]\n"
    "       calvento-cli program --port PORT [--backup-dir DIR | --no-backup] [--trace FILE] "
    "CONFIG.prg\n"
    "       calvento-cli diff A.prg B.prg\n"
    "       calvento-cli log [--site NAME] [--since YYYY-MM-DD]\n"
    "       calvento-cli sites\n"
    "       calvento-cli send --site NAME --command N|NAME [--no-log]\n"
    "       calvento-cli send ... --expect CALL [--input-device ID] [--listen SECONDS] "
    "[--retries N]\n"
    "       calvento-cli listen [--device ID] [--seconds N] [--cw] [--dtmf]\n"
    "       calvento-cli synth --site NAME --command N|NAME (--raw FILE | --wav FILE)\n"
    "       calvento-cli decode [--rate HZ] [--dtmf] [--cw] FILE\n"
    "       calvento-cli ports\n"
    "       calvento-cli doctor\n"
    "       calvento-cli ptt off --port PORT [--ptt-line rts|dtr] [--ptt-invert]\n"
    "H       calvento-cli ptt off --rig MODEL --rig-port PORT [--ptt-type rig|dtr|rts|cm108]\n"
    "       calvento-cli --help | --version\n";

const char kHelp[] =
    "calvento-cli: DTMF tones and decoder board programming from scripts.\n"
    "\n"
    "Commands\n"
    "  synth    Write the exact samples of a sequence (8000 Hz, 16-bit, mono), as headerless\n"
    "           little-endian samples (--raw) or a WAV file (--wav); FILE may be - for standard\n"
    "           output. Durations in whole milliseconds, used as given (0 allowed); defaults\n"
    "           --digit 60, --gap 40, --pause 300 (the pause a space stands for).\n"
    "             calvento-cli synth --digit 80 --wav tones.wav \"159#D*0\"\n"
    "           --site NAME --command N|NAME writes the samples a send of that stored command\n"
    "           plays (the site's durations after the send's corrections), as the console's.\n"
    "  send     Play a sequence on the default sound device as the window's Send button does\n"
    "           (too-short durations corrected, push-to-talk on RTS of --ptt for --txdelay ms\n"
    "           (20 to 2000: a shorter delay is raised to 20, a longer one held at 2000),\n"
    "           the sequence and 40 ms).\n"
    "             calvento-cli send --ptt 1 --txdelay 300 \"1234#\"\n"
    "           --device plays on another output device (an id from calvento-cli devices);\n"
    "           --ptt-line dtr keys DTR instead of RTS, --ptt-invert keys the line low;\n"
    "H           --rig keys through Hamlib: the rig's CAT command (--ptt-type rig, the\n"
    "HL           default), its serial lines, or a CM108 sound card's GPIO (--rig-port\n"
    "HL           /dev/hidrawN); model 2 with --rig-port HOST:PORT reaches a running rigctld.\n"
    "HW           default) or its serial lines; model 2 with --rig-port HOST:PORT reaches a\n"
    "HW           running rigctld.\n"
    "H             calvento-cli send --rig 2 --rig-port 127.0.0.1:4532 \"1234#\"\n"
    "           Every send is recorded in logs/sends.csv in the program folder (--no-log:\n"
    "           not this one); a log that cannot be written is told and stops nothing.\n"
    "           --site NAME --command N|NAME sends a stored command of that site's\n"
    "           configuration (its number 0-17 or its name, \"Send Status\") with the site's\n"
    "           durations, push-to-talk and sound device.\n"
    "             calvento-cli send --site Repeater --command \"Send Status\"\n"
    "           --expect CALL listens for the board's reply once push-to-talk is down: for\n"
    "           --listen seconds (the site's setting, else 8) on --input-device (an id from\n"
    "           calvento-cli devices --input; the site's, else the default), and prints\n"
    "           \"Heard CALL after 1.8 s\" (status 0) or \"No reply heard\" (status 3). With\n"
    "           --retries N (0-3) a command that got no reply is sent again, up to N more\n"
    "           times, each send in the log with what was heard. An input device that\n"
    "           cannot be opened stops the send before anything goes out (status 1).\n"
    "             calvento-cli send --site Repeater --command 8 --expect IK2ABC --retries 1\n"
    "  devices  List the sound output devices (--input: the input devices): id, a tab,\n"
    "           description; the default first.\n"
    "  listen   Print the DTMF keys and Morse words an input device hears, one a line as\n"
    "           they are decoded, as decode prints them; for --seconds N, or until Ctrl+C.\n"
    "  sites    List the sites (Default from the window's settings, the others from\n"
    "           sites.json in the program folder): name, configuration, programming port,\n"
    "           push-to-talk, sound device.\n"
    "  replace  Print the sequence that makes a board replace command ORIGINAL by NEW.\n"
    "             calvento-cli replace --modifier \"*0*\" --checksum \"#\" 101 ABC\n"
    "  image    Encode a configuration file into the board's 208-byte image (with the checks\n"
    "           made before programming), or decode an image into a configuration file.\n"
    "             calvento-cli image encode Default31.prg -o board.bin\n"
    "             calvento-cli image decode board.bin -o copy.prg\n"
    "  read     Read the board's configuration into a configuration file (standard output\n"
    "           without -o).\n"
    "             calvento-cli read --port 1 -o board.prg\n"
    "  program  Program the board from a configuration file and verify the read-back. The\n"
    "           board's configuration is read first and kept as board-YYYYMMDD-HHMMSS.prg in\n"
    "           --backup-dir (default: backups/ in the program folder; the newest 50 are kept);\n"
    "           when it cannot be read nothing is written, unless --no-backup is given.\n"
    "L             calvento-cli program --port /dev/ttyUSB0 board.prg\n"
    "W             calvento-cli program --port COM5 board.prg\n"
    "  diff     Print the fields that differ between two configuration files, one a line\n"
    "           (FIELD: OLD -> NEW). Exit status 0 when equal, 1 when they differ, 2 when a\n"
    "           file cannot be read.\n"
    "             calvento-cli diff backups/board-20261210-093000.prg board.prg\n"
    "  decode   Print the DTMF keys and Morse words heard in a recording, one a line: the time\n"
    "           in seconds, a tab, dtmf or cw, a tab, the text (--dtmf or --cw: that kind only).\n"
    "           FILE is a 16-bit PCM WAV file, or headerless 16-bit little-endian mono samples\n"
    "           at --rate HZ (8000 unless told), - for standard input.\n"
    "  ports    List the serial ports with what identifies each adapter, a header first, then\n"
    "           one port a line, tab-separated: port, by-id link, description, manufacturer,\n"
    "           serial number, USB vendor:product.\n"
    "  doctor   Check what keeps the program from its ports, sound and files: each check\n"
    "           OK, or FAIL with what is wrong and the command that fixes it (status 1).\n"
    "  ptt off  Put push-to-talk in its unkeyed state and end: the line of --port (RTS unless\n"
    "           --ptt-line dtr; --ptt-invert for a line that keys when low)\n"
    "H          or the rig of --rig (Hamlib model) on --rig-port\n"
    "           - for a transmitter left keyed by a program that was killed.\n"
    "             calvento-cli ptt off --port 2\n"
    "  log      Print the send log (logs/sends.csv in the program folder), the header\n"
    "           first; --site keeps one site's sends, --since those from a local date on.\n"
    "             calvento-cli log --since 2026-12-01\n"
    "  --trace FILE (read, program) writes every byte sent (>) and received (<) with its time,\n"
    "           and the waits that ended without a reply (!).\n"
    "\n"
    "PORT is a port number 1 to 16 (CALVENTO_COM<n>, then ports.conf in the program folder,\n"
    "Lthen /dev/ttyS<n-1>) or a device path.\n"
    "Wthen COM<n>) or a port's name (COM17).\n"
    "WThe program folder is %APPDATA%\\calvento for an installed Calvento, the programs' own\n"
    "Wfolder for the portable zip (it carries portable.txt). A line COM3=COM23 in its ports.conf\n"
    "Wgives number 3 to COM23; Notepad saves a new file as ports.conf.txt unless the name is\n"
    "Wtyped in quotes with \"All files\" chosen.\n"
    "LThe program folder is ~/.config/calvento for an installed Calvento (CALVENTO_HOME\n"
    "Lelsewhere); a line COM1=/dev/ttyUSB0 in its ports.conf gives number 1 to that adapter.\n"
    "Exit status:\n"
    "  0    success (send --expect: the call was heard)\n"
    "  1    refused input, a failed exchange or send, a file or standard output that could not\n"
    "       be written, or a transmitter that may still be keyed (the reason on standard error)\n"
    "  2    wrong usage (diff: a file that cannot be read)\n"
    "  3    send --expect: the sequence went out whole but no reply was heard\n"
    "  128+N  stopped by signal N: 130 Ctrl+C, 143 SIGTERM, 129 a closed terminal. A program\n"
    "       run stopped before its write wrote nothing; one stopped after its write began\n"
    "       finished the write and the read-back first and says what the board holds.\n"
    "       SIGPIPE (a reader that went away) stops nothing: the failed output is reported.\n";

// The usage and help texts for this build: a line marked H only where Hamlib is built in, L only
// on Linux, W only on Windows (the marks go, the rest of the line stays).
QString forThisBuild(const char* text) {
#ifdef _WIN32
    const QChar platform = QLatin1Char('W');
#else
    const QChar platform = QLatin1Char('L');
#endif
    QString result;
    for (QString line : QString::fromLatin1(text).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('H'))) {
            if (!HamlibAvailable()) continue;
            line.remove(0, 1);
        }
        if (line.startsWith(QLatin1Char('L')) || line.startsWith(QLatin1Char('W'))) {
            if (line.front() != platform) continue;
            line.remove(0, 1);
        }
        result += line + QLatin1Char('\n');
    }
    result.chop(1);
    return result;
}

struct UsageError {
    QString message;
};
struct Failure {
    QString message;
};

// The first failure to write standard output, with the system's reason: reported once, at the
// end, so that a reader that went away never stops a board run half-way.
QString g_outputFailure;

// Writes `text` (UTF-8) to `stream` at once; a failure on standard output is kept for the end.
void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    const bool ok = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream) ==
                        static_cast<size_t>(bytes.size()) &&
                    std::fflush(stream) == 0;
    if (!ok && stream == stdout && g_outputFailure.isEmpty())
        g_outputFailure = errno ? QString::fromLocal8Bit(std::strerror(errno))
                                : QStringLiteral("the output failed");
}

void out(const QString& text) {
    print(stdout, text);
}

void err(const QString& text) {
    print(stderr, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + '\n');
}

// Options and positional arguments of one command.
struct Args {
    QStringList positional;
    QHash<QString, QString> options;

    QStringList flags;

    static Args parse(const QStringList& in, const QStringList& withValue,
                      const QStringList& flagNames = {}) {
        Args a;
        for (qsizetype i = 0; i < in.size(); ++i) {
            const QString& s = in[i];
            if (flagNames.contains(s)) {
                a.flags << s;
            } else if (s.startsWith(QLatin1Char('-')) && s != QLatin1String("-")) {
                if (!withValue.contains(s)) throw UsageError{"unknown option " + s};
                if (i + 1 >= in.size()) throw UsageError{"missing value after " + s};
                a.options.insert(s, in[++i]);
            } else {
                a.positional << s;
            }
        }
        return a;
    }
    int milliseconds(const QString& name, int fallback) const {
        if (!options.contains(name)) return fallback;
        bool ok = false;
        const int v = options.value(name).toInt(&ok);
        if (!ok || v < 0) throw UsageError{name + " takes a whole number of milliseconds"};
        return v;
    }
};

// The file (or standard input for "-"), refused when it holds more than `maxBytes`: what is
// read stops there, so that a device or an endless stream cannot exhaust memory.
QByteArray readFile(const QString& path, qint64 maxBytes) {
    QFile f(path);
    const QString title = "Unable to load data file " + path + ": ";
    if (path == QLatin1String("-") ? !f.open(stdin, QIODevice::ReadOnly)
                                   : !f.open(QIODevice::ReadOnly))
        throw Failure{title + (f.exists() || path == QLatin1String("-")
                                   ? f.errorString()
                                   : QStringLiteral("File not found"))};
    // Read to the end in pieces: a pipe hands over what its writer has written so far, and a
    // single read could stop there (a slow writer, a large recording).
    QByteArray bytes;
    while (bytes.size() <= maxBytes) {
        const QByteArray piece = f.read(std::min<qint64>(maxBytes + 1 - bytes.size(), 1 << 20));
        if (piece.isEmpty()) break;
        bytes += piece;
    }
    if (f.error() != QFileDevice::NoError) throw Failure{title + f.errorString()};
    if (bytes.size() > maxBytes)
        throw Failure{
            title +
            QStringLiteral("it is larger than any such file (over %1 bytes).").arg(maxBytes)};
    return bytes;
}

// A file written as it is made: through a temporary file renamed over the target at the end, so
// that a failure never costs an old file; or standard output for "-".
class OutputFile {
public:
    explicit OutputFile(const QString& path) : m_path(path), m_save(path) {
        const bool ok = toStdout() ? m_out.open(stdout, QIODevice::WriteOnly)
                                   : m_save.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        if (!ok) fail();
    }
    void write(const char* data, qint64 size) {
        QIODevice& d = toStdout() ? static_cast<QIODevice&>(m_out) : m_save;
        if (d.write(data, size) != size) fail();
    }
    void commit() {
        if (toStdout() ? !m_out.flush() : !m_save.commit()) fail();
    }

private:
    bool toStdout() const { return m_path.isEmpty() || m_path == QLatin1String("-"); }
    [[noreturn]] void fail() {
        // Told once, with the other failures of standard output, at the end.
        if (toStdout()) {
            if (g_outputFailure.isEmpty()) g_outputFailure = m_out.errorString();
            throw Failure{QString()};
        }
        throw Failure{"Cannot write " + m_path + ": " + m_save.errorString()};
    }
    QString m_path;
    QSaveFile m_save;
    QFile m_out;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    OutputFile out(path);
    out.write(bytes.constData(), bytes.size());
    out.commit();
}

// The 44-byte header of a WAV file of `samples` 16-bit mono samples at 8000 Hz.
QByteArray wavHeader(int64_t samples) {
    const auto dataBytes = static_cast<quint32>(samples * 2);
    QByteArray h;
    auto u32 = [&h](quint32 v) {
        for (int i = 0; i < 4; ++i) h += char((v >> (8 * i)) & 0xFF);
    };
    auto u16 = [&h](quint16 v) {
        h += char(v & 0xFF);
        h += char(v >> 8);
    };
    h += "RIFF";
    u32(36 + dataBytes);
    h += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    h += "data";
    u32(dataBytes);
    return h;
}

// A sequence as the window's send field would hold it: small a-d become capitals, a space is
// the pause between sequences, and anything else that is not a key is refused rather than
// played as silence.
std::string sequenceOf(const QString& argument) {
    if (argument.isEmpty()) throw Failure{QStringLiteral("The sequence is empty.")};
    std::string keys;
    for (QChar ch : argument) {
        const char16_t c = ch.unicode();
        const char key = c >= u'a' && c <= u'd' ? static_cast<char>(c - u'a' + 'A')
                                                : static_cast<char>(c < 128 ? c : 0);
        if (key != ' ' && KeyCode(key) < 0)
            throw Failure{
                QStringLiteral("The sequence holds \"%1\", which is not a DTMF key.").arg(ch)};
        keys += key;
    }
    return keys;
}

// ---- synth
// ---------------------------------------------------------------------------------------

// The keys and the durations of stored command `command` of site `site`, after the send rules:
// what a send of it plays.
void siteCommandToPlay(const QString& site, const QString& command, std::string* keys,
                       SendSettings* settings);

int synth(const QStringList& argv) {
    const Args a =
        Args::parse(argv, {"--digit", "--gap", "--pause", "--raw", "--wav", "--site", "--command"});
    const bool fromSite = a.options.contains("--site");
    if (fromSite && (a.options.contains("--digit") || a.options.contains("--gap") ||
                     a.options.contains("--pause") || !a.positional.isEmpty() ||
                     !a.options.contains("--command")))
        throw UsageError{
            "synth --site NAME takes --command N|NAME, and neither durations nor a SEQUENCE"};
    if (!fromSite && a.options.contains("--command"))
        throw UsageError{"--command goes with --site"};
    if (!fromSite && a.positional.size() != 1) throw UsageError{"synth takes one SEQUENCE"};
    if (a.options.contains("--raw") == a.options.contains("--wav"))
        throw UsageError{"synth writes either --raw FILE or --wav FILE"};
    std::string sequence;
    SendSettings settings;
    if (fromSite) {
        siteCommandToPlay(a.options["--site"], a.options["--command"], &sequence, &settings);
    } else {
        settings.digitMs = a.milliseconds("--digit", 60);
        settings.gapMs = a.milliseconds("--gap", 40);
        settings.pauseMs = a.milliseconds("--pause", 300);
        sequence = sequenceOf(a.positional[0]);
    }
    ToneTiming t;
    t.digitSeconds = settings.digitMs / 1000.0;
    t.gapSeconds = settings.gapMs / 1000.0;
    t.pauseSeconds = settings.pauseMs / 1000.0;
    ComputeSampleCounts(t);
    DtmfToneTable table;
    FillToneTable(table);
    const int64_t n = SequenceLength(sequence, t);
    if (n > 200'000'000)
        throw Failure{QStringLiteral("The sequence would be %1 samples long.").arg(n)};
    // Block by block straight into the file: memory stays a few blocks for any length.
    const bool wav = a.options.contains("--wav");
    OutputFile out(wav ? a.options["--wav"] : a.options["--raw"]);
    if (wav) {
        const QByteArray header = wavHeader(n);
        out.write(header.constData(), header.size());
    }
    constexpr int64_t kBlockSamples = 1 << 20;
    StreamSequence(sequence, t, table, kBlockSamples, [&out](std::span<const int16_t> block) {
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<qint64>(block.size() * sizeof(int16_t)));
        return true;
    });
    out.commit();
    err(QStringLiteral("%1 samples, %2 s").arg(n).arg(QString::number(n / 8000.0, 'f', 3)));
    return 0;
}

// ---- the seams for a terminal
// ----------------------------------------------------------------------

// The status window as printed lines: a text that continues the previous one (the progress
// dots) is printed as its continuation. They go to standard output, or to standard error when
// standard output carries the configuration file.
class ConsoleView final : public LinkView {
public:
    explicit ConsoleView(bool toStderr) : m_stream(toStderr ? stderr : stdout) {}
    void setInfo(const QString& text) override {
        const QString shown =
            QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")).trimmed();
        if (!m_line.isEmpty() && shown.startsWith(m_line))
            print(m_stream, shown.mid(m_line.size()));
        else
            print(m_stream, (m_line.isEmpty() ? QString() : QStringLiteral("\n")) + shown);
        m_line = shown;
    }
    void setInfoRed(bool) override {}
    void setOkVisible(bool) override {}
    void showStatus() override {}
    void decode(const DecoderImage&) override {}  // the read job answers with the configuration
    void endLine() {
        if (!m_line.isEmpty()) print(m_stream, QStringLiteral("\n"));
        m_line.clear();
    }
    bool toStderr() const { return m_stream == stderr; }

private:
    FILE* m_stream;
    QString m_line;
};

// PORT: a number 1 to 16 mapped as the window maps it, or a device path. `name` is what the
// status texts call it: COM<n> for a number, the path itself otherwise.
QString deviceOf(const QString& port, int* number, QString* name) {
    bool isNumber = false;
    const int n = port.toInt(&isNumber);
    if (isNumber) {
        if (!IsPortNumber(n)) throw Failure{InvalidPortNumberText()};
        *number = n;
        *name = QStringLiteral("COM%1").arg(n);
        return DeviceForPortNumber(n);
    }
    *number = 1;
    *name = port;
    return port;
}

// A number opens on its remembered adapter wherever it is now (port_names.h).
void openPort(SerialPort& port, const QString& portArg, int* number, QString* name) {
    QString device = deviceOf(portArg, number, name), reason;
    const bool opened = device == portArg ? port.open(device, &reason)
                                          : OpenNumberedPort(port, *number, &device, &reason);
    if (!opened) throw Failure{PortOpenFailure(portArg, device, reason)};
}

// ---- send
// ----------------------------------------------------------------------------------------

// The output device of that id (an id from calvento-cli devices), or the system's default for
// none.
void chooseDevice(SystemAudioOutput& audio, const QString& deviceId) {
    if (deviceId.isEmpty()) return;
    const std::string id = deviceId.toStdString();
    for (const AudioDeviceInfo& d : audio.outputDevices())
        if (d.id == id) return audio.chooseDevice(id);
    throw Failure{"There is no sound output device " + deviceId +
                  " (calvento-cli devices lists them)."};
}

// Usage mistakes in the push-to-talk options, found before anything is opened.
void checkPushToTalkOptions(const Args& a) {
    const bool serial = a.options.contains("--ptt");
    const bool hamlib = a.options.contains("--rig");
    if (serial && hamlib) throw UsageError{"--ptt and --rig do not go together"};
    if (!hamlib && (a.options.contains("--rig-port") || a.options.contains("--ptt-type")))
        throw UsageError{"--rig-port and --ptt-type go with --rig"};
    if (!serial && (a.options.contains("--ptt-line") || a.flags.contains("--ptt-invert")))
        throw UsageError{"--ptt-line and --ptt-invert go with --ptt"};
    if (a.options.contains("--ptt-type") && !IsHamlibPttType(a.options["--ptt-type"]))
        throw UsageError{"--ptt-type takes rig, dtr, rts or cm108"};
    if (serial && !QStringList{"rts", "dtr"}.contains(a.options.value("--ptt-line", "rts")))
        throw UsageError{"--ptt-line takes rts or dtr"};
    if (hamlib) {
        bool ok = false;
        a.options["--rig"].toInt(&ok);
        if (!ok || !a.options.contains("--rig-port"))
            throw UsageError{"--rig takes a Hamlib model number and --rig-port PORT"};
    }
}

// The radio choice the options name: a line of a serial port (--ptt), or a rig through Hamlib
// (--rig); none without either.
std::optional<RadioInterface> radioChoiceOf(const Args& a) {
    checkPushToTalkOptions(a);
    RadioInterface choice;
    if (a.options.contains("--ptt")) {
        choice.ptt = RadioInterface::serialLine(
            a.options.value("--ptt-line", QStringLiteral("rts")) == QLatin1String("dtr")
                ? ModemLine::Dtr
                : ModemLine::Rts,
            a.flags.contains("--ptt-invert"));
        return choice;
    }
    if (!a.options.contains("--rig")) return std::nullopt;
    if (!HamlibAvailable())
        throw Failure{QStringLiteral("This build has no Hamlib: --rig is not available.")};
    choice.ptt = RadioInterface::Ptt::Hamlib;
    choice.rigModel = a.options["--rig"].toInt();
    choice.rigPort = a.options["--rig-port"];
    choice.pttType = a.options.value("--ptt-type", QStringLiteral("rig"));
    return choice;
}

// The transmitter of a radio choice, made as the window makes it (the serial port `portArg`
// opened first for a line); null without a choice. A method that cannot be set up ends the
// command with its reason.
std::unique_ptr<PushToTalk> openPushToTalk(const std::optional<RadioInterface>& choice,
                                           const QString& portArg, SystemSerialPort& port) {
    if (!choice) return nullptr;
    if (choice->usesSerialLine()) {
        int number = 0;
        QString name;
        openPort(port, portArg, &number, &name);
    }
    QString why;
    std::unique_ptr<PushToTalk> ptt = MakePushToTalk(*choice, port, &why);
    if (!ptt) throw Failure{"The transmitter cannot be keyed, nothing was sent: " + why};
    if (!ptt->prepare(&why))
        throw Failure{"The transmitter was not keyed, nothing was sent: " + why};
    return ptt;
}

DecoderConfig loadConfig(const QString& path, std::string* port);

// What one send is asked to do: from the options, or from a site and one of its stored commands.
struct SendOrder {
    std::string keys;
    SendSettings settings;
    std::optional<RadioInterface> radio;  // none: no push-to-talk
    QString pttPort;                      // the port a serial-line method keys
    QString deviceId;                     // empty: the system's default
    QString site = DefaultSiteName();
    QString commandName;  // empty for a typed sequence
    // Listening for the reply: the input device and the site's listen settings.
    QString inputDeviceId;
    int listenSeconds = 8;
    int retries = 0;
    double boardWpm = 0;  // the board's Morse speed, when its configuration is known
};

// Stored command `command` of site `siteName`, with the site's durations and radio.
SendOrder siteCommandOrder(const QString& siteName, const QString& command) {
    QString why;
    const std::vector<Site> sites = LoadProgramSites(&why);
    if (!why.isEmpty()) err("The sites file cannot be read: " + why);
    const Site* site = FindSite(sites, siteName);
    if (!site) throw Failure{"There is no site " + siteName + " (calvento-cli sites lists them)."};
    const int index = CommandIndex(command);
    if (index < 0)
        throw UsageError{"--command takes a command number 0 to 17 or its name (\"Send Status\")"};
    const DecoderConfig config = loadConfig(site->configFile, nullptr);
    SendOrder order;
    order.keys = config.commands[static_cast<size_t>(index)];
    order.commandName = CommandLabel(index);
    if (order.keys.empty())
        throw Failure{
            QStringLiteral("Command %1 of site %2 is empty.").arg(order.commandName, site->name)};
    order.settings = site->settings;
    if (site->pttOn) order.radio = site->radio;
    order.pttPort = site->pttPort;
    order.deviceId = site->radio.deviceId;
    order.inputDeviceId = site->radio.inputDeviceId;
    if (site->radio.listenSeconds > 0) order.listenSeconds = site->radio.listenSeconds;
    order.retries = site->radio.replyRetries;
    order.boardWpm = std::atof(config.morseSpeed.c_str());
    order.site = site->name;
    return order;
}

void siteCommandToPlay(const QString& site, const QString& command, std::string* keys,
                       SendSettings* settings) {
    const SendOrder order = siteCommandOrder(site, command);
    *keys = order.keys;
    *settings = CorrectedSendSettings(order.settings);
}

// A stored command of a site, sent with the site's radio settings.
SendOrder siteOrder(const Args& a) {
    for (const char* option : {"--digit", "--gap", "--pause", "--txdelay", "--device", "--ptt",
                               "--ptt-line", "--rig", "--rig-port", "--ptt-type"})
        if (a.options.contains(option))
            throw UsageError{QStringLiteral("%1 does not go with --site: the site's settings "
                                            "are used")
                                 .arg(QLatin1String(option))};
    if (a.flags.contains("--ptt-invert"))
        throw UsageError{"--ptt-invert does not go with --site: the site's settings are used"};
    if (!a.positional.isEmpty() || !a.options.contains("--command"))
        throw UsageError{"send --site NAME takes --command N|NAME and no SEQUENCE"};
    return siteCommandOrder(a.options["--site"], a.options["--command"]);
}

// A typed sequence with the options' durations and radio.
SendOrder optionsOrder(const Args& a) {
    if (a.options.contains("--command")) throw UsageError{"--command goes with --site"};
    if (a.positional.size() != 1) throw UsageError{"send takes one SEQUENCE"};
    SendOrder order;
    order.radio = radioChoiceOf(a);
    order.pttPort = a.options.value("--ptt");
    order.deviceId = a.options.value("--device");
    order.keys = sequenceOf(a.positional[0]);
    order.settings.digitMs = a.milliseconds("--digit", 60);
    order.settings.gapMs = a.milliseconds("--gap", 40);
    order.settings.pauseMs = a.milliseconds("--pause", 300);
    order.settings.txDelayMs = a.milliseconds("--txdelay", 200);
    return order;
}

// A whole number option within limits, or `fallback` when it is not given.
int wholeNumber(const Args& a, const char* name, int fallback, int lowest, int highest) {
    if (!a.options.contains(name)) return fallback;
    bool ok = false;
    const int v = a.options.value(name).toInt(&ok);
    if (!ok || v < lowest || v > highest)
        throw UsageError{QStringLiteral("%1 takes a whole number from %2 to %3")
                             .arg(QLatin1String(name))
                             .arg(lowest)
                             .arg(highest)};
    return v;
}

// One decoded item as the tool prints it: the time, a tab, dtmf or cw, a tab, the text.
QString itemLine(const DecodedItem& item) {
    return QString::number(item.seconds, 'f', 3) +
           (item.kind == DecodedItem::Kind::Dtmf ? QStringLiteral("\tdtmf\t")
                                                 : QStringLiteral("\tcw\t")) +
           QString::fromStdString(item.text) + '\n';
}

int send(const QStringList& argv) {
    const Args a = Args::parse(argv,
                               {"--digit", "--gap", "--pause", "--ptt", "--txdelay", "--device",
                                "--ptt-line", "--rig", "--rig-port", "--ptt-type", "--site",
                                "--command", "--expect", "--input-device", "--listen", "--retries"},
                               {"--ptt-invert", "--no-log"});
    // The same limits as the window's send (corrected in the send job).
    SendOrder order = a.options.contains("--site") ? siteOrder(a) : optionsOrder(a);
    const std::string& sequence = order.keys;
    const SendSettings& settings = order.settings;

    // Listening for the reply, when a call is expected: the input is opened before anything is
    // sent, so that a receiver that cannot be heard stops the send rather than its check.
    const bool expect = a.options.contains("--expect");
    for (const char* option : {"--input-device", "--listen", "--retries"})
        if (a.options.contains(option) && !expect)
            throw UsageError{
                QStringLiteral("%1 goes with --expect CALL").arg(QLatin1String(option))};
    ReplyCheck check;
    if (expect) {
        check.request.expectCall = a.options["--expect"].trimmed().toUpper().toStdString();
        if (check.request.expectCall.empty())
            throw UsageError{"--expect takes the board's CW call"};
        check.request.seconds = wholeNumber(a, "--listen", order.listenSeconds, 1, 600);
        check.request.wpm = order.boardWpm;
        check.retries = wholeNumber(a, "--retries", order.retries, 0, ReplyCheck::kMostRetries);
        order.inputDeviceId = a.options.value("--input-device", order.inputDeviceId);
    }

    SystemAudioOutput audio;
    Player player(audio, SystemClock());
    if (!player.SoundCardPresent()) throw Failure{NoSoundCardText()};
    chooseDevice(audio, order.deviceId);
    FillToneTable(player.toneTable());

    SystemAudioInput input;
    Listener listener(input, SystemClock());
    if (expect) {
        std::string why;
        if (!listener.open(order.inputDeviceId.toStdString(), &why))
            throw Failure{"Nothing was sent: the reply cannot be listened for: " +
                          QString::fromStdString(why) + '.'};
    }

    // Ctrl+C or a termination signal stops the sequence (or the listening) and releases
    // push-to-talk before the tool ends, with the shell's status for that signal (130, 143).
    int caught = 0;
    HandleTerminationSignals([&](int signal) {
        if (!caught) caught = signal;
        player.requestStop(QString());
    });

    SystemSerialPort port;
    std::unique_ptr<PushToTalk> ptt = openPushToTalk(order.radio, order.pttPort, port);
    const QString pttName = ptt ? ptt->name() : QString();
    KeyedSendOptions options;
    options.playWhenNotKeyed = false;
    int attempt = 0;
    SendReport report;
    auto sendOnce = [&] {
        if (attempt++ > 0)
            out(QStringLiteral("Sending again (%1 of %2).\n").arg(attempt - 1).arg(check.retries));
        report = RunSendJob(player, SystemClock(), ptt.get(), sequence, settings, options);
        if (report.outcome == SendOutcome::Completed && !caught)
            out("Sequence completed.\nEffective time = " +
                EffectiveTimeText(report.sent.play.effectiveTimeMs) + '\n');
        return report;
    };
    // Each send's line in the log, written before its outcome is printed: a log that cannot be
    // written is told, and the send's own status stands.
    auto attemptEnded = [&](const SendReport& sent, const ListenResult* reply) {
        if (reply) out(ListenOutcomeText(*reply) + '\n');
        if (a.flags.contains("--no-log")) return;
        SendLogEntry entry = SendLogEntryOf(sent, caught);
        entry.site = order.site;
        entry.source = QStringLiteral("tool");
        entry.commandName = order.commandName;
        entry.sequence = QString::fromStdString(sequence);
        entry.pttMethod = pttName;
        entry.soundDevice = order.deviceId;
        if (reply) entry.reply = ReplyText(*reply);
        QString why;
        if (!SendLog(SendLog::DefaultPath()).append(entry, &why))
            err("The send log could not be written: " + why);
    };
    ListenHooks hooks;
    hooks.stopRequested = [&caught] { return caught != 0; };
    const std::optional<ListenResult> reply =
        RunConfirmedSend(expect ? &listener : nullptr, check, sendOnce, attemptEnded, hooks);
    listener.close();
    ptt.reset();
    port.close();

    const KeyedSendResult& sent = report.sent;
    const QString inDoubt = "The transmitter may still be keyed: " + sent.releaseError;
    if (caught) {
        err(QStringLiteral("%1: stopped by signal %2.")
                .arg(report.outcome == SendOutcome::Completed
                         ? QStringLiteral("Listening")
                         : QStringLiteral("Sequence not completed"))
                .arg(caught));
        if (report.outcome == SendOutcome::NotReleased) err(inDoubt);
        return 128 + caught;
    }
    switch (report.outcome) {
        case SendOutcome::Completed:
            if (!reply) return 0;
            if (reply->outcome == ListenOutcome::Failed) throw Failure{ListenOutcomeText(*reply)};
            return reply->outcome == ListenOutcome::Heard ? 0 : 3;
        case SendOutcome::KeyingFailed:
            throw Failure{"The transmitter was not keyed, nothing was sent: " + sent.keyingError};
        case SendOutcome::NotReleased:
            // The transmitter in doubt is told last, where a script's reader looks first.
            if (!sent.play.played) err(sent.play.failure);
            throw Failure{inDoubt};
        default:
            throw Failure{sent.play.failure};
    }
}

// The system's output devices (--input: input devices), one a line: the id that --device (or
// --input-device) takes, a tab, the description.
int devices(const QStringList& argv) {
    const Args a = Args::parse(argv, {}, {"--input"});
    if (!a.positional.isEmpty()) throw UsageError{"devices takes nothing but --input"};
    std::vector<AudioDeviceInfo> all;
    if (a.flags.contains("--input")) {
        all = SystemAudioInput().inputDevices();
        if (all.empty()) throw Failure{QStringLiteral("This machine has no sound input device.")};
    } else {
        all = SystemAudioOutput().outputDevices();
        if (all.empty()) throw Failure{QStringLiteral("This machine has no sound output device.")};
    }
    for (const AudioDeviceInfo& d : all)
        out(QString::fromStdString(d.id) + '\t' + QString::fromStdString(d.description) + '\n');
    return 0;
}

// What an input device hears, one item a line as it is decoded, for --seconds or until a signal.
int listen(const QStringList& argv) {
    const Args a = Args::parse(argv, {"--device", "--seconds"}, {"--dtmf", "--cw"});
    if (!a.positional.isEmpty())
        throw UsageError{"listen takes [--device ID] [--seconds N] [--cw] [--dtmf]"};
    const bool both = a.flags.contains("--dtmf") == a.flags.contains("--cw");
    ListenRequest request;
    request.dtmf = both || a.flags.contains("--dtmf");
    request.cw = both || a.flags.contains("--cw");
    request.seconds = wholeNumber(a, "--seconds", -1, 1, 24 * 3600);
    request.stopWhenHeard = false;
    SystemAudioInput input;
    Listener listener(input, SystemClock());
    std::string why;
    if (!listener.open(a.options.value("--device").toStdString(), &why))
        throw Failure{"Nothing can be heard: " + QString::fromStdString(why) + '.'};
    int caught = 0;
    HandleTerminationSignals([&caught](int signal) {
        if (!caught) caught = signal;
    });
    ListenHooks hooks;
    hooks.heard = [](const DecodedItem& item) { out(itemLine(item)); };
    // A reader that went away (a closed pipe) ends the listening: its failure is reported.
    hooks.stopRequested = [&caught] { return caught != 0 || !g_outputFailure.isEmpty(); };
    const ListenResult result = listener.listen(request, hooks);
    listener.close();
    if (caught) return 128 + caught;
    if (result.outcome == ListenOutcome::Failed) throw Failure{ListenOutcomeText(result)};
    return 0;
}

// ---- replace
// ---------------------------------------------------------------------------------------

int replace(const QStringList& argv) {
    const Args a = Args::parse(argv, {"--modifier", "--checksum"});
    if (a.positional.size() != 2 || !a.options.contains("--modifier") ||
        !a.options.contains("--checksum"))
        throw UsageError{"replace takes --modifier SEQ --checksum KEY ORIGINAL NEW"};
    const ReplaceResult r = CalculateReplaceSequence(
        a.positional[0].toLatin1().toStdString(), a.positional[1].toLatin1().toStdString(),
        a.options["--modifier"].toLatin1().toStdString(),
        a.options["--checksum"].toLatin1().toStdString());
    if (r.failure != ReplaceResult::Failure::None)
        throw Failure{QString::fromLatin1(r.message.c_str())};
    out(QString::fromLatin1(r.sequence.c_str()) + '\n');
    return 0;
}

// ---- image
// ---------------------------------------------------------------------------------------

DecoderConfig loadConfig(const QString& path, std::string* port) {
    const QByteArray bytes = readFile(path, kMaxConfigFileBytes);
    const ConfigFileRead read =
        ReadConfigFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (!read.error.empty())
        throw Failure{"Unable to load data file " + path + ": " +
                      QString::fromLatin1(read.error.c_str())};
    if (port) *port = read.values.back();
    return ConfigFromFileValues(read.values);
}

// The file text of a configuration, refused when the format cannot carry one of its values.
std::string configFileText(const DecoderConfig& config, const std::string& port) {
    const std::string refusal = ConfigFileRefusal(config, port);
    if (!refusal.empty()) throw Failure{QString::fromLatin1(refusal.c_str())};
    return FormatConfigFile(config, port);
}

DecoderImage encode(const DecoderConfig& config) {
    const EncodeResult r = EncodeConfig(config);
    if (!r.ok) throw Failure{QString::fromLatin1(r.message.c_str())};
    return r.image;
}

int image(const QStringList& argv) {
    if (argv.isEmpty()) throw UsageError{"image takes encode or decode"};
    const Args a = Args::parse(argv.mid(1), {"-o"});
    if (a.positional.size() != 1) throw UsageError{"image " + argv[0] + " takes one file"};
    if (argv[0] == QLatin1String("encode")) {
        const DecoderImage img = encode(loadConfig(a.positional[0], nullptr));
        writeFile(a.options.value("-o"),
                  QByteArray(reinterpret_cast<const char*>(img.data()), kImageSize));
        return 0;
    }
    if (argv[0] == QLatin1String("decode")) {
        const QByteArray bytes = readFile(a.positional[0], kMaxConfigFileBytes);
        if (bytes.size() != kImageSize)
            throw Failure{QStringLiteral("%1 is not a board image: it holds %2 bytes, not %3.")
                              .arg(a.positional[0])
                              .arg(bytes.size())
                              .arg(kImageSize)};
        DecoderImage img;
        std::memcpy(img.data(), bytes.constData(), img.size());
        const std::string file = configFileText(DecodeConfig(img), "1");
        writeFile(a.options.value("-o"), QByteArray::fromStdString(file));
        return 0;
    }
    throw UsageError{"image takes encode or decode, not " + argv[0]};
}

// ---- read and program
// ------------------------------------------------------------------------------

// The board link as the window runs it: switched on (identify, and the reply awaited as a user
// would see it before pressing a button), the run, switched off.
//
// A termination signal (Ctrl+C, SIGTERM, a closed terminal) asks the run to stop: before the
// first byte of a write it stops at once, the board flushed and signed off, and nothing is
// written; once the write has begun, the write and its read-back are finished first, since a
// board left with part of its packets holds a broken configuration. Either way the tool then
// ends with the shell's status for the signal and says what the board holds.
struct Session {
    SystemSerialPort port;
    ConsoleView view;
    BoardLink link{port, SystemClock(), view, [this] { return QString::number(number); }};
    SerialTrace trace{SystemClock()};
    QString portArg;
    int number = 1;
    QString name;
    int caught = 0;

    // With `tracePath`, every byte of the session is recorded there, the switch-on included.
    Session(const QString& portArgument, bool statusToStderr, const QString& tracePath)
        : view(statusToStderr), portArg(portArgument) {
        HandleTerminationSignals([this](int signal) {
            if (!caught) caught = signal;
            link.requestStop();
        });
        if (!tracePath.isEmpty()) {
            QString error;
            if (!trace.open(tracePath, &error))
                throw Failure{"Cannot write " + tracePath + ": " + error};
            link.setTrace(&trace);
        }
        openPort(port, portArg, &number, &name);
        link.signOn(BoardLink::kIdentificationWaitMs);
    }
    ~Session() {
        end();
        view.endLine();
    }
    // The board is signed off and the port closed, the sign-off still in the trace.
    void end() {
        if (!port.isOpen()) return;
        link.signOff();
        port.close();
    }
    // The failure of a run on standard error. A failure's text is printed once: it is already
    // there when the status lines go to standard error.
    void tellFailure(BoardLink::Outcome outcome) {
        view.endLine();
        if (outcome == BoardLink::Outcome::PortFailed)
            err(link.portFailure());
        else if (!view.toStderr())
            err(QString(link.info())
                    .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                    .trimmed());
    }
    // The exit status of a run that wrote nothing: 0 when it was done, 128 + the signal when one
    // stopped it, 1 after its failure was told.
    int finish(BoardLink::Outcome outcome) {
        view.endLine();
        if (outcome == BoardLink::Outcome::Stopped) return stopped();
        if (outcome != BoardLink::Outcome::Done) tellFailure(outcome);
        return traceStatus(outcome == BoardLink::Outcome::Done ? 0 : 1);
    }
    int stopped() {
        view.endLine();
        err(QStringLiteral("Stopped by signal %1 before anything was written: the board keeps "
                           "its configuration.")
                .arg(caught));
        return traceStatus(128 + caught);
    }
    // A trace that could not be written whole fails a run that otherwise succeeded.
    int traceStatus(int status) {
        end();
        trace.close();
        if (trace.error().isEmpty()) return status;
        err("The trace could not be written to " + trace.path() + ": " + trace.error());
        return status == 0 ? 1 : status;
    }
};

// Fails unless a file can be written at `path`: checked before the board is asked for
// anything, so that a read is not wasted on a folder that does not exist or cannot be written.
void checkWritable(const QString& path) {
    if (path.isEmpty() || path == QLatin1String("-")) return;
    const QFileInfo target(path);
    QTemporaryFile probe(target.absolutePath() + QStringLiteral("/.calvento-XXXXXX"));
    if (target.isDir() || (target.exists() && !target.isWritable()) || !probe.open())
        throw Failure{"Cannot write " + path + ": " +
                      (target.isDir() ? QStringLiteral("it is a folder") : probe.errorString())};
}

int readBoard(const QStringList& argv) {
    const Args a = Args::parse(argv, {"--port", "-o", "--trace"});
    if (!a.positional.isEmpty() || !a.options.contains("--port"))
        throw UsageError{"read takes --port PORT [--trace FILE] [-o CONFIG.prg]"};
    const QString output = a.options.value("-o");
    checkWritable(output);
    Session s(a.options["--port"], output.isEmpty() || output == QLatin1String("-"),
              a.options.value("--trace"));
    const ReadResult r = RunReadJob(s.link);
    const int status = s.finish(r.outcome);
    if (status != 0) return status;
    if (!r.config) throw Failure{QStringLiteral("The board's data reply was not decoded.")};
    writeFile(output,
              QByteArray::fromStdString(configFileText(*r.config, std::to_string(s.number))));
    return 0;
}

int programBoard(const QStringList& argv) {
    const Args a = Args::parse(argv, {"--port", "--backup-dir", "--trace"}, {"--no-backup"});
    const bool backup = !a.flags.contains("--no-backup");
    if (a.positional.size() != 1 || !a.options.contains("--port") ||
        (!backup && a.options.contains("--backup-dir")))
        throw UsageError{
            "program takes --port PORT [--backup-dir DIR | --no-backup] [--trace FILE] "
            "CONFIG.prg"};
    const DecoderImage img = encode(loadConfig(a.positional[0], nullptr));
    Session s(a.options["--port"], false, a.options.value("--trace"));
    using Outcome = BoardLink::Outcome;
    // The board's present configuration first: when it cannot be read or kept, nothing is
    // written (--no-backup programs without one).
    const BoardBackups backups(a.options.value("--backup-dir", DefaultBackupFolder()));
    ProgramHooks hooks;
    hooks.backupKept = [](const QString& path) {
        out("Backup of the board's configuration: " + path + '\n');
    };
    const ProgramResult r = RunProgramJob(s.link, img, s.name, backup ? &backups : nullptr,
                                          QString::number(s.number), hooks);
    if (r.outcome == Outcome::Stopped) return s.stopped();
    if (r.end == ProgramResult::End::NoBackup) {
        s.tellFailure(r.outcome);
        err(
            QStringLiteral("No backup of the board's configuration could be read: nothing "
                           "was written (--no-backup programs without one)."));
        return s.traceStatus(1);
    }
    if (r.end == ProgramResult::End::BackupNotSaved)
        throw Failure{
            "The backup of the board's configuration could not be saved: " + r.backupError +
            "\r\nNothing was written (--no-backup programs without one)."};
    if (r.outcome != Outcome::Done) {
        s.tellFailure(r.outcome);
        const QString state = r.boardState(
            QStringLiteral("calvento-cli program --port %1 %2").arg(s.portArg, r.backupPath),
            QStringLiteral("calvento-cli read --port %1").arg(s.portArg));
        if (!state.isEmpty()) err(state);
    }
    s.view.endLine();
    if (s.caught) {
        err(r.written()
                ? QStringLiteral("Stopped by signal %1 after the write had begun: the write and "
                                 "the read-back were finished first, and the board holds the "
                                 "new configuration, verified.")
                      .arg(s.caught)
                : QStringLiteral("Stopped by signal %1 after the write had begun: the write and "
                                 "the read-back were finished first.")
                      .arg(s.caught));
        return s.traceStatus(128 + s.caught);
    }
    return s.traceStatus(r.written() ? 0 : 1);
}

// ---- decode
// ---------------------------------------------------------------------------------------

// The samples of a WAV file (16-bit PCM; of several channels the first) or of headerless 16-bit
// little-endian mono samples at `rawRate`, and their rate.
std::vector<int16_t> soundSamples(const QByteArray& bytes, int rawRate, int* rate) {
    auto u16 = [&bytes](qsizetype at) {
        return qFromLittleEndian<quint16>(bytes.constData() + at);
    };
    auto u32 = [&bytes](qsizetype at) {
        return qFromLittleEndian<quint32>(bytes.constData() + at);
    };
    qsizetype data = 0, length = bytes.size();
    int channels = 1;
    *rate = rawRate;
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WAVE") {
        data = -1;
        for (qsizetype at = 12; at + 8 <= bytes.size();) {
            const QByteArray id = bytes.mid(at, 4);
            const qsizetype size = u32(at + 4);
            if (id == "fmt " && size >= 16 && at + 24 <= bytes.size()) {
                if (u16(at + 8) != 1 || u16(at + 22) != 16)
                    throw Failure{QStringLiteral("Only 16-bit PCM WAV files can be decoded.")};
                channels = std::max(1, int(u16(at + 10)));
                *rate = int(u32(at + 12));
            } else if (id == "data") {
                data = at + 8;
                length = std::min(size, bytes.size() - data);
                break;
            }
            at += 8 + size + (size & 1);
        }
        if (data < 0) throw Failure{QStringLiteral("The WAV file has no data.")};
    }
    if (*rate < 8000 || *rate > 48000)
        throw Failure{
            QStringLiteral("A sample rate of %1 Hz cannot be decoded (8000 to 48000).").arg(*rate)};
    std::vector<int16_t> samples;
    samples.reserve(static_cast<size_t>(length / 2 / channels));
    for (qsizetype at = data; at + 2 * channels <= data + length; at += 2 * channels)
        samples.push_back(static_cast<int16_t>(u16(at)));
    return samples;
}

// What a recording holds, one item a line: the time in seconds, a tab, "dtmf" or "cw", a tab,
// the key or the Morse word. Both kinds unless --dtmf or --cw says one.
int decode(const QStringList& argv) {
    const Args a = Args::parse(argv, {"--rate"}, {"--dtmf", "--cw"});
    if (a.positional.size() != 1) throw UsageError{"decode takes [--rate HZ] [--dtmf] [--cw] FILE"};
    const bool both = a.flags.contains("--dtmf") == a.flags.contains("--cw");
    int rate = 0;
    const std::vector<int16_t> samples =
        soundSamples(readFile(a.positional[0], 1024LL * 1024 * 1024),
                     a.options.contains("--rate") ? a.options["--rate"].toInt() : 8000, &rate);
    const std::vector<DecodedItem> keys =
        both || a.flags.contains("--dtmf") ? DecodeDtmf(samples, rate) : std::vector<DecodedItem>{};
    const std::vector<DecodedItem> words = both || a.flags.contains("--cw")
                                               ? MorseWords(DecodeMorse(samples, rate).characters)
                                               : std::vector<DecodedItem>{};
    const std::vector<DecodedItem> items = MergeDecoded(keys, words);
    for (const DecodedItem& item : items) out(itemLine(item));
    return 0;
}

// ---- ports and push-to-talk
// ---------------------------------------------------------------------------------------

// The serial ports this machine has now, with what identifies each adapter.
int listPorts(const QStringList& argv) {
    if (!argv.isEmpty()) throw UsageError{"ports takes nothing"};
    out(QString::fromStdString(PortListText(SystemSerialPorts())));
    return 0;
}

// The set-up doctor's report; status 1 when a check failed.
int doctor(const QStringList& argv) {
    if (!argv.isEmpty()) throw UsageError{"doctor takes nothing"};
    const std::vector<DoctorCheck> checks = RunDoctor(ThisSystem());
    out(DoctorReport(checks));
    return std::all_of(checks.begin(), checks.end(), [](const DoctorCheck& c) { return c.ok; }) ? 0
                                                                                                : 1;
}

// Unkeys a transmitter left keyed: the line of a port to its idle level, or the rig told to stop.
int pttCommand(const QStringList& argv) {
    const QString usage = QStringLiteral(
        "ptt takes off --port PORT [--ptt-line rts|dtr] [--ptt-invert], or off --rig MODEL "
        "--rig-port PORT [--ptt-type rig|dtr|rts|cm108]");
    if (argv.isEmpty() || argv[0] != QLatin1String("off")) throw UsageError{usage};
    Args a = Args::parse(argv.mid(1), {"--port", "--ptt-line", "--rig", "--rig-port", "--ptt-type"},
                         {"--ptt-invert"});
    if (!a.positional.isEmpty() || a.options.contains("--port") == a.options.contains("--rig"))
        throw UsageError{usage};
    const QString portArg = a.options.take("--port");
    if (!portArg.isEmpty()) a.options.insert("--ptt", portArg);
    const RadioInterface choice = *radioChoiceOf(a);
    SystemSerialPort port;
    QString name = choice.rigPort;
    if (choice.usesSerialLine()) {
        int number = 0;
        openPort(port, portArg, &number, &name);
        name = port.device();
    }
    QString state, why;
    const bool released = UnkeyTransmitter(choice, port, &state, &why);
    port.close();
    if (!released) throw Failure{"The transmitter on " + name + " may still be keyed: " + why};
    out("Push-to-talk is off on " + name + ": " + state + ".\n");
    return 0;
}

// ---- sites
// ---------------------------------------------------------------------------------------

// The sites, one a line after a header: name, configuration file, programming port, push-to-talk
// (off, or the method and its port or rig), sound device, tab-separated.
int listSites(const QStringList& argv) {
    if (!argv.isEmpty()) throw UsageError{"sites takes nothing"};
    QString why;
    const std::vector<Site> sites = LoadProgramSites(&why);
    if (!why.isEmpty()) err("The sites file cannot be read: " + why);
    out(QStringLiteral("name\tconfiguration\tprogramming port\tpush-to-talk\tsound device\n"));
    for (const Site& site : sites) {
        const RadioInterface& r = site.radio;
        const QString ptt =
            !site.pttOn ? QStringLiteral("off")
            : r.usesSerialLine()
                ? QStringLiteral("%1%2 of port %3")
                      .arg(ModemLineName(r.line()),
                           r.inverted() ? QStringLiteral(" inverted") : QString(), site.pttPort)
                : QStringLiteral("Hamlib rig %1 on %2").arg(r.rigModel).arg(r.rigPort);
        out(QStringList{
                site.name, site.configFile, site.programmingPort, ptt,
                r.deviceDescription.isEmpty() ? QStringLiteral("default") : r.deviceDescription}
                .join(QLatin1Char('\t')) +
            '\n');
    }
    return 0;
}

// ---- log
// -----------------------------------------------------------------------------------------

// The send log as it is kept (CSV, the header first), only the sends of one site or since a
// date when asked.
int printLog(const QStringList& argv) {
    const Args a = Args::parse(argv, {"--site", "--since"});
    if (!a.positional.isEmpty()) throw UsageError{"log takes [--site NAME] [--since DATE]"};
    QDate since;
    if (a.options.contains("--since")) {
        since = QDate::fromString(a.options["--since"], Qt::ISODate);
        if (!since.isValid()) throw UsageError{"--since takes a date as YYYY-MM-DD"};
    }
    const QString path = SendLog::DefaultPath();
    std::vector<QStringList> records;
    QString why;
    if (QFileInfo::exists(path) && !SendLog::read(path, &records, &why))
        throw Failure{"The send log cannot be read: " + why};
    out(QString::fromUtf8(SendLog::formatLine(SendLog::columns())).remove(QLatin1Char('\r')));
    for (const QStringList& r : records) {
        if (a.options.contains("--site") && r.value(2) != a.options["--site"]) continue;
        if (since.isValid() && QDateTime::fromString(r.value(1), Qt::ISODate).date() < since)
            continue;
        out(QString::fromUtf8(SendLog::formatLine(r)).remove(QLatin1Char('\r')));
    }
    return 0;
}

// ---- diff
// ----------------------------------------------------------------------------------------

// Like diff: 0 equal, 1 different, 2 when a file cannot be read.
int diffConfigs(const QStringList& argv) {
    const Args a = Args::parse(argv, {});
    if (a.positional.size() != 2) throw UsageError{"diff takes two configuration files"};
    DecoderConfig before, after;
    try {
        before = loadConfig(a.positional[0], nullptr);
        after = loadConfig(a.positional[1], nullptr);
    } catch (const Failure& f) {
        err(f.message);
        return 2;
    }
    const std::vector<FieldChange> changes = ConfigChanges(before, after);
    for (const FieldChange& c : changes) out(QString::fromLatin1(ChangeLine(c).c_str()) + '\n');
    return changes.empty() ? 0 : 1;
}

// The status once standard output has been flushed: a command whose output did not all go out
// (a full disk, a reader that went away) failed, whatever else it did.
int withOutputChecked(int status) {
    if (g_outputFailure.isEmpty() && (std::fflush(stdout) != 0 || std::ferror(stdout)))
        g_outputFailure = QStringLiteral("the output failed");
    if (g_outputFailure.isEmpty()) return status;
    err("Cannot write to standard output: " + g_outputFailure);
    return status == 0 ? 1 : status;
}

int runCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("calvento"));
    QStringList args = app.arguments().mid(1);
    try {
        if (args.isEmpty()) throw UsageError{"no command given"};
        const QString command = args.takeFirst();
        if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
            out(forThisBuild(kUsage) + '\n' + forThisBuild(kHelp));
            return 0;
        }
        if (command == QLatin1String("--version")) {
            out(QStringLiteral("calvento-cli %1.%2\n")
                    .arg(CALVENTO_VERSION_MAJOR)
                    .arg(CALVENTO_VERSION_MINOR));
            return 0;
        }
        if (command == QLatin1String("synth")) return synth(args);
        if (command == QLatin1String("send")) return send(args);
        if (command == QLatin1String("devices")) return devices(args);
        if (command == QLatin1String("replace")) return replace(args);
        if (command == QLatin1String("image")) return image(args);
        if (command == QLatin1String("read")) return readBoard(args);
        if (command == QLatin1String("program")) return programBoard(args);
        if (command == QLatin1String("diff")) return diffConfigs(args);
        if (command == QLatin1String("log")) return printLog(args);
        if (command == QLatin1String("sites")) return listSites(args);
        if (command == QLatin1String("ports")) return listPorts(args);
        if (command == QLatin1String("decode")) return decode(args);
        if (command == QLatin1String("listen")) return listen(args);
        if (command == QLatin1String("doctor")) return doctor(args);
        if (command == QLatin1String("ptt")) return pttCommand(args);
        throw UsageError{"unknown command " + command};
    } catch (const UsageError& e) {
        err("calvento-cli: " + e.message);
        print(stderr, forThisBuild(kUsage));
        return 2;
    } catch (const Failure& f) {
        if (!f.message.isEmpty()) err(f.message);
        return 1;
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    calvento::IgnoreBrokenPipe();
    calvento::UseBinaryStandardStreams();
    // After a send, Qt's connection to the sound server is still up: end without the
    // libraries' static teardown (see ExitAfterAudio).
    calvento::ExitAfterAudio(withOutputChecked(runCommand(argc, argv)));
}
