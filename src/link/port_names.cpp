// Port numbers to device names. See port_names.h.
#include "link/port_names.h"

#include <QFile>
#include <QStringList>

#include "link/system_ports.h"
#include "platform/program_folder.h"
#include "platform/serial_port.h"

namespace calvento {

QString InvalidPortNumberText() {
    return QStringLiteral("Please enter a valid Comm number.");
}

QString DeviceForPortNumber(int number, const QString& portsConf) {
    const QString fromEnv =
        qEnvironmentVariable(qPrintable(QStringLiteral("CALVENTO_COM%1").arg(number)));
    if (!fromEnv.isEmpty()) return fromEnv;

    const QString key = QStringLiteral("COM%1").arg(number);
    for (const QString& rawLine : portsConf.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            const QString device = line.mid(eq + 1).trimmed();
            if (!device.isEmpty()) return device;
        }
    }
#ifdef Q_OS_WIN
    return key;
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

namespace {

QString portsConfPath() {
    return ProgramFile(QStringLiteral("ports.conf"));
}

QString readPortsConf() {
    QFile conf(portsConfPath());
    return conf.open(QIODevice::ReadOnly) ? QString::fromUtf8(conf.read(1024 * 1024)) : QString();
}

std::function<std::vector<SerialPortInfo>()>& portLister() {
    static std::function<std::vector<SerialPortInfo>()> lister = SystemSerialPorts;
    return lister;
}

// ports.conf with the lines of `keys` set to `values` (replaced where they stand, else added).
QString withLines(const QString& conf, const QStringList& keys, const QStringList& values) {
    QStringList lines = conf.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
    for (qsizetype k = 0; k < keys.size(); ++k) {
        const QString line = keys[k] + QLatin1Char('=') + values[k];
        bool found = false;
        for (QString& l : lines) {
            const qsizetype eq = l.indexOf(QLatin1Char('='));
            if (eq > 0 && l.left(eq).trimmed().compare(keys[k], Qt::CaseInsensitive) == 0) {
                l = line;
                found = true;
            }
        }
        if (!found) lines << line;
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace

QString DeviceForPortNumber(int number) {
    return DeviceForPortNumber(number, readPortsConf());
}

std::vector<SerialPortInfo> PresentPorts() {
    return portLister()();
}

void SetPortLister(std::function<std::vector<SerialPortInfo>()> lister) {
    portLister() = lister ? std::move(lister) : SystemSerialPorts;
}

PortIdentity RememberedAdapter(int number, const QString& portsConf) {
    const QString key = QStringLiteral("COM%1.adapter").arg(number);
    for (const QString& rawLine : portsConf.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return IdentityFromText(line.mid(eq + 1).trimmed().toStdString());
    }
    return {};
}

PortIdentity RememberedAdapter(int number) {
    return RememberedAdapter(number, readPortsConf());
}

bool OpenNumberedPort(SerialPort& port, int number, QString* device, QString* reason) {
    if (!IsPortNumber(number)) return false;
    const QString conf = readPortsConf();
    const PortIdentity adapter = RememberedAdapter(number, conf);
    *device = DeviceForPortNumber(number, conf);
    const bool fromEnv =
        !qEnvironmentVariable(qPrintable(QStringLiteral("CALVENTO_COM%1").arg(number))).isEmpty();
    if (!fromEnv && adapter != PortIdentity{}) {
        const std::vector<SerialPortInfo> present = portLister()();
        const SerialPortInfo* found = FindAdapter(adapter, present);
        if (!found) {
            *reason = QStringLiteral("the adapter %1 that COM%2 stands for is not plugged in")
                          .arg(QString::fromStdString(AdapterText(adapter)))
                          .arg(number);
            return false;
        }
        const QString now = QString::fromStdString(found->name);
        if (now != *device) {
            // The adapter has another name today: the number follows it.
            *device = now;
            QString ignored;
            WriteWholeFile(portsConfPath(),
                           withLines(conf, {QStringLiteral("COM%1").arg(number)}, {now}).toUtf8(),
                           &ignored);
        }
    }
    return port.open(*device, reason);
}

bool RememberPort(int number, const SerialPortInfo& chosen,
                  const std::vector<SerialPortInfo>& present, QString* error) {
    const QString text = withLines(
        readPortsConf(),
        {QStringLiteral("COM%1").arg(number), QStringLiteral("COM%1.adapter").arg(number)},
        {QString::fromStdString(chosen.name),
         QString::fromStdString(IdentityText(IdentityOf(chosen, present)))});
    return WriteWholeFile(portsConfPath(), text.toUtf8(), error);
}

QString PortOpenFailure(const QString& typed, const QString& device, const QString& reason) {
    if (device.isEmpty()) return QStringLiteral("Not able to open COM") + typed;
    const QString why = device + QStringLiteral(": ") + reason +
                        (reason.contains(QStringLiteral("ermission"))
                             ? QStringLiteral(" (is your user in the dialout group?)")
                             : QString());
    // A port given as a path (from a script) is named as given, not as a COM number.
    if (typed == device) return QStringLiteral("Not able to open ") + why;
    return QStringLiteral("Not able to open COM") + typed + QStringLiteral("\r\n") + why;
}

int LeadingPortNumber(const QString& text) {
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        value = value * 10 + (c.unicode() - '0');
        if (value > 99999) break;  // far beyond any port; stops an overflow on a long paste
    }
    return value;
}

}  // namespace calvento
