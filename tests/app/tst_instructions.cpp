// The instructions window and its RTF reader, on files a word processor saved (LibreOffice
// Writer's RTF, kept as fixtures) and on the shipped manual; and the status window's close box.
#include <QApplication>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextTable>
#include <QWindow>

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

    // A table shows as a table, its rows and cells where the document put them, the columns as
    // wide as the first row's cells, and the text around it before and after it.
    void tablesShowAsTables() {
        QTextDocument doc;
        QVERIFY(ReadRtf(fixture("table.rtf"), &doc));
        QTextCursor at = doc.find("B2");
        QTextTable* table = at.currentTable();
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 3);
        const char* cells[2][3] = {{"A1", "B1", "C1"}, {"A2", "B2", "C2"}};
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 3; ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                QTextCursor c = cell.firstCursorPosition();
                c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
                QCOMPARE(c.selectedText(), QString::fromLatin1(cells[row][column]));
            }
        // \cellx421, 812, 1248: the columns take 34, 31 and 35 % of the width.
        const QList<QTextLength> widths = table->format().columnWidthConstraints();
        QCOMPARE(widths.size(), 3);
        QCOMPARE(qRound(widths[0].rawValue()), 34);
        QCOMPARE(qRound(widths[1].rawValue()), 31);
        QCOMPARE(formatOf(doc, "B2").fontWeight(), int(QFont::Bold));
        QVERIFY(!doc.find("Before the table.").currentTable());
        QVERIFY(!doc.find("After the table.").currentTable());
        const QString text = doc.toPlainText();
        QVERIFY(text.indexOf("Before the table.") < text.indexOf("A1"));
        QVERIFY(text.indexOf("C2") < text.indexOf("After the table."));
    }

    // The shipped manual's bullets hang: the bullet left of the indent, the text and every
    // wrapped line of it at the indent (709 twips, a hanging 283).
    void bulletLinesKeepTheirIndent() {
        QFile manual(QStringLiteral(CALVENTO_DATA_DIR "/Manuale_Calvento31.rtf"));
        QVERIFY(manual.open(QIODevice::ReadOnly));
        QTextDocument doc;
        QVERIFY(ReadRtf(manual.readAll(), &doc));
        const QTextBlock bullet = doc.find(QString(QChar(0x2022))).block();
        QVERIFY(bullet.isValid());
        const QTextBlockFormat f = bullet.blockFormat();
        QCOMPARE(qRound(f.leftMargin()), qRound(709 / 15.0));
        QCOMPARE(qRound(f.textIndent()), qRound(-283 / 15.0));
        QCOMPARE(f.tabPositions().size(), 1);
        QCOMPARE(qRound(f.tabPositions()[0].position), qRound(283 / 15.0));
        // The manual's tables are tables too.
        QVERIFY(doc.find("Allowed values").currentTable());
    }

    // A long document read in runs: every character keeps the look the document gives it. Each
    // word carries its own number, and its look follows from the number.
    void aLargeDocumentKeepsItsTextAndFormats() {
        QByteArray rtf = "{\\rtf1\\ansi{\\colortbl;\\red255\\green0\\blue0;}";
        QString expected;
        const int words = 120000;
        for (int i = 0; i < words; ++i) {
            const QByteArray word = "w" + QByteArray::number(i);
            QByteArray look;
            if (i % 3 == 0) look += "\\b";
            if (i % 5 == 0) look += "\\i";
            if (i % 7 == 0) look += "\\cf1";
            if (i % 11 == 0) look += "\\fs40";
            rtf += look.isEmpty() ? word + ' ' : "{" + look + ' ' + word + "} ";
            expected += QString::fromLatin1(word) + ' ';
            if (i % 50 == 49) {
                rtf += "\\par\n";
                expected += '\n';
            }
        }
        rtf += "}";
        QVERIFY(rtf.size() > 1'000'000);
        QTextDocument doc;
        QVERIFY(ReadRtf(rtf, &doc));
        QCOMPARE(doc.toPlainText(), expected);
        int checked = 0;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QTextCharFormat f = fragment.charFormat();
                for (const QString& word : fragment.text().split(' ', Qt::SkipEmptyParts)) {
                    const int i = word.mid(1).toInt();
                    QCOMPARE(f.fontWeight() == QFont::Bold, i % 3 == 0);
                    QCOMPARE(f.fontItalic(), i % 5 == 0);
                    QCOMPARE(f.foreground().color() == QColor(255, 0, 0), i % 7 == 0);
                    QCOMPARE(f.fontPointSize(), i % 11 == 0 ? 20.0 : 12.0);
                    ++checked;
                }
            }
        QCOMPARE(checked, words);
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
