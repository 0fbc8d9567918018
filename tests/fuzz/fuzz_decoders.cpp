// Fuzz target: the DTMF and Morse decoders and live decoding on arbitrary samples at any rate
// from 8 to 48 kHz (the first two bytes choose it), fed whole and in uneven pieces. Every item
// must lie within the recording.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "tone/dtmf_decoder.h"
#include "tone/morse_decoder.h"
#include "tone/receive_decoder.h"

using namespace calvento;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int rate = 8000 + (data[0] | data[1] << 8) % 40001;
    std::vector<int16_t> samples((size - 2) / 2);
    if (!samples.empty()) std::memcpy(samples.data(), data + 2, samples.size() * 2);
    const double seconds = static_cast<double>(samples.size()) / rate;
    auto check = [seconds](const std::vector<DecodedItem>& items) {
        for (const DecodedItem& i : items)
            if (i.seconds < 0 || i.seconds > seconds + 1 || i.text.empty()) __builtin_trap();
    };
    check(DecodeDtmf(samples, rate));
    check(MorseWords(DecodeMorse(samples, rate).characters));
    check(MorseWords(DecodeMorse(samples, rate, 20).characters));
    ReceiveDecoder live(rate);
    std::vector<DecodedItem> heard;
    const std::span<const int16_t> all(samples);
    for (size_t at = 0, piece = 1; at < all.size(); at += piece, piece = piece * 3 % 997 + 1)
        live.feed(all.subspan(at, std::min(piece, all.size() - at)), heard);
    live.finish(heard);
    check(heard);
    return 0;
}
