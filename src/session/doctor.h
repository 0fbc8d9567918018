// The set-up doctor: what keeps a radio program from its ports, its sound and its files, each
// checked with OK or what is wrong and the exact command that fixes it. `calvento-cli doctor` and
// the Radio interface dialog's "Check set-up" show the same report.
//
// On Linux: the user's membership of the group that owns the serial devices (read from the
// device nodes, not assumed to be dialout), a braille-display service whose udev rules claim the
// common USB-serial chips, ModemManager probing new serial ports, access to the hidraw device of
// a CM108/CM119 sound interface, a sound server with output and input devices, Hamlib's
// version, a program folder that can be written. On Windows: a port that another program holds
// and the Prolific driver's refusal of an adapter (Device Manager's "Code 10"), with the sound,
// Hamlib and folder checks. The system is seen through SystemView, so that every check can be
// tried against a folder standing in for /dev, /etc/group, the udev rules and /sys.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "link/port_identity.h"

namespace calvento {

struct SystemView {
    bool windows = false;
    QString devDir = QStringLiteral("/dev");
    QString groupFile = QStringLiteral("/etc/group");
    QString sysDir = QStringLiteral("/sys");
    QStringList udevRuleDirs = {
        QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
        QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d")};
    QString userName;
    QStringList sessionGroups;    // the groups this login has now
    QStringList runningServices;  // names of the running processes
    int soundOutputs = 0;         // -1: no sound server answers
    int soundInputs = 0;
    QString hamlibVersion;  // empty: no Hamlib in this build
    QString programFolder;
    std::vector<SerialPortInfo> ports;  // Windows: the ports the Setup API lists
    std::function<bool(const QString& port, QString* why)> portFree;  // Windows: may it open?
};

struct DoctorCheck {
    QString name;
    bool ok = true;
    QString detail;  // what was found
    QString fix;     // the command (or step) that mends it; empty when ok
};

std::vector<DoctorCheck> RunDoctor(const SystemView& system);

// This machine as the doctor sees it: the user and his login's groups, the running processes,
// the sound devices, the serial ports (opened one by one on Windows to see whether another
// program holds them), Hamlib and the program folder.
SystemView ThisSystem();

// The report as printed: "OK    name: detail" or "FAIL  name: detail" and "      fix: ...".
QString DoctorReport(const std::vector<DoctorCheck>& checks);

}  // namespace calvento
