// Fuzz target: DecodeConfig on arbitrary 208-byte images, and EncodeConfig on what it gives.
// What the encoder accepts must decode back to the same fields it was given (the Morse speed
// aside, which the image keeps only as 1190 / speed).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "config/decoder_config.h"

using namespace calvento;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < static_cast<size_t>(kImageSize)) return 0;
    DecoderImage image;
    std::memcpy(image.data(), data, image.size());
    DecoderConfig config = DecodeConfig(image);
    const EncodeResult encoded = EncodeConfig(config);
    if (encoded.ok) {
        DecoderConfig back = DecodeConfig(encoded.image);
        back.morseSpeed = config.morseSpeed;
        back.timer1 = config.timer1;
        back.timer2 = config.timer2;
        if (!(back == config)) __builtin_trap();
    }
    return 0;
}
