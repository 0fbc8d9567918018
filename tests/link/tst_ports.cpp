// Serial ports by what they are: adapters found again under another name (COM5 to COM8,
// ttyUSB0 to ttyUSB1), two adapters of one model told apart, an adapter that is not plugged in
// named instead of opening whatever has its old name, and the port numbers of ports.conf
// following their adapter. The lists are fakes of what the system lists.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "fakes.h"
#include "link/port_identity.h"
#include "link/port_names.h"

using namespace calvento;

namespace {

SerialPortInfo usb(const char* name, int vid, int pid, const char* serial,
                   const char* location = "", const char* byId = "") {
    SerialPortInfo p;
    p.name = name;
    p.vendorId = vid;
    p.productId = pid;
    p.serialNumber = serial;
    p.location = location;
    p.byId = byId;
    p.description = vid == 0x1a86 ? "USB-SERIAL CH340" : "FT232R USB UART";
    return p;
}

const SerialPortInfo kFtdiA = usb("/dev/ttyUSB0", 0x0403, 0x6001, "A9XYZ", "1-1.1",
                                  "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XYZ-if00-port0");
const SerialPortInfo kFtdiB = usb("/dev/ttyUSB1", 0x0403, 0x6001, "B7QRS", "1-1.2",
                                  "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_B7QRS-if00-port0");
// Two CH340 adapters have no serial numbers: only their sockets tell them apart.
const SerialPortInfo kCh340Left = usb("COM5", 0x1a86, 0x7523, "", "Port_#0001.Hub_#0003");
const SerialPortInfo kCh340Right = usb("COM6", 0x1a86, 0x7523, "", "Port_#0002.Hub_#0003");

SerialPortInfo renamed(SerialPortInfo p, const char* name) {
    p.name = name;
    return p;
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<calvento::SerialPortInfo>)

class TstPorts : public QObject {
    Q_OBJECT
private slots:
    // The adapter chosen (from `before`) is found in `after` under `found`, or not at all.
    void adaptersAreFoundAgain_data() {
        using List = std::vector<SerialPortInfo>;
        QTest::addColumn<List>("before");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<List>("after");
        QTest::addColumn<QString>("found");
        QTest::newRow("ttyUSB0 comes back as ttyUSB1")
            << List{kFtdiA} << 0 << List{renamed(kFtdiA, "/dev/ttyUSB1")} << "/dev/ttyUSB1";
        QTest::newRow("COM5 comes back as COM8")
            << List{kCh340Left} << 0 << List{renamed(kCh340Left, "COM8")} << "COM8";
        QTest::newRow("two of one model told apart by serial number")
            << List{kFtdiA, kFtdiB} << 1
            << List{renamed(kFtdiB, "/dev/ttyUSB0"), renamed(kFtdiA, "/dev/ttyUSB1")}
            << "/dev/ttyUSB0";
        QTest::newRow("another adapter of the model is not this one")
            << List{kFtdiA} << 0 << List{renamed(kFtdiB, "/dev/ttyUSB0")} << "";
        QTest::newRow("twins without serial numbers: by socket")
            << List{kCh340Left, kCh340Right} << 1
            << List{renamed(kCh340Right, "COM3"), renamed(kCh340Left, "COM4")} << "COM3";
        QTest::newRow("not plugged in") << List{kFtdiA} << 0 << List{} << "";
        SerialPortInfo builtIn;
        builtIn.name = "/dev/ttyS0";
        QTest::newRow("a built-in port is known by its name")
            << List{builtIn} << 0 << List{kFtdiA, builtIn} << "/dev/ttyS0";
    }
    void adaptersAreFoundAgain() {
        QFETCH(std::vector<SerialPortInfo>, before);
        QFETCH(int, chosen);
        QFETCH(std::vector<SerialPortInfo>, after);
        QFETCH(QString, found);
        // Remembered as text, as ports.conf keeps it.
        const PortIdentity id =
            IdentityFromText(IdentityText(IdentityOf(before[static_cast<size_t>(chosen)], before)));
        QCOMPARE(id, IdentityOf(before[static_cast<size_t>(chosen)], before));
        const SerialPortInfo* now = FindAdapter(id, after);
        QCOMPARE(now ? QString::fromStdString(now->name) : QString(), found);
    }

    // A port number remembered with its adapter follows it (ports.conf is rewritten, its other
    // lines kept); an adapter that is not plugged in is named and nothing is opened.
    void portNumbersFollowTheirAdapter() {
        QTemporaryDir home;
        qputenv("CALVENTO_HOME", home.path().toUtf8());
        qunsetenv("CALVENTO_COM3");
        {
            QFile conf(home.filePath("ports.conf"));
            QVERIFY(conf.open(QIODevice::WriteOnly));
            conf.write("# my ports\nCOM1=/dev/ttyS4\n");
        }
        std::vector<SerialPortInfo> present{kFtdiA, kFtdiB};
        SetPortLister([&present] { return present; });
        QString error;
        QVERIFY(RememberPort(3, kFtdiB, present, &error));
        test::FakeSerialPort port;
        QString device, reason;
        QVERIFY(OpenNumberedPort(port, 3, &device, &reason));
        QCOMPARE(device, QStringLiteral("/dev/ttyUSB1"));

        present = {renamed(kFtdiB, "/dev/ttyUSB0")};  // replugged alone
        port.close();
        QVERIFY(OpenNumberedPort(port, 3, &device, &reason));
        QCOMPARE(port.device(), QStringLiteral("/dev/ttyUSB0"));
        QFile conf(home.filePath("ports.conf"));
        QVERIFY(conf.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(conf.readAll());
        QVERIFY2(text.startsWith("# my ports\nCOM1=/dev/ttyS4\nCOM3=/dev/ttyUSB0\nCOM3.adapter="),
                 qPrintable(text));
        QCOMPARE(DeviceForPortNumber(3), QStringLiteral("/dev/ttyUSB0"));

        present = {kFtdiA};  // the other adapter now has the name
        port.close();
        port.openedDevices.clear();
        QVERIFY(!OpenNumberedPort(port, 3, &device, &reason));
        QVERIFY(port.openedDevices.isEmpty());
        QCOMPARE(reason,
                 QStringLiteral("the adapter FT232R USB UART (0403:6001, serial B7QRS, last "
                                "seen as /dev/ttyUSB1) that COM3 stands for is not "
                                "plugged in"));
        SetPortLister(nullptr);
        qunsetenv("CALVENTO_HOME");
    }

    // Windows' instance ids: vendor, product, and the serial number where the adapter has one.
    void windowsInstanceIds_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("vidpid");
        QTest::addColumn<QString>("serial");
        QTest::newRow("USB with a serial number") << R"(USB\VID_0403&PID_6001\A9XYZ)"
                                                  << "0403:6001"
                                                  << "A9XYZ";
        QTest::newRow("FTDI's own bus") << R"(FTDIBUS\VID_0403+PID_6001+A9XYZA\0000)"
                                        << "0403:6001"
                                        << "A9XYZA";
        QTest::newRow("made up by Windows: none") << R"(USB\VID_1A86&PID_7523\5&2A3B4C&0&2)"
                                                  << "1a86:7523"
                                                  << "";
        QTest::newRow("a built-in port") << R"(ACPI\PNP0501\1)"
                                         << ""
                                         << "";
    }
    void windowsInstanceIds() {
        QFETCH(QString, id);
        QFETCH(QString, vidpid);
        QFETCH(QString, serial);
        SerialPortInfo p;
        ParseInstanceId(id.toStdString(), &p);
        QCOMPARE(QString::fromStdString(VendorProduct(p.vendorId, p.productId)), vidpid);
        QCOMPARE(QString::fromStdString(p.serialNumber), serial);
    }

    // What `calvento-cli ports` prints: a header, one port a line, six tab-separated fields, no
    // tab or line end inside a field.
    void theListAsPrinted() {
        SerialPortInfo odd = kCh340Left;
        odd.description = "USB-SERIAL\tCH340 (COM5)";
        const std::string text = PortListText({kFtdiA, odd});
        QCOMPARE(QString::fromStdString(text),
                 QStringLiteral("port\tby-id\tdescription\tmanufacturer\tserial\tvid:pid\n"
                                "/dev/ttyUSB0\t/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XYZ-"
                                "if00-port0\tFT232R USB UART\t\tA9XYZ\t0403:6001\n"
                                "COM5\t\tUSB-SERIAL CH340 (COM5)\t\t\t1a86:7523\n"));
    }
};

QTEST_GUILESS_MAIN(TstPorts)
#include "tst_ports.moc"
