// Quoted comma-separated text. See csv_text.h.
#include "config/csv_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace calvento {

namespace {

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<std::string> CsvReader::next() {
    const size_t n = m_text.size();
    // Blanks and line ends before a value separate it from the previous one; blank lines and
    // the final CR LF therefore never make values of their own.
    while (m_pos < n && (isBlank(m_text[m_pos]) || isLineEnd(m_text[m_pos]))) ++m_pos;
    if (m_pos >= n) return std::nullopt;

    std::string value;
    if (m_text[m_pos] == '"') {
        const size_t close = m_text.find('"', m_pos + 1);
        const size_t end = close == std::string_view::npos ? n : close;
        value.assign(m_text.substr(m_pos + 1, end - m_pos - 1));
        m_pos = end == n ? n : end + 1;
        // Anything between the closing quote and the separator is dropped.
        while (m_pos < n && m_text[m_pos] != ',' && !isLineEnd(m_text[m_pos])) ++m_pos;
    } else {
        const size_t start = m_pos;
        while (m_pos < n && m_text[m_pos] != ',' && !isLineEnd(m_text[m_pos])) ++m_pos;
        value.assign(trimmed(m_text.substr(start, m_pos - start)));
    }
    if (m_pos < n && m_text[m_pos] == ',') ++m_pos;
    return value;
}

std::vector<std::string> ReadCsvValues(std::string_view text) {
    std::vector<std::string> values;
    CsvReader reader(text);
    while (auto v = reader.next()) values.push_back(std::move(*v));
    return values;
}

std::optional<double> ParseCsvNumber(std::string_view value) {
    value = trimmed(value);
    if (value.empty()) return 0.0;
    if (value.front() == '+') value.remove_prefix(1);
    double result = 0.0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), result,
                                           std::chars_format::general);
    if (ec != std::errc() || end != value.data() + value.size() || !std::isfinite(result))
        return std::nullopt;
    return result;
}

std::optional<int16_t> ParseCsvInt16(std::string_view value) {
    const auto number = ParseCsvNumber(value);
    if (!number) return std::nullopt;
    const double rounded = std::nearbyint(*number);
    if (rounded < std::numeric_limits<int16_t>::min() ||
        rounded > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int16_t>(rounded);
}

std::string QuoteCsv(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    out += text;
    out += '"';
    return out;
}

std::string FormatCsvNumber(double value) {
    if (std::nearbyint(value) == value && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::string CsvLine(const std::vector<std::string>& values) {
    std::string line;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) line += ',';
        line += values[i];
    }
    line += "\r\n";
    return line;
}

}  // namespace calvento
