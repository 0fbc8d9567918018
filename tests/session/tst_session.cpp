// The session layer on its own: the outcome a send is told and logged as, when push-to-talk
// and programming must share one port, and listening for the board's reply after a send.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "fakes.h"
#include "python_csv.h"
#include "session/doctor.h"
#include "session/listen_job.h"
#include "session/radio_choice.h"
#include "session/send_job.h"
#include "session/send_log.h"
#include "session/sites.h"

using namespace calvento;
using namespace calvento::test;

namespace {

// A folder standing in for the system: dev/, etc/group, udev rules folders, sys/. Device nodes
// are plain files; their group is the test's own, named in the fake group file as the row wants.
struct FakeSystem {
    QTemporaryDir dir;
    SystemView view;
    FakeSystem() {
        view.devDir = dir.filePath("dev");
        view.groupFile = dir.filePath("etc/group");
        view.sysDir = dir.filePath("sys");
        view.udevRuleDirs = {dir.filePath("etc/udev/rules.d"), dir.filePath("lib/udev/rules.d")};
        view.userName = QStringLiteral("alice");
        view.sessionGroups = {QStringLiteral("alice")};
        view.soundOutputs = 2;
        view.soundInputs = 1;
        view.programFolder = dir.path();
        for (const char* d : {"dev", "etc/udev/rules.d", "lib/udev/rules.d", "sys"})
            QDir().mkpath(dir.filePath(d));
        write("etc/group", "root:x:0:\n");
    }
    void write(const QString& path, const QByteArray& text) {
        QDir().mkpath(QFileInfo(dir.filePath(path)).path());
        QFile f(dir.filePath(path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // A device node of group `group` (listing `members`) with the permissions of a udev rule.
    void node(const QString& name, const QString& group, const QString& members,
              QFileDevice::Permissions mode) {
        write("dev/" + name, "");
        QFile::setPermissions(dir.filePath("dev/" + name), mode);
        const uint gid = QFileInfo(dir.filePath("dev/" + name)).groupId();
        write("etc/group",
              QStringLiteral("%1:x:%2:%3\n").arg(group).arg(gid).arg(members).toUtf8());
    }
    DoctorCheck check(const QString& name) const {
        for (const DoctorCheck& c : RunDoctor(view))
            if (c.name == name) return c;
        return {QStringLiteral("no check ") + name, false, {}, {}};
    }
};

constexpr QFileDevice::Permissions kGroupRw = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::WriteGroup;
constexpr QFileDevice::Permissions kRootOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

}  // namespace

class TstSession : public QObject {
    Q_OBJECT
private slots:
    // A transmitter in doubt outweighs every other failure; a quiet stop is a stop.
    void theOutcomeOfASend_data() {
        QTest::addColumn<bool>("keyed");
        QTest::addColumn<bool>("released");
        QTest::addColumn<bool>("guard");
        QTest::addColumn<bool>("played");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("outcome");
        QTest::newRow("completed")
            << true << true << false << true << "" << int(SendOutcome::Completed);
        QTest::newRow("played unkeyed")
            << false << true << false << true << "" << int(SendOutcome::KeyingFailed);
        QTest::newRow("refused release after a failure")
            << true << false << false << false << "x" << int(SendOutcome::NotReleased);
        QTest::newRow("guard") << true << true << true << false << "keyed for"
                               << int(SendOutcome::StoppedByGuard);
        QTest::newRow("sound failed")
            << true << true << false << false << "x" << int(SendOutcome::Failed);
        QTest::newRow("stopped quietly")
            << true << true << false << false << "" << int(SendOutcome::Stopped);
    }
    void theOutcomeOfASend() {
        QFETCH(bool, keyed);
        QFETCH(bool, released);
        QFETCH(bool, guard);
        QFETCH(bool, played);
        QFETCH(QString, failure);
        QFETCH(int, outcome);
        KeyedSendResult sent;
        sent.keyed = keyed;
        sent.released = released;
        sent.guardTripped = guard;
        sent.play.played = played;
        sent.play.failure = failure;
        QCOMPARE(int(OutcomeOf(sent)), outcome);
    }

    void whenPushToTalkSharesTheProgrammingPort_data() {
        QTest::addColumn<int>("ptt");
        QTest::addColumn<bool>("ownPort");
        QTest::addColumn<QString>("pttDevice");
        QTest::addColumn<QString>("rigPort");
        QTest::addColumn<bool>("shares");
        const int rts = int(RadioInterface::Ptt::Rts), hamlib = int(RadioInterface::Ptt::Hamlib);
        QTest::newRow("one port for both") << rts << false << "/dev/ttyS1"
                                           << "" << true;
        QTest::newRow("another port") << rts << true << "/dev/ttyS1"
                                      << "" << false;
        QTest::newRow("the same device") << rts << true << "/dev/ttyS0"
                                         << "" << true;
        QTest::newRow("Hamlib on rigctld") << hamlib << false << ""
                                           << "127.0.0.1:4532" << false;
        QTest::newRow("Hamlib on the programming device") << hamlib << true << ""
                                                          << "/dev/ttyS0" << true;
    }
    void whenPushToTalkSharesTheProgrammingPort() {
        QFETCH(int, ptt);
        QFETCH(bool, ownPort);
        QFETCH(QString, pttDevice);
        QFETCH(QString, rigPort);
        QFETCH(bool, shares);
        RadioInterface choice;
        choice.ptt = RadioInterface::Ptt(ptt);
        choice.rigPort = rigPort;
        QCOMPARE(PttSharesProgrammingPort(choice, ownPort, pttDevice, "/dev/ttyS0"), shares);
    }

    // The log reads back as written, by this program and by an independent CSV reader (Python's
    // csv module): commas, quotes, line breaks and non-ASCII text in the fields included.
    // For each way of keying on a serial line, the port opens with that line already at its
    // idle level and DTR otherwise high (cables that draw power from it); `ptt off` puts a keyed
    // line back to idle and says so.
    void linesAtOpenAndPttOff_data() {
        QTest::addColumn<int>("method");
        QTest::addColumn<bool>("rts");
        QTest::addColumn<bool>("dtr");
        QTest::addColumn<QString>("state");
        using Ptt = RadioInterface::Ptt;
        QTest::newRow("RTS") << int(Ptt::Rts) << false << true << "RTS is low";
        QTest::newRow("RTS inverted") << int(Ptt::RtsInverted) << true << true << "RTS is high";
        QTest::newRow("DTR") << int(Ptt::Dtr) << false << false << "DTR is low";
        QTest::newRow("DTR inverted") << int(Ptt::DtrInverted) << false << true << "DTR is high";
    }
    void linesAtOpenAndPttOff() {
        QFETCH(int, method);
        QFETCH(bool, rts);
        QFETCH(bool, dtr);
        QFETCH(QString, state);
        RadioInterface choice;
        choice.ptt = static_cast<RadioInterface::Ptt>(method);
        test::FakeSerialPort port;
        SerialLinePushToTalk ptt(port, choice.line(), choice.inverted());
        QString why;
        QVERIFY(port.open("adapter", &why));
        QCOMPARE(port.rts.load(), rts);
        QCOMPARE(port.dtr.load(), dtr);
        QVERIFY(ptt.setKeyed(true, &why));  // left keyed by a program that was killed
        QString said;
        QVERIFY2(UnkeyTransmitter(choice, port, &said, &why), qPrintable(why));
        QCOMPARE(said, state);
        QCOMPARE(port.rts.load(), rts);
        QCOMPARE(port.dtr.load(), dtr);
        // A device without modem lines: the failure is told, not "off".
        port.rtsWorks = false;
        QVERIFY(!UnkeyTransmitter(choice, port, &said, &why));
        QVERIFY(!why.isEmpty());
    }

    // Every check of the doctor against a fake system, passing and failing: OK, or FAIL with
    // the command that mends it.
    void theDoctorsChecks_data() {
        QTest::addColumn<int>("setUp");
        QTest::addColumn<QString>("check");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("says");
        QTest::newRow("serial: not in the nodes' group")
            << 1 << "Serial ports" << false << "sudo usermod -aG dialout alice";
        QTest::newRow("serial: the group is read from the nodes (uucp)")
            << 2 << "Serial ports" << false << "sudo usermod -aG uucp alice";
        QTest::newRow("serial: added, but this login began before")
            << 3 << "Serial ports" << false << "log out and in again";
        QTest::newRow("serial: in the group") << 4 << "Serial ports" << true << "you may use it";
        QTest::newRow("serial: no devices") << 0 << "Serial ports" << true << "no serial devices";
        QTest::newRow("brltty claims CH340 adapters")
            << 5 << "Braille display service" << false << "sudo apt remove brltty";
        QTest::newRow("brltty by PRODUCT (FTDI)")
            << 6 << "Braille display service" << false << "vendor 0403";
        QTest::newRow("brltty rules for braille displays only")
            << 7 << "Braille display service" << true << "no braille service";
        QTest::newRow("ModemManager running")
            << 8 << "ModemManager" << false << "sudo systemctl disable --now ModemManager.service";
        QTest::newRow("ModemManager not running") << 0 << "ModemManager" << true << "not running";
        QTest::newRow("CM108 without a udev rule")
            << 9 << "CM108/CM119 push-to-talk" << false << "60-calvento-cm108.rules";
        QTest::newRow("CM108 in plugdev, user not")
            << 10 << "CM108/CM119 push-to-talk" << false << "sudo usermod -aG plugdev alice";
        QTest::newRow("CM108 usable")
            << 11 << "CM108/CM119 push-to-talk" << true << "you may use it";
        QTest::newRow("another HID device is no CM108")
            << 12 << "CM108/CM119 push-to-talk" << true << "no C-Media interface";
        QTest::newRow("no sound server") << 13 << "Sound" << false << "pipewire-pulse";
        QTest::newRow("no sound input") << 14 << "Sound" << false << "receiver's audio";
        QTest::newRow("sound") << 0 << "Sound" << true << "2 output and 1 input devices";
        QTest::newRow("Hamlib") << 15 << "Hamlib" << true << "version 4.5.5";
        QTest::newRow("no Hamlib") << 0 << "Hamlib" << true << "not in this build";
        QTest::newRow("program folder cannot be written")
            << 16 << "Program folder" << false << "CALVENTO_HOME";
        QTest::newRow("program folder") << 0 << "Program folder" << true << "can be written";
        QTest::newRow("Windows: a port held by another program")
            << 17 << "Serial ports free" << false << "COM5 is held by another program";
        QTest::newRow("Windows: ports free")
            << 18 << "Serial ports free" << true << "COM5 may be opened";
        QTest::newRow("Windows: Prolific Code 10")
            << 19 << "Prolific adapters" << false << "Code 10";
        QTest::newRow("Windows: Prolific working")
            << 18 << "Prolific adapters" << true << "none refused";
    }
    void theDoctorsChecks() {
        QFETCH(int, setUp);
        QFETCH(QString, check);
        QFETCH(bool, ok);
        QFETCH(QString, says);
#ifdef Q_OS_WIN
        // The nodes' group permissions that these rows turn on do not exist on Windows.
        if (QList<int>{1, 2, 3, 9, 10}.contains(setUp)) QSKIP("Unix permissions");
#endif
        FakeSystem f;
        SerialPortInfo prolific;
        prolific.name = "COM5";
        prolific.vendorId = 0x067b;
        prolific.productId = 0x2303;
        prolific.description = "Prolific USB-to-Serial Comm Port (COM5)";
        switch (setUp) {
            case 1:
                f.node("ttyUSB0", "dialout", "bob", kGroupRw);
                break;
            case 2:
                f.node("ttyUSB0", "uucp", "", kGroupRw);
                break;
            case 3:
                f.node("ttyACM0", "dialout", "bob,alice", kGroupRw);
                break;
            case 4:
                f.node("ttyUSB0", "dialout", "alice", kGroupRw);
                f.view.sessionGroups << "dialout";
                break;
            case 5:
                f.write("lib/udev/rules.d/85-brltty.rules",
                        "ACTION==\"add\", SUBSYSTEMS==\"usb\", ATTRS{idVendor}==\"1a86\", "
                        "ATTRS{idProduct}==\"7523\", RUN+=\"brltty\"\n");
                break;
            case 6:
                f.write("etc/udev/rules.d/90-brltty-device.rules",
                        "ENV{PRODUCT}==\"403/6001/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"fs\"\n");
                break;
            case 7:
                f.write("lib/udev/rules.d/85-brltty.rules",
                        "ENV{PRODUCT}==\"1c71/c005/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\"\n");
                break;
            case 8:
                f.view.runningServices = {"systemd", "ModemManager", "bash"};
                break;
            case 9:
            case 10:
            case 11:
            case 12:
                f.write("sys/class/hidraw/hidraw0/device/uevent",
                        setUp == 12 ? "HID_ID=0003:0000046D:0000C52B\n"
                                    : "DRIVER=hid-generic\nHID_ID=0003:00000D8C:0000013C\n");
                if (setUp == 9 || setUp == 12) f.node("hidraw0", "root", "", kRootOnly);
                if (setUp == 10) f.node("hidraw0", "plugdev", "", kGroupRw);
                if (setUp == 11) {
                    f.node("hidraw0", "plugdev", "alice", kGroupRw);
                    f.view.sessionGroups << "plugdev";
                }
                break;
            case 13:
                f.view.soundOutputs = -1;
                break;
            case 14:
                f.view.soundInputs = 0;
                break;
            case 15:
                f.view.hamlibVersion = "4.5.5";
                break;
            case 16:
                f.view.programFolder = f.dir.filePath("no/such/folder");
                break;
            case 17:
            case 18:
            case 19:
                f.view.windows = true;
                f.view.ports = {prolific};
                if (setUp == 19) f.view.ports[0].problemCode = 10;
                f.view.portFree = [setUp](const QString&, QString* why) {
                    *why = "Access is denied.";
                    return setUp != 17;
                };
                break;
            default:
                break;
        }
        const DoctorCheck c = f.check(check);
        const QString report = DoctorReport({c});
        QVERIFY2(c.ok == ok, qPrintable(report));
        QVERIFY2(report.contains(says), qPrintable(report));
        QCOMPARE(c.fix.isEmpty(), ok);
        QVERIFY(report.startsWith(ok ? "OK    " + check : "FAIL  " + check));
    }

    // After a send: the call heard (and when), another call, nothing (with retries, each a send
    // of its own), keys and Morse together, a sound server that goes away, a send that failed.
    void listeningForTheReply_data() {
        QTest::addColumn<QString>("heard");
        QTest::addColumn<QString>("call");  // CALL or CALL@WPM (the board's speed known)
        QTest::addColumn<int>("retries");
        QTest::addColumn<int>("failAtMs");
        QTest::addColumn<bool>("sendFails");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QStringList>("replies");  // one per send, as the log gets them
        QTest::newRow("the call") << "quiet 1200, cw SIM 20, quiet 4000"
                                  << "sim" << 0 << -1 << false << "Heard SIM after 1.2 s"
                                  << QStringList{"SIM"};
        // A call of one sign is too short to tell its own speed: the board's speed tells it.
        QTest::newRow("one-sign call at the board's speed")
            << "quiet 500, cw E 25, quiet 3000"
            << "E@25" << 0 << -1 << false << "Heard E after 0.5 s" << QStringList{"E"};
        QTest::newRow("another station")
            << "quiet 500, cw IK2ABC 25"
            << "SIM" << 0 << -1 << false << "No reply heard" << QStringList{"IK2ABC"};
        QTest::newRow("nothing, twice again")
            << ""
            << "SIM" << 2 << -1 << false << "No reply heard" << QStringList{"none", "none", "none"};
        QTest::newRow("retries stop once heard")
            << "quiet 9000, cw SIM 25, quiet 3000"
            << "SIM" << 3 << -1 << false << "Heard SIM after 1.0 s" << QStringList{"none", "SIM"};
        QTest::newRow("keys on the channel, then the call")
            << "quiet 300, dtmf 208#, quiet 2000, cw SIM 30, quiet 3000"
            << "SIM" << 0 << -1 << false << "Heard SIM after 2.7 s" << QStringList{"208# SIM"};
        QTest::newRow("no call known: any Morse")
            << "quiet 500, cw QRV 20, quiet 3000"
            << "" << 0 << -1 << false << "Heard QRV after 0.5 s" << QStringList{"QRV"};
        QTest::newRow("sound server gone")
            << ""
            << "SIM" << 2 << 1500 << false
            << "Listening failed: the sound server went away (error 35)" << QStringList{"none"};
        QTest::newRow("send failed: no listening")
            << "cw SIM 20"
            << "SIM" << 2 << -1 << true << "" << QStringList{"-"};
    }
    void listeningForTheReply() {
        QFETCH(QString, heard);
        QFETCH(QString, call);
        QFETCH(int, retries);
        QFETCH(int, failAtMs);
        QFETCH(bool, sendFails);
        QFETCH(QString, told);
        QFETCH(QStringList, replies);
        FakeClock clock;
        FakeAudioInput input(clock);
        input.air = Air(heard);
        input.failAtMs = failAtMs;
        Listener listener(input, clock);
        std::string why;
        QVERIFY(listener.open("receiver", &why));
        QCOMPARE(input.openedOn, std::string("receiver"));
        QCOMPARE(input.format.samplesPerSecond, 8000);
        ReplyCheck check;
        check.request.expectCall = call.section(QLatin1Char('@'), 0, 0).toStdString();
        check.request.wpm = call.section(QLatin1Char('@'), 1).toDouble();
        check.retries = retries;
        QStringList logged;
        QStringList live;
        ListenHooks hooks;
        hooks.heard = [&live](const DecodedItem& i) { live << QString::fromStdString(i.text); };
        const std::optional<ListenResult> last = RunConfirmedSend(
            &listener, check,
            [&] {
                SendReport r;
                if (sendFails) r.outcome = SendOutcome::Failed;
                return r;
            },
            [&](const SendReport&, const ListenResult* reply) {
                logged << (reply ? ReplyText(*reply) : QStringLiteral("-"));
            },
            hooks);
        QCOMPARE(logged, replies);
        QCOMPARE(last ? ListenOutcomeText(*last) : QString(), told);
        // Heard live as logged (keys one by one).
        if (last && last->outcome != ListenOutcome::Failed)
            QCOMPARE(live.join(QString()),
                     logged.last() == "none" ? "" : logged.last().remove(QLatin1Char(' ')));
        listener.close();
        QVERIFY(!input.isOpen);
    }

    // A device that is not there is named, and the send can stop before anything goes out; the
    // caller's stop ends a listen at once.
    void listeningCannotStartOrIsStopped() {
        FakeClock clock;
        FakeAudioInput input(clock);
        input.openResult = AudioResult::BadDeviceId;
        Listener listener(input, clock);
        std::string why;
        QVERIFY(!listener.open("gone", &why));
        QCOMPARE(why, std::string("the input device gone is not there (error 2)"));
        input.openResult = AudioResult::Allocated;
        QVERIFY(!listener.open("", &why));
        QCOMPARE(why, std::string("the default input device could not be opened (error 4)"));

        input.openResult = 0;
        input.air = Air("quiet 500, cw SIM 20");
        QVERIFY(listener.open("", &why));
        ListenHooks hooks;
        hooks.stopRequested = [&clock] { return clock.now > 700; };
        ListenRequest request;
        request.expectCall = "SIM";
        const ListenResult r = listener.listen(request, hooks);
        QCOMPARE(ListenOutcomeText(r), QStringLiteral("Listening stopped"));
        QVERIFY(clock.now < 800);
    }

    void theSendLogReadsBackAsWritten() {
        QTemporaryDir dir;
        const SendLog log(dir.filePath("logs/sends.csv"));
        SendLogEntry e;
        e.when = QDateTime(QDate(2026, 12, 11), QTime(9, 30, 5), Qt::UTC);
        e.site = QStringLiteral("Monte Città, \"north\"");
        e.source = "tool";
        e.sequence = "101*0*ABC#20";
        e.pttMethod = "RTS of /dev/ttyUSB0";
        e.outcome = "failed: The sound did not all go out:\r\nthe server went away - 35";
        QString why;
        QVERIFY2(log.append(e, &why), qPrintable(why));
        e.outcome = "completed";
        e.effectiveTimeMs = 661;
        QVERIFY2(log.append(e, &why), qPrintable(why));

        std::vector<QStringList> records;
        QVERIFY(SendLog::read(log.path(), &records, &why));
        QCOMPARE(records.size(), size_t(2));
        QCOMPARE(records[0].size(), SendLog::columns().size());
        QCOMPARE(records[0][0], QStringLiteral("2026-12-11T09:30:05Z"));
        QCOMPARE(records[0][2], e.site);
        QCOMPARE(records[0][12],
                 QStringLiteral("failed: The sound did not all go out: the server went away - 35"));
        QCOMPARE(records[1][13], QStringLiteral("661"));

#ifdef Q_OS_UNIX  // Python is there on the Linux machines, not under Wine
        QCOMPARE(test::RunPythonOnCsv(
                     "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8',newline='')))\n"
                     "print(len(rows)); print(rows[0][0]); print(rows[1][2]); print(rows[2][12])",
                     log.path()),
                 "3\nutc_time\n" + e.site + "\ncompleted\n");
#endif
    }

    // A log of last year, or one past 10 MB, moves aside and a new one begins; a folder that
    // cannot be made is a failure with the system's reason, never a crash.
    void theSendLogRotatesAndFailsPlainly() {
        QTemporaryDir dir;
        const SendLog log(dir.filePath("sends.csv"));
        SendLogEntry e;
        e.when = QDateTime::currentDateTime();
        e.outcome = "completed";
        QString why;
        QVERIFY(log.append(e, &why));
        QFile old(log.path());
        QVERIFY(old.open(QIODevice::ReadWrite));
        const QDateTime lastYear = e.when.addYears(-1);
        QVERIFY(old.setFileTime(lastYear, QFileDevice::FileModificationTime));
        old.close();
        QVERIFY(log.append(e, &why));
        const QString aside =
            dir.filePath(QStringLiteral("sends-%1.csv").arg(lastYear.date().year()));
        QVERIFY(QFile::exists(aside));
        std::vector<QStringList> records;
        QVERIFY(SendLog::read(log.path(), &records, &why));
        QCOMPARE(records.size(), size_t(1));

        QVERIFY(QFile::resize(log.path(), SendLog::kRotateBytes));
        QVERIFY(log.append(e, &why));
        QCOMPARE(QDir(dir.path()).entryList({"sends-*.csv"}).size(), 2);
        QVERIFY(QFileInfo(log.path()).size() < 1000);

        QVERIFY(QFile(dir.filePath("plain")).open(QIODevice::WriteOnly));
        QVERIFY(!SendLog(dir.filePath("plain/logs/sends.csv")).append(e, &why));
        QVERIFY2(why.contains("plain"), qPrintable(why));
    }

    // The sites file round trip: every field of another site, and what the classic files have no
    // place for of Default; Default's classic values always come from the classic files. A file
    // that cannot be parsed gives Default alone and says why.
    void sitesRoundTrip() {
        QTemporaryDir dir;
        const QString file = dir.filePath("sites.json");
        AppSettings classic = DefaultAppSettings(dir.path());
        classic.prgComm = "3";
        classic.digitMs = "80";
        RadioInterface classicRadio;
        classicRadio.ptt = RadioInterface::Ptt::Dtr;
        QString why;
        std::vector<Site> sites = LoadSites(classic, classicRadio, file, &why);
        QCOMPARE(sites.size(), size_t(1));
        QCOMPARE(sites[0].name, QStringLiteral("Default"));
        QCOMPARE(sites[0].programmingPort, QStringLiteral("3"));
        QCOMPARE(sites[0].settings.digitMs, 80.0);
        QCOMPARE(sites[0].radio.ptt, RadioInterface::Ptt::Dtr);

        sites[0].userSequences[1] = {"Status, all", "8#"};
        sites[0].confirm = false;
        Site b;
        b.name = "Monte Città";
        b.configFile = dir.filePath("b.prg");
        b.programmingPort = "5";
        b.pttPort = "6";
        b.pttOn = true;
        b.radio.ptt = RadioInterface::Ptt::Hamlib;
        b.radio.rigModel = 2;
        b.radio.rigPort = "127.0.0.1:4533";
        b.radio.deviceId = "alsa_output.usb";
        b.radio.deviceDescription = "USB Audio";
        b.settings = {100, 50, 400, 350};
        b.userSequences[10] = {"F12", "ABCD"};
        sites.push_back(b);
        QVERIFY2(SaveSites(file, sites, &why), qPrintable(why));

        classic.prgComm = "4";  // the classic file changed meanwhile: it wins for Default
        const std::vector<Site> back = LoadSites(classic, classicRadio, file, &why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(back.size(), size_t(2));
        QCOMPARE(back[0].programmingPort, QStringLiteral("4"));
        QCOMPARE(back[0].userSequences[1], sites[0].userSequences[1]);
        QVERIFY(!back[0].confirm);
        QVERIFY(back[1] == b);
        QVERIFY(FindSite(back, "Monte Città") && !FindSite(back, "monte città"));

        QFile broken(file);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("{\"sites\": [");
        broken.close();
        const std::vector<Site> alone = LoadSites(classic, classicRadio, file, &why);
        QCOMPARE(alone.size(), size_t(1));
        QVERIFY(why.startsWith(file));
    }
};

QTEST_GUILESS_MAIN(TstSession)
#include "tst_session.moc"
