// Port numbers to device names.
//
// The window asks for serial ports by number, 1 to 16, as the classic program did. Port n is the
// device in the environment variable CALVENTO_COM<n> when set, else the line "COM<n>=<device>"
// of ports.conf in the program folder, else /dev/ttyS<n-1> on Linux and COM<n> on Windows.
//
// A port chosen from the list of named ports is remembered in ports.conf with the adapter it is
// (a line "COM<n>.adapter=<identity>", link/port_identity.h): when the adapter comes back under
// another name the number follows it (the COM<n> line is rewritten), and when it is not plugged
// in the port is not opened on whatever now has the old name; the user is told which adapter
// was expected.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "link/port_identity.h"

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

class SerialPort;

// Opens `port` as port `number`: on its remembered adapter wherever it is now, else on the
// device the number names. False with the device tried (empty for a number out of range) and the
// reason.
bool OpenNumberedPort(SerialPort& port, int number, QString* device, QString* reason);

// Remembers `chosen` (one of `present`) as port `number` in the ports.conf of the program
// folder, the file's other lines kept; false with the reason.
bool RememberPort(int number, const SerialPortInfo& chosen,
                  const std::vector<SerialPortInfo>& present, QString* error);

// The adapter remembered for port `number` in `portsConf`, with nothing set when there is none.
PortIdentity RememberedAdapter(int number, const QString& portsConf);
// The same with ports.conf read from the program folder.
PortIdentity RememberedAdapter(int number);

// The serial ports present now, and where that list comes from (the system's, unless a test
// says otherwise).
std::vector<SerialPortInfo> PresentPorts();
void SetPortLister(std::function<std::vector<SerialPortInfo>()> lister);

// The whole number at the start of a field's text, 0 when there is none ("03" gives 3,
// "12ab" 12, "" and "x1" 0).
int LeadingPortNumber(const QString& text);

// What the user is told when a port cannot be opened: "Not able to open COM" and the port as
// typed, then on a second line the device and the system's reason (with a hint when it is a
// matter of permissions). Without a device (a number out of range) the first line only; a port
// typed as the device's path is named once, "Not able to open /dev/ttyUSB0: <reason>".
QString PortOpenFailure(const QString& typed, const QString& device, const QString& reason);

}  // namespace calvento
