// Fuzz target: the reply receiver fed arbitrary byte streams, with restarts after "failed
// waits" sprinkled in. Its variables must stay in range whatever arrives.
#include <cstddef>
#include <cstdint>

#include "link/reply_receiver.h"

using namespace calvento;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReplyReceiver rx;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x42 && i % 7 == 0) rx.restartReceiver = true;
        if (HandleReplyByte(rx, data[i]) == ReplyEvent::IdentificationReply)
            (void)IdentificationText(rx.rxText);
        if (rx.rxIndex < 0 || rx.rxIndex > kImageSize || rx.rxSum < 0 || rx.rxSum > 255)
            __builtin_trap();
    }
    return 0;
}
