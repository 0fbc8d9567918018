// RTF reader. See rtf_reader.h.
#include "rtf/rtf_reader.h"

#include <QColor>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QTextTableFormat>
#include <algorithm>
#include <cctype>

namespace calvento {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QChar fromCp1252(uint8_t b) {
    return b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(b);
}

// Destinations whose text is never shown.
bool isSkippedDestination(const QByteArray& word) {
    static const char* const kSkipped[] = {"fonttbl",
                                           "stylesheet",
                                           "info",
                                           "pict",
                                           "header",
                                           "headerl",
                                           "headerr",
                                           "headerf",
                                           "footer",
                                           "footerl",
                                           "footerr",
                                           "footerf",
                                           "listtable",
                                           "listoverridetable",
                                           "rsidtbl",
                                           "generator",
                                           "xmlnstbl",
                                           "themedata",
                                           "colorschememapping",
                                           "datastore",
                                           "latentstyles",
                                           "pgdsctbl",
                                           "object",
                                           "fldinst",
                                           "nonshppict",
                                           "filetbl",
                                           "revtbl",
                                           "footnote",
                                           "annotation",
                                           "bkmkstart",
                                           "bkmkend",
                                           "pnseclvl",
                                           "pntext",
                                           "pntxtb",
                                           "pntxta",
                                           "template",
                                           "userprops",
                                           "xe",
                                           "tc",
                                           "mmathPr",
                                           "wgrffmtfilter",
                                           "docvar",
                                           "atnid",
                                           "atnauthor",
                                           "company",
                                           "operator",
                                           "title",
                                           "author",
                                           "subject",
                                           "keywords",
                                           "comment",
                                           "doccomm",
                                           "hlinkbase",
                                           "upr"};
    for (const char* s : kSkipped)
        if (word == s) return true;
    return false;
}

// What a run of characters looks like; characters that look alike go into the document at once.
struct Look {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;
    int color = 0;
    bool operator==(const Look&) const = default;
};

struct State {
    bool skip = false;
    Look look;
    int unicodeSkip = 1;
    bool colorTable = false;
};

// The paragraph properties, which \pard resets; a paragraph takes those in force when it ends.
// Indents in twips.
struct Paragraph {
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstLineIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    bool inTable = false;
};

// Twips (1/1440 inch) as the pixels the rest of the program counts at 96 dots per inch.
constexpr double kTwipsPerPixel = 15.0;

class Reader {
public:
    Reader(const QByteArray& rtf, QTextDocument* doc) : m_in(rtf), m_cursor(doc) {}

    void run() {
        m_stack.append(State{});
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos++];
            switch (c) {
                case '{':
                    if (m_stack.size() > 200) return;  // deeper than any real document
                    m_stack.append(m_stack.last());
                    m_stack.last().colorTable = false;
                    m_groupStart = true;
                    continue;
                case '}':
                    if (m_stack.size() > 1) m_stack.removeLast();
                    break;
                case '\\':
                    controlWord();
                    break;
                case '\r':
                case '\n':
                    break;
                default:
                    text(fromCp1252(static_cast<uint8_t>(c)));
                    break;
            }
            m_groupStart = false;
        }
    }

private:
    State& state() { return m_stack.last(); }

    void text(QChar c) {
        if (state().skip) return;
        if (state().colorTable) {
            if (c == QLatin1Char(';')) {
                m_colors.append(QColor(m_red, m_green, m_blue));
                m_red = m_green = m_blue = 0;
            }
            return;
        }
        placeInTable();
        if (!m_run.isEmpty() && !(m_runLook == state().look)) flush();
        m_runLook = state().look;
        m_run += c;
    }

    // The run gathered so far goes into the document in one insertion.
    void flush() {
        if (m_run.isEmpty()) return;
        QTextCharFormat f;
        f.setFontWeight(m_runLook.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(m_runLook.italic);
        f.setFontUnderline(m_runLook.underline);
        f.setFontPointSize(m_runLook.halfPoints / 2.0);
        const int ci = m_runLook.color;
        f.setForeground(ci > 0 && ci < m_colors.size() ? QBrush(m_colors[ci]) : QBrush(Qt::black));
        m_cursor.insertText(m_run, f);
        m_run.clear();
    }

    // Paragraph properties belong to the paragraph that \par ends.
    void paragraph() {
        if (state().skip || state().colorTable) return;
        placeInTable();
        finishBlock();
        m_cursor.insertBlock();
    }

public:
    void finishBlock() {
        flush();
        QTextBlockFormat b = m_cursor.blockFormat();
        b.setAlignment(m_para.alignment);
        // A hanging first line (a bullet) starts left of the paragraph's indent; a tab stop as
        // far from the line's start as it hangs takes the text after the bullet to the indent,
        // where its wrapped lines start too.
        b.setLeftMargin(std::max(0, m_para.leftIndent) / kTwipsPerPixel);
        b.setRightMargin(std::max(0, m_para.rightIndent) / kTwipsPerPixel);
        b.setTextIndent(m_para.firstLineIndent / kTwipsPerPixel);
        b.setTopMargin(std::max(0, m_para.spaceBefore) / kTwipsPerPixel);
        b.setBottomMargin(std::max(0, m_para.spaceAfter) / kTwipsPerPixel);
        if (m_para.firstLineIndent < 0)
            b.setTabPositions(
                {QTextOption::Tab(-m_para.firstLineIndent / kTwipsPerPixel, QTextOption::LeftTab)});
        m_cursor.setBlockFormat(b);
    }

    // Leaves a table the document is in, once the paragraphs no longer belong to it.
    void endTable() {
        if (!m_table) return;
        flush();
        m_cursor = m_table->lastCursorPosition();
        m_cursor.movePosition(QTextCursor::NextBlock);
        m_table = nullptr;
    }

private:
    // After \uN the next unicodeSkip characters are the ANSI stand-in; a \'hh counts as one.
    void skipStandIns() {
        for (int n = state().unicodeSkip; n > 0 && m_pos < m_in.size(); --n) {
            const char c = m_in[m_pos];
            if (c == '{' || c == '}') return;
            if (c == '\\') {
                if (m_pos + 1 < m_in.size() && m_in[m_pos + 1] == '\'') {
                    m_pos += 4;
                    continue;
                }
                return;
            }
            ++m_pos;
        }
    }

    // Puts the cursor where the coming content belongs: into the table's next cell or row when
    // the paragraph is part of a table (the table begins with its first such paragraph), after
    // the table when it is not. Rows and cells grow as the document fills them, so a row with
    // more cells than the first still shows all of them.
    void placeInTable() {
        if (!m_para.inTable) {
            endTable();
            return;
        }
        if (!m_table) {
            flush();
            QTextTableFormat format;
            format.setBorder(1);
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setBorderCollapse(true);
            format.setCellPadding(3);
            format.setCellSpacing(0);
            m_table = m_cursor.insertTable(1, 1, format);
            m_row = m_column = 0;
            m_cellEnded = m_rowEnded = false;
            m_cursor = m_table->cellAt(0, 0).firstCursorPosition();
            return;
        }
        if (m_rowEnded) {
            flush();
            m_table->appendRows(1);
            ++m_row;
            m_column = 0;
        } else if (m_cellEnded) {
            flush();
            if (++m_column >= m_table->columns()) m_table->appendColumns(1);
        } else {
            return;
        }
        m_cellEnded = m_rowEnded = false;
        m_cursor = m_table->cellAt(m_row, m_column).firstCursorPosition();
    }

    void endCell() {
        if (state().skip) return;
        m_para.inTable = true;
        placeInTable();
        finishBlock();
        m_cellEnded = true;
    }

    // A finished row: the first one gives the columns their share of the width, from the
    // right edges of its cells.
    void endRow() {
        if (state().skip || !m_table) return;
        flush();
        if (m_row == 0 && m_cellRights.size() == m_table->columns() && m_cellRights.last() > 0) {
            QList<QTextLength> widths;
            int left = 0;
            for (int right : m_cellRights) {
                widths.append(QTextLength(QTextLength::PercentageLength,
                                          100.0 * std::max(0, right - left) / m_cellRights.last()));
                left = right;
            }
            QTextTableFormat format = m_table->format();
            format.setColumnWidthConstraints(widths);
            format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            m_table->setFormat(format);
        }
        m_cellEnded = false;
        m_rowEnded = true;
    }

    void controlWord() {
        if (m_pos >= m_in.size()) return;
        const char first = m_in[m_pos];
        if (!std::isalpha(static_cast<unsigned char>(first))) {
            ++m_pos;
            switch (first) {
                case '\'': {
                    const QByteArray hex = m_in.mid(m_pos, 2);
                    m_pos += 2;
                    bool ok = false;
                    const int v = hex.toInt(&ok, 16);
                    if (ok) text(fromCp1252(static_cast<uint8_t>(v)));
                    return;
                }
                case '*':  // an optional destination: whatever it is, we do not show it
                    state().skip = true;
                    return;
                case '~':
                    text(QChar(0x00A0));
                    return;
                case '_':
                    text(QChar(0x2011));
                    return;
                case '-':
                    return;
                case '\\':
                case '{':
                case '}':
                    text(QLatin1Char(first));
                    return;
                case '\r':
                case '\n':
                    paragraph();
                    return;
                default:
                    return;
            }
        }
        const qsizetype start = m_pos;
        while (m_pos < m_in.size() && std::isalpha(static_cast<unsigned char>(m_in[m_pos])))
            ++m_pos;
        const QByteArray word = m_in.mid(start, m_pos - start);
        bool hasParam = false;
        int param = 0;
        const qsizetype numStart = m_pos;
        if (m_pos < m_in.size() &&
            (m_in[m_pos] == '-' || std::isdigit(static_cast<unsigned char>(m_in[m_pos])))) {
            ++m_pos;
            while (m_pos < m_in.size() && std::isdigit(static_cast<unsigned char>(m_in[m_pos])) &&
                   m_pos - numStart < 10)
                ++m_pos;
            param = m_in.mid(numStart, m_pos - numStart).toInt(&hasParam);
        }
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos;  // the delimiter belongs to the word
        apply(word, hasParam, param);
    }

    // Indents and spaces beyond a page's width are not meant; they are held to one.
    static int indent(int twips) { return std::clamp(twips, -15000, 15000); }

    void apply(const QByteArray& w, bool hasParam, int p) {
        State& s = state();
        if (m_groupStart && isSkippedDestination(w)) {
            s.skip = true;
            return;
        }
        if (w == "colortbl") {
            s.colorTable = true;
            m_colors.clear();
            m_red = m_green = m_blue = 0;
        } else if (w == "red")
            m_red = p;
        else if (w == "green")
            m_green = p;
        else if (w == "blue")
            m_blue = p;
        else if (w == "par" || w == "sect")
            paragraph();
        else if (w == "line")
            text(QChar::LineSeparator);
        else if (w == "tab")
            text(QLatin1Char('\t'));
        else if (w == "cell")
            endCell();
        else if (w == "row")
            endRow();
        else if (w == "trowd")
            m_cellRights.clear();
        else if (w == "cellx")
            m_cellRights.append(p);
        else if (w == "intbl")
            m_para.inTable = true;
        else if (w == "b")
            s.look.bold = !hasParam || p != 0;
        else if (w == "i")
            s.look.italic = !hasParam || p != 0;
        else if (w == "ul")
            s.look.underline = !hasParam || p != 0;
        else if (w == "ulnone")
            s.look.underline = false;
        else if (w == "fs")
            s.look.halfPoints = hasParam && p > 0 && p < 2000 ? p : 24;
        else if (w == "cf")
            s.look.color = hasParam ? p : 0;
        else if (w == "plain")
            s.look = Look{};
        else if (w == "pard")
            m_para = Paragraph{};
        else if (w == "qc")
            m_para.alignment = Qt::AlignHCenter;
        else if (w == "qr")
            m_para.alignment = Qt::AlignRight;
        else if (w == "qj")
            m_para.alignment = Qt::AlignJustify;
        else if (w == "ql")
            m_para.alignment = Qt::AlignLeft;
        else if (w == "li")
            m_para.leftIndent = indent(p);
        else if (w == "ri")
            m_para.rightIndent = indent(p);
        else if (w == "fi")
            m_para.firstLineIndent = indent(p);
        else if (w == "sb")
            m_para.spaceBefore = indent(p);
        else if (w == "sa")
            m_para.spaceAfter = indent(p);
        else if (w == "uc")
            s.unicodeSkip = hasParam && p >= 0 && p < 10 ? p : 1;
        else if (w == "u" && hasParam) {
            text(QChar(static_cast<char16_t>(p < 0 ? p + 65536 : p)));
            skipStandIns();
        } else if (w == "lquote")
            text(QChar(0x2018));
        else if (w == "rquote")
            text(QChar(0x2019));
        else if (w == "ldblquote")
            text(QChar(0x201C));
        else if (w == "rdblquote")
            text(QChar(0x201D));
        else if (w == "bullet")
            text(QChar(0x2022));
        else if (w == "endash")
            text(QChar(0x2013));
        else if (w == "emdash")
            text(QChar(0x2014));
        else if (w == "emspace" || w == "enspace")
            text(QLatin1Char(' '));
    }

    const QByteArray& m_in;
    qsizetype m_pos = 0;
    QTextCursor m_cursor;
    QList<State> m_stack;
    QList<QColor> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    Paragraph m_para;
    bool m_groupStart = false;
    QString m_run;  // characters not yet inserted, all of m_runLook
    Look m_runLook;
    QTextTable* m_table = nullptr;  // the table the paragraphs go into, while they do
    int m_row = 0;
    int m_column = 0;
    bool m_cellEnded = false;
    bool m_rowEnded = false;
    QList<int> m_cellRights;  // \cellx of the row being defined, in twips
};

}  // namespace

bool ReadRtf(const QByteArray& rtf, QTextDocument* document) {
    document->clear();
    if (!rtf.trimmed().startsWith("{\\rtf")) return false;
    // One edit with no undo history: a document of thousands of runs then costs one layout.
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    {
        Reader reader(rtf, document);
        QTextCursor all(document);
        all.beginEditBlock();
        reader.run();
        reader.endTable();
        reader.finishBlock();
        all.endEditBlock();
    }
    document->setUndoRedoEnabled(undo);
    return true;
}

}  // namespace calvento
