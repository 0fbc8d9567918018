// The board link's protocol: commands, write packets, and the receiver of the board's replies.
//
// The board answers two kinds of reply. Identification: FF AA, text (bytes up to 0x80, a line
// feed ends it, carriage returns are ignored), then one sum byte of the text. Data: FF FF, the
// 208 bytes of its configuration image, then one sum byte. HandleReplyByte is the receiver, one
// byte per call, as a pure state machine over the receiver's variables; what a completed reply
// means for the window (decode it, compare it, show it) is the caller's business.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/decoder_config.h"

namespace calvento {

// What the program sends.
namespace BoardCommand {
constexpr uint8_t Identify[] = {0xFF, 0xCC};
constexpr uint8_t Read[] = {0xFF, 0xAA};
constexpr uint8_t Write[] = {0xFF, 0xFF};
constexpr uint8_t SignOff[] = {0xFF, 0x99};
constexpr int FlushSpaces = 256;
}  // namespace BoardCommand

constexpr char kExpectedIdentification[] = "DTMF Decoder v3.1 by Kolbex";

// Packet k: bytes 52k to 52k+51 of the image, then their sum modulo 256.
constexpr int kPacketSize = 53;
using WritePacket = std::array<uint8_t, kPacketSize>;
std::array<WritePacket, 4> WritePackets(const DecoderImage& image);

enum class RxState : int16_t {
    WaitSync = 0,
    WaitKind = 1,
    DataBytes = 2,
    TextBytes = 3,
    DataCheck = 4,
    TextCheck = 5,
};

// The receiver's variables (part of the window's link state).
struct ReplyReceiver {
    RxState rxState = RxState::WaitSync;
    int rxIndex = 0;
    int rxSum = 0;
    std::string rxText;
    bool restartReceiver = false;
    DecoderImage receiveImage{};
};

enum class ReplyEvent {
    None,                 // nothing completed with this byte
    DataReply,            // 208 bytes with a matching sum are in receiveImage
    DataReplyBadSum,      // 208 bytes arrived, but the sum byte differs
    IdentificationReply,  // a text with a matching sum: see IdentificationText
};

ReplyEvent HandleReplyByte(ReplyReceiver& rx, uint8_t b);

// The board's replies byte for byte, as the simulator sends them and the tests feed them:
// FF AA, the text, CR LF, the sum of the text's bytes other than carriage returns and line
// feeds; FF FF, the image, the sum of its bytes. `sumDelta` is added to the sum byte, for a
// reply that arrives damaged.
std::string IdentificationReply(std::string_view text, int sumDelta = 0);
std::string DataReply(const DecoderImage& image, int sumDelta = 0);

// The identification as the program keeps it: the text trimmed, then its first 13 characters
// followed by characters 14 to 30 trimmed (so extra spaces after "DTMF Decoder " drop out).
std::string IdentificationText(const std::string& rxText);

}  // namespace calvento
