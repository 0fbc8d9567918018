// Fuzz target: the quoted comma-separated reader of the settings and configuration files, and
// its number readings, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/csv_text.h"

using namespace calvento;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t total = 0;
    for (const std::string& v : ReadCsvValues(text)) {
        total += v.size();
        (void)ParseCsvNumber(v);
        (void)ParseCsvInt16(v);
    }
    if (total > size) __builtin_trap();  // values are pieces of the text, never more
    return 0;
}
