// Morse code and keyed tones. See morse_code.h.
#include "tone/morse_code.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

namespace calvento {

const std::map<std::string, std::string>& MorseCodes() {
    static const std::map<std::string, std::string> table = {
        {".-", "A"},       {"-...", "B"},        {"-.-.", "C"},      {"-..", "D"},
        {".", "E"},        {"..-.", "F"},        {"--.", "G"},       {"....", "H"},
        {"..", "I"},       {".---", "J"},        {"-.-", "K"},       {".-..", "L"},
        {"--", "M"},       {"-.", "N"},          {"---", "O"},       {".--.", "P"},
        {"--.-", "Q"},     {".-.", "R"},         {"...", "S"},       {"-", "T"},
        {"..-", "U"},      {"...-", "V"},        {".--", "W"},       {"-..-", "X"},
        {"-.--", "Y"},     {"--..", "Z"},        {"-----", "0"},     {".----", "1"},
        {"..---", "2"},    {"...--", "3"},       {"....-", "4"},     {".....", "5"},
        {"-....", "6"},    {"--...", "7"},       {"---..", "8"},     {"----.", "9"},
        {".-.-.-", "."},   {"--..--", ","},      {"..--..", "?"},    {"-..-.", "/"},
        {"-...-", "="},    {".-.-.", "+"},       {"-....-", "-"},    {"-.--.", "("},
        {"-.--.-", ")"},   {".----.", "'"},      {".-..-.", "\""},   {"---...", ":"},
        {"-.-.-.", ";"},   {".--.-.", "@"},      {"-.-.--", "!"},    {"..--.-", "_"},
        {"...-..-", "$"},  {".-...", "&"},       {"...-.-", "<SK>"}, {"-.-.-", "<KA>"},
        {"...-.", "<SN>"}, {"........", "<HH>"},
    };
    return table;
}

std::string MorseSignOf(char c) {
    const std::string text(1, static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    for (const auto& [sign, meaning] : MorseCodes())
        if (meaning == text) return sign;
    return {};
}

std::vector<int16_t> MorseTone(const std::string& text, double wpm, double pitchHz, int rate,
                               double amplitude) {
    const double dot = 1.2 / std::max(wpm, 1.0) * rate;  // in samples
    const double ramp = std::min(0.004 * rate, dot / 4);
    std::vector<int16_t> out;
    auto silence = [&](double dots) {
        out.insert(out.end(), static_cast<size_t>(std::lround(dots * dot)), int16_t{0});
    };
    auto mark = [&](double dots) {
        const auto n = static_cast<size_t>(std::lround(dots * dot));
        for (size_t i = 0; i < n; ++i) {
            double shape = 1;
            if (i < ramp) shape = std::sin(std::numbers::pi / 2 * i / ramp);
            if (n - 1 - i < ramp) shape = std::sin(std::numbers::pi / 2 * (n - 1 - i) / ramp);
            out.push_back(static_cast<int16_t>(std::lround(
                32767 * amplitude * shape * std::sin(2 * std::numbers::pi * pitchHz * i / rate))));
        }
    };
    bool first = true;
    for (const char c : text) {
        if (c == ' ') {
            silence(4);  // with the three after the character before: seven
            continue;
        }
        const std::string sign = MorseSignOf(c);
        if (sign.empty()) continue;
        if (!first) silence(3);
        first = false;
        for (size_t i = 0; i < sign.size(); ++i) {
            if (i) silence(1);
            mark(sign[i] == '.' ? 1 : 3);
        }
    }
    return out;
}

}  // namespace calvento
