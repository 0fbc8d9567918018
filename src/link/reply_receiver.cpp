// Board protocol and reply receiver. See reply_receiver.h.
#include "link/reply_receiver.h"

namespace calvento {

namespace {

std::string trimmedSpaces(const std::string& s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

void sumIn(ReplyReceiver& rx, uint8_t b) {
    rx.rxSum += b;
    if (rx.rxSum > 255) rx.rxSum -= 256;
}

}  // namespace

std::array<WritePacket, 4> WritePackets(const DecoderImage& image) {
    std::array<WritePacket, 4> packets{};
    for (size_t k = 0; k < 4; ++k) {
        unsigned sum = 0;
        for (size_t j = 0; j < 52; ++j) {
            packets[k][j] = image[52 * k + j];
            sum += image[52 * k + j];
        }
        packets[k][52] = static_cast<uint8_t>(sum % 256);
    }
    return packets;
}

std::string IdentificationReply(std::string_view text, int sumDelta) {
    std::string r = "\xFF\xAA";
    r += text;
    r += "\r\n";
    int sum = sumDelta;
    for (char c : text)
        if (c != '\r' && c != '\n') sum += static_cast<uint8_t>(c);
    r += static_cast<char>(sum & 0xFF);
    return r;
}

std::string DataReply(const DecoderImage& image, int sumDelta) {
    std::string r = "\xFF\xFF";
    int sum = sumDelta;
    for (uint8_t b : image) {
        r += static_cast<char>(b);
        sum += b;
    }
    r += static_cast<char>(sum & 0xFF);
    return r;
}

std::string IdentificationText(const std::string& rxText) {
    const std::string t = trimmedSpaces(rxText);
    if (t.size() <= 13) return t;
    return t.substr(0, 13) + trimmedSpaces(t.substr(13, 17));
}

ReplyEvent HandleReplyByte(ReplyReceiver& rx, uint8_t b) {
    if (rx.restartReceiver) {
        rx.restartReceiver = false;
        rx.rxState = RxState::WaitSync;
    }
    switch (rx.rxState) {
        case RxState::WaitSync:
            if (b == 0xFF) rx.rxState = RxState::WaitKind;
            return ReplyEvent::None;
        case RxState::WaitKind:
            if (b == 0xFF) {
                rx.rxIndex = 0;
                rx.rxSum = 0;
                rx.rxState = RxState::DataBytes;
            } else if (b == 0xAA) {
                rx.rxText.clear();
                rx.rxSum = 0;
                rx.rxState = RxState::TextBytes;
            } else {
                rx.rxState = RxState::WaitSync;
            }
            return ReplyEvent::None;
        case RxState::DataBytes:
            // From offset 8 on only key codes, call characters up to "Z", 0x80 and 0xFF belong.
            if (rx.rxIndex >= 8 && b != 0xFF && b != 0x80 && b > 0x5A) {
                rx.rxState = RxState::WaitSync;
                return ReplyEvent::None;
            }
            rx.receiveImage[static_cast<size_t>(rx.rxIndex)] = b;
            sumIn(rx, b);
            if (++rx.rxIndex >= kImageSize) rx.rxState = RxState::DataCheck;
            return ReplyEvent::None;
        case RxState::TextBytes:
            if (b > 0x80) {
                rx.rxState = RxState::WaitSync;
            } else if (b == 0x0A) {
                rx.rxState = RxState::TextCheck;
            } else if (b != 0x0D) {
                rx.rxText += static_cast<char>(b);
                sumIn(rx, b);
            }
            return ReplyEvent::None;
        case RxState::DataCheck:
            rx.rxState = RxState::WaitSync;
            return b == rx.rxSum ? ReplyEvent::DataReply : ReplyEvent::DataReplyBadSum;
        case RxState::TextCheck:
            rx.rxState = RxState::WaitSync;
            return b == rx.rxSum ? ReplyEvent::IdentificationReply : ReplyEvent::None;
    }
    return ReplyEvent::None;
}

}  // namespace calvento
