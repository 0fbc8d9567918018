// The set-up doctor. See doctor.h.
#include "session/doctor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryFile>

#include "link/system_ports.h"
#include "link/system_serial_port.h"
#include "platform/program_folder.h"
#include "session/radio_choice.h"
#include "tone/system_audio_output.h"

namespace calvento {

namespace {

// The groups of the group file: gid to name, and name to its listed members.
struct Groups {
    QHash<uint, QString> names;
    QHash<QString, QStringList> members;
};

Groups readGroups(const QString& path) {
    Groups g;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return g;
    for (const QString& line : QString::fromUtf8(f.read(1024 * 1024)).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.size() < 4) continue;
        g.names.insert(fields[2].toUInt(), fields[0]);
        g.members.insert(fields[0], fields[3].split(QLatin1Char(','), Qt::SkipEmptyParts));
    }
    return g;
}

QStringList nodes(const QString& dir, const QStringList& patterns) {
    QStringList out;
    for (const QFileInfo& f :
         QDir(dir).entryInfoList(patterns, QDir::System | QDir::Files, QDir::Name))
        out << f.absoluteFilePath();
    return out;
}

// Whether the user may read and write `node`: its mode for everyone, or for its group when the
// user's login has that group.
bool userMayUse(const QFileInfo& node, const QString& group, const SystemView& s) {
    const QFileDevice::Permissions p = node.permissions();
    if ((p & QFileDevice::ReadOther) && (p & QFileDevice::WriteOther)) return true;
    if (node.owner() == s.userName && (p & QFileDevice::ReadOwner) && (p & QFileDevice::WriteOwner))
        return true;
    return s.sessionGroups.contains(group) && (p & QFileDevice::ReadGroup) &&
           (p & QFileDevice::WriteGroup);
}

// What the user must do to get `group`: join it, or only log in again when the group file
// already lists him.
void needGroup(DoctorCheck& c, const Groups& groups, const QString& group, const SystemView& s) {
    c.ok = false;
    if (groups.members.value(group).contains(s.userName)) {
        c.detail +=
            QStringLiteral("; you were added to %1, but this login began before").arg(group);
        c.fix = QStringLiteral("log out and in again (or reboot)");
    } else {
        c.fix = QStringLiteral("sudo usermod -aG %1 %2, then log out and in again")
                    .arg(group, s.userName);
    }
}

DoctorCheck serialGroup(const SystemView& s, const Groups& groups) {
    DoctorCheck c{QStringLiteral("Serial ports"), true, {}, {}};
    const QStringList devices = nodes(
        s.devDir, {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("ttyS*")});
    if (devices.isEmpty()) {
        c.detail = QStringLiteral("no serial devices in %1").arg(s.devDir);
        return c;
    }
    // The USB adapters matter most; the group is the one their nodes carry.
    QString sample = devices.first();
    for (const QString& d : devices)
        if (!QFileInfo(d).fileName().startsWith(QLatin1String("ttyS"))) {
            sample = d;
            break;
        }
    const QFileInfo node(sample);
    const QString group = groups.names.value(node.groupId(), QString::number(node.groupId()));
    c.detail = QStringLiteral("%1 belongs to group %2").arg(node.absoluteFilePath(), group);
    if (userMayUse(node, group, s)) {
        c.detail += QStringLiteral(", and you may use it");
        return c;
    }
    c.detail += QStringLiteral(", which this login does not have");
    needGroup(c, groups, group, s);
    return c;
}

// The USB vendors of the common serial chips: FTDI, WCH (CH340), Silicon Labs (CP210x),
// Prolific.
const QStringList kSerialVendors = {QStringLiteral("0403"), QStringLiteral("1a86"),
                                    QStringLiteral("10c4"), QStringLiteral("067b")};

DoctorCheck brailleService(const SystemView& s) {
    DoctorCheck c{QStringLiteral("Braille display service"), true, {}, {}};
    for (const QString& dir : s.udevRuleDirs)
        for (const QString& rules : nodes(dir, {QStringLiteral("*.rules")})) {
            QFile f(rules);
            if (!f.open(QIODevice::ReadOnly)) continue;
            const QString text = QString::fromUtf8(f.read(4 * 1024 * 1024)).toLower();
            if (!text.contains(QLatin1String("brltty"))) continue;
            // Rules name a chip by its vendor attribute, or by the PRODUCT variable, whose
            // numbers lose their leading zeros ("403/6001/*").
            for (const QString& vendor : kSerialVendors)
                if (text.contains(QStringLiteral("idvendor}==\"%1\"").arg(vendor)) ||
                    text.contains(QStringLiteral("product}==\"%1/")
                                      .arg(QString::number(vendor.toInt(nullptr, 16), 16)))) {
                    c.ok = false;
                    c.detail = QStringLiteral(
                                   "brltty's udev rules (%1) claim USB serial adapters (vendor "
                                   "%2) and take them away as they are plugged in")
                                   .arg(rules, vendor);
                    c.fix = QStringLiteral(
                        "sudo apt remove brltty (unless a braille display is "
                        "used), then plug the adapter in again");
                    return c;
                }
        }
    c.detail = QStringLiteral("no braille service claims USB serial adapters");
    return c;
}

DoctorCheck modemManager(const SystemView& s) {
    DoctorCheck c{QStringLiteral("ModemManager"), true, {}, {}};
    if (!s.runningServices.contains(QStringLiteral("ModemManager"))) {
        c.detail = QStringLiteral("not running");
        return c;
    }
    c.ok = false;
    c.detail = QStringLiteral(
        "running: it probes every new serial port with modem commands, "
        "which a board or a radio may take as data");
    c.fix = QStringLiteral("sudo systemctl disable --now ModemManager.service");
    return c;
}

DoctorCheck cm108Access(const SystemView& s, const Groups& groups) {
    DoctorCheck c{QStringLiteral("CM108/CM119 push-to-talk"), true, {}, {}};
    const QString classDir = s.sysDir + QStringLiteral("/class/hidraw");
    for (const QString& entry :
         QDir(classDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile uevent(classDir + QLatin1Char('/') + entry + QStringLiteral("/device/uevent"));
        if (!uevent.open(QIODevice::ReadOnly) ||
            !uevent.readAll().toUpper().contains("HID_ID=0003:00000D8C"))
            continue;
        const QFileInfo node(s.devDir + QLatin1Char('/') + entry);
        const QString group = groups.names.value(node.groupId(), QString::number(node.groupId()));
        c.detail = QStringLiteral("%1 (a C-Media interface) belongs to group %2")
                       .arg(node.absoluteFilePath(), group);
        if (userMayUse(node, group, s)) {
            c.detail += QStringLiteral(", and you may use it");
            return c;
        }
        if (group == QLatin1String("root")) {
            c.ok = false;
            c.detail += QStringLiteral(": no udev rule gives it to a group");
            c.fix =
                QStringLiteral(
                    "sudo cp 60-calvento-cm108.rules /etc/udev/rules.d/ && sudo udevadm control "
                    "--reload && sudo udevadm trigger (the file is in Calvento's data folder), "
                    "then "
                    "sudo usermod -aG plugdev %1 and log in again")
                    .arg(s.userName);
            return c;
        }
        needGroup(c, groups, group, s);
        return c;
    }
    c.detail = QStringLiteral("no C-Media interface plugged in");
    return c;
}

DoctorCheck sound(const SystemView& s) {
    DoctorCheck c{QStringLiteral("Sound"), true, {}, {}};
    if (s.soundOutputs <= 0) {
        c.ok = false;
        c.detail = s.soundOutputs < 0 ? QStringLiteral("no sound server answers")
                                      : QStringLiteral("no sound output device");
        c.fix = s.windows ? QStringLiteral("connect a sound device and check Settings, Sound")
                          : QStringLiteral(
                                "systemctl --user start pipewire-pulse (or: "
                                "pulseaudio --start)");
        return c;
    }
    c.detail =
        QStringLiteral("%1 output and %2 input devices").arg(s.soundOutputs).arg(s.soundInputs);
    if (s.soundInputs <= 0) {
        c.ok = false;
        c.detail += QStringLiteral(": the receiver's audio has nowhere to come in");
        c.fix = QStringLiteral(
            "connect the receiver's audio to a sound input (a USB sound "
            "interface's microphone or line input)");
    }
    return c;
}

DoctorCheck hamlib(const SystemView& s) {
    return {QStringLiteral("Hamlib"),
            true,
            s.hamlibVersion.isEmpty() ? QStringLiteral("not in this build: push-to-talk on RTS "
                                                       "or DTR only")
                                      : QStringLiteral("version %1").arg(s.hamlibVersion),
            {}};
}

DoctorCheck programFolder(const SystemView& s) {
    DoctorCheck c{QStringLiteral("Program folder"), true, s.programFolder, {}};
    QTemporaryFile probe(s.programFolder + QStringLiteral("/.calvento-doctor-XXXXXX"));
    if (QFileInfo(s.programFolder).isDir() && probe.open()) {
        c.detail += QStringLiteral(" can be written");
        return c;
    }
    c.ok = false;
    c.detail += QStringLiteral(
        " cannot be written: settings, sites, the send log and backups "
        "would be lost");
    c.fix = s.windows ? QStringLiteral("set CALVENTO_HOME to a folder you may write to")
                      : QStringLiteral(
                            "sudo chown -R %1 \"%2\" (or set CALVENTO_HOME to a folder "
                            "you may write to)")
                            .arg(s.userName, s.programFolder);
    return c;
}

std::vector<DoctorCheck> windowsPorts(const SystemView& s) {
    DoctorCheck held{QStringLiteral("Serial ports free"), true, {}, {}};
    DoctorCheck prolific{QStringLiteral("Prolific adapters"),
                         true,
                         QStringLiteral("none refused by their driver"),
                         {}};
    QStringList free;
    for (const SerialPortInfo& p : s.ports) {
        const QString name = QString::fromStdString(p.name);
        if (p.vendorId == 0x067b && p.problemCode == 10) {
            prolific.ok = false;
            prolific.detail = QStringLiteral(
                                  "%1 does not start (Device Manager: Code 10): the "
                                  "Prolific driver refuses this PL2303 chip")
                                  .arg(QString::fromStdString(p.description));
            prolific.fix = QStringLiteral(
                "in Device Manager, Update driver, Browse, Let me pick, "
                "choose the Prolific driver version 3.8.x; or use an "
                "adapter with an FTDI or CH340 chip");
            continue;
        }
        QString why;
        if (!s.portFree || s.portFree(name, &why)) {
            free << name;
            continue;
        }
        held.ok = false;
        held.detail += (held.detail.isEmpty() ? QString() : QStringLiteral("; ")) +
                       QStringLiteral("%1 is held by another program (%2)").arg(name, why);
        held.fix = QStringLiteral(
            "close the program that uses the port (another radio "
            "program, a logging program, a modem service)");
    }
    if (held.ok)
        held.detail = free.isEmpty() ? QStringLiteral("no serial ports")
                                     : QStringLiteral("%1 may be opened").arg(free.join(", "));
    return {held, prolific};
}

}  // namespace

std::vector<DoctorCheck> RunDoctor(const SystemView& s) {
    std::vector<DoctorCheck> checks;
    if (s.windows) {
        for (DoctorCheck& c : windowsPorts(s)) checks.push_back(c);
    } else {
        const Groups groups = readGroups(s.groupFile);
        checks.push_back(serialGroup(s, groups));
        checks.push_back(brailleService(s));
        checks.push_back(modemManager(s));
        checks.push_back(cm108Access(s, groups));
    }
    checks.push_back(sound(s));
    checks.push_back(hamlib(s));
    checks.push_back(programFolder(s));
    return checks;
}

#ifndef _WIN32
namespace {

// A program's first line of output, empty when it cannot run.
QString firstLine(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(3000)) return QString();
    return QString::fromLocal8Bit(p.readAllStandardOutput())
        .section(QLatin1Char('\n'), 0, 0)
        .trimmed();
}

}  // namespace
#endif

SystemView ThisSystem() {
    SystemView s;
#ifdef _WIN32
    s.windows = true;
    s.userName = qEnvironmentVariable("USERNAME");
    s.ports = SystemSerialPorts();
    s.portFree = [](const QString& port, QString* why) {
        SystemSerialPort probe;
        const bool opened = probe.open(port, why);
        probe.close();
        // Only a port that another program holds counts here; a missing one shows elsewhere.
        return opened || !why->contains(QStringLiteral("denied"), Qt::CaseInsensitive);
    };
#else
    s.userName = firstLine(QStringLiteral("id"), {QStringLiteral("-un")});
    s.sessionGroups = firstLine(QStringLiteral("id"), {QStringLiteral("-Gn")})
                          .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly))
            s.runningServices << QString::fromUtf8(comm.readAll()).trimmed();
    }
#endif
    const int outputs = SystemAudioOutput().outputDeviceCount();
    s.soundOutputs = outputs;
    s.soundInputs = SystemAudioInputCount();
    s.hamlibVersion = HamlibVersion();
    s.programFolder = ProgramFolder();
    return s;
}

QString DoctorReport(const std::vector<DoctorCheck>& checks) {
    QString out;
    for (const DoctorCheck& c : checks) {
        out += (c.ok ? QStringLiteral("OK    ") : QStringLiteral("FAIL  ")) + c.name +
               QStringLiteral(": ") + c.detail + QLatin1Char('\n');
        if (!c.fix.isEmpty()) out += QStringLiteral("      fix: ") + c.fix + QLatin1Char('\n');
    }
    return out;
}

}  // namespace calvento
