// calvento-board-sim: a decoder board on a pseudo-terminal, for trying the program without one.
//
// It opens a pseudo-terminal, prints the device path of its far end on the first line of
// standard output (and links it to --link PATH), and answers as a board on the programming
// link: the identification reply to FF CC, the data reply of the image it holds to FF AA, and
// FF FF followed by four 53-byte packets stores a new image (a packet whose sum is wrong is not
// stored). FF 99 (sign-off) and spaces (flush) get no answer. Replies go out at the board's
// own speed, 4800 baud with 10 bits a byte (about 2.08 ms a byte, 440 ms for a data reply), so
// that the program meets the timing of a real board; --instant sends them at once. It can also
// misbehave on request, so that the program's failure paths can be tried: stay silent, never
// send its data, claim another identity, send wrong sums, answer late, put a byte out of range
// into its data, send noise first, cut its data reply short, keep a wrong byte, or hang up in
// the middle of a write.
//
// Usage: calvento-board-sim [--link PATH] [--image FILE] [--save FILE] [--log FILE]
//          [--instant] [--id TEXT] [--silent] [--no-data] [--bad-id-sum] [--bad-data-sum]
//          [--late MS] [--bad-byte OFFSET] [--noise N] [--partial N] [--store-differs]
//          [--hang-up-after-packets N] [--air-input ID --air-output ID]
// It runs until it is sent SIGTERM or SIGINT, or until --hang-up-after-packets closes it.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <memory>

#include "config/decoder_config.h"
#include "link/reply_receiver.h"
#include "tone/morse_code.h"
#include "tone/receive_decoder.h"
#include "tone/system_audio_output.h"

using namespace calvento;

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) {
    g_stop = 1;
}

struct Options {
    std::string link, imageFile, saveFile, logFile;
    std::string id = kExpectedIdentification;
    bool silent = false, noData = false, instant = false, badIdSum = false, badDataSum = false,
         storeDiffers = false;
    int lateMs = 0, badByteOffset = -1, noise = 0, partial = -1, hangUpAfterPackets = -1;
    std::string airInput, airOutput;  // sound device ids; "default" for the system's own
    bool air = false;
};

const char kUsage[] =
    "usage: calvento-board-sim [--link PATH] [--image FILE] [--save FILE] [--log FILE] "
    "[--instant]\n"
    "         [--id TEXT] [--silent] [--no-data] [--bad-id-sum] [--bad-data-sum] [--late MS]\n"
    "         [--bad-byte OFFSET] [--noise N] [--partial N] [--store-differs]\n"
    "         [--hang-up-after-packets N] [--air-input ID --air-output ID]\n";

const char kHelp[] =
    "calvento-board-sim: a DTMF decoder board on a pseudo-terminal, for trying Calvento\n"
    "without one. The first line of standard output is the device to open; the board\n"
    "answers at its own speed (4800 baud) until SIGTERM or SIGINT.\n"
    "\n"
    "  --link PATH      also make PATH a link to the device (CALVENTO_COM1=PATH)\n"
    "  --image FILE     start with this 208-byte image (default: a built-in one)\n"
    "  --save FILE      write the image the board holds to FILE at start and after a write\n"
    "  --log FILE       append every byte received to FILE\n"
    "  --instant        answer at once instead of at 4800 baud\n"
    "  --air-input ID   listen for commands on this sound input device (default: the\n"
    "                   system's own; calvento-cli devices --input lists them)\n"
    "  --air-output ID  answer a stored command with the CW call on this output device\n"
    "\n"
    "Misbehaviours, for trying the program's failure paths:\n"
    "  --id TEXT        identify as TEXT (another version of the board)\n"
    "  --silent         answer nothing at all\n"
    "  --no-data        identify, but never send the data reply\n"
    "  --bad-id-sum     send the identification with a wrong sum\n"
    "  --bad-data-sum   send the data reply with a wrong sum\n"
    "  --late MS        wait MS milliseconds before each reply\n"
    "  --bad-byte OFFSET  put a byte out of range at OFFSET of the data reply\n"
    "  --noise N        send N bytes of noise before each reply\n"
    "  --partial N      cut each data reply after N bytes\n"
    "  --store-differs  store a written image with one filler byte changed\n"
    "  --hang-up-after-packets N  close the line after N write packets (a pulled cable)\n"
    "\n"
    "Exit status: 0 after SIGTERM or SIGINT or a hang-up, 1 when the pseudo-terminal or a\n"
    "file cannot be opened, 2 wrong usage.\n";

[[noreturn]] void usage(const char* message) {
    std::fprintf(stderr, "calvento-board-sim: %s\n%s", message, kUsage);
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage(("missing value after " + a).c_str());
            return argv[++i];
        };
        auto number = [&]() {
            const std::string v = value();
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end) usage(("not a number: " + v).c_str());
            return static_cast<int>(n);
        };
        if (a == "--link")
            o.link = value();
        else if (a == "--air-input")
            o.airInput = value(), o.air = true;
        else if (a == "--air-output")
            o.airOutput = value(), o.air = true;
        else if (a == "--image")
            o.imageFile = value();
        else if (a == "--save")
            o.saveFile = value();
        else if (a == "--log")
            o.logFile = value();
        else if (a == "--id")
            o.id = value();
        else if (a == "--silent")
            o.silent = true;
        else if (a == "--no-data")
            o.noData = true;
        else if (a == "--instant")
            o.instant = true;
        else if (a == "--bad-id-sum")
            o.badIdSum = true;
        else if (a == "--bad-data-sum")
            o.badDataSum = true;
        else if (a == "--store-differs")
            o.storeDiffers = true;
        else if (a == "--late")
            o.lateMs = number();
        else if (a == "--bad-byte")
            o.badByteOffset = number();
        else if (a == "--noise")
            o.noise = number();
        else if (a == "--partial")
            o.partial = number();
        else if (a == "--hang-up-after-packets")
            o.hangUpAfterPackets = number();
        else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs("\n", stdout);
            std::fputs(kHelp, stdout);
            std::exit(0);
        } else
            usage(("unknown option " + a).c_str());
    }
    return o;
}

// The image of a board fresh from the factory: a plain, valid configuration.
DecoderImage defaultImage() {
    DecoderConfig c;
    for (int i = 0; i < kCommandCount; ++i)
        c.commands[static_cast<size_t>(i)] = std::to_string(100 + i);
    c.modifierId = "*0*";
    c.checksumId = "#";
    c.cwCall = "SIM";
    c.morseSpeed = "20";
    c.timer1 = "10";
    c.timer2 = "20";
    c.batteryLow = "11.0";
    c.batteryHigh = "14.0";
    return EncodeConfig(c).image;
}

bool loadImage(const std::string& path, DecoderImage& image) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() != image.size()) return false;
    std::memcpy(image.data(), bytes.data(), image.size());
    return true;
}

void saveImage(const std::string& path, const DecoderImage& image) {
    if (path.empty()) return;
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
    }
    std::rename(tmp.c_str(), path.c_str());
}

class Board {
public:
    const DecoderImage& image() const { return m_image; }

    Board(const Options& o, int fd) : m_o(o), m_fd(fd) {
        m_image = defaultImage();
        if (!o.imageFile.empty() && !loadImage(o.imageFile, m_image))
            usage(("cannot read a 208-byte image from " + o.imageFile).c_str());
        saveImage(o.saveFile, m_image);
        if (!o.logFile.empty()) m_log = std::fopen(o.logFile.c_str(), "wb");
    }
    ~Board() {
        if (m_log) std::fclose(m_log);
    }

    // Takes what arrived; answers what is complete. False when the board hangs up.
    bool received(const char* data, size_t n) {
        if (m_log) {
            std::fwrite(data, 1, n, m_log);
            std::fflush(m_log);
        }
        m_in.append(data, n);
        return process();
    }

private:
    bool process() {
        for (;;) {
            if (m_in.empty()) return true;
            const auto b0 = static_cast<uint8_t>(m_in[0]);
            if (b0 != 0xFF) {  // spaces of a flush, or noise: nothing to do
                m_in.erase(0, 1);
                continue;
            }
            if (m_in.size() < 2) return true;
            const auto b1 = static_cast<uint8_t>(m_in[1]);
            if (b1 == 0xCC) {
                m_in.erase(0, 2);
                reply(identificationReply());
            } else if (b1 == 0xAA) {
                m_in.erase(0, 2);
                if (!m_o.noData) reply(dataReply());
            } else if (b1 == 0x99) {
                m_in.erase(0, 2);
            } else if (b1 == 0xFF) {
                // FF FF then four packets; they come with pauses between them.
                const size_t need = 2 + 4 * kPacketSize;
                const size_t packetsIn = (std::min(m_in.size(), need) - 2) / kPacketSize;
                if (m_o.hangUpAfterPackets >= 0 &&
                    static_cast<int>(packetsIn) >= m_o.hangUpAfterPackets)
                    return false;
                if (m_in.size() < need) return true;
                store(m_in.substr(2, 4 * kPacketSize));
                m_in.erase(0, need);
            } else {
                m_in.erase(0, 1);
            }
        }
    }

    void store(const std::string& packets) {
        DecoderImage next = m_image;
        for (size_t k = 0; k < 4; ++k) {
            unsigned sum = 0;
            for (size_t j = 0; j < 52; ++j)
                sum += static_cast<uint8_t>(packets[k * kPacketSize + j]);
            if (static_cast<uint8_t>(sum % 256) !=
                static_cast<uint8_t>(packets[k * kPacketSize + 52]))
                continue;  // a bad packet is not stored
            for (size_t j = 0; j < 52; ++j)
                next[52 * k + j] = static_cast<uint8_t>(packets[k * kPacketSize + j]);
        }
        if (m_o.storeDiffers) next[7] ^= 0x01;  // a board that keeps one byte wrong
        m_image = next;
        saveImage(m_o.saveFile, m_image);
    }

    std::string identificationReply() const {
        return IdentificationReply(m_o.id, m_o.badIdSum ? 1 : 0);
    }

    std::string dataReply() const {
        DecoderImage image = m_image;
        if (m_o.badByteOffset >= 0 && m_o.badByteOffset < kImageSize)
            image[static_cast<size_t>(m_o.badByteOffset)] = 0x5B;
        std::string r = DataReply(image, m_o.badDataSum ? 1 : 0);
        if (m_o.partial >= 0 && static_cast<size_t>(m_o.partial) < r.size())
            r.resize(static_cast<size_t>(m_o.partial));
        return r;
    }

    void reply(const std::string& bytes) {
        if (m_o.silent) return;
        if (m_o.lateMs > 0) usleep(static_cast<useconds_t>(m_o.lateMs) * 1000);
        std::string out;
        for (int i = 0; i < m_o.noise; ++i) out += static_cast<char>(0x20 + i % 0x50);
        out += bytes;
        if (m_o.instant) {
            writeAll(out.data(), out.size());
            return;
        }
        // One byte every 10 bit times at 4800 baud, on an absolute schedule so that the pace does
        // not drift with the time each write takes.
        constexpr long kByteNs = 10L * 1'000'000'000L / 4800;
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        for (char c : out) {
            if (g_stop || !writeAll(&c, 1)) return;
            next.tv_nsec += kByteNs;
            if (next.tv_nsec >= 1'000'000'000L) {
                next.tv_nsec -= 1'000'000'000L;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
    }

    bool writeAll(const char* data, size_t n) {
        size_t done = 0;
        while (done < n) {
            const ssize_t w = write(m_fd, data + done, n - done);
            if (w <= 0) return false;
            done += static_cast<size_t>(w);
        }
        return true;
    }

    const Options& m_o;
    int m_fd;
    DecoderImage m_image{};
    std::string m_in;
    std::FILE* m_log = nullptr;
};

// The board on the air: the DTMF it hears, and its CW call in reply to a stored command.
class Air {
public:
    static constexpr int kRate = 8000;

    Air(const Options& o, const Board& board) : m_board(board), m_decoder(kRate, true, false) {
        m_input.chooseDevice(o.airInput == "default" ? std::string() : o.airInput);
        m_output.chooseDevice(o.airOutput == "default" ? std::string() : o.airOutput);
        PcmFormat format;
        int code = m_input.open(format);
        if (code == AudioResult::Ok) code = m_input.start();
        if (code != AudioResult::Ok) {
            std::fprintf(
                stderr, "calvento-board-sim: the input device cannot be opened (error %d)\n", code);
            std::exit(1);
        }
    }
    ~Air() {
        m_input.stop();
        m_input.close();
    }

    // Takes what the input has heard; answers when the keys end in a stored command.
    void step() {
        std::vector<int16_t> samples;
        std::string reason;
        if (const int code = m_input.take(samples, &reason)) {
            std::fprintf(stderr, "calvento-board-sim: listening failed: %s (error %d)\n",
                         reason.c_str(), code);
            g_stop = 1;
            return;
        }
        std::vector<DecodedItem> keys;
        m_decoder.feed(samples, keys);
        for (const DecodedItem& k : keys) {
            if (k.seconds - m_lastKey > 3) m_heard.clear();
            m_lastKey = k.seconds;
            m_heard += k.text;
            const DecoderConfig config = DecodeConfig(m_board.image());
            for (const std::string& command : config.commands) {
                if (command.empty() || m_heard.size() < command.size() ||
                    m_heard.compare(m_heard.size() - command.size(), command.size(), command) != 0)
                    continue;
                std::fprintf(stderr, "calvento-board-sim: heard command %s\n", command.c_str());
                m_heard.clear();
                if (config.cwEnabled) answer(config);
                break;
            }
        }
    }

private:
    // The call in Morse once the sender has unkeyed, as the board answers: after the last key's
    // tone and the sender's tail, and a moment of the board's own.
    void answer(const DecoderConfig& config) {
        usleep(800 * 1000);
        const double wpm = std::atof(config.morseSpeed.c_str());
        const std::vector<int16_t> tone =
            MorseTone(config.cwCall, wpm > 0 ? wpm : 20, 800, kRate, 0.5);
        std::fprintf(stderr, "calvento-board-sim: answering %s at %g WPM\n", config.cwCall.c_str(),
                     wpm);
        PcmFormat format;
        if (m_output.open(format) != AudioResult::Ok) return;
        if (m_output.prepare(tone.data(), tone.size()) == AudioResult::Ok &&
            m_output.write() == AudioResult::Ok) {
            const auto seconds = static_cast<double>(tone.size()) / kRate + 5;
            for (int i = 0; i < seconds * 100 && !m_output.done() && !g_stop; ++i) usleep(10000);
        }
        m_output.reset();
        m_output.unprepare();
        m_output.close();
        // What it heard while it answered is its own business, not a command.
        std::vector<int16_t> dropped;
        m_input.take(dropped, nullptr);
    }

    const Board& m_board;
    SystemAudioInput m_input;
    SystemAudioOutput m_output;
    ReceiveDecoder m_decoder;
    std::string m_heard;
    double m_lastKey = -100;
};

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    // The sound devices are Qt Multimedia's, which wants an application object.
    QCoreApplication app(argc, argv);
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("calvento-board-sim: openpty");
        return 1;
    }
    // The far end starts raw, as a serial line would be; the program sets its own mode anyway.
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    tcgetattr(master, &t);
    cfmakeraw(&t);
    tcsetattr(master, TCSANOW, &t);

    if (!o.link.empty()) {
        unlink(o.link.c_str());
        if (symlink(name, o.link.c_str()) != 0) {
            std::perror("calvento-board-sim: symlink");
            return 1;
        }
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::printf("%s\n", name);
    std::fflush(stdout);

    Board board(o, master);
    std::unique_ptr<Air> air;
    if (o.air) air = std::make_unique<Air>(o, board);
    // The slave end stays open here too, so that the line survives the program closing and
    // reopening its port.
    while (!g_stop) {
        pollfd p{master, POLLIN, 0};
        const int ready = poll(&p, 1, air ? 20 : 200);
        if (air) air->step();
        if (ready <= 0 || !(p.revents & POLLIN)) continue;
        char buf[512];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) continue;
        if (!board.received(buf, static_cast<size_t>(n))) break;  // hanging up
    }
    if (!o.link.empty()) unlink(o.link.c_str());
    close(master);
    close(slave);
    air.reset();
    ExitAfterAudio(0);
}
