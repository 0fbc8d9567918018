// The serial ports this machine has now. See system_ports.h.
#include "link/system_ports.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <algorithm>

#ifdef _WIN32
#include <windows.h>
// Windows headers first: the Setup API needs their types.
#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>
#else
#include <QSerialPortInfo>
#endif

namespace calvento {

#ifdef _WIN32

namespace {

std::string utf8(const wchar_t* text) {
    return QString::fromWCharArray(text).toStdString();
}

std::string deviceProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property) {
    wchar_t buffer[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, device, property, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                           nullptr))
        return {};
    return utf8(buffer);
}

}  // namespace

std::vector<SerialPortInfo> SystemSerialPorts() {
    std::vector<SerialPortInfo> ports;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        SerialPortInfo port;
        if (HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
            key != INVALID_HANDLE_VALUE) {
            wchar_t name[64] = {};
            DWORD size = sizeof name - 2, type = 0;
            if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name),
                                 &size) == ERROR_SUCCESS &&
                type == REG_SZ)
                port.name = utf8(name);
            RegCloseKey(key);
        }
        if (port.name.rfind("COM", 0) != 0) continue;  // a printer port (LPT1), not serial
        port.description = deviceProperty(set, &device, SPDRP_FRIENDLYNAME);
        if (port.description.empty())
            port.description =
                deviceProperty(set, &device, SPDRP_DEVICEDESC) + " (" + port.name + ")";
        port.manufacturer = deviceProperty(set, &device, SPDRP_MFG);
        wchar_t instance[512] = {};
        if (SetupDiGetDeviceInstanceIdW(set, &device, instance, 511, nullptr))
            ParseInstanceId(utf8(instance), &port);
        port.location = deviceProperty(set, &device, SPDRP_LOCATION_INFORMATION);
        ULONG status = 0, problem = 0;
        if (CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS &&
            (status & DN_HAS_PROBLEM))
            port.problemCode = static_cast<int>(problem);
        ports.push_back(port);
    }
    SetupDiDestroyDeviceInfoList(set);
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        return a.name.size() != b.name.size() ? a.name.size() < b.name.size() : a.name < b.name;
    });
    return ports;
}

#else

std::vector<SerialPortInfo> SystemSerialPorts() {
    // The by-id links name the adapters (vendor, model, serial number) and point at today's
    // device.
    QHash<QString, QString> byId;
    const QDir links(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link : links.entryInfoList(QDir::System | QDir::Files))
        byId.insert(link.canonicalFilePath(), link.absoluteFilePath());
    std::vector<SerialPortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialPortInfo port;
        port.name = info.systemLocation().toStdString();
        port.byId = byId.value(QFileInfo(info.systemLocation()).canonicalFilePath()).toStdString();
        port.description = info.description().toStdString();
        port.manufacturer = info.manufacturer().toStdString();
        port.serialNumber = info.serialNumber().toStdString();
        if (info.hasVendorIdentifier()) port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) port.productId = info.productIdentifier();
        // Where it is plugged in: the device's path in sysfs (its USB hub and socket).
        port.location = QFileInfo(QStringLiteral("/sys/class/tty/%1/device").arg(info.portName()))
                            .canonicalFilePath()
                            .toStdString();
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.name < b.name; });
    return ports;
}

#endif

}  // namespace calvento
