// The replace-sequence calculator: the over-the-air sequence that makes the board replace one
// stored command by another.
//
// The sequence is the original command, the board's Modifier ID, the new command, the board's
// Checksum ID and two checksum keys: the key codes of the new command summed, then that sum
// written as two base-16 digits in key-code order ("D1234567890*#ABC"). The inputs are taken as
// capitals (a-d are A-D on the air); the checks run in a fixed order on them and the first
// failure is the answer, with the message the window shows.
#pragma once

#include <string>

namespace calvento {

// The key code of a character, case ignored: "0" 10, "1"-"9" 1-9, "*" 11, "#" 12, A-C 13-15,
// D 0; -1 for anything else.
int KeyValue(char c);

// The Checksum ID followed by the keys of sum / 16 and sum % 16.
std::string ChecksumSuffix(const std::string& checksumId, int sum);

struct ReplaceResult {
    enum class Failure {
        None,
        MissingIds,
        OriginalEndsWithModifier,
        NewEndsWithModifier,
        TooShort,
        NotAKey,
        TooLong,
        HoldsChecksumKey,
    };
    Failure failure = Failure::None;
    std::string sequence;      // the sequence to send, when there is no failure
    std::string message;       // the two-sentence messages use CR LF between the sentences
    std::string title;         // "DTMF" or "Warning"
    bool exclamation = false;  // exclamation icon; the information icon otherwise
    int selectionStart = 0;    // for the ends-with failures: the keys to select in the field
    int selectionLength = 0;
};

ReplaceResult CalculateReplaceSequence(const std::string& original, const std::string& newSequence,
                                       const std::string& modifierId,
                                       const std::string& checksumId);

}  // namespace calvento
