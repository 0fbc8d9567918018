// Port numbers to device names.
//
// The window asks for serial ports by number, 1 to 16, as the classic program did. Port n is the
// device in the environment variable CALVENTO_COM<n> when set, else the line "COM<n>=<device>"
// of ports.conf in the program folder, else /dev/ttyS<n-1> on Linux and COM<n> on Windows.
#pragma once

#include <QString>

namespace calvento {

// The numbers a port may have, and what the user is told for any other.
constexpr int kFirstPortNumber = 1;
constexpr int kLastPortNumber = 16;
constexpr bool IsPortNumber(double number) {
    return number >= kFirstPortNumber && number <= kLastPortNumber;
}
QString InvalidPortNumberText();

// The device of port `number`, looking in `portsConf` (the text of ports.conf, may be empty).
QString DeviceForPortNumber(int number, const QString& portsConf);

// The same with ports.conf read from the program folder.
QString DeviceForPortNumber(int number);

// The whole number at the start of a field's text, 0 when there is none ("03" gives 3,
// "12ab" 12, "" and "x1" 0).
int LeadingPortNumber(const QString& text);

// What the user is told when a port cannot be opened: "Not able to open COM" and the port as
// typed, then on a second line the device and the system's reason (with a hint when it is a
// matter of permissions). Without a device (a number out of range) the first line only; a port
// typed as the device's path is named once, "Not able to open /dev/ttyUSB0: <reason>".
QString PortOpenFailure(const QString& typed, const QString& device, const QString& reason);

}  // namespace calvento
