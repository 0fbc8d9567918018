// The instructions window on the shipped manual: opened by F1, read once per showing and again
// only from the program's own windows, missing, resized; and the status window.
#include <QApplication>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextEdit>
#include <QWindow>

#include "app/dialog.h"
#include "app/frm_istruzioni.h"
#include "window_rig.h"

using namespace calvento;
using namespace calvento::test;

class TstInstructions : public QObject {
    Q_OBJECT
private slots:
    void f1OpensTheManual() {
        Rig r;
        QVERIFY(QFile::copy(QStringLiteral(CALVENTO_DATA_DIR "/Manuale_Calvento31.rtf"),
                            r.dir.filePath("Manuale_Calvento31.rtf")));
        FrmTone& w = r.open();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        controls(w).Text2->setFocus();
        QTest::keyClick(controls(w).Text2, Qt::Key_F1);
        FrmIstruzioni* help = w.instructionsWindow();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral(" Calvento v3.1"));
        QVERIFY(controls(*help).rtfIstruzioni->toPlainText().contains("Worked example"));
        QVERIFY(controls(*help).rtfIstruzioni->toPlainText().contains("101*0*ABC#20"));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(qAbs(help->geometry().center().x() - screen.center().x()) <= 2);
        QVERIFY(r.ui.messages.empty());
        // Another F1 with Shift held reuses the same window.
        QTest::keyClick(controls(w).Text2, Qt::Key_F1, Qt::ShiftModifier);
        QCOMPARE(w.instructionsWindow(), help);
    }

    // The manual is read once when F1 shows it, again when the focus comes to it from another
    // window of the program, and not when it comes back from another application: there the
    // user finds it as they left it. The focus changes are handed to the window as the
    // application reports them (the off-screen platform moves no focus between windows).
    void theManualReloadsOnlyFromTheProgramsOwnWindows() {
        Rig r;
        QVERIFY(QFile::copy(QStringLiteral(CALVENTO_DATA_DIR "/Manuale_Calvento31.rtf"),
                            r.dir.filePath("Manuale_Calvento31.rtf")));
        FrmTone& w = r.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(controls(w).Text2, Qt::Key_F1);
        FrmIstruzioni* help = w.instructionsWindow();
        QVERIFY(help);
        QWindow* const manual = help->windowHandle();
        QTextEdit* view = controls(*help).rtfIstruzioni;
        auto mark = [&] { QTextCursor(view->document()).insertText("MARK"); };
        auto marked = [&] { return view->toPlainText().startsWith("MARK"); };
        auto focusMoves = [&](std::initializer_list<QWindow*> windows) {
            for (QWindow* to : windows) help->focusWindowChanged(to);
        };
        mark();
        focusMoves({w.windowHandle(), manual});  // F1's own activation of the window
        QVERIFY2(marked(), "read a second time when it became active");

        focusMoves({nullptr, manual});  // away to another application and back
        QVERIFY(marked());

        focusMoves({w.windowHandle(), manual});  // to the main window and back
        QVERIFY(!marked());
        QVERIFY(view->toPlainText().startsWith("Calvento v3.1"));
    }

    void aMissingManualIsToldAndNoWindowStays() {
        Rig r;
        FrmTone& w = r.open();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(controls(w).Text1, Qt::Key_F1);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text,
                 "Manca il file di help " +
                     QDir::toNativeSeparators(r.dir.filePath("Manuale_Calvento31.rtf")));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Calvento v3r"));
        QCOMPARE(r.ui.messages[0].icon, MessageIcon::Critical);
        QTRY_VERIFY(!w.instructionsWindow());
    }

    void theManualFillsTheResizedWindow() {
        RecordingUi ui;
        FrmIstruzioni help(ui);
        help.show();
        help.resize(400, 300);
        const QSize outer = help.frameGeometry().size();
        QCOMPARE(controls(help).rtfIstruzioni->geometry(),
                 QRect(0, 0, std::min(outer.width() - 8, 400), std::min(outer.height() - 32, 300)));
        help.resize(5, 5);
        QCOMPARE(controls(help).rtfIstruzioni->geometry().size(), QSize(1, 1));
    }

    void theStatusWindowOnlyHides() {
        Rig r;
        FrmTone& w = r.open();
        Dialog& d = w.statusWindow();
        controls(d).lblInfo->setText("kept");
        d.show();
        d.close();
        QVERIFY(!d.isVisible());
        QVERIFY(w.hasStatusWindow());
        QCOMPARE(controls(w.statusWindow()).lblInfo->text(), QStringLiteral("kept"));
        d.show();
        QTest::mouseClick(controls(d).OKButton, Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.windowTitle(), QStringLiteral("Program Parameters"));

        // Moved by the user (through the window system, as a window manager moves it), it comes
        // back there, not centred on the main window again.
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QPoint moved = d.pos() + QPoint(137, 61);
        d.windowHandle()->setFramePosition(moved);
        QTRY_COMPARE(d.pos(), moved);
        d.hide();
        d.show();
        QCOMPARE(d.pos(), moved);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallClassicFontSubstitutes();
    TstInstructions t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_instructions.moc"
