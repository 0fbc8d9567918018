// The configuration image: every check of the encoder in its order with its message, the image
// layout byte by byte where a fault would hide (rounding, end markers, fillers, flags), the
// decoder's own rules, and round trips; then the configuration file format.
#include <QTest>

#include "config/config_file.h"
#include "config/decoder_config.h"

using namespace calvento;

namespace {

// A configuration that passes every check.
DecoderConfig valid() {
    DecoderConfig c;
    c.commands = {"101", "100", "201", "200", "301", "300", "401", "400",  "555",
                  "999", "111", "110", "221", "220", "441", "440", "1234", "4321"};
    c.modifierId = "*0*";
    c.checksumId = "#";
    c.cwCall = "CALV";
    c.morseSpeed = "20";
    c.timer1 = "10";
    c.timer2 = "30";
    c.batteryLow = "11.5";
    c.batteryHigh = "13.8";
    c.powerOnOutputs = {0, 0, 0, 0};
    c.cwEnabled = 1;
    c.voltageCheckEnabled = 1;
    return c;
}

using Setter = std::function<void(DecoderConfig&)>;

std::vector<int> bytes(const DecoderImage& img, int from, int count) {
    return std::vector<int>(img.begin() + from, img.begin() + from + count);
}

}  // namespace

Q_DECLARE_METATYPE(Setter)

class TstDecoderConfig : public QObject {
    Q_OBJECT
private slots:
    // Each row changes the valid configuration; the answer is the first failed check's message
    // (empty: accepted) and, when accepted, the value of one byte.
    void encodeChecks_data() {
        QTest::addColumn<Setter>("change");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("byte");
        auto row = [](const char* name, Setter s, const char* msg, int offset = 0, int byte = 0) {
            QTest::newRow(name) << s << QString(msg) << offset << byte;
        };
        // clang-format off
        row("speed 14", [](DecoderConfig& c) { c.morseSpeed = "14"; }, "", 2, 85);
        row("speed 150", [](DecoderConfig& c) { c.morseSpeed = "150"; }, "", 2, 8);
        row("speed 20: 59.5 to even", [](DecoderConfig& c) { c.morseSpeed = "20"; }, "", 2, 60);
        row("speed 28: 42.5 to even", [](DecoderConfig& c) { c.morseSpeed = "28"; }, "", 2, 42);
        row("speed 68: 17.5 to even", [](DecoderConfig& c) { c.morseSpeed = "68"; }, "", 2, 18);
        row("speed 140: 8.5 to even", [](DecoderConfig& c) { c.morseSpeed = "140"; }, "", 2, 8);
        row("speed 13", [](DecoderConfig& c) { c.morseSpeed = "13"; }, "Please insert a valid Morse Speed");
        row("speed 151", [](DecoderConfig& c) { c.morseSpeed = "151"; }, "Please insert a valid Morse Speed");
        row("speed empty", [](DecoderConfig& c) { c.morseSpeed = ""; }, "Please insert a valid Morse Speed");
        row("timer 1 is 1", [](DecoderConfig& c) { c.timer1 = "1"; }, "", 3, 1);
        row("timer 2 is 255", [](DecoderConfig& c) { c.timer2 = "255"; }, "", 4, 255);
        row("timer 1 is 0", [](DecoderConfig& c) { c.timer1 = "0"; }, "Please insert a valid Output 1 Timer Interval");
        row("timer 2 is 256", [](DecoderConfig& c) { c.timer2 = "256"; }, "Please insert a valid Output 2 Timer Interval");
        row("battery 25.4 / 25.5", [](DecoderConfig& c) { c.batteryLow = "25.4"; c.batteryHigh = "25.5"; }, "", 5, 254);
        row("battery high 25.5 is 255", [](DecoderConfig& c) { c.batteryLow = "25.4"; c.batteryHigh = "25.5"; }, "", 6, 255);
        row("battery 1.25 V to even", [](DecoderConfig& c) { c.batteryLow = "1.25"; }, "", 5, 12);
        row("battery 1.35 V", [](DecoderConfig& c) { c.batteryLow = "1.35"; }, "", 5, 14);
        row("battery equal levels", [](DecoderConfig& c) { c.batteryLow = "12.0"; c.batteryHigh = "12.0"; }, "Battery High Level must be grater than Low level");
        row("battery order before range", [](DecoderConfig& c) { c.batteryLow = "30.0"; c.batteryHigh = "31.0"; }, "Please insert a valid Low Battery Voltage");
        row("battery high too low", [](DecoderConfig& c) { c.batteryLow = "0.0"; c.batteryHigh = "0.05"; }, "Please insert a valid High Battery Voltage");
        row("checksum empty comes first", [](DecoderConfig& c) { c.checksumId = ""; c.morseSpeed = ""; c.modifierId = ""; }, "Checksum ID empty.");
        row("checksum key code", [](DecoderConfig& c) { c.checksumId = "0"; }, "", 1, 10);
        row("duplicates name the lower index first", [](DecoderConfig& c) { c.commands[3] = "77"; c.commands[12] = "77"; }, "Command #3 is equal to Command #12");
        row("empty commands are never equal", [](DecoderConfig& c) { c.commands[3] = ""; c.commands[12] = ""; }, "", 38, 128);
        row("modifier empty comes last", [](DecoderConfig& c) { c.modifierId = ""; }, "Modifier ID is empty");
        row("power-on byte 133", [](DecoderConfig& c) { c.powerOnOutputs = {1, 0, 1, 0}; c.voltageCheckEnabled = 0; }, "", 0, 133);
        row("power-on byte with all", [](DecoderConfig& c) { c.powerOnOutputs = {1, 1, 1, 1}; }, "", 0, 159);
        row("greyed boxes count as cleared", [](DecoderConfig& c) { c.powerOnOutputs = {2, 0, 0, 0}; c.cwEnabled = 2; c.voltageCheckEnabled = 2; }, "", 0, 0);
        // Characters outside the sixteen keys (pasted, or from a file) are refused by name.
        row("bad key in a command", [](DecoderConfig& c) { c.commands[5] = "12x"; }, "Command #5: \"x\" is not a DTMF key.");
        row("lower case in a command", [](DecoderConfig& c) { c.commands[0] = "a"; }, "Command #0: \"a\" is not a DTMF key.");
        row("bad key in the modifier", [](DecoderConfig& c) { c.modifierId = "1 2"; }, "Modifier ID: \" \" is not a DTMF key.");
        row("bad checksum key", [](DecoderConfig& c) { c.checksumId = "E"; }, "Checksum ID: \"E\" is not a DTMF key.");
        row("call of 7", [](DecoderConfig& c) { c.cwCall = "ABCDEFG"; }, "CW Call has more than 6 characters.");
        row("command of 11", [](DecoderConfig& c) { c.commands[17] = "12345678901"; }, "Command #17 has more than 10 keys.");
        // The board's data reply stops at "Z": a call beyond it would leave a board nobody can read.
        row("small letters in the call", [](DecoderConfig& c) { c.cwCall = "ik2abc"; }, "CW Call: \"i\" is not a character of the call (0-9, A-Z, space and : ; < = > ? @).");
        row("slash in the call", [](DecoderConfig& c) { c.cwCall = "IK2/P"; }, "CW Call: \"/\" is not a character of the call (0-9, A-Z, space and : ; < = > ? @).");
        row("signs and space in the call", [](DecoderConfig& c) { c.cwCall = "K1 ?=@"; }, "", 203, 32);
        // clang-format on
    }
    void encodeChecks() {
        QFETCH(Setter, change);
        QFETCH(QString, message);
        QFETCH(int, offset);
        QFETCH(int, byte);
        DecoderConfig c = valid();
        change(c);
        const EncodeResult r = EncodeConfig(c);
        QCOMPARE(QString::fromStdString(r.message), message);
        QCOMPARE(r.ok, message.isEmpty());
        if (r.ok) QCOMPARE(int(r.image[static_cast<size_t>(offset)]), byte);
    }

    void encodeLayout() {
        DecoderConfig c = valid();
        c.commands[0] = "ABC";
        c.commands[1] = "";
        c.commands[2] = "1234567890";
        c.cwCall = "ABC";
        EncodeResult r = EncodeConfig(c);
        QVERIFY(r.ok);
        QCOMPARE(bytes(r.image, 8, 10),
                 (std::vector<int>{13, 14, 15, 128, 255, 255, 255, 255, 255, 255}));
        QCOMPARE(bytes(r.image, 18, 10),
                 (std::vector<int>{128, 255, 255, 255, 255, 255, 255, 255, 255, 255}));
        QCOMPARE(bytes(r.image, 28, 10), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        QCOMPARE(bytes(r.image, 201, 7), (std::vector<int>{65, 66, 67, 0, 255, 255, 255}));
        QCOMPARE(bytes(r.image, 192, 9),
                 (std::vector<int>{11, 10, 11, 128, 255, 255, 255, 255, 255}));
        QCOMPARE(int(r.image[7]), 255);
        QCOMPARE(bytes(r.image, 188, 4), (std::vector<int>{255, 255, 255, 255}));

        c.modifierId = "12345678";
        c.cwCall = "ABCDEF";
        r = EncodeConfig(c);
        QVERIFY(r.ok);
        QCOMPARE(int(r.image[200]), 128);
        QCOMPARE(int(r.image[207]), 0);
        c.cwCall = "";
        r = EncodeConfig(c);
        QCOMPARE(int(r.image[201]), 0);
        QCOMPARE(int(r.image[202]), 255);
    }

    void decodeAllFilled() {
        DecoderImage img;
        img.fill(255);
        const DecoderConfig c = DecodeConfig(img);
        for (const std::string& cmd : c.commands) QVERIFY(cmd.empty());
        QVERIFY(c.modifierId.empty());
        QVERIFY(c.checksumId.empty());
        QCOMPARE(c.powerOnOutputs, (std::array<int, 4>{1, 1, 1, 1}));
        QCOMPARE(c.cwEnabled, 1);
        QCOMPARE(c.voltageCheckEnabled, 1);
        QCOMPARE(c.morseSpeed, std::string("5"));
        QCOMPARE(c.timer1, std::string("255"));
        QCOMPARE(c.timer2, std::string("255"));
        QCOMPARE(c.batteryLow, std::string("25.5"));
        QCOMPARE(c.batteryHigh, std::string("25.5"));
        QCOMPARE(c.cwCall, std::string(7, '\xFF'));
    }

    void decodeRules() {
        DecoderImage img = EncodeConfig(valid()).image;
        img[2] = 0;                  // no speed: the field stays empty, decoding goes on
        img[8 + 10 * 4 + 1] = 0x5A;  // a code above 15 inside a command is skipped
        img[1] = 16;                 // a checksum byte above 15 gives an empty field
        for (int off = 201; off <= 207; ++off) img[static_cast<size_t>(off)] = 'K';
        img[5] = 7;
        const DecoderConfig c = DecodeConfig(img);
        QCOMPARE(c.morseSpeed, std::string());
        QCOMPARE(c.commands[4], std::string("31"));
        QCOMPARE(c.checksumId, std::string());
        QCOMPARE(c.cwCall, std::string("KKKKKKK"));
        QCOMPARE(c.batteryLow, std::string("0.7"));
        QCOMPARE(c.commands[17], std::string("4321"));
    }

    void morseSpeedsThatSurviveAndThoseThatDoNot_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("back");
        for (int s : {14, 20, 30, 35, 40, 50, 60}) QTest::addRow("%d", s) << s << s;
        QTest::newRow("39") << 39 << 38;
        QTest::newRow("100") << 100 << 99;
        QTest::newRow("120") << 120 << 119;
        QTest::newRow("140") << 140 << 149;
        QTest::newRow("145") << 145 << 149;
        QTest::newRow("150") << 150 << 149;
    }
    void morseSpeedsThatSurviveAndThoseThatDoNot() {
        QFETCH(int, speed);
        QFETCH(int, back);
        DecoderConfig c = valid();
        c.morseSpeed = std::to_string(speed);
        QCOMPARE(DecodeConfig(EncodeConfig(c).image).morseSpeed, std::to_string(back));
    }

    // encode -> decode -> encode gives the same image; the decoded record is the original
    // wherever the format keeps it.
    void roundTrip() {
        DecoderConfig c = valid();
        c.commands[9] = "ABCD*#0987";
        c.modifierId = "12345678";
        c.cwCall = "IZ0?=@";
        c.powerOnOutputs = {0, 1, 0, 1};
        c.voltageCheckEnabled = 0;
        const EncodeResult first = EncodeConfig(c);
        QVERIFY(first.ok);
        const DecoderConfig decoded = DecodeConfig(first.image);
        QCOMPARE(decoded.commands, c.commands);
        QCOMPARE(decoded.modifierId, c.modifierId);
        QCOMPARE(decoded.cwCall, c.cwCall);
        QCOMPARE(decoded.powerOnOutputs, c.powerOnOutputs);
        const EncodeResult second = EncodeConfig(decoded);
        QVERIFY(second.ok);
        QVERIFY(second.image == first.image);
    }

    // ---- configuration files ----------------------------------------------------------------

    void fileRoundTrip() {
        DecoderConfig c = valid();
        c.cwCall = std::string("\xFF\xE9Z", 3);  // bytes a board may have put into the call
        c.powerOnOutputs = {1, 0, 2, 0};
        c.morseSpeed = "999";  // saved unchecked
        const std::string file = FormatConfigFile(c, "12");
        QCOMPARE(std::count(file.begin(), file.end(), '\n'), 24L);
        QVERIFY(file.rfind("1\r\n0\r\n2\r\n0\r\n\"*0*\",\"#\",1,\"999\",", 0) == 0);
        const ConfigFileRead read = ReadConfigFile(file);
        QVERIFY(read.error.empty());
        QCOMPARE(int(read.values.size()), kConfigFileValues);
        QVERIFY(ConfigFromFileValues(read.values) == c);
        QCOMPARE(read.values.back(), std::string("12"));
        QVERIFY(ConfigFileRefusal(c, "12").empty());
    }

    // A value the format cannot carry is refused by name instead of being written changed.
    void fileRefusesWhatItCannotCarry() {
        DecoderConfig c = valid();
        c.cwCall = "AB\"C";  // a board may hold a quote in its call
        QCOMPARE(QString::fromStdString(ConfigFileRefusal(c, "1")),
                 QStringLiteral("CW Call holds a double quote (\"), which a configuration file "
                                "cannot hold.\r\nNothing was saved."));
        c = valid();
        c.commands[4] = "1\"";
        QVERIFY(ConfigFileRefusal(c, "1").rfind("Command #4 holds a double quote", 0) == 0);
    }

    void fileReading_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("values");
        QTest::addColumn<QString>("error");
        const QByteArray head =
            "0\r\n1\r\n0\r\n0\r\n\"*0*\",\"#\",1,\"20\",\"CALV\",\"10\",\"30\",0,\"11.5\",\"13."
            "8\"\r\n";
        QByteArray commands;
        for (int i = 0; i < 18; ++i) commands += "\"" + QByteArray::number(100 + i) + "\"\r\n";
        QTest::newRow("complete") << head + commands + "\"3\"\r\n" << 33 << "";
        QTest::newRow("joined lines, bare LF")
            << QByteArray(head).replace("\r\n", ",") + QByteArray(commands).replace("\r\n", "\n") +
                   "\"3\""
            << 33 << "";
        QTest::newRow("extra values ignored") << head + commands + "\"3\",\"x\",7\r\n" << 33 << "";
        QTest::newRow("only 14 values") << head << 14 << "Input past end of file";
        QTest::newRow("first line 3")
            << QByteArray("3\r\n") + head.mid(3) + commands << 0 << "Invalid property value";
        QTest::newRow("flag not a number") << QByteArray("0\r\nx\r\n") << 1 << "Type mismatch";
        QTest::newRow("empty file") << QByteArray() << 0 << "Input past end of file";
    }
    void fileReading() {
        QFETCH(QByteArray, file);
        QFETCH(int, values);
        QFETCH(QString, error);
        const ConfigFileRead read = ReadConfigFile(file.toStdString());
        QCOMPARE(int(read.values.size()), values);
        QCOMPARE(QString::fromStdString(read.error), error);
    }
};

QTEST_APPLESS_MAIN(TstDecoderConfig)
#include "tst_decoder_config.moc"
