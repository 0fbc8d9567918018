// Serial ports by what they are, not by the name the system gave them today.
//
// A USB serial adapter is /dev/ttyUSB0 today and ttyUSB1 tomorrow, COM5 on one socket and COM8 on
// another. What stays is the adapter: its USB vendor and product, its serial number when it has
// one, its /dev/serial/by-id link on Linux (made from the same), and, for two adapters of one
// model without serial numbers, their order on the bus. A port chosen from the list is
// remembered by that identity, written as one line of text; when the adapter comes back under
// another name it is found again, and when it is not plugged in the program says which adapter
// it expected instead of opening whatever now has the old name. Pure: plain values in and out.
#pragma once

#include <string>
#include <vector>

namespace calvento {

// One serial port as the system lists it.
struct SerialPortInfo {
    std::string name;          // what opens it: "/dev/ttyUSB0", "COM5"
    std::string byId;          // Linux: its /dev/serial/by-id link, when it has one
    std::string description;   // "FT232R USB UART"; on Windows Device Manager's friendly name
    std::string manufacturer;  // "FTDI"
    std::string serialNumber;  // the adapter's USB serial number, when it has one
    int vendorId = -1;         // USB vendor and product, -1 when not a USB device
    int productId = -1;
    std::string location;  // where it is plugged in (the USB path), when known
    int problemCode = 0;   // Windows: Device Manager's problem code (10: the device cannot start)
    bool operator==(const SerialPortInfo&) const = default;
};

// What a remembered port stands for.
struct PortIdentity {
    std::string serialNumber;
    std::string byId;
    int vendorId = -1;
    int productId = -1;
    int position = 0;  // among the plugged-in ports of the same vendor and product
    std::string name;  // its name when it was chosen
    std::string description;
    bool operator==(const PortIdentity&) const = default;
};

// "0403:6001", or "" for a port that is not a USB device.
std::string VendorProduct(int vendorId, int productId);

// The identity of `port`, one of `all` (for its position among its twins).
PortIdentity IdentityOf(const SerialPortInfo& port, const std::vector<SerialPortInfo>& all);

// The port of `all` that is the adapter `identity` stands for, or null when it is not plugged in.
// A serial number decides alone (another adapter of the model is not this one); else the by-id
// link; else vendor, product and position; a port without USB identity is known by its name.
const SerialPortInfo* FindAdapter(const PortIdentity& identity,
                                  const std::vector<SerialPortInfo>& all);

// The identity as one line of text ("vidpid=0403:6001;serial=A9XYZ;pos=0;name=/dev/ttyUSB0;
// desc=FT232R USB UART"), and back; a text that is no identity gives one with nothing set.
std::string IdentityText(const PortIdentity& identity);
PortIdentity IdentityFromText(const std::string& text);

// The adapter as a user recognises it: "FT232R USB UART (0403:6001, serial A9XYZ)".
std::string AdapterText(const PortIdentity& identity);

// Windows: the vendor, the product and the serial number in a device's instance id
// ("USB\VID_0403&PID_6001\A9XYZ", "FTDIBUS\VID_0403+PID_6001+A9XYZA\0000"); an id that Windows
// made up for an adapter without a serial number ("USB\VID_1A86&PID_7523\5&2A3B4C&0&2") gives
// none.
void ParseInstanceId(const std::string& id, SerialPortInfo* port);

// The list as `calvento-cli ports` prints it: a header, then one port a line, tab-separated
// (name, by-id link, description, manufacturer, serial number, vendor:product).
std::string PortListText(const std::vector<SerialPortInfo>& ports);

}  // namespace calvento
