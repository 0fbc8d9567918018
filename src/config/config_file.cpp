// Configuration files. See config_file.h.
#include "config/config_file.h"

#include <cmath>

#include "config/csv_text.h"

namespace calvento {

const std::array<ConfigField, kConfigFileValues> kConfigFileOrder = [] {
    std::array<ConfigField, kConfigFileValues> order{};
    size_t n = 0;
    for (ConfigField f :
         {ConfigField::Output0, ConfigField::Output1, ConfigField::Output2, ConfigField::Output3,
          ConfigField::ModifierId, ConfigField::ChecksumId, ConfigField::CwEnabled,
          ConfigField::MorseSpeed, ConfigField::CwCall, ConfigField::Timer1, ConfigField::Timer2,
          ConfigField::VoltageCheckEnabled, ConfigField::BatteryLow, ConfigField::BatteryHigh})
        order[n++] = f;
    for (int i = 0; i < kCommandCount; ++i) order[n++] = CommandField(i);
    order[n++] = ConfigField::PrgPort;
    return order;
}();

std::string FormatConfigFile(const DecoderConfig& config, const std::string& port) {
    auto value = [&](ConfigField f) {
        if (f == ConfigField::PrgPort) return QuoteCsv(port);
        const std::string v = GetField(config, f);
        return IsCheckBoxField(f) ? v : QuoteCsv(v);
    };
    std::string file;
    size_t next = 0;
    // Lines: 1 value x4, then 10 on line 5, then 1 per line.
    for (int line = 0; line < 24; ++line) {
        const size_t count = line == 4 ? 10 : 1;
        std::vector<std::string> values;
        for (size_t k = 0; k < count; ++k) values.push_back(value(kConfigFileOrder[next++]));
        file += CsvLine(values);
    }
    return file;
}

std::string ConfigFileRefusal(const DecoderConfig& config, const std::string& port) {
    const ConfigFileRead back = ReadConfigFile(FormatConfigFile(config, port));
    for (size_t i = 0; i < kConfigFileOrder.size(); ++i) {
        const ConfigField f = kConfigFileOrder[i];
        const std::string value = f == ConfigField::PrgPort ? port : GetField(config, f);
        if (i < back.values.size() && back.values[i] == value) continue;
        const std::string label = f == ConfigField::PrgPort ? "Prg Comm" : FieldLabel(f);
        if (value.find('"') != std::string::npos)
            return label +
                   " holds a double quote (\"), which a configuration file cannot "
                   "hold.\r\nNothing was saved.";
        return label +
               " cannot be saved in a configuration file as it stands.\r\nNothing was "
               "saved.";
    }
    return {};
}

ConfigFileRead ReadConfigFile(std::string_view bytes) {
    ConfigFileRead read;
    CsvReader reader(bytes);
    for (int i = 0; i < kConfigFileValues; ++i) {
        auto value = reader.next();
        if (!value) {
            read.error = "Input past end of file";
            return read;
        }
        if (IsCheckBoxField(kConfigFileOrder[static_cast<size_t>(i)])) {
            const auto number = ParseCsvNumber(*value);
            if (!number) {
                read.error = "Type mismatch";
                return read;
            }
            const double state = std::nearbyint(*number);
            if (state < 0 || state > 2) {
                read.error = "Invalid property value";
                return read;
            }
            *value = std::to_string(static_cast<int>(state));
        }
        read.values.push_back(std::move(*value));
    }
    return read;
}

DecoderConfig ConfigFromFileValues(const std::vector<std::string>& values) {
    DecoderConfig config;
    for (size_t i = 0; i < values.size() && i < kConfigFileOrder.size(); ++i)
        SetField(config, kConfigFileOrder[i], values[i]);
    return config;
}

std::vector<FieldChange> ConfigChanges(const DecoderConfig& before, const DecoderConfig& after) {
    std::vector<FieldChange> changes;
    for (ConfigField field : kConfigFileOrder) {
        if (field == ConfigField::PrgPort) continue;
        std::string a = GetField(before, field);
        std::string b = GetField(after, field);
        if (a != b) changes.push_back({field, std::move(a), std::move(b)});
    }
    return changes;
}

namespace {

// A value as a line of text can show it: bytes that are no printable character (a NUL, a control
// character) as \xNN.
std::string legible(const std::string& value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127)
            out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string ChangeLine(const FieldChange& change) {
    return WindowLabel(change.field) + ": " + legible(change.before) + " -> " +
           legible(change.after);
}

}  // namespace calvento
