// Entry field filters and the tolerant number reading. See field_text.h.
#include "config/field_text.h"

#include <charconv>
#include <string>

namespace calvento {

namespace {

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int ToCapital(int keyAscii) {
    return keyAscii >= 'a' && keyAscii <= 'z' ? keyAscii - 32 : keyAscii;
}

void FilterDigitKey(int& keyAscii) {
    if (!isDigit(keyAscii) && keyAscii != kKeyBackspace) keyAscii = 0;
}

void FilterDecimalKey(int& keyAscii) {
    if (!isDigit(keyAscii) && keyAscii != '.' && keyAscii != kKeyBackspace) keyAscii = 0;
}

void FilterSequenceKey(int& keyAscii) {
    FilterKeyField(keyAscii, true, 0);
}

void FilterKeyField(int& keyAscii, bool allowCopy, int refusedKey) {
    keyAscii = ToCapital(keyAscii);
    const bool key = isDigit(keyAscii) || keyAscii == '*' || keyAscii == '#' ||
                     (keyAscii >= 'A' && keyAscii <= 'D');
    if (!key && keyAscii != kKeyBackspace && !(allowCopy && keyAscii == kKeyCtrlC)) keyAscii = 0;
    if (refusedKey != 0 && keyAscii == refusedKey) keyAscii = 0;
}

void FilterCallKey(int& keyAscii) {
    keyAscii = ToCapital(keyAscii);
    if (keyAscii != ' ' && keyAscii != kKeyBackspace && (keyAscii < 48 || keyAscii > 90))
        keyAscii = 0;
}

FieldEdit FilterFieldEdit(std::u16string_view before, std::u16string_view after, int cursor,
                          int maxLength, const std::function<void(int&)>& keyFilter) {
    // The edit replaced before[prefix, before.size() - suffix) by after[prefix, after.size() -
    // suffix): find the longest unchanged start and end.
    size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::u16string_view inserted = after.substr(prefix, after.size() - prefix - suffix);
    const size_t kept = prefix + suffix;
    const size_t room =
        maxLength > 0 && static_cast<size_t>(maxLength) > kept ? maxLength - kept : 0;

    std::u16string filtered;
    for (char16_t c : inserted) {
        int code = c;
        if (code < 32) continue;  // control characters never belong in a field
        keyFilter(code);
        if (code < 32) continue;
        if (maxLength > 0 && filtered.size() >= room) break;
        filtered += static_cast<char16_t>(code);
    }
    FieldEdit edit;
    edit.text = std::u16string(before.substr(0, prefix)) + filtered +
                std::u16string(before.substr(before.size() - suffix));
    const size_t c = cursor < 0 ? 0 : static_cast<size_t>(cursor);
    if (c <= prefix)
        edit.cursor = static_cast<int>(c);
    else if (c >= after.size() - suffix)
        edit.cursor = static_cast<int>(c - after.size() + edit.text.size());
    else
        edit.cursor = static_cast<int>(prefix + filtered.size());
    return edit;
}

double TolerantNumber(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    // Take the longest prefix that reads as a decimal number: sign, digits, one point, digits,
    // and an exponent only when digits follow it.
    std::string number;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) number += text[pos++];
    bool digits = false;
    while (pos < text.size() && isDigit(text[pos])) number += text[pos++], digits = true;
    if (pos < text.size() && text[pos] == '.') {
        number += text[pos++];
        while (pos < text.size() && isDigit(text[pos])) number += text[pos++], digits = true;
    }
    if (!digits) return 0.0;
    if (pos + 1 < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t exp = pos + 1;
        std::string tail = "e";
        if (exp < text.size() && (text[exp] == '-' || text[exp] == '+')) tail += text[exp++];
        if (exp < text.size() && isDigit(text[exp])) {
            while (exp < text.size() && isDigit(text[exp])) tail += text[exp++];
            number += tail;
        }
    }
    if (number.front() == '+') number.erase(0, 1);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    return ec == std::errc() ? value : 0.0;
}

}  // namespace calvento
