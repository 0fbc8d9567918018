// The session layer on its own: the outcome a send is told and logged as, and when push-to-talk
// and programming must share one port.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "fakes.h"
#include "python_csv.h"
#include "session/radio_choice.h"
#include "session/send_job.h"
#include "session/send_log.h"
#include "session/sites.h"

using namespace calvento;

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
