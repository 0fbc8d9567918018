// The RTF reader on files a word processor saved (LibreOffice Writer's RTF, kept as fixtures),
// on the shipped manual and on a large generated document: text, looks, paragraphs, tables,
// escapes and the destinations it must not show.
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include "rtf/rtf_reader.h"

using namespace calvento;

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

class TstRtfReader : public QObject {
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
};

QTEST_MAIN(TstRtfReader)
#include "tst_rtf_reader.moc"
