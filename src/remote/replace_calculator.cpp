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

ReplaceResult CalculateReplaceSequence(const std::string& originalIn, const std::string& newIn,
                                       const std::string& modifierIn,
                                       const std::string& checksumIn) {
    using Failure = ReplaceResult::Failure;
    ReplaceResult r;
    auto fail = [&](Failure f, std::string message, std::string title, bool exclamation) {
        r.failure = f;
        r.message = std::move(message);
        r.title = std::move(title);
        r.exclamation = exclamation;
        return r;
    };
    // Every check runs on what will be sent: small a-d are A-D on the air, so "12a" ends with
    // the Modifier ID "A" as much as "12A" does.
    const std::string original = capitals(originalIn);
    const std::string newSeq = capitals(newIn);
    const std::string modifierId = capitals(modifierIn);
    const std::string checksumId = capitals(checksumIn);

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

    // What the window's fields cannot hold (a pasted text, a script's arguments) is refused
    // rather than sent: a board would never match it.
    struct Input {
        const std::string& keys;
        const char* name;
        size_t maxKeys;
    };
    for (const Input& in :
         {Input{newSeq, "New Sequence", 10}, Input{original, "Original Sequence", 10},
          Input{modifierId, "Modifier ID", 8}, Input{checksumId, "Checksum ID", 1}}) {
        for (char c : in.keys)
            if (KeyValue(c) < 0)
                return fail(Failure::NotAKey,
                            std::string("The ") + in.name + " holds \"" + c +
                                "\", which is not a DTMF key.\r\nPlease modify " + in.name + ".",
                            "DTMF", true);
        if (in.keys.size() > in.maxKeys)
            return fail(Failure::TooLong,
                        in.maxKeys == 1 ? std::string(in.name) + ": only one key is allowed."
                                        : std::string(in.name) + " has more than " +
                                              std::to_string(in.maxKeys) + " keys.",
                        "DTMF", true);
    }

    // The board takes the Checksum ID key as the end of the new command: a new sequence that
    // holds it could never be stored (the window's field refuses the key as it is typed).
    if (newSeq.find(checksumId[0]) != std::string::npos)
        return fail(Failure::HoldsChecksumKey,
                    std::string("The New Sequence holds the Checksum ID key \"") + checksumId[0] +
                        "\".\r\nPlease modify New Sequence.",
                    "DTMF", true);

    int sum = 0;
    for (char c : newSeq) sum += KeyValue(c);
    r.sequence = original + modifierId + newSeq + ChecksumSuffix(checksumId, sum);
    return r;
}

}  // namespace calvento
