// The configuration side of the window: saving and loading files through the dialogs, the image
// read from and written to the fields, the sequence fields' filters and labels typed as a user
// would, the Checksum ID warning, the double click into the send field, and the calculator.
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>

#include "config/config_file.h"
#include "window_rig.h"

using namespace calvento;
using namespace calvento::test;

namespace {

struct ConfigRig : Rig {
    ConfigRig() { open(); }
    FrmTone& w() { return *window; }
    QLineEdit* mem(int i) { return w().findChild<QLineEdit*>(QStringLiteral("txtMem_%1").arg(i)); }
};

void typeInto(QLineEdit* f, const QString& keys) {
    for (QChar c : keys) QTest::keyClick(f, c.toLatin1());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TstConfigScreen : public QObject {
    Q_OBJECT
private slots:
    void saveThenLoadRestoresEveryField() {
        ConfigRig r;
        FrmTone& w = r.w();
        DecoderConfig c = w.config();
        c.commands[4] = "AB*#";
        c.commands[16] = "";
        c.cwCall = "K?=@";
        c.powerOnOutputs = {1, 0, 0, 1};
        c.cwEnabled = 0;
        c.morseSpeed = "999";  // saved as typed; checked only when programming
        c.timer1 = "0";
        w.setConfig(c);
        controls(w).txtPrgComm->setText("7");

        const QString path = r.dir.filePath("board2.prg");
        r.ui.fileAnswer = path;
        QTest::mouseClick(controls(w).cmdSave, Qt::LeftButton);
        QVERIFY(r.ui.messages.empty());
        QCOMPARE(r.ui.dialogs.back(),
                 (QStringList{"Save File", QDir::toNativeSeparators(r.dir.path()), "Default31.prg",
                              "Configuration file (*.prg);;All files (*)"}));
        QCOMPARE(w.windowTitle(), QStringLiteral("Calvento v3.1 - board2.prg"));
        QCOMPARE(w.configFilePath(), QDir::toNativeSeparators(path));
        QVERIFY(readFile(path).endsWith("\"7\"\r\n"));

        // Scribble over everything, then load.
        DecoderConfig other;
        other.commands.fill("9");
        other.cwEnabled = 1;
        w.setConfig(other);
        controls(w).txtPrgComm->setText("1");
        QTest::mouseClick(controls(w).cmdLoad, Qt::LeftButton);
        QCOMPARE(r.ui.dialogs.back()[0], QStringLiteral("Load File"));
        QVERIFY(w.config() == c);
        QCOMPARE(controls(w).txtPrgComm->text(), QStringLiteral("7"));
        QCOMPARE(controls(w).chkOutput_0->text(), QStringLiteral("Output 1 ON"));
        QCOMPARE(controls(w).chkOutput_1->text(), QStringLiteral("Output 2 OFF"));
        QCOMPARE(controls(w).lblSeqCmd->text(), "[" + controls(w).txtSeqCmd->text() + "]");
        QVERIFY(r.ui.messages.empty());  // the file set the Checksum ID: no warning
    }

    void cancellingTheDialogsChangesNothing() {
        ConfigRig r;
        const QString caption = r.w().windowTitle();
        r.ui.fileAnswer.clear();
        QTest::mouseClick(controls(r.w()).cmdSave, Qt::LeftButton);
        QTest::mouseClick(controls(r.w()).cmdLoad, Qt::LeftButton);
        QCOMPARE(r.w().windowTitle(), caption);
        QCOMPARE(r.w().configFilePath(), r.defaultConfig());
        QVERIFY(r.ui.messages.empty());
    }

    // A save that fails never costs the old file, and nothing claims it was saved.
    void aFailedSaveLeavesTheOldFile() {
        ConfigRig r;
        const QByteArray before = readFile(r.defaultConfig());
        r.ui.fileAnswer = r.dir.filePath("no-such-folder/x.prg");
        QTest::mouseClick(controls(r.w()).cmdSave, Qt::LeftButton);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Warning"));
        QCOMPARE(r.w().configFilePath(), r.defaultConfig());
        QCOMPARE(r.w().windowTitle(), QStringLiteral("Calvento v3.1 - Default31.prg"));
        // Saving over a file that cannot be replaced (here a folder of that name) fails whole.
        QVERIFY(QDir(r.dir.path()).mkdir("taken.prg"));
        r.ui.fileAnswer = r.dir.filePath("taken.prg");
        QTest::mouseClick(controls(r.w()).cmdSave, Qt::LeftButton);
        QCOMPARE(r.ui.messages.size(), size_t(2));
        QCOMPARE(readFile(r.defaultConfig()), before);
    }

    // Values longer than their fields (from a file or a board) are shown whole, and PROGRAM
    // refuses them with the encoder's message before a byte of the write goes out.
    void overLongValuesAreKeptAndRefused_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("fromBoard");
        QTest::addColumn<QString>("message");
        QTest::newRow("file: command of 11 keys")
            << "txtMem_0"
            << "12345678901" << false << "Command #0 has more than 10 keys.";
        QTest::newRow("file: call of 8")
            << "txtCallID"
            << "IK2ABCDE" << false << "CW Call has more than 6 characters.";
        QTest::newRow("file: small letters in the call")
            << "txtCallID"
            << "ik2abc" << false
            << "CW Call: \"i\" is not a character of the call (0-9, A-Z, space and : ; < = > ? "
               "@).";
        QTest::newRow("board: call of 7")
            << "txtCallID"
            << "IK2ABCD" << true << "CW Call has more than 6 characters.";
    }
    void overLongValuesAreKeptAndRefused() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(bool, fromBoard);
        QFETCH(QString, message);
        ConfigRig r;
        FrmTone& w = r.w();
        DecoderConfig c = w.config();
        if (field == "txtCallID")
            c.cwCall = value.toStdString();
        else
            c.commands[0] = value.toStdString();
        if (fromBoard) {  // an image whose call runs to the last byte
            c.cwCall.clear();
            DecoderImage image = EncodeConfig(c).image;
            for (int k = 0; k < value.size(); ++k) image[size_t(201 + k)] = value.at(k).toLatin1();
            w.DecodeConfig(image);
        } else {
            const QString path = r.dir.filePath("long.prg");
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray::fromStdString(FormatConfigFile(c, "1")));
            f.close();
            r.ui.fileAnswer = path;
            QTest::mouseClick(controls(w).cmdLoad, Qt::LeftButton);
            QVERIFY(r.ui.messages.empty());
        }
        QCOMPARE(w.findChild<QLineEdit*>(field)->text(), value);

        qputenv("CALVENTO_COM1", "fake1");
        controls(w).txtPrgComm->setText("1");
        controls(w).chkPrg->setChecked(true);
        QVERIFY(r.port.isOpen());
        QTest::mouseClick(controls(w).cmdSend, Qt::LeftButton);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text, message);
        QCOMPARE(r.port.sent, QByteArray("\xFF\xCC"));  // the switch-on identify, nothing more
    }

    // A value the file format cannot carry is refused by name before a file is chosen; a bare
    // name gets the extension the Load dialog lists.
    void savesRefuseQuotesAndNameTheirFiles() {
        ConfigRig r;
        FrmTone& w = r.w();
        DecoderConfig c = w.config();
        c.cwCall = "AB\"C";
        w.setConfig(c);
        r.ui.fileAnswer = r.dir.filePath("quoted.prg");
        QTest::mouseClick(controls(w).cmdSave, Qt::LeftButton);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QVERIFY(r.ui.messages[0].text.startsWith("CW Call holds a double quote"));
        QVERIFY(r.ui.dialogs.isEmpty());
        QVERIFY(!QFile::exists(r.ui.fileAnswer));

        c.cwCall = "ABC";
        w.setConfig(c);
        r.ui.fileAnswer = r.dir.filePath("myboard");
        QTest::mouseClick(controls(w).cmdSave, Qt::LeftButton);
        QVERIFY(QFile::exists(r.dir.filePath("myboard.prg")));
        QVERIFY(!QFile::exists(r.dir.filePath("myboard")));
        QCOMPARE(w.windowTitle(), QStringLiteral("Calvento v3.1 - myboard.prg"));
    }

    // A file that cannot be loaded whole changes nothing: not one field, not the caption, so
    // that PROGRAM never writes a mix of two files.
    void aFileThatFailsToLoadChangesNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("message");
        QTest::newRow("cut off after the fixed parameters")
            << QByteArray("1\r\n1\r\n0\r\n0\r\n\"12\",\"D\",0,\"30\",\"XY\",\"5\",\"6\",0,"
                          "\"1.0\",\"2.0\"\r\n\"1\"\r\n\"2\"\r\n")
            << QString() << "Input past end of file";
        QTest::newRow("larger than any configuration")
            << QByteArray("1\r\n1\r\n0\r\n0\r\n\"12\",\"D\"") + QByteArray(200000, ' ')
            << QString() << "The file is larger than any configuration file (over 65536 bytes).";
#ifdef Q_OS_UNIX
        QTest::newRow("a device that never ends")
            << QByteArray() << "/dev/zero"
            << "The file is larger than any configuration file (over 65536 bytes).";
#endif
    }
    void aFileThatFailsToLoadChangesNothing() {
        QFETCH(QByteArray, content);
        QFETCH(QString, device);
        QFETCH(QString, message);
        ConfigRig r;
        FrmTone& w = r.w();
        QString path = device;
        if (path.isEmpty()) {
            path = r.dir.filePath("broken.prg");
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const DecoderConfig before = w.config();
        const QString title = w.windowTitle();
        r.ui.fileAnswer = path;
        QTest::mouseClick(controls(w).cmdLoad, Qt::LeftButton);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].title,
                 "Unable to load data file " + QDir::toNativeSeparators(path));
        QCOMPARE(r.ui.messages[0].text, message);
        QVERIFY(w.config() == before);
        QCOMPARE(w.windowTitle(), title);
    }

    void loadingAnotherPortSwitchesTheLinkOff() {
        ConfigRig r;
        FrmTone& w = r.w();
        qputenv("CALVENTO_COM1", "fake1");
        controls(w).txtPrgComm->setText("1");
        controls(w).chkPrg->setChecked(true);
        QVERIFY(r.port.isOpen());
        // Same number: the link stays.
        r.ui.fileAnswer = r.defaultConfig();
        QTest::mouseClick(controls(w).cmdLoad, Qt::LeftButton);
        QVERIFY(controls(w).chkPrg->isChecked());
        // Another number: signed off and closed before the number changes.
        QFile f(r.defaultConfig());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray content = f.readAll();
        f.close();
        content.replace("\"1\"\r\n", "\"4\"\r\n");
        const QString path = r.dir.filePath("port4.prg");
        QFile g(path);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(content);
        g.close();
        r.ui.fileAnswer = path;
        QTest::mouseClick(controls(w).cmdLoad, Qt::LeftButton);
        QVERIFY(!controls(w).chkPrg->isChecked());
        QVERIFY(!r.port.isOpen());
        QVERIFY(r.port.sent.endsWith("\xFF\x99"));
        QCOMPARE(controls(w).txtPrgComm->text(), QStringLiteral("4"));
        QVERIFY(controls(w).txtPrgComm->isEnabled());
    }

    void imagesGoThroughTheFields() {
        ConfigRig r;
        FrmTone& w = r.w();
        QVERIFY(w.EncodeConfig());
        const DecoderImage image = w.transmitImage();
        DecoderConfig blank;
        w.setConfig(blank);
        w.DecodeConfig(image);
        QVERIFY(w.EncodeConfig());
        QVERIFY(w.transmitImage() == image);
        QCOMPARE(controls(w).lblCrcTag->text(), "[" + controls(w).txtCrcTag->text() + "]");
        QVERIFY(r.ui.messages.empty());
        // A failing check is told once, in a "Warning" with no icon.
        controls(w).txtTmr1->setText("0");
        QVERIFY(!w.EncodeConfig());
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text,
                 QStringLiteral("Please insert a valid Output 1 Timer Interval"));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Warning"));
        QCOMPARE(r.ui.messages[0].icon, MessageIcon::None);
    }

    void sequenceFieldFilters_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::newRow("command: b becomes B; E, space, comma refused") << "txtMem_3"
                                                                       << "1bE ,#"
                                                                       << "1B#";
        QTest::newRow("modifier") << "txtSeqCmd"
                                  << "*d0x"
                                  << "*D0";
        QTest::newRow("checksum") << "txtCrcTag"
                                  << "e"
                                  << "";
        QTest::newRow("original accepts the checksum key") << "txtSeqOri"
                                                           << "12#"
                                                           << "12#";
        QTest::newRow("new refuses the checksum key") << "txtSeqNew"
                                                      << "1#2"
                                                      << "12";
    }
    void sequenceFieldFilters() {
        QFETCH(QString, field);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        ConfigRig r;
        controls(r.w()).txtCrcTag->setText("#");
        auto* f = r.w().findChild<QLineEdit*>(field);
        f->clear();
        typeInto(f, keys);
        QCOMPARE(f->text(), text);
    }

    void clipboardKeysInSequenceFields() {
        ConfigRig r;
        for (const char* name : {"txtMem_0", "txtSeqCmd", "txtSeqOri", "txtSeqNew", "txtCrcTag"}) {
            auto* f = r.w().findChild<QLineEdit*>(name);
            f->setText("1");
            f->selectAll();
            QApplication::clipboard()->setText("none");
            QTest::keyClick(f, Qt::Key_C, Qt::ControlModifier);
            const bool copies = QByteArray(name) != "txtCrcTag";
            QCOMPARE(QApplication::clipboard()->text(), copies ? QString("1") : QString("none"));
            f->end(false);
            QTest::keyClick(f, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(f->text(), QStringLiteral("1"));
        }
    }

    void checksumWarningWhenTyped() {
        ConfigRig r;
        FrmTone& w = r.w();
        r.mem(5)->setText("15");
        r.mem(9)->setText("555");
        controls(w).txtCrcTag->clear();
        r.ui.messages.clear();
        QTest::keyClick(controls(w).txtCrcTag, '5');
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text,
                 QStringLiteral(
                     "Digit 5 already used in command sequences.\r\nPlease choose another digit."));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Warning"));
        QCOMPARE(controls(w).txtCrcTag->text(), QStringLiteral("5"));
        QCOMPARE(controls(w).txtCrcTag->selectedText(), QStringLiteral("5"));
        QCOMPARE(controls(w).lblCrcTag->text(), QStringLiteral("[5]"));
        // Emptying it warns of nothing.
        QTest::keyClick(controls(w).txtCrcTag, Qt::Key_Backspace);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(controls(w).lblCrcTag->text(), QStringLiteral("[]"));
    }

    void echoAndMatchingLabels() {
        ConfigRig r;
        FrmTone& w = r.w();
        controls(w).txtSeqCmd->setText("12");
        QCOMPARE(controls(w).lblSeqCmd->text(), QStringLiteral("[12]"));
        controls(w).txtSeqCmd->clear();
        QCOMPARE(controls(w).lblSeqCmd->text(), QStringLiteral("[]"));
        r.mem(2)->setText("77");
        r.mem(7)->setText("77");
        controls(w).txtSeqOri->setText("77");
        QCOMPARE(controls(w).Label6->text(), QStringLiteral("Original Sequence [cmd 2]"));
        controls(w).txtSeqNew->setText("77");
        QCOMPARE(controls(w).Label8->text(), QStringLiteral("New Sequence  [cmd 2]"));
        controls(w).txtSeqOri->setText("78");
        QCOMPARE(controls(w).Label6->text(), QStringLiteral("Original Sequence"));
    }

    void doubleClickCopiesACommandToSend() {
        ConfigRig r;
        FrmTone& w = r.w();
        controls(w).SSTab1->setCurrentIndex(0);
        r.mem(4)->setText("4#");
        QTest::mouseDClick(r.mem(4), Qt::LeftButton);
        QCOMPARE(controls(w).Text1->text(), QStringLiteral("4#"));
        QCOMPARE(controls(w).Label3->text(), QStringLiteral("Sequence to Send (2 digits)"));
        QCOMPARE(controls(w).SSTab1->currentIndex(), 1);
        QCOMPARE(controls(w).Text1->selectedText(), QStringLiteral("4#"));
        // An empty command changes nothing.
        controls(w).SSTab1->setCurrentIndex(0);
        r.mem(5)->clear();
        QTest::mouseDClick(r.mem(5), Qt::LeftButton);
        QCOMPARE(controls(w).Text1->text(), QStringLiteral("4#"));
        QCOMPARE(controls(w).SSTab1->currentIndex(), 0);
    }

    void calculatorWritesTheSequenceToSend() {
        ConfigRig r;
        FrmTone& w = r.w();
        controls(w).txtSeqCmd->setText("*0*");
        controls(w).txtCrcTag->setText("#");
        controls(w).txtSeqOri->setText("101");
        controls(w).txtSeqNew->setText("ABC");
        QTest::mouseClick(controls(w).cmdSeqCalc, Qt::LeftButton);
        QCOMPARE(controls(w).Text1->text(), QStringLiteral("101*0*ABC#20"));
        QCOMPARE(controls(w).Label3->text(), QStringLiteral("Sequence to Send (12 digits)"));
        // Refused: Text1 keeps its text and the offending keys are selected.
        controls(w).txtSeqOri->setText("12*0*");
        QTest::mouseClick(controls(w).cmdSeqCalc, Qt::LeftButton);
        QCOMPARE(controls(w).Text1->text(), QStringLiteral("101*0*ABC#20"));
        QCOMPARE(r.ui.messages.back().title, QStringLiteral("Warning"));
        QCOMPARE(r.ui.messages.back().icon, MessageIcon::Information);
        QCOMPARE(controls(w).txtSeqOri->selectionStart(), 2);
        QCOMPARE(controls(w).txtSeqOri->selectedText(), QStringLiteral("*0*"));
        // A pasted character that is not a key is named.
        controls(w).txtSeqOri->setText("12");
        controls(w).txtSeqNew->setText("1%");
        QTest::mouseClick(controls(w).cmdSeqCalc, Qt::LeftButton);
        QCOMPARE(r.ui.messages.back().title, QStringLiteral("DTMF"));
        QVERIFY(r.ui.messages.back().text.contains("\"%\""));
        QCOMPARE(controls(w).Text1->text(), QStringLiteral("101*0*ABC#20"));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallClassicFontSubstitutes();
    TstConfigScreen t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_config_screen.moc"
