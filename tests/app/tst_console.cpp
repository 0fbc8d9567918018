// The Console tab in the real window, with fakes for the sound device, the ports, the clock and
// the dialogs: a site's stored commands and user sequences sent with the site's radio, the
// confirmation, F-keys only on the console, no second send while one is under way, Stop, the
// send log, switching sites (and what the classic files keep), and the same samples as the tool.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>

#include "app/radio_interface.h"
#include "config/config_file.h"
#include "session/send_log.h"
#include "session/sites.h"
#include "window_rig.h"

using namespace calvento;
using namespace calvento::test;

namespace {

// Two sites: Default (the classic settings, push-to-talk on COM1 = fakeA when ticked) and
// Hilltop, whose board answers other commands (and calls HT1 at 20 WPM), keyed on COM2 = fakeB,
// with its own durations, "Gate" on F3, and its reply listened for 6 s with one retry.
struct ConsoleRig : Rig {
    QStringList journal;
    FakeSerialPort pttPort;
    QString hilltopConfig;

    ConsoleRig() {
        qputenv("CALVENTO_COM1", "fakeA");
        qputenv("CALVENTO_COM2", "fakeB");
        qputenv("CALVENTO_COM3", "fakeProg");
        pttPort.journal = &journal;
        audio.journal = &journal;
        clock.journal = &journal;
        DecoderConfig board;
        board.commands[0] = "101";
        board.commands[8] = "208#";
        board.commands[17] = "9D9";
        board.cwCall = "HT1";
        board.morseSpeed = "20";
        hilltopConfig = QDir::toNativeSeparators(dir.filePath("hilltop.prg"));
        writeFile(hilltopConfig, QByteArray::fromStdString(FormatConfigFile(board, "3")));
        QJsonArray user;
        user.append(QJsonObject{{"name", ""}, {"sequence", ""}});
        user.append(QJsonObject{{"name", "Gate"}, {"sequence", "*51#"}});
        const QJsonObject hilltop{{"name", "Hilltop"},      {"configFile", hilltopConfig},
                                  {"programmingPort", "3"}, {"pttPort", "2"},
                                  {"ptt", "rts"},           {"pttOn", true},
                                  {"digitMs", 80},          {"gapMs", 50},
                                  {"pauseMs", 300},         {"txDelayMs", 100},
                                  {"listenSeconds", 6},     {"replyRetries", 1},
                                  {"userSequences", user}};
        writeFile(dir.filePath("sites.json"),
                  QJsonDocument(QJsonObject{{"sites", QJsonArray{hilltop}}}).toJson());
        window = std::make_unique<FrmTone>(player, port, ui, clock, &pttPort);
    }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    FrmTone& w() { return *window; }
    template <class Control>
    Control* named(const char* name) {
        return Named<Control>(*window, name);
    }
    void showConsole() {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        controls(*window).SSTab1->setCurrentIndex(2);
    }
    void chooseSite(int index) {
        auto* sites = named<QComboBox>("cmbSite");
        sites->setCurrentIndex(index);
        emit sites->activated(index);
    }
    std::vector<QStringList> log() {
        std::vector<QStringList> records;
        QString why;
        if (QFile::exists(SendLog::DefaultPath()))
            SendLog::read(SendLog::DefaultPath(), &records, &why);
        return records;
    }
    int plays() const { return static_cast<int>(audio.log.count("open")); }
};

// The samples a send of `keys` plays at those durations, as 16-bit little-endian bytes.
QByteArray samplesOf(const std::vector<int16_t>& written) {
    return QByteArray(reinterpret_cast<const char*>(written.data()),
                      static_cast<qsizetype>(written.size() * sizeof(int16_t)));
}

}  // namespace

class TstConsole : public QObject {
    Q_OBJECT
private slots:
    void init() { qunsetenv("CALVENTO_COM1"); }

    // Choosing a site fills the fields from it (durations, ports, the radio, its board's file
    // and its push-to-talk on); the console shows its stored commands and F-keys. Going back
    // restores Default, and the classic settings file keeps Default's values whichever site
    // the window closes on, while sites.json keeps the other site's changes.
    void aSiteIsWorkedInTheFields() {
        ConsoleRig r;
        r.showConsole();
        const MainWindowControls c = controls(r.w());
        QCOMPARE(r.named<QComboBox>("cmbSite")->count(), 2);
        QCOMPARE(r.named<QComboBox>("cmbSite")->currentText(), QStringLiteral("Default"));

        r.chooseSite(1);
        QCOMPARE(r.w().currentSite(), 1);
        QCOMPARE(c.Text2->text(), QStringLiteral("80"));
        QCOMPARE(c.txtTxd->text(), QStringLiteral("100"));
        QCOMPARE(c.txtPttCom->text(), QStringLiteral("2"));
        QCOMPARE(c.txtPrgComm->text(), QStringLiteral("3"));
        QCOMPARE(r.w().configFilePath(), r.hilltopConfig);
        QVERIFY(c.chkPtt->isChecked());
        QVERIFY(r.journal.contains("open fakeB"));
        QVERIFY(r.named<QCheckBox>("chkConsolePtt")->isChecked());
        QVERIFY(r.named<QLabel>("lblRadio")->text().contains("RTS of PTT Comm 2 (fakeB), on"));
        QCOMPARE(r.named<QPushButton>("cmdCommand_8")->text(),
                 QStringLiteral("8: Send Status  208#"));
        QCOMPARE(r.named<QPushButton>("cmdCommand_0")->text(),
                 QStringLiteral("0: Output 1 ON  101"));
        QVERIFY(r.named<QPushButton>("cmdCommand_8")->isVisible());
        QVERIFY(!r.named<QPushButton>("cmdCommand_1")->isVisible());  // empty: no button
        QCOMPARE(r.named<QLineEdit>("txtUserName_1")->text(), QStringLiteral("Gate"));

        c.Text3->setText("45");  // a change the site keeps
        r.chooseSite(0);
        QCOMPARE(c.Text2->text(), QStringLiteral("60"));
        QCOMPARE(c.txtPttCom->text(), QStringLiteral("1"));
        QCOMPARE(r.w().configFilePath(), r.defaultConfig());
        QVERIFY(!c.chkPtt->isChecked());
        QCOMPARE(r.journal.filter("close").size(), 1);  // Hilltop's port let go
        r.chooseSite(1);
        QCOMPARE(c.Text3->text(), QStringLiteral("45"));

        r.w().close();  // on Hilltop
        const AppSettings classic = ParseAppSettings(r.readIni()).values;
        QCOMPARE(classic.configFilePath, r.defaultConfig());
        QCOMPARE(QStringList({classic.digitMs, classic.gapMs, classic.pttCom, classic.prgComm,
                              classic.txDelayMs}),
                 QStringList({"60", "40", "1", "1", "200"}));
        QString why;
        const std::vector<Site> sites =
            LoadSites(AppSettings{}, RadioInterface{}, SitesFilePath(), &why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(sites.size(), size_t(2));
        QCOMPARE(sites[1].settings.gapMs, 45.0);
        QVERIFY(sites[1].pttOn);
        // The site worked last is taken up again at the next start.
        r.window = std::make_unique<FrmTone>(r.player, r.port, r.ui, r.clock, &r.pttPort);
        QCOMPARE(r.w().currentSite(), 1);
        QCOMPARE(controls(r.w()).Text3->text(), QStringLiteral("45"));
    }

    // F3 on the console sends exactly the site's F3 sequence with the site's durations, keyed on
    // the site's line, after a confirmation that names it, its digits and the site; the log has
    // its line. F3 on another tab sends nothing.
    void fKeysSendTheSitesUserSequences() {
        ConsoleRig r;
        r.showConsole();
        r.chooseSite(1);
        r.journal.clear();
        QTest::keyClick(&r.w(), Qt::Key_F3);
        QCOMPARE(r.ui.confirmations.size(), size_t(1));
        QCOMPARE(r.ui.confirmations[0].text, QStringLiteral("Send Gate (*51#) to site Hilltop?"));
        QCOMPARE(r.plays(), 1);
        QCOMPARE(r.journal.mid(0, 4), QStringList({"rts 1", "sleep 100", "play", "sleep 40"}));
        QVERIFY(r.journal.contains("rts 0"));
        Player reference(r.audio, r.clock);
        reference.setDurations(80, 50, 300);
        FillToneTable(reference.toneTable());
        const std::vector<int16_t> sent = r.audio.written;
        QVERIFY(reference.SuonaSequenza("*51#").played);
        QVERIFY(sent == r.audio.written);
        const std::vector<QStringList> log = r.log();
        QCOMPARE(log.size(), size_t(1));
        QCOMPARE(log[0].mid(2, 4), QStringList({"Hilltop", "console", "Gate", "*51#"}));
        QCOMPARE(log[0].value(12), QStringLiteral("completed"));
        QVERIFY(r.named<QLabel>("lblConsoleStatus")->text().startsWith("Gate (*51#): completed"));
        QCOMPARE(r.named<QTableWidget>("tblLog")->rowCount(), 1);

        controls(r.w()).SSTab1->setCurrentIndex(0);
        QTest::keyClick(&r.w(), Qt::Key_F3);
        QCOMPARE(r.plays(), 2);  // the reference above, nothing more
        QCOMPARE(r.log().size(), size_t(1));
    }

    // With a receiver, a command is followed by listening: the call heard is told and logged with
    // what was heard; nothing heard sends once more (the site's one retry), each send logged; an
    // input that cannot be opened still sends and says why it did not listen; the monitor shows
    // what the receiver hears while idle.
    void theConsoleListensForTheReply() {
        ConsoleRig r;
        FakeAudioInput input(r.clock);
        r.w().setAudioInput(&input);
        r.showConsole();
        r.chooseSite(1);
        r.ui.confirmAnswer = true;
        input.air = Air("quiet 1500, dtmf 12, quiet 1000, cw HT1 20, quiet 4000");
        r.named<QPushButton>("cmdCommand_8")->click();
        QCOMPARE(r.plays(), 1);
        QVERIFY2(r.named<QLabel>("lblConsoleStatus")
                     ->text()
                     .contains(QRegularExpression("^8: Send Status \\(208#\\): completed in "
                                                  "\\d+mS\\. Heard HT1 after \\d\\.\\d s$")),
                 qPrintable(r.named<QLabel>("lblConsoleStatus")->text()));
        QCOMPARE(r.log().back().value(14), QStringLiteral("12 HT1"));
        auto* heard = r.named<QListWidget>("lstHeard");
        QCOMPARE(heard->count(), 3);
        QVERIFY(heard->item(2)->text().endsWith("Morse  HT1"));
        QVERIFY(heard->item(0)->text().endsWith("DTMF   1"));
        QVERIFY(!input.isOpen);

        input.air.clear();
        r.named<QPushButton>("cmdCommand_0")->click();
        QCOMPARE(r.plays(), 3);
        QVERIFY(r.named<QLabel>("lblConsoleStatus")->text().endsWith(". No reply heard"));
        const std::vector<QStringList> log = r.log();
        QCOMPARE(log.size(), size_t(3));
        QCOMPARE(log[1].value(14), QStringLiteral("none"));
        QCOMPARE(log[2].value(14), QStringLiteral("none"));

        input.openResult = AudioResult::BadDeviceId;
        r.named<QPushButton>("cmdCommand_0")->click();
        QCOMPARE(r.plays(), 4);
        QVERIFY2(r.named<QLabel>("lblConsoleStatus")
                     ->text()
                     .endsWith("Not listening for the reply: the default input device is not "
                               "there (error 2)"),
                 qPrintable(r.named<QLabel>("lblConsoleStatus")->text()));
        QCOMPARE(r.log().back().value(14), QString());

        input.openResult = 0;
        input.air = Air("dtmf 7#");
        heard->clear();
        r.named<QCheckBox>("chkMonitor")->setChecked(true);
        QVERIFY(input.isOpen);
        r.clock.now += 2000;
        QTRY_COMPARE(heard->count(), 2);
        QVERIFY(heard->item(1)->text().endsWith("DTMF   #"));
        r.named<QCheckBox>("chkMonitor")->setChecked(false);
        QVERIFY(!input.isOpen);
    }

    // The Radio dialog chooses the receiver input (its meter holds the input only while the
    // dialog is open) and how the reply is listened for; the site keeps them.
    void theRadioDialogChoosesTheReceiver() {
        ConsoleRig r;
        FakeAudioInput input(r.clock);
        input.deviceList = {{"usb", "USB Audio"}, {"receiver", "Receiver"}};
        r.w().setAudioInput(&input);
        r.showConsole();
        r.chooseSite(1);
        QMetaObject::invokeMethod(controls(r.w()).cmdRadio, "click");
        RadioInterfaceDialog* d = r.w().radioInterfaceDialog();
        QVERIFY(d);
        QVERIFY(input.isOpen);
        auto* inputs = d->findChild<QComboBox*>("cmbInput");
        QCOMPARE(inputs->count(), 3);
        QCOMPARE(inputs->itemText(2), QStringLiteral("Receiver"));
        inputs->setCurrentIndex(2);
        QCOMPARE(input.openedOn, std::string("receiver"));
        input.air = Air("dtmf 5");
        r.clock.now += 500;
        auto* meter = d->findChild<QProgressBar*>("prgLevel");
        QTRY_VERIFY(meter->value() > -10);
        QCOMPARE(d->findChild<QSpinBox*>("spnListen")->value(), 6);
        d->findChild<QSpinBox*>("spnListen")->setValue(12);
        d->findChild<QSpinBox*>("spnRetries")->setValue(3);
        d->accept();
        QVERIFY(!input.isOpen);
        const RadioInterface& kept = r.w().sites()[1].radio;
        QCOMPARE(kept.inputDeviceId, QStringLiteral("receiver"));
        QCOMPARE(kept.inputDeviceDescription, QStringLiteral("Receiver"));
        QCOMPARE(kept.listenSeconds, 12);
        QCOMPARE(kept.replyRetries, 3);
        QString why;
        const std::vector<Site> saved = LoadProgramSites(&why);
        QCOMPARE(saved[1].radio.listenSeconds, 12);
        QVERIFY(r.named<QLabel>("lblRadio")->text().contains("Reply: 12 s on Receiver"));
    }

    // Refused, nothing goes out and nothing is logged; an empty F-key says so.
    void aRefusedConfirmationSendsNothing() {
        ConsoleRig r;
        r.showConsole();
        r.chooseSite(1);
        r.ui.confirmAnswer = false;
        r.named<QPushButton>("cmdCommand_8")->click();
        QCOMPARE(r.ui.confirmations.size(), size_t(1));
        QVERIFY(r.ui.confirmations[0].text.contains("8: Send Status (208#)"));
        QCOMPARE(r.plays(), 0);
        QVERIFY(!r.journal.contains("rts 1"));
        QVERIFY(r.log().empty());
        QTest::keyClick(&r.w(), Qt::Key_F2);
        QCOMPARE(r.plays(), 0);
        QCOMPARE(r.named<QLabel>("lblConsoleStatus")->text(),
                 QStringLiteral("F2 holds no sequence."));
    }

    // A command button and the tool's synth of the same stored command give the same bytes.
    void theConsoleAndTheToolPlayTheSameSamples() {
        ConsoleRig r;
        r.showConsole();
        r.chooseSite(1);
        r.named<QCheckBox>("chkConfirm")->click();  // off: sends at once
        r.named<QPushButton>("cmdCommand_17")->click();
        QCOMPARE(r.ui.confirmations.size(), size_t(0));
        QCOMPARE(r.plays(), 1);
        QProcess tool;
        tool.start(QStringLiteral(CALVENTO_CLI),
                   {"synth", "--site", "Hilltop", "--command", "ALL Outputs OFF", "--raw", "-"});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        const QByteArray fromTool = tool.readAllStandardOutput();
        QVERIFY(!fromTool.isEmpty());
        QCOMPARE(samplesOf(r.audio.written), fromTool);
        QCOMPARE(r.log()[0].value(4), QStringLiteral("17: ALL Outputs OFF"));
    }

    // While a console send is under way further presses are ignored (nothing queues), and Stop
    // or Escape end it at once: push-to-talk drops after the tail, the log says the user
    // stopped it.
    void stopEndsASendAndNothingQueues_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Stop button") << false;
        QTest::newRow("Escape") << true;
    }
    void stopEndsASendAndNothingQueues() {
        QFETCH(bool, escape);
        ConsoleRig r;
        r.showConsole();
        r.chooseSite(1);
        r.ui.confirmAnswer = true;
        r.audio.turnsUntilDone = -1;  // a sequence that would sound forever
        int turns = 0;
        r.clock.onTurn = [&] {
            if (++turns == 5) {
                QTest::keyClick(&r.w(), Qt::Key_F3);
                r.named<QPushButton>("cmdCommand_8")->click();
            }
            if (turns == 10) {
                if (escape)
                    QTest::keyClick(&r.w(), Qt::Key_Escape);
                else
                    r.named<QPushButton>("cmdStop")->click();
            }
        };
        r.journal.clear();
        QTest::keyClick(&r.w(), Qt::Key_F3);
        r.clock.onTurn = nullptr;
        QCOMPARE(r.plays(), 1);
        QCOMPARE(r.ui.confirmations.size(), size_t(1));
        const qsizetype released = r.journal.indexOf("rts 0");
        QVERIFY(released > 0);
        QCOMPARE(r.journal[released - 1], QStringLiteral("sleep 40"));
        QCOMPARE(r.log().size(), size_t(1));
        QCOMPARE(r.log()[0].value(12), QStringLiteral("stopped by the user"));
        QVERIFY(!r.named<QPushButton>("cmdStop")->isEnabled());
    }

    // A log that cannot be written never stops a send: the send completes, and both the console
    // and a box say the log failed.
    void anUnwritableLogStillSends() {
        ConsoleRig r;
        ConsoleRig::writeFile(r.dir.filePath("logs"), "a file where the folder would be");
        r.showConsole();
        r.chooseSite(1);
        QTest::keyClick(&r.w(), Qt::Key_F3);
        QCOMPARE(r.plays(), 1);
        QVERIFY(r.journal.contains("rts 0"));
        QVERIFY(r.named<QLabel>("lblConsoleStatus")->text().startsWith("Gate (*51#): completed"));
        bool told = false;
        for (const ShownMessage& m : r.ui.messages)
            told = told || m.text.startsWith("The send log could not be written");
        QVERIFY(told);
    }

    // Switching away from configuration fields that no file holds asks first; No keeps the site.
    void unsavedFieldsAreNotLeftWithoutAsking() {
        ConsoleRig r;
        r.showConsole();
        controls(r.w()).txtMem_3->setText("4444");
        r.ui.questionAnswer = false;
        r.chooseSite(1);
        QCOMPARE(r.ui.questions.size(), size_t(1));
        QCOMPARE(r.w().currentSite(), 0);
        QCOMPARE(controls(r.w()).txtMem_3->text(), QStringLiteral("4444"));
        QCOMPARE(r.named<QComboBox>("cmbSite")->currentIndex(), 0);
        r.ui.questionAnswer = true;
        r.chooseSite(1);
        QCOMPARE(r.w().currentSite(), 1);
    }
};

QTEST_MAIN(TstConsole)
#include "tst_console.moc"
