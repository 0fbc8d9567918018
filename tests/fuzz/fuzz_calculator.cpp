// Fuzz target: the replace calculator on arbitrary field texts (the input is split at zero
// bytes into original, new sequence, modifier and checksum). A result is always made of keys.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "remote/replace_calculator.h"

using namespace calvento;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> fields(4);
    size_t f = 0;
    for (size_t i = 0; i < size && f < 4; ++i) {
        if (data[i] == 0)
            ++f;
        else
            fields[f] += static_cast<char>(data[i]);
    }
    const ReplaceResult r = CalculateReplaceSequence(fields[0], fields[1], fields[2], fields[3]);
    if (r.failure == ReplaceResult::Failure::None && r.sequence.size() < 3) __builtin_trap();
    return 0;
}
