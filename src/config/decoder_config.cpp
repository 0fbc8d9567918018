// Configuration image codec. See decoder_config.h.
#include "config/decoder_config.h"

#include <cmath>

#include "config/field_text.h"

namespace calvento {

namespace {

constexpr char kKeyOrder[] = "D1234567890*#ABC";
constexpr uint8_t kEnd = 128;
constexpr uint8_t kFiller = 255;

int roundHalfEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

double number(const std::string& text) {
    return TolerantNumber(text);
}

// A character of a field in a message: itself in quotes when it can be read as it is, its byte
// in hexadecimal otherwise (a NUL would cut the message, a byte of another encoding shows as
// something else or nothing).
std::string quoted(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte < 127) return std::string("\"") + c + "\"";
    static const char kHex[] = "0123456789ABCDEF";
    return std::string("the byte 0x") + kHex[byte >> 4] + kHex[byte & 15];
}

// Writes the key codes of `keys` at `offset`, or explains which character has none.
bool writeKeys(DecoderImage& image, int offset, const std::string& keys, const std::string& field,
               std::string* message) {
    for (size_t k = 0; k < keys.size(); ++k) {
        const int code = KeyCode(keys[k]);
        if (code < 0) {
            *message = field + ": " + quoted(keys[k]) + " is not a DTMF key.";
            return false;
        }
        image[static_cast<size_t>(offset) + k] = static_cast<uint8_t>(code);
    }
    return true;
}

}  // namespace

const std::array<ConfigField, 32> kDecodeOrder = [] {
    std::array<ConfigField, 32> order{};
    size_t n = 0;
    for (ConfigField f :
         {ConfigField::Output0, ConfigField::Output1, ConfigField::Output2, ConfigField::Output3,
          ConfigField::CwEnabled, ConfigField::VoltageCheckEnabled, ConfigField::ChecksumId,
          ConfigField::MorseSpeed, ConfigField::Timer1, ConfigField::Timer2,
          ConfigField::BatteryLow, ConfigField::BatteryHigh})
        order[n++] = f;
    for (int i = 0; i < kCommandCount; ++i) order[n++] = CommandField(i);
    order[n++] = ConfigField::ModifierId;
    order[n++] = ConfigField::CwCall;
    return order;
}();

bool IsCheckBoxField(ConfigField f) {
    return f == ConfigField::Output0 || f == ConfigField::Output1 || f == ConfigField::Output2 ||
           f == ConfigField::Output3 || f == ConfigField::CwEnabled ||
           f == ConfigField::VoltageCheckEnabled;
}

std::string FieldLabel(ConfigField f) {
    const int index = static_cast<int>(f);
    const int command = index - static_cast<int>(ConfigField::Command0);
    if (command >= 0 && command < kCommandCount) return "Command #" + std::to_string(command);
    switch (f) {
        case ConfigField::Output0:
        case ConfigField::Output1:
        case ConfigField::Output2:
        case ConfigField::Output3:
            return "Output " + std::to_string(index - static_cast<int>(ConfigField::Output0) + 1);
        case ConfigField::ModifierId:
            return "Modifier ID";
        case ConfigField::ChecksumId:
            return "Checksum ID";
        case ConfigField::CwEnabled:
            return "CW Enabled";
        case ConfigField::MorseSpeed:
            return "Morse Speed";
        case ConfigField::CwCall:
            return "CW Call";
        case ConfigField::Timer1:
            return "Output 1 Timer Interval";
        case ConfigField::Timer2:
            return "Output 2 Timer Interval";
        case ConfigField::VoltageCheckEnabled:
            return "V.Check Enabled";
        case ConfigField::BatteryLow:
            return "Low Battery Voltage";
        case ConfigField::BatteryHigh:
            return "High Battery Voltage";
        default:
            return "Prg Comm";
    }
}

std::string WindowLabel(ConfigField f) {
    static const char* const kCommandLabels[kCommandCount] = {
        "0: Output 1 ON",          "1: Output 1 OFF",         "2: Output 2 ON",
        "3: Output 2 OFF",         "4: Output 3 ON",          "5: Output 3 OFF",
        "6: Output 4 ON",          "7: Output 4 OFF",         "8: Send Status",
        "9: CW Reply Enable/Disable", "10: Timer 1 off-ON-off", "11: Timer 1 on-OFF-on",
        "12: Timer 2 off-ON-off",  "13: Timer 2 on-OFF-on",   "14: Voltage Check Enable",
        "15: Voltage Check Disable", "16: ALL Outputs ON",    "17: ALL Outputs OFF"};
    const int index = static_cast<int>(f);
    const int command = index - static_cast<int>(ConfigField::Command0);
    if (command >= 0 && command < kCommandCount) return kCommandLabels[command];
    switch (f) {
        case ConfigField::Output0:
        case ConfigField::Output1:
        case ConfigField::Output2:
        case ConfigField::Output3:
            return "Power-On Output " +
                   std::to_string(index - static_cast<int>(ConfigField::Output0) + 1);
        case ConfigField::MorseSpeed:
            return "Speed";
        case ConfigField::Timer1:
            return "Timer 1";
        case ConfigField::Timer2:
            return "Timer 2";
        case ConfigField::BatteryLow:
            return "Voltage Check Lo";
        case ConfigField::BatteryHigh:
            return "Voltage Check Hi";
        default:
            return FieldLabel(f);
    }
}

std::vector<ConfigField> FieldsOfImageByte(int offset, uint8_t a, uint8_t b) {
    if (offset == 0) {
        std::vector<ConfigField> flags;
        const uint8_t changed = a ^ b;
        for (int i = 0; i < 4; ++i)
            if (changed & (1 << i)) flags.push_back(static_cast<ConfigField>(i));
        if (changed & 16) flags.push_back(ConfigField::VoltageCheckEnabled);
        if (changed & 128) flags.push_back(ConfigField::CwEnabled);
        return flags;
    }
    if (offset == 1) return {ConfigField::ChecksumId};
    if (offset == 2) return {ConfigField::MorseSpeed};
    if (offset == 3) return {ConfigField::Timer1};
    if (offset == 4) return {ConfigField::Timer2};
    if (offset == 5) return {ConfigField::BatteryLow};
    if (offset == 6) return {ConfigField::BatteryHigh};
    if (offset >= 8 && offset < 8 + 10 * kCommandCount) return {CommandField((offset - 8) / 10)};
    if (offset >= 192 && offset <= 200) return {ConfigField::ModifierId};
    if (offset >= 201 && offset < kImageSize) return {ConfigField::CwCall};
    return {};
}

namespace {

// The storage of a text field, or nullptr for check boxes and the port.
template <typename Config>
auto textOf(Config& c, ConfigField f) -> decltype(&c.modifierId) {
    const int index = static_cast<int>(f);
    if (index >= static_cast<int>(ConfigField::Command0) &&
        index < static_cast<int>(ConfigField::PrgPort))
        return &c.commands[static_cast<size_t>(index - static_cast<int>(ConfigField::Command0))];
    switch (f) {
        case ConfigField::ModifierId:
            return &c.modifierId;
        case ConfigField::ChecksumId:
            return &c.checksumId;
        case ConfigField::MorseSpeed:
            return &c.morseSpeed;
        case ConfigField::CwCall:
            return &c.cwCall;
        case ConfigField::Timer1:
            return &c.timer1;
        case ConfigField::Timer2:
            return &c.timer2;
        case ConfigField::BatteryLow:
            return &c.batteryLow;
        case ConfigField::BatteryHigh:
            return &c.batteryHigh;
        default:
            return nullptr;
    }
}

template <typename Config>
auto stateOf(Config& c, ConfigField f) -> decltype(&c.cwEnabled) {
    switch (f) {
        case ConfigField::Output0:
            return &c.powerOnOutputs[0];
        case ConfigField::Output1:
            return &c.powerOnOutputs[1];
        case ConfigField::Output2:
            return &c.powerOnOutputs[2];
        case ConfigField::Output3:
            return &c.powerOnOutputs[3];
        case ConfigField::CwEnabled:
            return &c.cwEnabled;
        case ConfigField::VoltageCheckEnabled:
            return &c.voltageCheckEnabled;
        default:
            return nullptr;
    }
}

}  // namespace

std::string GetField(const DecoderConfig& c, ConfigField f) {
    if (auto* text = textOf(c, f)) return *text;
    if (auto* state = stateOf(c, f)) return std::to_string(*state);
    return {};
}

void SetField(DecoderConfig& c, ConfigField f, const std::string& value) {
    if (auto* text = textOf(c, f))
        *text = value;
    else if (auto* state = stateOf(c, f))
        *state = static_cast<int>(TolerantNumber(value));
}

int KeyCode(char key) {
    for (int i = 0; i < 16; ++i)
        if (kKeyOrder[i] == key) return i;
    return -1;
}

char KeyOfCode(int code) {
    return code >= 0 && code < 16 ? kKeyOrder[code] : '\0';
}

EncodeResult EncodeConfig(const DecoderConfig& c) {
    EncodeResult r;
    DecoderImage& img = r.image;
    auto fail = [&](std::string message) {
        r.message = std::move(message);
        return r;
    };

    img.fill(kFiller);
    img[0] = 0;
    for (int i = 0; i < 4; ++i)
        if (c.powerOnOutputs[static_cast<size_t>(i)] == 1) img[0] += static_cast<uint8_t>(1 << i);
    if (c.cwEnabled == 1) img[0] += 128;
    if (c.voltageCheckEnabled == 1) img[0] += 16;

    if (c.checksumId.empty()) return fail("Checksum ID empty.");
    if (c.checksumId.size() > 1) return fail("Checksum ID: only one key is allowed.");
    if (KeyCode(c.checksumId[0]) < 0)
        return fail("Checksum ID: " + quoted(c.checksumId[0]) + " is not a DTMF key.");
    img[1] = static_cast<uint8_t>(KeyCode(c.checksumId[0]));

    const double speed = number(c.morseSpeed);
    if (speed < 14 || speed > 150) return fail("Please insert a valid Morse Speed");
    img[2] = static_cast<uint8_t>(roundHalfEven(1190.0 / speed));

    const double t1 = number(c.timer1);
    if (t1 < 1 || t1 > 255) return fail("Please insert a valid Output 1 Timer Interval");
    img[3] = static_cast<uint8_t>(roundHalfEven(t1));
    const double t2 = number(c.timer2);
    if (t2 < 1 || t2 > 255) return fail("Please insert a valid Output 2 Timer Interval");
    img[4] = static_cast<uint8_t>(roundHalfEven(t2));

    const double low = number(c.batteryLow);
    const double high = number(c.batteryHigh);
    if (low >= high) return fail("Battery High Level must be grater than Low level");
    if (low < 0 || low > 25.4) return fail("Please insert a valid Low Battery Voltage");
    img[5] = static_cast<uint8_t>(roundHalfEven(low * 10));
    if (high < 0.1 || high > 25.5) return fail("Please insert a valid High Battery Voltage");
    img[6] = static_cast<uint8_t>(roundHalfEven(high * 10));

    for (int i = 0; i < kCommandCount; ++i) {
        if (c.commands[static_cast<size_t>(i)].empty()) continue;
        for (int j = 0; j < kCommandCount; ++j) {
            if (j != i && c.commands[static_cast<size_t>(i)] == c.commands[static_cast<size_t>(j)])
                return fail("Command #" + std::to_string(i) + " is equal to Command #" +
                            std::to_string(j));
        }
    }

    for (int i = 0; i < kCommandCount; ++i) {
        const std::string& cmd = c.commands[static_cast<size_t>(i)];
        const std::string field = "Command #" + std::to_string(i);
        if (cmd.size() > 10) return fail(field + " has more than 10 keys.");
        const int slot = 8 + 10 * i;
        if (!writeKeys(img, slot, cmd, field, &r.message)) return r;
        if (cmd.size() < 10) img[static_cast<size_t>(slot) + cmd.size()] = kEnd;
    }

    if (c.modifierId.empty()) return fail("Modifier ID is empty");
    if (c.modifierId.size() > 8) return fail("Modifier ID has more than 8 keys.");
    if (!writeKeys(img, 192, c.modifierId, "Modifier ID", &r.message)) return r;
    img[192 + c.modifierId.size()] = kEnd;

    if (c.cwCall.size() > 6) return fail("CW Call has more than 6 characters.");
    // The board's data reply admits nothing above "Z" from offset 8 on: a call with a small
    // letter or a sign beyond it would be written, and the board could never be read again.
    for (char ch : c.cwCall) {
        int code = static_cast<unsigned char>(ch);
        if (code == kKeyBackspace) code = 0;
        FilterCallKey(code);
        if (code != static_cast<unsigned char>(ch))
            return fail("CW Call: " + quoted(ch) +
                        " is not a character of the call (0-9, A-Z, space and : ; < = > ? @).");
    }
    for (size_t k = 0; k < c.cwCall.size(); ++k) img[201 + k] = static_cast<uint8_t>(c.cwCall[k]);
    img[201 + c.cwCall.size()] = 0;

    r.ok = true;
    return r;
}

DecoderConfig DecodeConfig(const DecoderImage& img) {
    DecoderConfig c;
    for (int i = 0; i < 4; ++i) c.powerOnOutputs[static_cast<size_t>(i)] = (img[0] >> i) & 1;
    c.cwEnabled = img[0] >= 128 ? 1 : 0;
    c.voltageCheckEnabled = (img[0] >> 4) & 1;

    if (img[1] <= 15) c.checksumId = std::string(1, KeyOfCode(img[1]));
    // A timing byte of 0 has no speed: the field stays empty and decoding goes on.
    if (img[2] != 0) c.morseSpeed = std::to_string(roundHalfEven(1190.0 / img[2]));
    c.timer1 = std::to_string(img[3]);
    c.timer2 = std::to_string(img[4]);
    auto volts = [](uint8_t b) { return std::to_string(b / 10) + "." + std::to_string(b % 10); };
    c.batteryLow = volts(img[5]);
    c.batteryHigh = volts(img[6]);

    auto keysFrom = [&](int offset, int maxLength) {
        std::string keys;
        for (int k = 0; k < maxLength; ++k) {
            const uint8_t b = img[static_cast<size_t>(offset + k)];
            if (b == kEnd) break;
            if (b <= 15) keys += KeyOfCode(b);
        }
        return keys;
    };
    for (int i = 0; i < kCommandCount; ++i)
        c.commands[static_cast<size_t>(i)] = keysFrom(8 + 10 * i, 10);
    c.modifierId = keysFrom(192, 8);
    for (int off = 201; off <= 207 && img[static_cast<size_t>(off)] != 0; ++off)
        c.cwCall += static_cast<char>(img[static_cast<size_t>(off)]);
    return c;
}

}  // namespace calvento
