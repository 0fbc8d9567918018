// The board's configuration (DecoderConfig) and its 208-byte image (DecoderImage).
//
// DecoderConfig is a plain record of what the "Direct Programming" tab shows: the texts of its
// fields exactly as typed, and the states of its check boxes (0 cleared, 1 set, 2 greyed).
// EncodeConfig checks the record in a fixed order and builds the image the board is programmed
// with; DecodeConfig turns an image read from the board back into field texts. Every key of a
// sequence travels as its key code, its position in "D1234567890*#ABC"; 128 ends a sequence
// shorter than its slot and 255 fills bytes that hold nothing.
//
// Image layout: 0 power-on flags, 1 checksum key, 2 Morse timing (1190 / speed), 3-4 timers,
// 5-6 battery levels (volts x 10), 7 filler, 8-187 eighteen 10-byte command slots, 188-191
// filler, 192-199 modifier (+128 end), 200 modifier end or filler, 201-206 call (+0 end), 207
// call end or filler.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace calvento {

constexpr int kCommandCount = 18;
constexpr int kImageSize = 208;

struct DecoderConfig {
    std::array<std::string, kCommandCount> commands;  // txtMem(0..17)
    std::string modifierId;                           // txtSeqCmd
    std::string checksumId;                           // txtCrcTag
    std::string cwCall;                               // txtCallID, one byte per character
    std::string morseSpeed;                           // txtMorseSpeed
    std::string timer1;                               // txtTmr1
    std::string timer2;                               // txtTmr2
    std::string batteryLow;                           // txtBlo
    std::string batteryHigh;                          // txtBhi
    std::array<int, 4> powerOnOutputs{};              // chkOutput(0..3)
    int cwEnabled = 1;                                // chkMorse
    int voltageCheckEnabled = 1;                      // chkBCheck

    bool operator==(const DecoderConfig&) const = default;
};

using DecoderImage = std::array<uint8_t, kImageSize>;

// The fields of the record one by one, so that the window, the file format and the codec share
// one list: check box states travel as their decimal text ("0", "1", "2").
enum class ConfigField {
    Output0,
    Output1,
    Output2,
    Output3,
    ModifierId,
    ChecksumId,
    CwEnabled,
    MorseSpeed,
    CwCall,
    Timer1,
    Timer2,
    VoltageCheckEnabled,
    BatteryLow,
    BatteryHigh,
    Command0,                            // Command0 + i for command i
    PrgPort = Command0 + kCommandCount,  // not part of the record: the file's last value
};

constexpr ConfigField CommandField(int i) {
    return static_cast<ConfigField>(static_cast<int>(ConfigField::Command0) + i);
}
bool IsCheckBoxField(ConfigField field);

// The field's name in messages, as the window and the encoder's checks call it ("CW Call",
// "Command #3", "Output 2").
std::string FieldLabel(ConfigField field);

// The field as the window's labels show it, for lists of what differs between two
// configurations: "0: Output 1 ON", "10: Timer 1 off-ON-off", "CW Call", "Power-On Output 2".
std::string WindowLabel(ConfigField field);

// The fields whose value lives in byte `offset` of the image and that a change of that byte from
// `a` to `b` touches (the power-on byte holds six flags; a command's slot holds its keys, its end
// mark and its fillers). Empty for the bytes that belong to no field (fillers 7 and 188-191).
std::vector<ConfigField> FieldsOfImageByte(int offset, uint8_t a, uint8_t b);

// The value of a field of the record as text, and setting it from text (a check box state that
// is not a number reads as 0). PrgPort is not in the record: empty, and ignored.
std::string GetField(const DecoderConfig& config, ConfigField field);
void SetField(DecoderConfig& config, ConfigField field, const std::string& value);

// The order in which DecodeConfig fills the window: power-on boxes, checksum, speed, timers,
// battery levels, commands, modifier, call. Every field of the record once.
extern const std::array<ConfigField, 32> kDecodeOrder;

// The key code of a DTMF key (upper case only), or -1.
int KeyCode(char key);

// The key of a code 0-15, or '\0' for any other value.
char KeyOfCode(int code);

struct EncodeResult {
    bool ok = false;
    std::string message;   // shown in a "Warning" box, no icon, when !ok
    DecoderImage image{};  // complete when ok; as far as it got otherwise
};

// Checks and builds the transmit image: the checks run in their fixed order and the first
// failure is the answer.
EncodeResult EncodeConfig(const DecoderConfig& config);

// The field texts and box states of an image read from the board.
DecoderConfig DecodeConfig(const DecoderImage& image);

}  // namespace calvento
