// Configuration files (.prg): the fields of a DecoderConfig and the programming port as text.
//
// 24 lines with CR LF ends: the four power-on flags one per line; the modifier, checksum key, CW
// flag, Morse speed, call, the two timers, the voltage-check flag and the two battery levels on
// line 5; the eighteen commands one per line; the port number. Texts are quoted exactly as they
// stand in the window (speeds, timers and voltages too), flags are bare 0 or 1. The reader takes
// 33 values as a stream, whatever the line breaks between them, and ignores what follows.
// Files are one byte per character (Latin-1) so that any byte a board put into the call
// survives a save and a load; the bytes here are that encoding.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/decoder_config.h"

namespace calvento {

constexpr int kConfigFileValues = 33;

// No configuration file is near this size (a full one is under 600 bytes): anything larger is
// refused before it is read whole, so that a wrong file, a device or a stream cannot exhaust
// memory.
constexpr long long kMaxConfigFileBytes = 64 * 1024;

// The field of each value, in file order.
extern const std::array<ConfigField, kConfigFileValues> kConfigFileOrder;

// The whole file for a record and a port number text.
std::string FormatConfigFile(const DecoderConfig& config, const std::string& port);

// Why the record cannot be saved as it stands, naming the first field whose value would read
// back different (a double quote ends a quoted text early, and every later value shifts); empty
// when the file would load back exactly. Saving refuses such a record rather than write a file
// that loads as another configuration.
std::string ConfigFileRefusal(const DecoderConfig& config, const std::string& port);

// What a reading got: the values in file order up to the first failure (flags normalised to
// "0", "1" or "2"), and the failure's description, empty when all 33 were read.
struct ConfigFileRead {
    std::vector<std::string> values;
    std::string error;
};
ConfigFileRead ReadConfigFile(std::string_view bytes);

// A record from a complete reading (missing values leave the record's defaults).
DecoderConfig ConfigFromFileValues(const std::vector<std::string>& values);

// One field whose value differs between two configurations.
struct FieldChange {
    ConfigField field;
    std::string before;
    std::string after;
};

// The fields of the record that differ, in file order (the programming port is not part of the
// board's configuration and is not compared).
std::vector<FieldChange> ConfigChanges(const DecoderConfig& before, const DecoderConfig& after);

// "CW Call: IK2ABC -> IK2XYZ", "3: Output 2 OFF: 12 -> 34": the field named as the window
// labels it.
std::string ChangeLine(const FieldChange& change);

}  // namespace calvento
