// The quoted comma-separated text of the settings file and the configuration files.
//
// A file is a stream of values separated by commas or line ends: text in double quotes with
// nothing escaped, numbers bare in decimal with "." as the decimal point. The reader strips the
// quotes and does not care how the values are spread over lines, so a hand-edited file with
// joined or split lines, bare LF line ends or blank lines still reads. The writer always produces
// the classic form with CR LF line ends, so that files move between Windows and Linux unchanged.
// Pure functions over bytes; what the bytes mean (UTF-8 or Latin-1) is the caller's business.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace calvento {

// Reads one value after the other from a text.
class CsvReader {
public:
    explicit CsvReader(std::string_view text) : m_text(text) {}

    // The next value with its quotes stripped, or nothing at the end of the text.
    std::optional<std::string> next();

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

// All values of a text, in order.
std::vector<std::string> ReadCsvValues(std::string_view text);

// The strict reading of a number: the whole value (spaces around it aside) must be a decimal
// number with "." as the decimal point; an empty value reads as 0, as the classic reader did.
std::optional<double> ParseCsvNumber(std::string_view value);

// A whole number from a value: the strict reading, rounded to the nearest with ties to even, and
// required to fit a signed 16-bit integer.
std::optional<int16_t> ParseCsvInt16(std::string_view value);

// "text" with its quotes (nothing inside is escaped; a quote in the text cannot be written).
std::string QuoteCsv(std::string_view text);

// A number written bare: whole numbers without a decimal point, others with "." and as many
// digits as they need.
std::string FormatCsvNumber(double value);

// One record: the values joined by commas and ended by CR LF.
std::string CsvLine(const std::vector<std::string>& values);

}  // namespace calvento
