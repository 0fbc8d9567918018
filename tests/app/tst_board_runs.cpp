// Read and program runs of the real window against calvento-board-sim on a pseudo-terminal,
// through the Qt serial backend and the real clock: the status texts, the fields after a read,
// the image the simulator holds after a program run, and the bytes it received.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include "app/dialog.h"
#include "app/qt_user_interface.h"
#include "board_sim_process.h"
#include "link/reply_receiver.h"
#include "link/system_serial_port.h"
#include "test_share.h"
#include "window_rig.h"

using namespace calvento;
using namespace calvento::test;

namespace {

struct LinkRig : Rig {
    SystemSerialPort port;
    Sim sim;
    bool up = false;
    explicit LinkRig(const QStringList& simOptions = {}) {
        up = sim.start(simOptions);
        qputenv("CALVENTO_COM1", sim.device.toLatin1());
        window = std::make_unique<FrmTone>(player, port, ui, SystemClock());
        controls(*window).txtPrgComm->setText("1");
    }
    FrmTone& w() { return *window; }
    QString info() { return controls(w().statusWindow()).lblInfo->text(); }
    bool okShown() { return !controls(w().statusWindow()).OKButton->isHidden(); }
    void linkOn() { controls(w()).chkPrg->setChecked(true); }
};

QByteArray hex(const char* bytes, int n) {
    return QByteArray(bytes, n);
}

}  // namespace

class TstBoardRuns : public QObject {
    Q_OBJECT
private slots:
    void init() { test::RunOnlyThisShare(); }

    void linkOnShowsTheIdentification() {
        LinkRig r;
        QVERIFY(r.up);
        r.linkOn();
        QVERIFY2(r.port.isOpen(), r.ui.messages.empty() ? "" : qPrintable(r.ui.messages[0].text));
        QTRY_COMPARE(r.info(), QStringLiteral("DTMF Decoder v3.1 by Kolbex detected."));
        QVERIFY(r.okShown());
        QVERIFY(r.w().statusWindow().isVisible());
        // Switching off signs off before the port closes.
        controls(r.w()).chkPrg->setChecked(false);
        QVERIFY(!r.port.isOpen());
        QTRY_VERIFY(r.sim.received().endsWith(hex("\xFF\x99", 2)));
    }

    void readFillsTheFields() {
        LinkRig r;
        QVERIFY(r.up);
        r.w().setConfig(DecoderConfig{});  // blank fields
        r.linkOn();
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(controls(r.w()).cmdRead, Qt::LeftButton);
        qInfo("read run: %lld ms", static_cast<long long>(t.elapsed()));
        QCOMPARE(r.info(),
                 QStringLiteral("Data from DTMF Decoder v3.1 by Kolbex successfully read"));
        QVERIFY(r.okShown());
        QCOMPARE(controls(r.w()).txtMem_0->text(), QStringLiteral("100"));
        QCOMPARE(controls(r.w()).txtCallID->text(), QStringLiteral("SIM"));
        QCOMPARE(controls(r.w()).txtSeqCmd->text(), QStringLiteral("*0*"));
        QVERIFY(controls(r.w()).cmdRead->isEnabled());
        QVERIFY(controls(r.w()).chkPrg->isEnabled());
        QVERIFY(t.elapsed() >= 1200);
        // What the board heard: identify at switch-on, identify and read for the run.
        QCOMPARE(r.sim.received(), hex("\xFF\xCC\xFF\xCC\xFF\xAA", 6));
    }

    // PROGRAM first reads what the board holds into a backup and shows what will change; then
    // it writes and verifies. "Restore last backup" puts the old configuration back into the
    // fields, for a PROGRAM of its own.
    void programKeepsABackupShowsTheChangesAndVerifies() {
        LinkRig r;
        QVERIFY(r.up);
        const DecoderImage before = r.sim.image();
        const DecoderConfig board = DecodeConfig(before);
        r.w().setConfig(board);  // as a READ would leave it, then two fields edited
        r.linkOn();
        controls(r.w()).txtMem_3->setText("ABCD");
        controls(r.w()).txtCallID->setText("IZ0XYZ");
        QVERIFY(r.w().EncodeConfig());
        const DecoderImage sent = r.w().transmitImage();
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(controls(r.w()).cmdSend, Qt::LeftButton);
        qInfo("program run with its backup read: %lld ms", static_cast<long long>(t.elapsed()));
        QCOMPARE(r.info(), QStringLiteral("DTMF Decoder v3.1 by Kolbex successfully programmed"));
        QVERIFY(r.sim.image() == sent);
        QVERIFY(t.elapsed() >= 3000 + 1200);
        QVERIFY(controls(r.w()).cmdSend->isEnabled());
        // identify (switch-on); identify and read for the backup; identify, FF FF, four packets
        // with their sums, read.
        QByteArray expected = hex("\xFF\xCC\xFF\xCC\xFF\xAA\xFF\xCC\xFF\xFF", 10);
        for (const WritePacket& p : WritePackets(sent))
            expected += QByteArray(reinterpret_cast<const char*>(p.data()), kPacketSize);
        expected += hex("\xFF\xAA", 2);
        QCOMPARE(r.sim.received(), expected);

        // The backup holds what the board held, and the question named every change.
        const QStringList backups = QDir(r.dir.filePath("backups")).entryList({"board-*.prg"});
        QCOMPARE(backups.size(), 1);
        QCOMPARE(r.ui.questions.size(), size_t(1));
        const QString asked = r.ui.questions[0].text;
        QVERIFY2(asked.contains(
                     QString::fromStdString("\r\nCW Call: " + board.cwCall + " -> IZ0XYZ\r\n")) &&
                     asked.contains(QString::fromStdString(
                         "\r\n3: Output 2 OFF: " + board.commands[3] + " -> ABCD\r\n")) &&
                     asked.count(" -> ") == 2 && asked.contains(backups[0]),
                 qPrintable(asked));

        r.w().statusWindow().close();  // the user is back at the main window
        r.w().show();
        r.w().activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &r.w());
        controls(r.w()).txtMem_0->setFocus();
        QTest::keyClick(controls(r.w()).txtMem_0, Qt::Key_R,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(r.w().config().commands[3] == board.commands[3]);
        QCOMPARE(controls(r.w()).txtCallID->text(), QString::fromStdString(board.cwCall));
        QVERIFY(r.w().windowTitle().endsWith(backups[0]));
    }

    // No backup, no write: a board whose configuration cannot be read is not programmed unless
    // the user says so; a user who declines the changes leaves the board as it was.
    void programStopsWithoutABackupOrWhenDeclined_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QString>("question");
        QTest::newRow("backup read cut short")
            << QStringList{"--partial", "120"} << "could not be read, so no backup";
        QTest::newRow("changes declined") << QStringList{} << "Programming changes these fields";
    }
    void programStopsWithoutABackupOrWhenDeclined() {
        QFETCH(QStringList, simOptions);
        QFETCH(QString, question);
        LinkRig r(simOptions);
        QVERIFY(r.up);
        const DecoderImage before = r.sim.image();
        r.linkOn();
        controls(r.w()).txtMem_3->setText("ABCD");
        r.ui.questionAnswer = false;
        QTest::mouseClick(controls(r.w()).cmdSend, Qt::LeftButton);
        QCOMPARE(r.ui.questions.size(), size_t(1));
        QVERIFY2(r.ui.questions[0].text.contains(question), qPrintable(r.ui.questions[0].text));
        QVERIFY(!r.sim.received().contains(hex("\xFF\xFF", 2)));  // no write command
        QVERIFY(r.sim.image() == before);
        QVERIFY(controls(r.w()).cmdSend->isEnabled());
    }

    // With tracing on (remembered), each run leaves a trace in traces/ of the program folder.
    void theTraceSettingRecordsEachRun() {
        LinkRig r;
        QVERIFY(r.up);
        QAction* trace = r.w().findChild<QAction*>("actTraceRuns");
        QVERIFY(trace && !trace->isChecked());
        trace->setChecked(true);
        r.window = std::make_unique<FrmTone>(r.player, r.port, r.ui, SystemClock());
        QVERIFY(r.w().findChild<QAction*>("actTraceRuns")->isChecked());
        controls(r.w()).txtPrgComm->setText("1");
        r.linkOn();
        QTest::mouseClick(controls(r.w()).cmdRead, Qt::LeftButton);
        const QDir traces(r.dir.filePath("traces"));
        const QStringList files = traces.entryList({"trace-*.txt"});
        QCOMPARE(files.size(), 1);
        QFile f(traces.filePath(files[0]));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(text.contains(" > FF CC\n") && text.contains(" > FF AA\n") &&
                     text.contains(" < FF FF "),
                 text.constData());
    }

    // A traces folder that cannot be made is told with the system's reason; the run goes on.
    void aTraceFolderThatCannotBeMadeSaysWhy() {
        LinkRig r;
        QVERIFY(r.up);
        QVERIFY(QFile(r.dir.filePath("traces")).open(QIODevice::WriteOnly));  // a file in its way
        r.w().findChild<QAction*>("actTraceRuns")->setChecked(true);
        r.linkOn();
        QTest::mouseClick(controls(r.w()).cmdRead, Qt::LeftButton);
        QCOMPARE(r.info(),
                 QStringLiteral("Data from DTMF Decoder v3.1 by Kolbex successfully read"));
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QVERIFY2(r.ui.messages[0].text.contains("cannot be made: ") &&
                     r.ui.messages[0].text.contains("ot a directory"),
                 qPrintable(r.ui.messages[0].text));
    }

    // Boards that misbehave: each run ends with its own text, and a failed wait with a flush.
    void failures_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<bool>("program");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("flushed");
        // After a write that began and was not verified, a box says what the board holds.
        QTest::addColumn<QString>("state");
        QTest::newRow("no answer, read")
            << QStringList{"--silent"} << false
            << "FAILED to read version! Please Check Connections / Decoder" << true << QString();
        QTest::newRow("wrong version, program")
            << QStringList{"--id", "DTMF Decoder v3.0 by Kolbex"} << true
            << "FAILED to get Version!  Unable to program, please check Decoder" << true
            << QString();
        QTest::newRow("data sum wrong")
            << QStringList{"--bad-data-sum"} << false
            << "Error reading data from DTMF Decoder v3.1 by Kolbex" << false << QString();
        QTest::newRow("byte out of range")
            << QStringList{"--bad-byte", "8"} << false
            << "FAILED to read data!  Please check Connections / Decoder" << true << QString();
        QTest::newRow("read-back differs")
            << QStringList{"--store-differs"} << true
            << "Error programming DTMF Decoder v3.1 by Kolbex\r\nDiffers at byte 7" << false
            << "The board does not hold the configuration sent. The configuration it held before "
               "is kept in ";
        QTest::newRow("late replies")
            << QStringList{"--late", "1000"} << false
            << "FAILED to read version! Please Check Connections / Decoder" << true << QString();
        QTest::newRow("data reply cut short")
            << QStringList{"--partial", "120"} << false
            << "FAILED to read data!  Please check Connections / Decoder" << true << QString();
        QTest::newRow("no data reply, read")
            << QStringList{"--no-data"} << false
            << "FAILED to read data!  Please check Connections / Decoder" << true << QString();
        QTest::newRow("read-back cut short, program")
            << QStringList{"--partial", "120"} << true
            << "FAILED to read data!  Unable to program, please check Decoder" << true
            << "The board was written but not verified: READ shows what it holds.";
        QTest::newRow("no read-back, program")
            << QStringList{"--no-data"} << true
            << "FAILED to read data!  Unable to program, please check Decoder" << true
            << "The board was written but not verified: READ shows what it holds.";
        QTest::newRow("noise before replies")
            << QStringList{"--noise", "7"} << false
            << "Data from DTMF Decoder v3.1 by Kolbex successfully read" << false << QString();
    }
    void failures() {
        QFETCH(QStringList, simOptions);
        QFETCH(bool, program);
        QFETCH(QString, text);
        QFETCH(bool, flushed);
        QFETCH(QString, state);
        LinkRig r(simOptions);
        r.ui.questionAnswer = true;  // a board that cannot be read is programmed without a backup
        QVERIFY(r.up);
        r.linkOn();
        // Pressed at once: the switch-on identification is still on its way and completes
        // inside the run, where it must not pass for the run's data reply.
        if (simOptions.contains("--late")) QTest::qWait(1200);
        const DecoderConfig before = r.w().config();
        QTest::mouseClick(program ? controls(r.w()).cmdSend : controls(r.w()).cmdRead,
                          Qt::LeftButton);
        QCOMPARE(r.info(), text);
        QCOMPARE(controls(r.w().statusWindow()).lblInfo->accessibleName(),
                 QString(text).replace("\r\n", " "));  // a screen reader hears it
        QVERIFY(r.okShown());
        QTRY_COMPARE(r.sim.received().endsWith(QByteArray(256, ' ')), flushed);
        if (!text.startsWith("Data from")) QVERIFY(r.w().config() == before);  // fields untouched
        if (state.isEmpty()) {
            QVERIFY(r.ui.messages.empty());
        } else {
            QCOMPARE(r.ui.messages.size(), size_t(1));
            QVERIFY2(r.ui.messages[0].text.startsWith(state), qPrintable(r.ui.messages[0].text));
        }
    }

    void aWrongIdentificationTurnsTheTextRed() {
        LinkRig r({"--id", "DTMF Decoder v2.0 by Kolbex"});
        QVERIFY(r.up);
        r.linkOn();
        QTRY_COMPARE(r.info(),
                     QStringLiteral("Wrong version detected: DTMF Decoder v2.0 by Kolbex\r\n"
                                    "Use DTMF Decoder v3.1 by Kolbex !"));
        QCOMPARE(r.w().statusWindow().textColor(), QColor(Qt::red));
    }

    // The board hangs up in the middle of a program run: the run ends with a message that says
    // the board may hold part of the new configuration and how to put the backup back, no hang,
    // the status window's OK, and the controls show the link off.
    void theBoardHangsUpDuringProgramming() {
        LinkRig r({"--hang-up-after-packets", "2"});
        QVERIFY(r.up);
        r.linkOn();
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(controls(r.w()).cmdSend, Qt::LeftButton);
        QVERIFY(t.elapsed() < 10000);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("COM1"));
        const QStringList backups = QDir(r.dir.filePath("backups")).entryList({"board-*.prg"});
        QCOMPARE(backups.size(), 1);
        QVERIFY2(r.ui.messages[0].text.contains(
                     "\r\nThe board may now hold part of the new configuration. The configuration "
                     "it held before is kept in " +
                     QDir::toNativeSeparators(r.dir.filePath("backups/" + backups[0])) +
                     "; Restore last backup, then PROGRAM, puts it back."),
                 qPrintable(r.ui.messages[0].text));
        QVERIFY(r.okShown());
        QVERIFY(!r.port.isOpen());
        QVERIFY(!controls(r.w()).chkPrg->isChecked());
        QVERIFY(controls(r.w()).txtPrgComm->isEnabled());
        QVERIFY(!controls(r.w()).cmdRead->isEnabled());
        QVERIFY(!controls(r.w()).cmdSend->isEnabled());
    }

    // A board that takes the write and never answers the read-back: written, not verified.
    void aWriteWithoutItsReadBackSaysSo() {
        LinkRig r({"--no-data"});
        QVERIFY(r.up);
        r.linkOn();
        r.ui.questionAnswer = true;  // program without a backup: this board cannot be read
        QTest::mouseClick(controls(r.w()).cmdSend, Qt::LeftButton);
        QVERIFY(r.sim.received().contains(hex("\xFF\xFF", 2)));
        QCOMPARE(r.info(),
                 QStringLiteral("FAILED to read data!  Unable to program, please check Decoder"));
        QVERIFY(r.okShown());
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text,
                 QStringLiteral("The board was written but not verified: READ shows what it "
                                "holds."));
    }

    // A device that is not there: the message gives the system's reason, and the status window
    // never reads as a line error of the classic kind.
    void aMissingPortSaysWhy() {
        LinkRig r;
        qputenv("CALVENTO_COM3", "/dev/no-such-tty");
        controls(r.w()).txtPrgComm->setText("3");
        r.linkOn();
        QVERIFY(!r.port.isOpen());
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text,
                 QStringLiteral("Not able to open COM3\r\n/dev/no-such-tty: No such file or "
                                "directory"));
        QVERIFY(!r.w().hasStatusWindow() || !r.info().startsWith(QStringLiteral("Comm ")));
    }

    // Closing the window or a termination signal 0.7 s into PROGRAM: the board still gets all
    // four packets and the read-back. A close is refused with a note that does not wait for its
    // OK; a signal's close comes once the run is over.
    void noCloseInTheMiddleOfARun_data() {
        QTest::addColumn<bool>("signal");
        QTest::newRow("close box") << false;
        QTest::newRow("termination signal") << true;
    }
    void noCloseInTheMiddleOfARun() {
        QFETCH(bool, signal);
        LinkRig r;
        QVERIFY(r.up);
        r.w().show();
        r.linkOn();
        QVERIFY(r.w().EncodeConfig());
        const DecoderImage sent = r.w().transmitImage();
        QSignalSpy closed(&r.w(), &FrmTone::closed);
        QTimer::singleShot(700, [&] {
            if (signal)
                r.w().closeFromOutside();
            else
                r.w().close();
        });
        QTest::mouseClick(controls(r.w()).cmdSend, Qt::LeftButton);
        QCOMPARE(r.info(), QStringLiteral("DTMF Decoder v3.1 by Kolbex successfully programmed"));
        QVERIFY(r.sim.image() == sent);
        if (signal) {
            QTRY_COMPARE(closed.size(), 1);
            QTRY_VERIFY(r.sim.received().endsWith(QByteArray("\xFF\x99", 2)));  // signed off
            QVERIFY(QFile::exists(r.iniPath()));                                // settings written
        } else {
            QTest::qWait(50);
            QCOMPARE(closed.size(), 0);
            QVERIFY(r.w().isVisible());
            QCOMPARE(r.ui.messages.size(), size_t(1));
            QCOMPARE(r.ui.messages[0].text,
                     QStringLiteral("Please wait end of data transfer before closing "
                                    "application."));
        }
    }

    // A termination signal or the session's end while a box of the window is open: the box
    // closes (a question counts as No, so nothing is written), then the window closes as usual,
    // the settings written and the board signed off. The boxes are Qt's own, not recordings.
    void anEndFromOutsideClosesTheOpenBox_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<int>("boxesBeforeTheEnd");  // answered Yes before the end comes
        QTest::newRow("the PROGRAM question") << QStringList{} << 0;
        QTest::newRow("the port box after the board went away")
            << QStringList{"--hang-up-after-packets", "2"} << 1;
    }
    void anEndFromOutsideClosesTheOpenBox() {
        QFETCH(QStringList, simOptions);
        QFETCH(int, boxesBeforeTheEnd);
        Sim sim;
        QVERIFY(sim.start(simOptions));
        qputenv("CALVENTO_COM1", sim.device.toLatin1());
        Rig r;
        SystemSerialPort port;
        r.window = std::make_unique<FrmTone>(r.player, port, QtUiServices(), SystemClock());
        FrmTone& w = *r.window;
        w.show();
        controls(w).txtPrgComm->setText("1");
        controls(w).chkPrg->setChecked(true);
        QSignalSpy closed(&w, &FrmTone::closed);
        int boxes = 0;
        QString endedOn;
        QTimer watch;
        watch.setInterval(50);
        connect(&watch, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box->property("seen").toBool()) return;
            box->setProperty("seen", true);
            if (boxes++ < boxesBeforeTheEnd) {
                box->button(QMessageBox::Yes)->click();
                return;
            }
            endedOn = box->text();
            w.closeFromOutside();
        });
        watch.start();
        QTest::mouseClick(controls(w).cmdSend, Qt::LeftButton);
        watch.stop();
        QVERIFY2(!endedOn.isEmpty(), "no box was open");
        QTRY_COMPARE(closed.size(), 1);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(QFile::exists(r.iniPath()));  // settings written
        if (boxesBeforeTheEnd == 0) {
            QVERIFY2(endedOn.startsWith("Programming changes these fields"), qPrintable(endedOn));
            QVERIFY(!sim.received().contains(QByteArray("\xFF\xFF", 2)));     // nothing written
            QTRY_VERIFY(sim.received().endsWith(QByteArray("\xFF\x99", 2)));  // signed off
        } else {
            QVERIFY2(endedOn.contains("may now hold part of the new configuration"),
                     qPrintable(endedOn));
        }
    }

    void oneRunAtATime() {
        LinkRig r;
        QVERIFY(r.up);
        r.linkOn();
        bool lockedDuringRun = false;
        QTimer::singleShot(400, [&] {
            FrmTone& w = r.w();
            lockedDuringRun =
                !controls(w).cmdRead->isEnabled() && !controls(w).cmdSend->isEnabled() &&
                !controls(w).chkPrg->isEnabled() && !controls(w).chkPtt->isEnabled() &&
                !controls(w).cmdLoad->isEnabled() && !controls(w).txtPrgComm->isEnabled() &&
                !controls(w).txtPttCom->isEnabled();
        });
        QTest::mouseClick(controls(r.w()).cmdRead, Qt::LeftButton);
        QVERIFY(lockedDuringRun);
        QVERIFY(controls(r.w()).cmdRead->isEnabled() && controls(r.w()).cmdSend->isEnabled());
        QVERIFY(controls(r.w()).chkPrg->isEnabled() && controls(r.w()).cmdLoad->isEnabled());
        QVERIFY(!controls(r.w()).txtPrgComm->isEnabled());  // the link is still on
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallClassicFontSubstitutes();
    TstBoardRuns t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_board_runs.moc"
