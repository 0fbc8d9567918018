// Fuzz target: the configuration file's value stream on arbitrary bytes. A complete reading
// must survive a write and a read unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/config_file.h"

using namespace calvento;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ConfigFileRead read =
        ReadConfigFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.error.empty()) return 0;
    const DecoderConfig config = ConfigFromFileValues(read.values);
    for (const std::string& v : read.values)
        if (v.find('"') != std::string::npos) return 0;  // a quote cannot be written back
    const ConfigFileRead again = ReadConfigFile(FormatConfigFile(config, read.values.back()));
    if (!again.error.empty() || !(ConfigFromFileValues(again.values) == config)) __builtin_trap();
    return 0;
}
