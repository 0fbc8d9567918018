// The instructions window and its RTF reader, on files a word processor saved (LibreOffice
// Writer's RTF, kept as fixtures) and on the shipped manual; and the status window's close box.
#include <QApplication>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

#include "app/dialog.h"
#include "app/frm_istruzioni.h"
#include "rtf/rtf_reader.h"
#include "window_rig.h"

using namespace calvento;
using namespace calvento::test;

namespace {

QByteArray fixture(const QString& name) {
    QFile f(QStringLiteral(CALVENTO_FIXTURE_DIR "/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The character format of the first occurrence of `text`.
QTextCharFormat formatOf(QTextDocument& doc, const QString& text) {
    QTextCursor c = doc.find(text);
    if (c.isNull()) return {};
    QTextCursor inside(&doc);
    inside.setPosition(c.selectionStart() + 1);
    return inside.charFormat();
}

}  // namespace

class TstInstructions : public QObject {
    Q_OBJECT
private slots:
    void readsWhatAWordProcessorSaved() {
        QTextDocument doc;
        QVERIFY(ReadRtf(fixture("formatting.rtf"), &doc));
        const QString text = doc.toPlainText();
        QVERIFY2(text.contains("Plain start. Bold words then italic words then underlined words."),
                 qPrintable(text));
        QVERIFY(text.contains(QString::fromUtf8("Accents: àèéìòù ÀÉ ç ñ ü.")));
        QVERIFY(text.contains(QString::fromUtf8("Signs: € “quoted” – — ‘single’.")));
        QVERIFY(text.contains(QString::fromUtf8("Beyond Latin: αβγ ≤ ≥ ✓.")));
        for (const char* hidden :
             {"Times New Roman", "Liberation", "Symbol", "Fixture", "LibreOffice"})
            QVERIFY2(!text.contains(hidden), hidden);
        QCOMPARE(formatOf(doc, "Bold words").fontWeight(), int(QFont::Bold));
        QVERIFY(formatOf(doc, "italic words").fontItalic());
        QVERIFY(formatOf(doc, "underlined words").fontUnderline());
        QVERIFY(!formatOf(doc, "Plain start").fontItalic());
        QCOMPARE(formatOf(doc, "Big text").fontPointSize(), 20.0);
        QCOMPARE(formatOf(doc, "red text").foreground().color(), QColor(255, 0, 0));
        QCOMPARE(
            doc.find("Centred line").block().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
            Qt::AlignHCenter);
        QVERIFY(text.contains(QStringLiteral("Line one") + QChar::LineSeparator + "line two") ||
                text.contains("Line one\nline two"));
    }

    void tablesBecomePlainRows() {
        QTextDocument doc;
        QVERIFY(ReadRtf(fixture("table.rtf"), &doc));
        const QString text = doc.toPlainText();
        QVERIFY2(text.contains("A1\tB1\tC1"), qPrintable(text));
        QVERIFY(text.contains("A2\tB2\tC2"));
        QVERIFY(text.indexOf("Before the table.") < text.indexOf("A1"));
        QVERIFY(text.indexOf("C2") < text.indexOf("After the table."));
        QCOMPARE(formatOf(doc, "B2").fontWeight(), int(QFont::Bold));
    }

    void escapesAndDestinations_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("hex escape in the Windows code page")
            << QByteArray("{\\rtf1 caf\\'e9 \\'80}") << QString::fromUtf8("café €");
        QTest::newRow("unicode with its stand-in skipped")
            << QByteArray("{\\rtf1\\uc1 a\\u945?b\\u-3913?c}") << QString::fromUtf8("aαb\uF0B7c");
        QTest::newRow("two stand-in characters")
            << QByteArray("{\\rtf1\\uc2 x\\u8804\\'3c=y}") << QString::fromUtf8("x≤y");
        QTest::newRow("unknown optional destination")
            << QByteArray("{\\rtf1 a{\\*\\unknowndest hidden {nested}}b}") << "ab";
        QTest::newRow("known destinations")
            << QByteArray("{\\rtf1{\\info{\\title T}}{\\stylesheet{s}}ok}") << "ok";
        QTest::newRow("field result shown, instruction not")
            << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}}") << "link";
        QTest::newRow("literal braces and backslash")
            << QByteArray("{\\rtf1 \\{a\\}\\\\}") << "{a}\\";
        QTest::newRow("unbalanced close braces do no harm") << QByteArray("{\\rtf1 a}}}b") << "ab";
    }
    void escapesAndDestinations() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QTextDocument doc;
        QVERIFY(ReadRtf(rtf, &doc));
        QCOMPARE(doc.toPlainText(), text);
    }

    void notRtfIsRefused() {
        QTextDocument doc;
        QVERIFY(!ReadRtf("<html>hello</html>", &doc));
        QVERIFY(doc.isEmpty());
    }

    void f1OpensTheManual() {
        Rig r;
        QVERIFY(QFile::copy(QStringLiteral(CALVENTO_DATA_DIR "/Manuale_Calvento31.rtf"),
                            r.dir.filePath("Manuale_Calvento31.rtf")));
        FrmTone& w = r.open();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.ui.Text2->setFocus();
        QTest::keyClick(w.ui.Text2, Qt::Key_F1);
        FrmIstruzioni* help = w.instructionsWindow();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral(" Calvento v3.1"));
        QVERIFY(help->ui.rtfIstruzioni->toPlainText().contains("Worked example"));
        QVERIFY(help->ui.rtfIstruzioni->toPlainText().contains("101*0*ABC#20"));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(qAbs(help->geometry().center().x() - screen.center().x()) <= 2);
        QVERIFY(r.ui.messages.empty());
        // Another F1 with Shift held reuses the same window.
        QTest::keyClick(w.ui.Text2, Qt::Key_F1, Qt::ShiftModifier);
        QCOMPARE(w.instructionsWindow(), help);
    }

    void aMissingManualIsToldAndNoWindowStays() {
        Rig r;
        FrmTone& w = r.open();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(w.ui.Text1, Qt::Key_F1);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].text,
                 "Manca il file di help " + r.dir.filePath("Manuale_Calvento31.rtf"));
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
        QCOMPARE(help.ui.rtfIstruzioni->geometry(),
                 QRect(0, 0, std::min(outer.width() - 8, 400), std::min(outer.height() - 32, 300)));
        help.resize(5, 5);
        QCOMPARE(help.ui.rtfIstruzioni->geometry().size(), QSize(1, 1));
    }

    void theStatusWindowOnlyHides() {
        Rig r;
        FrmTone& w = r.open();
        Dialog& d = w.statusWindow();
        d.ui.lblInfo->setText("kept");
        d.show();
        d.close();
        QVERIFY(!d.isVisible());
        QVERIFY(w.hasStatusWindow());
        QCOMPARE(w.statusWindow().ui.lblInfo->text(), QStringLiteral("kept"));
        d.show();
        QTest::mouseClick(d.ui.OKButton, Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.windowTitle(), QStringLiteral("Program Parameters"));
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
