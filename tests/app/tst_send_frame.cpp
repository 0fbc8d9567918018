// The send frame and the entry fields, typed into the real window as a user would: the key
// filters, Enter, the counter, the corrections of the durations, the effective-time texts, push-
// to-talk keying in its order, the port hand-over between push-to-talk and programming, and one
// run on a real pseudo-terminal through the Qt serial backend.
#include <QApplication>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>
#endif
#include <QClipboard>
#include <QElapsedTimer>
#include <QLocale>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include "app/radio_interface.h"
#include "link/port_names.h"
#include "link/system_serial_port.h"
#include "rigctld_process.h"
#include "session/send_log.h"
#include "window_rig.h"

using namespace calvento;
using namespace calvento::test;

namespace {

SerialPortInfo renamed(SerialPortInfo p, const char* name) {
    p.name = name;
    return p;
}

QLineEdit* field(FrmTone& w, const QString& name) {
    return w.findChild<QLineEdit*>(name);
}

#ifdef Q_OS_UNIX
// What reached the other end of a pseudo-terminal, waiting (with the event loop running, so that
// the port flushes) until `count` bytes are there or two seconds have passed.
QByteArray readFromMaster(int master, int count) {
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < count && t.elapsed() < 2000) {
        QCoreApplication::processEvents();
        char buf[64];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
        else
            QTest::qWait(5);
    }
    return got;
}
#endif

void typeInto(QLineEdit* f, const QString& keys) {
    f->setFocus();
    for (QChar c : keys) QTest::keyClick(f, c.toLatin1());
}

// A rig whose journal records the port, the clock's sleeps and the start of playback in order.
struct SendRig : Rig {
    QStringList journal;
    SendRig() {
        port.journal = &journal;
        clock.journal = &journal;
        audio.journal = &journal;
        qputenv("CALVENTO_COM1", "fake1");
        qputenv("CALVENTO_COM2", "fake2");
        open();
        controls(*window).SSTab1->setCurrentIndex(1);
    }
    FrmTone& w() { return *window; }
};

}  // namespace

class TstSendFrame : public QObject {
    Q_OBJECT
private slots:
    void keyFilters_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::newRow("sequence: small a-d become capitals") << "Text1"
                                                             << "12ab"
                                                             << "12AB";
        QTest::newRow("sequence: e, F, +, space refused") << "Text1"
                                                          << "1eF+ #*D"
                                                          << "1#*D";
        QTest::newRow("call: signs 58-64 and capitals") << "txtCallID"
                                                        << "?=@k1 "
                                                        << "?=@K1 ";
        QTest::newRow("call: slash, hyphen, point, comma refused") << "txtCallID"
                                                                   << "/-.,a"
                                                                   << "A";
        QTest::newRow("voltage: points") << "txtBlo"
                                         << "12.5"
                                         << "12.5";
        QTest::newRow("voltage: two points pass") << "txtBhi"
                                                  << "1..2"
                                                  << "1..2";
        QTest::newRow("timer: no point, no minus") << "txtTmr1"
                                                   << "1.-2"
                                                   << "12";
        QTest::newRow("duration: digits only") << "Text2"
                                               << "a5x0"
                                               << "50";
        QTest::newRow("port: digits only") << "txtPrgComm"
                                           << "1a2"
                                           << "12";
        QTest::newRow("speed: digits only") << "txtMorseSpeed"
                                            << "2 0"
                                            << "20";
    }
    void keyFilters() {
        QFETCH(QString, field);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        SendRig r;
        controls(r.w()).SSTab1->setCurrentIndex(field == "Text1" ? 1 : 0);
        QLineEdit* f = ::field(r.w(), field);
        QVERIFY(f);
        f->clear();
        typeInto(f, keys);
        QCOMPARE(f->text(), text);
        // Backspace always gets through.
        QTest::keyClick(f, Qt::Key_Backspace);
        QCOMPARE(f->text(), text.left(text.size() - 1));
    }

    void sequenceFieldClipboardKeys() {
        SendRig r;
        QLineEdit* t = controls(r.w()).Text1;
        t->setText("159");
        t->setFocus();
        QApplication::clipboard()->setText("999");
        QTest::keyClick(t, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(t->text(), QStringLiteral("159"));  // Ctrl+V pastes nothing
        QTest::keyClick(t, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(t->text(), QStringLiteral("159"));  // nor does Ctrl+X cut
        t->selectAll();
        QTest::keyClick(t, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("159"));  // Ctrl+C copies
        // Pasting from the context menu stays possible: the field itself still pastes.
        t->setCursorPosition(3);
        t->paste();
        QCOMPARE(t->text(), QStringLiteral("159159"));
    }

    // Text that arrives without a plain key press (Alt or Meta held, Shift+Insert, the field's
    // own paste as the mouse and the context menu do it, an input method) meets the same filter
    // and the same length limit as typed keys.
    void everyWayInIsFiltered_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        QTest::newRow("Alt+e in the sequence") << "Text1"
                                               << "alt"
                                               << "e"
                                               << "1";
        QTest::newRow("Alt+1 in the sequence") << "Text1"
                                               << "alt"
                                               << "2"
                                               << "12";
        QTest::newRow("Shift+Insert in the sequence") << "Text1"
                                                      << "shift-insert"
                                                      << "2xy#d"
                                                      << "12#D";
        QTest::newRow("paste into a timer") << "txtTmr1"
                                            << "paste"
                                            << "2a5.9"
                                            << "125";
        QTest::newRow("paste past a command's 10 keys") << "txtMem_0"
                                                        << "paste"
                                                        << "2345678901234"
                                                        << "1234567890";
        QTest::newRow("input method into the call") << "txtCallID"
                                                    << "input-method"
                                                    << "k2/ab"
                                                    << "1K2AB";
    }
    void everyWayInIsFiltered() {
        QFETCH(QString, field);
        QFETCH(QString, way);
        QFETCH(QString, input);
        QFETCH(QString, text);
        SendRig r;
        controls(r.w()).SSTab1->setCurrentIndex(field == "Text1" ? 1 : 0);
        QLineEdit* f = ::field(r.w(), field);
        f->setText("1");
        f->setFocus();
        f->setCursorPosition(1);
        if (way == "alt") {
            QTest::keyClick(f, input.at(0).toLatin1(), Qt::AltModifier);
        } else if (way == "shift-insert") {
            QApplication::clipboard()->setText(input);
            QTest::keyClick(f, Qt::Key_Insert, Qt::ShiftModifier);
        } else if (way == "paste") {
            QApplication::clipboard()->setText(input);
            f->paste();
        } else {
            QInputMethodEvent e;
            e.setCommitString(input);
            QApplication::sendEvent(f, &e);
        }
        QCOMPARE(f->text(), text);
        QCOMPARE(f->cursorPosition(), text.size());
    }

    // The limits hold for typing only: a longer value set by the program stays whole, and typing
    // into it adds nothing until it is short enough.
    void lengthLimitsAreForTypingOnly() {
        SendRig r;
        controls(r.w()).SSTab1->setCurrentIndex(0);
        QLineEdit* call = controls(r.w()).txtCallID;
        call->setText("IK2ABCD");
        QCOMPARE(call->text(), QStringLiteral("IK2ABCD"));
        call->setFocus();
        call->end(false);
        QTest::keyClick(call, 'E');
        QCOMPARE(call->text(), QStringLiteral("IK2ABCD"));
        QTest::keyClick(call, Qt::Key_Backspace);
        QTest::keyClick(call, Qt::Key_Backspace);
        QTest::keyClick(call, 'E');
        QCOMPARE(call->text(), QStringLiteral("IK2ABE"));
    }

    void counterAndSendButtonFollowTheText() {
        SendRig r;
        QLineEdit* t = controls(r.w()).Text1;
        t->setText("12");
        t->setFocus();
        t->end(false);
        QTest::keyClick(t, Qt::Key_Backspace);
        QCOMPARE(controls(r.w()).Label3->text(), QStringLiteral("Sequence to Send (1 digits)"));
        QTest::keyClick(t, Qt::Key_Backspace);
        QCOMPARE(controls(r.w()).Label3->text(), QStringLiteral("Sequence to Send (0 digits)"));
        QVERIFY(!controls(r.w()).cmdTone->isEnabled());
        QTest::keyClick(t, 'a');
        QCOMPARE(t->text(), QStringLiteral("A"));
        QVERIFY(controls(r.w()).cmdTone->isEnabled());
        // A change that comes another way shows at the next click.
        t->setText("1 2 3");
        QTest::mouseClick(t, Qt::LeftButton);
        QCOMPARE(controls(r.w()).Label3->text(), QStringLiteral("Sequence to Send (5 digits)"));
    }

    void enterSendsWithoutTypingAnything() {
        SendRig r;
        QLineEdit* t = controls(r.w()).Text1;
        t->setText("159");
        t->setFocus();
        QTest::keyClick(t, Qt::Key_Return);
        QCOMPARE(t->text(), QStringLiteral("159"));
        QCOMPARE(r.journal, QStringList({"play"}));
        QCOMPARE(controls(r.w()).lblInfoSend->text(),
                 QStringLiteral("Sequence completed.\r\nEffective time = %1mS.")
                     .arg(r.player.state().effectiveTimeMs));
        // A screen reader hears the outcome, not a fixed name.
        QCOMPARE(controls(r.w()).lblInfoSend->accessibleName(),
                 QStringLiteral("Sequence completed. Effective time = %1mS.")
                     .arg(r.player.state().effectiveTimeMs));
        QVERIFY(controls(r.w()).cmdTone->isEnabled());
    }

    void durationsAreCorrectedBeforeSending_data() {
        QTest::addColumn<QStringList>("typed");  // Text2, Text3, Text4, txtTxd
        QTest::addColumn<QStringList>("after");
        QTest::newRow("too short")
            << QStringList{"10", "5", "20", "5000"} << QStringList{"25", "15", "25", "2000"};
        QTest::newRow("empty fields read as 0")
            << QStringList{"", "", "", ""} << QStringList{"25", "15", "25", "20"};
        QTest::newRow("in range stay")
            << QStringList{"25", "15", "300", "2000"} << QStringList{"25", "15", "300", "2000"};
        QTest::newRow("delay below 20")
            << QStringList{"60", "40", "300", "19"} << QStringList{"60", "40", "300", "20"};
    }
    void durationsAreCorrectedBeforeSending() {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, after);
        SendRig r;
        FrmTone& w = r.w();
        QLineEdit* fields[] = {controls(w).Text2, controls(w).Text3, controls(w).Text4,
                               controls(w).txtTxd};
        for (int i = 0; i < 4; ++i) fields[i]->setText(typed[i]);
        controls(w).Text1->setText("1 2");
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        for (int i = 0; i < 4; ++i) QCOMPARE(fields[i]->text(), after[i]);
        // The tones use the corrected values: 8 samples per millisecond.
        QCOMPARE(r.player.timing().digitSamples, after[0].toInt() * 8);
        QCOMPARE(r.player.timing().gapSamples, after[1].toInt() * 8);
        QCOMPARE(r.player.timing().pauseSamples, after[2].toInt() * 8);
        QVERIFY(r.journal.filter("sleep").isEmpty());  // no keying, no delays
    }

    void effectiveTimeTexts_data() {
        QTest::addColumn<int>("ms");
        QTest::addColumn<QString>("text");
        const QString dp = QLocale().decimalPoint();
        QTest::newRow("1234") << 1234 << "1234mS.";
        QTest::newRow("9999") << 9999 << "9999mS.";
        QTest::newRow("10000") << 10000 << "10" + dp + "0 Sec.";
        QTest::newRow("12500") << 12500 << "12" + dp + "5 Sec.";
        QTest::newRow("12450 rounds up") << 12450 << "12" + dp + "5 Sec.";
        QTest::newRow("12449") << 12449 << "12" + dp + "4 Sec.";
    }
    void effectiveTimeTexts() {
        QFETCH(int, ms);
        QFETCH(QString, text);
        QCOMPARE(EffectiveTimeText(ms), text);
    }

    void pushToTalkKeysAroundTheSequence() {
        SendRig r;
        FrmTone& w = r.w();
        controls(w).txtPttCom->setText("2");
        controls(w).txtTxd->setText("150");
        controls(w).chkPtt->setChecked(true);
        QVERIFY(r.port.isOpen());
        QCOMPARE(r.port.device(), QStringLiteral("fake2"));
        QVERIFY(!r.port.rts);  // opening the port never keys the radio
        QVERIFY(!controls(w).txtPttCom->isEnabled());
        r.journal.clear();
        controls(w).Text1->setText("1");
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QCOMPARE(r.journal, QStringList({"rts 1", "sleep 150", "play", "sleep 40", "rts 0"}));
        QVERIFY(r.ui.messages.empty());
        QVERIFY(controls(w).lblInfoSend->text().startsWith("Sequence completed."));
        // The send's line in the log: from the window, keyed on RTS of the port, completed.
        std::vector<QStringList> logged;
        QString why;
        QVERIFY2(SendLog::read(SendLog::DefaultPath(), &logged, &why), qPrintable(why));
        QCOMPARE(logged.size(), size_t(1));
        QCOMPARE(logged[0].mid(2, 4), QStringList({"Default", "window", "", "1"}));
        QCOMPARE(logged[0][9], QStringLiteral("150"));
        QCOMPARE(logged[0][10], QStringLiteral("RTS of fake2"));
        QCOMPARE(logged[0][12], QStringLiteral("completed"));
        // Clearing the box closes the port and frees the number.
        controls(w).chkPtt->setChecked(false);
        QVERIFY(!r.port.isOpen());
        QVERIFY(controls(w).txtPttCom->isEnabled());
    }

    void keyingThatFailsIsNotReportedAsSuccess() {
        SendRig r;
        FrmTone& w = r.w();
        r.port.rtsWorks = false;
        controls(w).txtPttCom->setText("2");
        controls(w).chkPtt->setChecked(true);
        controls(w).Text1->setText("1");
        // Ticking the box already says that this port cannot key anything.
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Warning"));
        QVERIFY2(r.ui.messages[0].text.startsWith("fake2 has no RTS line"),
                 qPrintable(r.ui.messages[0].text));
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QVERIFY(r.journal.contains("play"));  // the sequence still plays
        QVERIFY(controls(w).lblInfoSend->text().startsWith("PTT NOT keyed!"));
        QCOMPARE(r.ui.messages.size(), size_t(2));
        QCOMPARE(r.ui.messages[1].title, QStringLiteral("Warning"));
        QVERIFY(r.ui.messages[1].text.contains("fake2: Inappropriate ioctl"));
    }

    // A release the line refuses (an adapter pulled while keyed) leaves the transmitter in
    // doubt: the send never reads as completed, and a critical box says why.
    void aRefusedReleaseIsNamed() {
        SendRig r;
        FrmTone& w = r.w();
        controls(w).txtPttCom->setText("2");
        controls(w).chkPtt->setChecked(true);
        r.port.onRts = [&](bool on) {
            if (on) r.port.rtsWorks = false;
        };
        controls(w).Text1->setText("1");
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QVERIFY2(controls(w).lblInfoSend->text().startsWith("PTT NOT released!"),
                 qPrintable(controls(w).lblInfoSend->text()));
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY2(r.ui.messages[0].text.startsWith("The transmitter may still be keyed: fake2"),
                 qPrintable(r.ui.messages[0].text));
    }

    // Whatever ends a keyed send badly, push-to-talk is down before the box waits for its OK,
    // and the status does not pass the send off as completed or show an earlier send's time.
    void aFailedKeyedSendReleasesBeforeItsMessage_data() {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("message");
        QTest::newRow("no device") << 0 << "1. waveOutOpen failed - 2";
        QTest::newRow("device stalls") << 1 << "did not finish playing";
    }
    void aFailedKeyedSendReleasesBeforeItsMessage() {
        QFETCH(int, failure);
        QFETCH(QString, message);
        SendRig r;
        FrmTone& w = r.w();
        controls(w).txtPttCom->setText("2");
        controls(w).chkPtt->setChecked(true);
        controls(w).Text1->setText("1");
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);  // a good send first
        QVERIFY(controls(w).lblInfoSend->text().contains("Effective time"));
        if (failure == 0) r.audio.openResult = AudioResult::BadDeviceId;
        if (failure == 1) {
            r.audio.turnsUntilDone = -1;
            r.clock.msPerTurn = 100;
        }
        bool keyedDuringMessage = true;
        r.ui.onMessage = [&] { keyedDuringMessage = r.port.rts; };
        r.journal.clear();
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QVERIFY2(r.ui.messages[0].text.contains(message), qPrintable(r.ui.messages[0].text));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral(" SuonaSequenza"));
        QCOMPARE(r.ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY(!keyedDuringMessage);
        QCOMPARE(r.journal.first(), QStringLiteral("rts 1"));
        QCOMPARE(r.journal.filter("rts").size(), 2);
        QCOMPARE(controls(w).lblInfoSend->text(), QStringLiteral("Sequence NOT completed!"));
    }

    // A send whose wait never ends (the sound system stalled, a handler that does not return)
    // does not keep the transmitter keyed: past the delay, the sequence and 2 s, a guard on a
    // thread of its own drops the line while the window's thread is still held.
    void theKeyedTimeGuardDropsALineLeftUp() {
        SendRig r;
        FrmTone& w = r.w();
        controls(w).txtPttCom->setText("2");
        controls(w).chkPtt->setChecked(true);
        controls(w).txtTxd->setText("20");
        controls(w).Text1->setText("1");  // 61 ms: the guard trips 2081 ms after keying
        r.audio.turnsUntilDone = -1;
        bool droppedWhileHeld = false, held = false;
        r.clock.onTurn = [&] {
            if (!r.player.isPlaying() || held) return;
            held = true;
            QElapsedTimer holding;  // the real time the handler holds the thread
            holding.start();
            while (r.port.rts && holding.elapsed() < 5000) QThread::msleep(10);
            droppedWhileHeld = !r.port.rts && r.port.droppedFromAnyThread;
            qInfo("the guard dropped push-to-talk %lld ms into the held wait", holding.elapsed());
        };
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QVERIFY(droppedWhileHeld);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QVERIFY(r.ui.messages[0].text.startsWith("The transmitter was keyed for 2081 ms"));
        QCOMPARE(controls(w).lblInfoSend->text(), QStringLiteral("Sequence NOT completed!"));
        QVERIFY(!r.player.isPlaying());
    }

    // A shutdown or a closed terminal in the middle of a keyed sequence stops the sound, drops
    // push-to-talk, closes the port and writes the settings, as the close box would afterwards.
    void endingFromOutsideStopsTheSequenceAndCloses() {
        SendRig r;
        FrmTone& w = r.w();
        controls(w).txtPttCom->setText("2");
        controls(w).chkPtt->setChecked(true);
        controls(w).Text1->setText("123");
        r.audio.turnsUntilDone = -1;
        QSignalSpy closed(&w, &FrmTone::closed);
        r.clock.onTurn = [&] {
            if (r.player.isPlaying()) w.closeFromOutside();
        };
        r.journal.clear();
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QVERIFY(r.ui.messages.empty());
        QTRY_COMPARE(closed.count(), 1);
        // Down at the stop, and once more before the port closes at the end.
        QCOMPARE(r.journal, QStringList({"rts 1", "sleep 200", "play", "rts 0", "rts 0", "close"}));
        QVERIFY(r.audio.log.contains("reset"));
        QVERIFY(r.readIni().contains("\"123\""));
    }

    // Each serial-line method keys its own line around the sequence, idle at the tick, and
    // leaves it idle again when the box is cleared.
    void everySerialLineMethodKeysItsLine_data() {
        QTest::addColumn<int>("method");
        QTest::addColumn<QStringList>("atTick");
        QTest::addColumn<QStringList>("send");
        QTest::addColumn<QStringList>("atClear");
        QTest::newRow("RTS (classic)")
            << int(RadioInterface::Ptt::Rts) << QStringList{"rts 0"}
            << QStringList{"rts 1", "sleep 200", "play", "sleep 40", "rts 0"}
            << QStringList{"rts 0", "close"};
        QTest::newRow("DTR") << int(RadioInterface::Ptt::Dtr) << QStringList{"dtr 0"}
                             << QStringList{"dtr 1", "sleep 200", "play", "sleep 40", "dtr 0"}
                             << QStringList{"dtr 0", "close"};
        QTest::newRow("RTS inverted")
            << int(RadioInterface::Ptt::RtsInverted) << QStringList{"rts 1"}
            << QStringList{"rts 0", "sleep 200", "play", "sleep 40", "rts 1"}
            << QStringList{"rts 1", "close"};
        QTest::newRow("DTR inverted")
            << int(RadioInterface::Ptt::DtrInverted) << QStringList{"dtr 1"}
            << QStringList{"dtr 0", "sleep 200", "play", "sleep 40", "dtr 1"}
            << QStringList{"dtr 1", "close"};
    }
    void everySerialLineMethodKeysItsLine() {
        QFETCH(int, method);
        QFETCH(QStringList, atTick);
        QFETCH(QStringList, send);
        QFETCH(QStringList, atClear);
        SendRig r;
        FrmTone& w = r.w();
        RadioInterface choice;
        choice.ptt = RadioInterface::Ptt(method);
        w.show();
        w.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &w);
        QTest::keyClick(controls(w).Text2, Qt::Key_I, Qt::ControlModifier);
        QVERIFY(w.radioInterfaceDialog());
        controls(*w.radioInterfaceDialog()).cmbPtt->setCurrentIndex(method);
        w.radioInterfaceDialog()->accept();
        controls(w).txtPttCom->setText("2");
        r.journal.clear();
        controls(w).chkPtt->setChecked(true);
        QCOMPARE(r.journal.mid(1), atTick);  // after "open fake2"
        r.journal.clear();
        controls(w).Text1->setText("1");
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QCOMPARE(r.journal, send);
        r.journal.clear();
        controls(w).chkPtt->setChecked(false);
        QCOMPARE(r.journal, atClear);
        QVERIFY(r.ui.messages.empty());
        // Remembered for the next start, beside the classic settings file.
        QCOMPARE(LoadRadioInterface(r.dir.filePath("Calvento31-options.ini")).ptt,
                 RadioInterface::Ptt(method));
    }

    // The dialog lists the serial adapters by name and refreshes the list within two seconds of
    // one being plugged in; the adapter chosen becomes what PTT Comm stands for, found again
    // under another name, and one that is missing is named. "Check set-up" shows the doctor.
    void portsAreChosenByName() {
        SerialPortInfo ch340;
        ch340.name = "/dev/ttyUSB3";
        ch340.vendorId = 0x1a86;
        ch340.productId = 0x7523;
        ch340.description = "USB Serial";
        std::vector<SerialPortInfo> present;
        SetPortLister([&present] { return present; });
        SendRig r;
        qunsetenv("CALVENTO_COM2");  // the number as ports.conf makes it, not as a test forces it
        FrmTone& w = r.w();
        controls(w).txtPttCom->setText("2");
        QMetaObject::invokeMethod(controls(w).cmdRadio, "click");
        RadioInterfaceDialog* d = w.radioInterfaceDialog();
        QVERIFY(d);
        auto* list = d->findChild<QComboBox*>("cmbPttPort");
        QCOMPARE(list->count(), 1);  // PTT Comm 2 as it is
        present = {ch340};           // plugged in while the dialog is open
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 2, 2000);
        QCOMPARE(list->itemText(1), QStringLiteral("/dev/ttyUSB3 - USB Serial"));
        list->setCurrentIndex(1);
        // The programming port from the same list, another adapter: Prg Comm 1 stands for it.
        SerialPortInfo ftdi = ch340;
        ftdi.name = "/dev/ttyUSB4";
        ftdi.vendorId = 0x0403;
        ftdi.productId = 0x6001;
        ftdi.serialNumber = "A9XYZ";
        present = {ch340, ftdi};
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 3, 2000);
        auto* programming = d->findChild<QComboBox*>("cmbPrgPort");
        programming->setCurrentIndex(programming->findData("/dev/ttyUSB4"));
        QCOMPARE(list->currentIndex(), 1);  // the refresh kept the choice
        d->findChild<QPushButton*>("cmdCheck")->click();
        QVERIFY(!r.ui.messages.empty());
        QCOMPARE(r.ui.messages.back().title, QStringLiteral("Check set-up"));
        QVERIFY(r.ui.messages.back().text.contains("Program folder"));
        d->accept();

        qunsetenv("CALVENTO_COM1");
        present = {renamed(ftdi, "/dev/ttyUSB7")};
        r.journal.clear();
        controls(w).chkPrg->setChecked(true);
        QCOMPARE(r.journal.value(0), QStringLiteral("open /dev/ttyUSB7"));
        controls(w).chkPrg->setChecked(false);

        present = {renamed(ch340, "/dev/ttyUSB0")};
        r.journal.clear();
        controls(w).chkPtt->setChecked(true);
        QCOMPARE(r.journal.value(0), QStringLiteral("open /dev/ttyUSB0"));
        controls(w).chkPtt->setChecked(false);

        present = {};
        r.ui.messages.clear();
        controls(w).chkPtt->setChecked(true);
        QVERIFY(!controls(w).chkPtt->isChecked());
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QVERIFY2(r.ui.messages[0].text.contains("the adapter USB Serial (1a86:7523, last seen as "
                                                "/dev/ttyUSB3) that COM2 stands for is not "
                                                "plugged in"),
                 qPrintable(r.ui.messages[0].text));
        SetPortLister(nullptr);
    }

    // The dialog lists the devices by their descriptions and remembers the choice by its id; a
    // device that has gone plays on the default, and the status says so.
    void theChosenSoundDeviceIsRememberedAndMissedWhenGone() {
        SendRig r;
        r.audio.deviceList = {{"sink.default", "Built-in Audio"}, {"sink.usb", "USB Audio CODEC"}};
        QTest::mouseClick(controls(r.w()).cmdRadio, Qt::LeftButton);
        RadioInterfaceDialog* d = r.w().radioInterfaceDialog();
        QVERIFY(d);
        QCOMPARE(controls(*d).cmbDevice->count(), 3);  // the system default, then both devices
        controls(*d).cmbDevice->setCurrentIndex(
            controls(*d).cmbDevice->findText("USB Audio CODEC"));
        d->accept();
        QCOMPARE(r.audio.chosenDevice(), std::string("sink.usb"));
        controls(r.w()).Text1->setText("1");
        QTest::mouseClick(controls(r.w()).cmdTone, Qt::LeftButton);
        QVERIFY(controls(r.w()).lblInfoSend->text().startsWith("Sequence completed."));

        // The next start: the USB device is unplugged.
        r.audio.deviceList.pop_back();
        r.window.reset();
        r.open();
        QCOMPARE(r.audio.chosenDevice(), std::string("sink.usb"));
        controls(*r.window).Text1->setText("1");
        QTest::mouseClick(controls(*r.window).cmdTone, Qt::LeftButton);
        QVERIFY2(controls(*r.window).lblInfoSend->text().startsWith("On the default device!"),
                 qPrintable(controls(*r.window).lblInfoSend->text()));
        QTest::mouseClick(controls(*r.window).cmdRadio, Qt::LeftButton);
        QCOMPARE(controls(*r.window->radioInterfaceDialog()).cmbDevice->currentText(),
                 QStringLiteral("USB Audio CODEC (not connected)"));
    }

    // "Test" keys the chosen method for a second and reads the line back where it can.
    void theTestButtonKeysForASecond() {
        SendRig r;
        controls(r.w()).txtPttCom->setText("2");
        QTest::mouseClick(controls(r.w()).cmdRadio, Qt::LeftButton);
        RadioInterfaceDialog* d = r.w().radioInterfaceDialog();
        controls(*d).cmbPtt->setCurrentIndex(int(RadioInterface::Ptt::DtrInverted));
        r.journal.clear();
        QVERIFY2(d->cmdTest_Click().startsWith("It works: DTR (inverted) of fake2"),
                 qPrintable(controls(*d).lblTest->text()));
        QCOMPARE(r.journal,
                 QStringList({"open fake2", "dtr 1", "dtr 0", "sleep 1000", "dtr 1", "close"}));
        r.port.rtsWorks = false;
        QVERIFY2(d->cmdTest_Click().startsWith("Not keyed: fake2 has no DTR line"),
                 qPrintable(controls(*d).lblTest->text()));
        QVERIFY(!r.port.isOpen());  // the test's port is closed again
    }

    void anInvalidPttNumberWarnsAndKeysNothing() {
        SendRig r;
        FrmTone& w = r.w();
        controls(w).txtPttCom->setText("17");
        controls(w).chkPtt->setChecked(true);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text, QStringLiteral("Please enter a valid Comm number."));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Warning"));
        QVERIFY(controls(w).chkPtt->isChecked());
        QVERIFY(!r.port.isOpen());
        controls(w).txtTxd->setText("30");
        controls(w).Text1->setText("1");
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QCOMPARE(r.journal, QStringList({"sleep 30", "play", "sleep 40"}));
        QVERIFY(controls(w).lblInfoSend->text().startsWith("PTT NOT keyed!"));
    }

    void portNumbersOutOfRange_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("valid");
        QTest::newRow("0") << "0" << false;
        QTest::newRow("17") << "17" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("16") << "16" << true;
    }
    void portNumbersOutOfRange() {
        QFETCH(QString, number);
        QFETCH(bool, valid);
        SendRig r;
        qputenv("CALVENTO_COM16", "fake16");
        controls(r.w()).txtPrgComm->setText(number);
        controls(r.w()).chkPrg->setChecked(true);
        QCOMPARE(r.port.isOpen(), valid);
        QCOMPARE(r.ui.messages.empty(), valid);
        if (!valid)
            QCOMPARE(r.ui.messages[0].text, QStringLiteral("Please enter a valid Comm number."));
    }

    void theProgrammingLinkHandsThePortToPushToTalk() {
        SendRig r;
        FrmTone& w = r.w();
        controls(w).txtPrgComm->setText("1");
        controls(w).chkPrg->setChecked(true);
        QCOMPARE(r.journal, QStringList({"open fake1", "write ff cc"}));
        QVERIFY(controls(w).cmdRead->isEnabled() && controls(w).cmdSend->isEnabled());
        QVERIFY(!controls(w).txtPrgComm->isEnabled());
        r.journal.clear();
        controls(w).txtPttCom->setText("2");
        controls(w).chkPtt->setChecked(true);
        QVERIFY(!controls(w).chkPrg->isChecked());
        QCOMPARE(r.journal, QStringList({"write ff 99", "close", "open fake2", "rts 0"}));
        QVERIFY(!controls(w).cmdRead->isEnabled() && !controls(w).cmdSend->isEnabled());
        QVERIFY(controls(w).txtPrgComm->isEnabled());
        QVERIFY(!controls(w).txtPttCom->isEnabled());
        // And back: push-to-talk drops its line and closes without a word to the board.
        r.journal.clear();
        controls(w).chkPrg->setChecked(true);
        QVERIFY(!controls(w).chkPtt->isChecked());
        QCOMPARE(r.journal, QStringList({"rts 0", "close", "open fake1", "write ff cc"}));
    }

    void aPortThatCannotBeOpenedNamesTheFieldAsTyped() {
        SendRig r;
        FrmTone& w = r.w();
        qputenv("CALVENTO_COM3", "/dev/nothing-here");
        r.port.refuse << "/dev/nothing-here";
        controls(w).txtPttCom->setText("03");
        controls(w).chkPtt->setChecked(true);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text,
                 QStringLiteral(
                     "Not able to open COM03\r\n/dev/nothing-here: No such file or directory"));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Warning"));
        QCOMPARE(r.ui.messages[0].icon, MessageIcon::Information);
        QVERIFY(!controls(w).chkPtt->isChecked());
        QVERIFY(controls(w).txtPttCom->isEnabled());
    }

    void aSendWhilePlayingDoesNothing() {
        SendRig r;
        FrmTone& w = r.w();
        controls(w).txtPttCom->setText("2");
        controls(w).chkPtt->setChecked(true);
        controls(w).Text1->setText("12");
        controls(w).Text1->setFocus();
        r.audio.turnsUntilDone = 4;
        r.clock.onTurn = [&] {
            if (r.player.isPlaying() && r.clock.turns == 3)
                QTest::keyClick(controls(w).Text1, Qt::Key_Return);
        };
        r.journal.clear();
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QCOMPARE(r.journal, QStringList({"rts 1", "sleep 200", "play", "sleep 40", "rts 0"}));
    }

    void closingSignsOffOnlyTheProgrammingLink() {
        {
            SendRig r;
            controls(r.w()).chkPrg->setChecked(true);
            r.journal.clear();
            r.w().close();
            QCOMPARE(r.journal, QStringList({"write ff 99", "close"}));
        }
        {
            SendRig r;
            controls(r.w()).txtPttCom->setText("2");
            controls(r.w()).chkPtt->setChecked(true);
            r.journal.clear();
            r.w().close();
            // Push-to-talk drops before the port closes, whatever the device does at a close.
            QCOMPARE(r.journal, QStringList({"rts 0", "close"}));
        }
        {
            SendRig r;
            controls(r.w()).txtPttCom->setText("2");
            controls(r.w()).chkPtt->setChecked(true);
            r.journal.clear();
            controls(r.w()).chkPtt->setChecked(false);
            QCOMPARE(r.journal, QStringList({"rts 0", "close"}));
        }
    }

    void outputButtonsNameTheirState() {
        SendRig r;
        controls(r.w()).chkOutput_1->setChecked(true);
        QCOMPARE(controls(r.w()).chkOutput_1->text(), QStringLiteral("Output 2 ON"));
        QTest::mouseClick(controls(r.w()).chkOutput_1, Qt::LeftButton);
        QCOMPARE(controls(r.w()).chkOutput_1->text(), QStringLiteral("Output 2 OFF"));
        QCOMPARE(controls(r.w()).chkOutput_3->text(), QStringLiteral("Output 4 OFF"));
    }

    void aClickSelectsTheWholeNumber() {
        SendRig r;
        r.w().show();
        QLineEdit* t = controls(r.w()).Text2;
        t->setText("60");
        QTest::mouseClick(t, Qt::LeftButton, {}, QPoint(3, 5));
        QTRY_COMPARE(t->selectedText(), QStringLiteral("60"));
        QTest::keyClick(t, '7');
        QCOMPARE(t->text(), QStringLiteral("7"));
    }

    void aSendRestartsTheStatusTimer() {
        SendRig r;
        QVERIFY(QMetaObject::invokeMethod(r.w().Timer1(), "timeout"));
        QVERIFY(!r.w().Timer1()->isActive());
        controls(r.w()).Text1->setText("1");
        QTest::mouseClick(controls(r.w()).cmdTone, Qt::LeftButton);
        QVERIFY(r.w().Timer1()->isActive());
    }

#ifdef Q_OS_UNIX
    // The Qt backend on a real pseudo-terminal reached through CALVENTO_COM<n>: the identify
    // command arrives at the other end, and a pseudo-terminal's missing RTS line is reported.
    void aRealPseudoTerminalThroughThePortMapping() {
        int master = -1, slave = -1;
        char name[256] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        qputenv("CALVENTO_COM7", name);
        Rig r;
        SystemSerialPort real;
        r.window = std::make_unique<FrmTone>(r.player, real, r.ui, r.clock);
        FrmTone& w = *r.window;
        controls(w).txtPrgComm->setText("7");
        controls(w).chkPrg->setChecked(true);
        QVERIFY2(real.isOpen(), r.ui.messages.empty() ? "" : qPrintable(r.ui.messages[0].text));
        QCOMPARE(real.device(), QString::fromLatin1(name));
        QCOMPARE(readFromMaster(master, 2), QByteArray("\xFF\xCC", 2));

        // Push-to-talk on the same device: the send plays, and the missing line is told.
        controls(w).txtPttCom->setText("7");
        controls(w).chkPtt->setChecked(true);
        QVERIFY(real.isOpen());
        controls(w).Text1->setText("1");
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QVERIFY(controls(w).lblInfoSend->text().startsWith("PTT NOT keyed!"));
        QVERIFY(r.ui.messages.back().text.contains(QString::fromLatin1(name)));
        w.close();
        ::close(slave);
        ::close(master);
    }
#endif

    // With a port of its own, push-to-talk on another port stays on while the board is
    // programmed; on the same port enabling programming switches it off, and the send status
    // says so.
    void pushToTalkStaysOnBesideProgramming_data() {
        QTest::addColumn<QString>("pttNumber");
        QTest::addColumn<bool>("staysOn");
        QTest::newRow("another port") << "2" << true;
        QTest::newRow("the same port") << "1" << false;
    }
    void pushToTalkStaysOnBesideProgramming() {
        QFETCH(QString, pttNumber);
        QFETCH(bool, staysOn);
        qputenv("CALVENTO_COM1", "fake1");
        qputenv("CALVENTO_COM2", "fake2");
        Rig r;
        FakeSerialPort pttPort;
        r.window = std::make_unique<FrmTone>(r.player, r.port, r.ui, r.clock, &pttPort);
        FrmTone& w = *r.window;
        controls(w).txtPttCom->setText(pttNumber);
        controls(w).chkPtt->setChecked(true);
        QVERIFY(pttPort.isOpen());
        controls(w).txtPrgComm->setText("1");
        controls(w).chkPrg->setChecked(true);
        QVERIFY(r.port.isOpen());
        QCOMPARE(r.port.device(), QStringLiteral("fake1"));
        QCOMPARE(controls(w).chkPtt->isChecked(), staysOn);
        QCOMPARE(pttPort.isOpen(), staysOn);
        if (!staysOn) {
            QCOMPARE(controls(w).lblInfoSend->text(),
                     QStringLiteral("PTT switched off:\r\nprogramming uses COM1."));
            return;
        }
        // A keyed send on its own port, then PROGRAM (declined) leaves it on.
        controls(w).Text1->setText("1");
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QVERIFY(controls(w).lblInfoSend->text().startsWith("Sequence completed."));
        QVERIFY(!pttPort.rts);
        r.ui.questionAnswer = false;
        QTest::mouseClick(controls(w).cmdSend, Qt::LeftButton);
        QVERIFY(controls(w).chkPtt->isChecked() && pttPort.isOpen());
        // Switching programming off leaves push-to-talk's port alone, and the other way round.
        controls(w).chkPrg->setChecked(false);
        QVERIFY(!r.port.isOpen() && pttPort.isOpen());
        controls(w).chkPrg->setChecked(true);
        controls(w).chkPtt->setChecked(false);
        QVERIFY(r.port.isOpen() && !pttPort.isOpen());
    }

#ifdef CALVENTO_HAVE_HAMLIB
    // Hamlib keys the rig on a port of its own: enabling programming leaves it on.
    void hamlibPushToTalkStaysOnBesideProgramming() {
        qputenv("CALVENTO_COM1", "fake1");
        Rig r;
        FrmTone& w = r.open();
        QTest::mouseClick(controls(w).cmdRadio, Qt::LeftButton);
        RadioInterfaceDialog* d = w.radioInterfaceDialog();
        controls(*d).cmbPtt->setCurrentIndex(int(RadioInterface::Ptt::Hamlib));
        controls(*d).txtRigModel->setText("1");  // Hamlib's dummy rig
        controls(*d).txtRigPort->setText("");
        d->accept();
        controls(w).chkPtt->setChecked(true);
        QVERIFY2(r.ui.messages.empty(),
                 r.ui.messages.empty() ? "" : qPrintable(r.ui.messages[0].text));
        controls(w).txtPrgComm->setText("1");
        controls(w).chkPrg->setChecked(true);
        QVERIFY(r.port.isOpen());
        QVERIFY(controls(w).chkPtt->isChecked());
        controls(w).chkPtt->setChecked(false);
        QVERIFY(r.port.isOpen());  // the programming port stays with programming
    }

    // The window with Hamlib chosen in its radio interface dialog keys rigctld around a send
    // and lets go when its box is cleared.
    void theWindowKeysRigctld() {
        Rigctld daemon;
        QVERIFY2(daemon.start(), "rigctld did not start");
        Rig r;
        FrmTone& w = r.open();
        QTest::mouseClick(controls(w).cmdRadio, Qt::LeftButton);
        RadioInterfaceDialog* d = w.radioInterfaceDialog();
        controls(*d).cmbPtt->setCurrentIndex(int(RadioInterface::Ptt::Hamlib));
        controls(*d).txtRigModel->setText("2");
        controls(*d).txtRigPort->setText(daemon.address);
        QVERIFY(d->cmdTest_Click().startsWith("It works: Hamlib rig 2"));
        d->accept();
        controls(w).chkPtt->setChecked(true);
        QVERIFY2(r.ui.messages.empty(),
                 r.ui.messages.empty() ? "" : qPrintable(r.ui.messages[0].text));
        QString during;
        r.clock.onTurn = [&] {
            if (r.player.isPlaying() && during.isEmpty()) during = daemon.state();
        };
        controls(w).Text1->setText("1");
        QTest::mouseClick(controls(w).cmdTone, Qt::LeftButton);
        QCOMPARE(during, QStringLiteral("1"));
        QCOMPARE(daemon.state(), QStringLiteral("0"));
        QVERIFY(controls(w).lblInfoSend->text().startsWith("Sequence completed."));
        controls(w).chkPtt->setChecked(false);
        QVERIFY(r.port.openedDevices.isEmpty());  // the shared port was never needed
    }
#endif
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallClassicFontSubstitutes();
    TstSendFrame t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_send_frame.moc"
