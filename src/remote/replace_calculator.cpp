// Replace-sequence calculator. See replace_calculator.h.
#include "remote/replace_calculator.h"

namespace calvento {

namespace {

constexpr char kKeyOrder[] = "D1234567890*#ABC";

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Small a-d as capitals: they count as A-D in the checksum, so they must sound as A-D too.
std::string capitals(std::string keys) {
    for (char& c : keys)
        if (c >= 'a' && c <= 'd') c = static_cast<char>(c - 'a' + 'A');
    return keys;
}

}  // namespace

int KeyValue(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == '0') return 10;
    if (c >= '1' && c <= '9') return c - '0';
    if (c == '*') return 11;
    if (c == '#') return 12;
    if (c >= 'A' && c <= 'C') return 13 + (c - 'A');
    if (c == 'D') return 0;
    return -1;
}

std::string ChecksumSuffix(const std::string& checksumId, int sum) {
    return checksumId + kKeyOrder[(sum / 16) & 15] + kKeyOrder[sum % 16];
}

ReplaceResult CalculateReplaceSequence(const std::string& original, const std::string& newSeq,
                                       const std::string& modifierId,
                                       const std::string& checksumId) {
    using Failure = ReplaceResult::Failure;
    ReplaceResult r;
    auto fail = [&](Failure f, std::string message, std::string title, bool exclamation) {
        r.failure = f;
        r.message = std::move(message);
        r.title = std::move(title);
        r.exclamation = exclamation;
        return r;
    };

    if (modifierId.empty() || checksumId.empty())
        return fail(Failure::MissingIds,
                    "Modifier ID or Checksum ID cannot be empty.\r\n"
                    "Please insert Modifier ID / Checksum ID in Direct Programming Tab.",
                    "DTMF", true);
    const int m = static_cast<int>(modifierId.size());
    if (endsWith(original, modifierId)) {
        r.selectionStart = static_cast<int>(original.size()) - m;
        r.selectionLength = m;
        return fail(Failure::OriginalEndsWithModifier,
                    "Original Sequence ends with Modifier ID Sequence.\r\n"
                    "Please modify Original Sequence.",
                    "Warning", false);
    }
    if (endsWith(newSeq, modifierId)) {
        r.selectionStart = static_cast<int>(newSeq.size()) - m;
        r.selectionLength = m;
        return fail(Failure::NewEndsWithModifier,
                    "New Sequence ends with Modifier ID Sequence.\r\nPlease modify New Sequence.",
                    "Warning", false);
    }
    if (original.size() < 2 || newSeq.empty())
        return fail(Failure::TooShort, "Original/New Sequence too short.", "DTMF", true);

    int sum = 0;
    for (char c : newSeq) {
        const int value = KeyValue(c);
        if (value < 0)
            return fail(Failure::NotAKey,
                        std::string("The New Sequence holds \"") + c +
                            "\", which is not a DTMF key.\r\nPlease modify New Sequence.",
                        "DTMF", true);
        sum += value;
    }
    r.sequence = capitals(original) + capitals(modifierId) + capitals(newSeq) +
                 ChecksumSuffix(capitals(checksumId), sum);
    return r;
}

}  // namespace calvento
