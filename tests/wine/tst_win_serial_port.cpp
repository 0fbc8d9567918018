// The Windows serial backend on Wine's COM4, behind which with_board_on_com4.sh has put the board
// simulator (on a pseudo-terminal): opening \\.\COMn, the system's words for a port that is not
// there, the board's identification arriving through received(), the refusal of a line that a
// pseudo-terminal does not have, zero bytes dropped on request, a cable pulled in the middle of
// a write reported as a device error that closes the port, and the line errors Windows reports
// as the classic events. (A port that another program holds
// cannot be tried here: Wine lets two programs open one port.)
#include <QSignalSpy>
#include <QTest>

#include "link/reply_receiver.h"
#include "link/win_serial_port.h"

using namespace calvento;

namespace {

// What arrives, with the event loop running, until `count` bytes are there or three seconds passed.
QByteArray receive(WinSerialPort& port, int count) {
    QByteArray got;
    for (int i = 0; i < 300 && got.size() < count; ++i) {
        QTest::qWait(10);
        got += port.takeReceived();
    }
    return got;
}

}  // namespace

class TstWinSerialPort : public QObject {
    Q_OBJECT
private slots:
    void pathsOfPortNames_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("path");
        QTest::newRow("COM1") << "COM1"
                              << R"(\\.\COM1)";
        QTest::newRow("two digits") << "COM12"
                                    << R"(\\.\COM12)";
        QTest::newRow("lower case") << "com3"
                                    << R"(\\.\com3)";
        QTest::newRow("already a device path") << R"(\\.\COM7)"
                                               << R"(\\.\COM7)";
        QTest::newRow("other name") << "CNCA0"
                                    << "CNCA0";
    }
    void pathsOfPortNames() {
        QFETCH(QString, device);
        QFETCH(QString, path);
        QCOMPARE(WinSerialPort::SystemPath(device), path);
    }

    // What ClearCommError reports, as the status window's events (a pseudo-terminal has no line
    // errors to show, so the table is tried on its own).
    void lineErrorsAsClassicEvents_data() {
        QTest::addColumn<unsigned long>("errors");
        QTest::addColumn<QList<int>>("events");
        QTest::newRow("none") << 0ul << QList<int>{};
        QTest::newRow("break") << 0x10ul << QList<int>{1001};
        QTest::newRow("framing") << 0x8ul << QList<int>{1004};
        QTest::newRow("overrun") << 0x2ul << QList<int>{1006};
        QTest::newRow("input buffer full") << 0x1ul << QList<int>{1008};
        QTest::newRow("parity") << 0x4ul << QList<int>{1009};
        QTest::newRow("output buffer full") << 0x100ul << QList<int>{1010};
        QTest::newRow("framing and break") << 0x18ul << QList<int>{1001, 1004};
        QTest::newRow("a flag without an event") << 0x8000ul << QList<int>{};
    }
    void lineErrorsAsClassicEvents() {
        QFETCH(unsigned long, errors);
        QFETCH(QList<int>, events);
        const std::vector<int> got = WinSerialPort::LineErrorEvents(errors);
        QCOMPARE(QList<int>(got.begin(), got.end()), events);
    }

    void aPortThatIsNotThereIsToldInTheSystemsWords() {
        WinSerialPort port;
        QString error;
        QVERIFY(!port.open(QStringLiteral("COM9"), &error));
        QVERIFY(!port.isOpen());
        QVERIFY2(error.size() > 5 && !error.endsWith('\n'), qPrintable(error));
        QVERIFY(!port.write("x"));
        QVERIFY(!port.setRts(true, &error));
        QCOMPARE(error, QStringLiteral("the port is not open"));
    }

    void theBoardAnswersThroughReceived() {
        WinSerialPort port;
        QString error;
        QVERIFY2(port.open(QStringLiteral("COM4"), &error), qPrintable(error));
        QCOMPARE(port.device(), QStringLiteral("COM4"));
        QSignalSpy received(&port, &SerialPort::received);
        QVERIFY(port.write(QByteArray("\xFF\xCC", 2)));
        const QByteArray reply = receive(port, 31);
        QCOMPARE(reply, QByteArray::fromStdString(IdentificationReply(kExpectedIdentification)));
        // The signal follows the bytes (which the loop above may take before it comes).
        QTRY_VERIFY_WITH_TIMEOUT(received.count() >= 1, 1000);
        // Nothing more came, and nothing is handed out twice.
        QTest::qWait(100);
        QCOMPARE(port.takeReceived(), QByteArray());
        port.close();
        QVERIFY(!port.isOpen());
    }

    void aPseudoTerminalHasNoModemLines() {
        WinSerialPort port;
        QString error;
        QVERIFY2(port.open(QStringLiteral("COM4"), &error), qPrintable(error));
        QVERIFY(!port.setRts(true, &error));
        QVERIFY2(!error.isEmpty() && error != QStringLiteral("the port is not open"),
                 qPrintable(error));
        bool on = true;
        QVERIFY(!port.lineState(ModemLine::Rts, &on, &error));
        port.setLineFromAnyThread(ModemLine::Rts, true);  // no effect, and no harm
        QVERIFY(port.isOpen());
    }

    // The simulator's data reply carries zero bytes for the empty fields.
    void zeroBytesAreDroppedOnRequest() {
        WinSerialPort port;
        QString error;
        QVERIFY2(port.open(QStringLiteral("COM4"), &error), qPrintable(error));
        QVERIFY(port.write(QByteArray("\xFF\xAA", 2)));
        const QByteArray whole = receive(port, 211);
        QCOMPARE(whole.size(), 211);
        QVERIFY(whole.contains('\0'));
        port.setNullDiscard(true);
        QVERIFY(port.write(QByteArray("\xFF\xAA", 2)));
        QTest::qWait(800);
        const QByteArray filtered = port.takeReceived();
        QVERIFY(!filtered.isEmpty());
        QVERIFY(!filtered.contains('\0'));
        QCOMPARE(filtered.size(), whole.size() - whole.count('\0'));
    }

    // Last: the simulator hangs up after the first packet of a programming write.
    void aPulledCableClosesThePortWithADeviceError() {
        WinSerialPort port;
        QString error;
        QVERIFY2(port.open(QStringLiteral("COM4"), &error), qPrintable(error));
        QSignalSpy errors(&port, &SerialPort::lineError);
        QByteArray packet("\xFF\xFF", 2);
        packet += QByteArray(53, '\x01');
        QVERIFY(port.write(packet));
        QTRY_VERIFY_WITH_TIMEOUT(!port.isOpen(), 5000);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toInt(), CommEvent::Dcb);
        QVERIFY(!port.write("x"));
    }
};

QTEST_GUILESS_MAIN(TstWinSerialPort)
#include "tst_win_serial_port.moc"
