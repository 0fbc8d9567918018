// Port numbers to device names. See port_names.h.
#include "link/port_names.h"

#include <QFile>
#include <QStringList>

#include "platform/program_folder.h"

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

QString DeviceForPortNumber(int number) {
    QFile conf(ProgramFile(QStringLiteral("ports.conf")));
    const QString text =
        conf.open(QIODevice::ReadOnly) ? QString::fromUtf8(conf.readAll()) : QString();
    return DeviceForPortNumber(number, text);
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
