// The serial ports this machine has now, as the system lists them: on Linux Qt's port list
// with each adapter's /dev/serial/by-id link; on Windows the communications ports of the Setup
// API with Device Manager's friendly names ("USB-SERIAL CH340 (COM5)") and problem codes.
#pragma once

#include <vector>

#include "link/port_identity.h"

namespace calvento {

std::vector<SerialPortInfo> SystemSerialPorts();

}  // namespace calvento
