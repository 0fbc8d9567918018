// The serial port backend of the platform the program is built for: Qt SerialPort on Linux, the
// Win32 communications API on Windows. The programs create a SystemSerialPort; everything else
// sees only the seam (serial_port.h).
#pragma once

#ifdef _WIN32
#include "link/win_serial_port.h"
#else
#include "link/qt_serial_port.h"
#endif

namespace calvento {

#ifdef _WIN32
using SystemSerialPort = WinSerialPort;
#else
using SystemSerialPort = QtSerialPort;
#endif

}  // namespace calvento
