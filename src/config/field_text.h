// What the entry fields accept and how their numbers are read.
//
// The key filters work on the code of the typed character before it reaches the field, as the
// classic key-press event did: a filter may change the code (a small letter to a capital) or
// discard the key by setting the code to 0. Control keys arrive with their control codes: 3 for
// Ctrl+C, 8 for Backspace, 13 for Enter, 22 for Ctrl+V, 24 for Ctrl+X. Pure functions; the
// window hooks them into its fields.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace calvento {

constexpr int kKeyCtrlC = 3;
constexpr int kKeyBackspace = 8;
constexpr int kKeyEnter = 13;
constexpr int kKeyCtrlV = 22;
constexpr int kKeyCtrlX = 24;

// Digits and Backspace (durations, ports, timers, speed).
void FilterDigitKey(int& keyAscii);

// Digits, "." and Backspace (battery voltages); more than one point gets through and is judged
// when the value is used.
void FilterDecimalKey(int& keyAscii);

// The sequence to send: capitals first, then the sixteen DTMF keys, Backspace and Ctrl+C. Enter
// is discarded too; the caller sends the sequence when it sees 13 come in.
void FilterSequenceKey(int& keyAscii);

// The CW call: capitals first, then space, Backspace and every code from "0" to "Z".
void FilterCallKey(int& keyAscii);

// The fields that hold board sequences (commands, Modifier ID, Checksum ID, the calculator's
// two fields): capitals first, then the sixteen keys and Backspace; Ctrl+C too where
// `allowCopy`; and never `refusedKey` (the Checksum ID in the new sequence; 0 for none).
void FilterKeyField(int& keyAscii, bool allowCopy, int refusedKey);

// What a user's edit of a field leaves in it, whatever way the edit came (keys with any
// modifier, a paste, a drop, an input method): the characters the edit inserted go through the
// field's key filter one by one (made capitals where it makes them, dropped where it discards
// them), and only as many as fit `maxLength` are kept. What the field held before stays whole,
// even beyond `maxLength`: a value set by the program (from a file or a board) is never cut.
// `cursor` is the cursor after the edit; the answer gives where it goes in the filtered text.
struct FieldEdit {
    std::u16string text;
    int cursor = 0;
};
FieldEdit FilterFieldEdit(std::u16string_view before, std::u16string_view after, int cursor,
                          int maxLength, const std::function<void(int&)>& keyFilter);

// A small letter a-z becomes its capital; every other code is left alone.
int ToCapital(int keyAscii);

// The tolerant reading of a number typed into a field: the leading number of the text, with "."
// as the decimal point whatever the locale; an empty or non-numeric text gives 0.
double TolerantNumber(std::string_view text);

}  // namespace calvento
