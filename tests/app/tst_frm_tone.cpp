// The main window's start-up, settings file and close, run on the real window (offscreen) with
// the settings in a temporary program folder and fakes for the sound device and dialogs.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "session/app_settings.h"
#include "window_rig.h"

using namespace calvento;
using namespace calvento::test;

namespace {

QStringList timingFields(FrmTone& w) {
    return {controls(w).Text1->text(),     controls(w).Text2->text(),
            controls(w).Text3->text(),     controls(w).Text4->text(),
            controls(w).txtPttCom->text(), controls(w).txtPrgComm->text(),
            controls(w).txtTxd->text()};
}

}  // namespace

class TstFrmTone : public QObject {
    Q_OBJECT
private slots:
    void firstStartInAnEmptyFolder() {
        Rig r;
        FrmTone& w = r.open();
        QCOMPARE(r.readIni(), r.defaultLine());
        QCOMPARE(w.pos(), QPoint(0, 0));
        QCOMPARE(controls(w).SSTab1->currentIndex(), 0);
        QCOMPARE(controls(w).SSTab1->tabText(0), QStringLiteral("Direct Programming"));
        QCOMPARE(controls(w).SSTab1->tabText(1), QStringLiteral("Remote Modify / Send"));
        QCOMPARE(controls(w).SSTabCmd->currentIndex(), 0);
        QCOMPARE(timingFields(w),
                 QStringList({"0123456789*#ABCD", "60", "40", "300", "1", "1", "200"}));
        QCOMPARE(controls(w).Label3->text(), QStringLiteral("Sequence to Send (16 digits)"));
        QVERIFY(controls(w).cmdTone->isEnabled());
        // The shipped example configuration is loaded.
        QCOMPARE(w.windowTitle(), QStringLiteral("Calvento v3.1 - Default31.prg"));
        QCOMPARE(w.configFilePath(), r.defaultConfig());
        QCOMPARE(controls(w).txtSeqCmd->text(), QStringLiteral("*0*"));
        QVERIFY(r.ui.messages.empty());
    }

    void firstStartWithoutTheDefaultConfiguration() {
        Rig r(nullptr, /*withDefaultConfig=*/false);
        FrmTone& w = r.open();
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].title, "Unable to load data file " + r.defaultConfig());
        QCOMPARE(r.ui.messages[0].text, QStringLiteral("File not found"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Calvento v3.1 by Kolbex"));
        QVERIFY(w.configFilePath().isEmpty());
    }

    void savedValuesAreApplied() {
        const QByteArray ini =
            "\"\",150,300,1,\"12 A\",\"70\",\"30\",\"500\",\"3\",\"4\",\"250\"\r\n";
        Rig r(&ini);
        FrmTone& w = r.open();
        QCOMPARE(w.pos(), QPoint(10, 20));
        QCOMPARE(controls(w).SSTab1->currentIndex(), 1);
        QCOMPARE(controls(w).SSTabCmd->currentIndex(), 0);
        QCOMPARE(timingFields(w), QStringList({"12 A", "70", "30", "500", "3", "4", "250"}));
        QCOMPARE(controls(w).Label3->text(), QStringLiteral("Sequence to Send (4 digits)"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Calvento v3.1 by Kolbex"));
        QCOMPARE(r.readIni(), ini);  // a good file is left as it was
    }

    // A broken line keeps what was read before the fault; the file gets the default line back.
    void brokenSettingsLines_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("too few fields") << QByteArray("\"\",0,0,1,\"159\",\"70\"\r\n") << 1
                                        << QStringList{"159", "70", "", "", "", "", ""} << true;
        QTest::newRow("top is not a number")
            << QByteArray("\"\",0,abc,1,\"159\",\"70\",\"30\",\"500\",\"3\",\"4\",\"250\"\r\n") << 0
            << QStringList{"", "", "", "", "", "", ""} << true;
        QTest::newRow("left does not fit 16 bits")
            << QByteArray("\"\",40000,0,1,\"159\",\"70\",\"30\",\"500\",\"3\",\"4\",\"250\"\r\n")
            << 0 << QStringList{"", "", "", "", "", "", ""} << true;
        QTest::newRow("tab the control refuses")
            << QByteArray("\"\",0,0,7,\"159\",\"70\",\"30\",\"500\",\"3\",\"4\",\"250\"\r\n") << 0
            << QStringList{"159", "70", "30", "500", "3", "4", "250"} << false;
        QTest::newRow("values over several lines, bare LF")
            << QByteArray("\"\",0,0,1\n\"159\",\"70\",\"30\"\n\"500\",\"3\",\"4\",\"250\"\n") << 1
            << QStringList{"159", "70", "30", "500", "3", "4", "250"} << false;
    }
    void brokenSettingsLines() {
        QFETCH(QByteArray, ini);
        QFETCH(int, tab);
        QFETCH(QStringList, fields);
        QFETCH(bool, rewritten);
        Rig r(&ini);
        FrmTone& w = r.open();
        QCOMPARE(controls(w).SSTab1->currentIndex(), tab);
        QCOMPARE(timingFields(w), fields);
        QCOMPARE(controls(w).cmdTone->isEnabled(), !fields[0].isEmpty());
        QCOMPARE(r.readIni(), rewritten ? r.defaultLine() : ini);
        QVERIFY(r.ui.messages.empty());
    }

    void aPositionOffEveryScreenStartsAtTheOrigin() {
        const QByteArray ini =
            "\"\",-32000,-32000,0,\"1\",\"60\",\"40\",\"300\",\"1\",\"1\",\"200\"\r\n";
        Rig r(&ini);
        FrmTone& w = r.open();
        QCOMPARE(w.pos(), QPoint(0, 0));
        QCOMPARE(controls(w).Text1->text(), QStringLiteral("1"));  // the rest still applies
    }

    void closeWritesTheSettingsBack() {
        Rig r;
        FrmTone& w = r.open();
        w.move(30, 45);
        controls(w).SSTab1->setCurrentIndex(1);
        controls(w).Text1->setText(QStringLiteral("*#0"));
        controls(w).Text2->setText(QStringLiteral("80"));
        controls(w).txtPrgComm->setText(QStringLiteral("12"));
        QSignalSpy closed(&w, &FrmTone::closed);
        QVERIFY(w.close());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(r.readIni(),
                 "\"" + r.defaultConfig().toUtf8() +
                     "\",450,675,1,\"*#0\",\"80\",\"40\",\"300\",\"1\",\"12\",\"200\"\r\n");
        // And the next start reads them again.
        Rig again;
        qputenv("CALVENTO_HOME", r.dir.path().toUtf8());
        FrmTone& w2 = again.open();
        QCOMPARE(w2.pos(), QPoint(30, 45));
        QCOMPARE(controls(w2).SSTab1->currentIndex(), 1);
        QCOMPARE(controls(w2).Text1->text(), QStringLiteral("*#0"));
    }

    void closeIsRefusedWhileASequencePlays() {
        Rig r;
        FrmTone& w = r.open();
        QSignalSpy closed(&w, &FrmTone::closed);
        r.audio.turnsUntilDone = 5;
        bool closedDuringPlay = true;
        r.clock.onTurn = [&] {
            if (r.clock.turns == 2) closedDuringPlay = w.close();
        };
        r.player.SuonaSequenza("1");
        QVERIFY(!closedDuringPlay);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text,
                 QStringLiteral("Please wait end of sound before closing application."));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Calvento v3"));
        QCOMPARE(r.ui.messages[0].icon, MessageIcon::Information);
        QCOMPARE(closed.count(), 0);
        QCOMPARE(r.readIni(), r.defaultLine());  // nothing written yet
        r.clock.onTurn = nullptr;
        QVERIFY(w.close());
        QCOMPARE(closed.count(), 1);
    }

    // A settings file that can be neither read nor written: defaults at start, one message at
    // the close, and the program still ends.
    void unwritableSettingsFile() {
        Rig r;
        QVERIFY(QDir(r.dir.path()).mkdir("Calvento31.ini"));
        FrmTone& w = r.open();
        QCOMPARE(timingFields(w),
                 QStringList({"0123456789*#ABCD", "60", "40", "300", "1", "1", "200"}));
        QVERIFY(r.ui.messages.empty());
        QSignalSpy closed(&w, &FrmTone::closed);
        QVERIFY(w.close());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Warning"));
        QVERIFY(r.ui.messages[0].text.contains(QDir::toNativeSeparators(r.iniPath())));
    }

    void anEmptySequenceDisablesSending() {
        const QByteArray ini = "\"\",0,0,1,\"\",\"60\",\"40\",\"300\",\"1\",\"1\",\"200\"\r\n";
        Rig r(&ini);
        FrmTone& w = r.open();
        QVERIFY(!controls(w).cmdTone->isEnabled());
        QCOMPARE(controls(w).Label3->text(), QStringLiteral("Sequence to Send (0 digits)"));
    }

    void creditTextLeavesAfterTheFirstTick() {
        Rig r;
        FrmTone& w = r.open();
        QVERIFY(!controls(w).lblInfoSend->text().isEmpty());
        QVERIFY(w.Timer1()->isActive());
        QCOMPARE(w.Timer1()->interval(), 20000);
        QVERIFY(QMetaObject::invokeMethod(w.Timer1(), "timeout"));
        QVERIFY(controls(w).lblInfoSend->text().isEmpty());
        QVERIFY(!w.Timer1()->isActive());
    }

    // Tab visits the controls in reading order.
    void tabFollowsReadingOrder() {
        Rig r;
        FrmTone& w = r.open();
        QStringList order;
        QWidget* start = controls(w).txtSeqOri;
        QWidget* c = start;
        do {
            if (c->focusPolicy() & Qt::TabFocus) order << c->objectName();
            c = c->nextInFocusChain();
        } while (c != start && order.size() < 200);
        auto after = [&](const char* a, const char* b) {
            return order.indexOf(QString(a)) >= 0 &&
                   order.indexOf(QString(b)) == order.indexOf(QString(a)) + 1;
        };
        QVERIFY2(after("txtSeqOri", "txtSeqNew"), qPrintable(order.join(" ")));
        QVERIFY(after("txtSeqNew", "cmdSeqCalc"));
        QVERIFY(after("Text1", "Text2"));
        QVERIFY(after("Text2", "Text3"));
        QVERIFY(after("txtPttCom", "chkPtt"));
        QVERIFY(after("txtMem_8", "txtMem_9"));
        QVERIFY(after("txtCallID", "txtSeqCmd"));
        QVERIFY(after("txtPrgComm", "chkPrg"));
        QVERIFY(after("cmdRead", "cmdSend"));
    }

    // Every field has a label a screen reader can name it by, or a name of its own, and every
    // control with a help text carries it as its accessible description too.
    void controlsAreNamedForScreenReaders() {
        Rig r;
        FrmTone& w = r.open();
        QStringList unnamed;
        for (QLineEdit* e : w.findChildren<QLineEdit*>()) {
            bool hasBuddy = false;
            for (QLabel* l : w.findChildren<QLabel*>()) hasBuddy = hasBuddy || l->buddy() == e;
            if (!hasBuddy && e->accessibleName().isEmpty()) unnamed << e->objectName();
            if (e->toolTip() != e->accessibleDescription()) unnamed << e->objectName() + "(help)";
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        QVERIFY(w.findChild<QLineEdit*>("txtMem_17"));
        QVERIFY(w.findChild<QAbstractButton*>("chkOutput_3"));
        QVERIFY(w.findChild<QLabel*>("lblCommands_0"));
        QVERIFY(!w.findChild<QLabel*>("lblCommands_1"));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallClassicFontSubstitutes();
    TstFrmTone t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_frm_tone.moc"
