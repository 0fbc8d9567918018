// RTF reader. See rtf_reader.h.
#include "rtf/rtf_reader.h"

#include <QColor>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
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

struct State {
    bool skip = false;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;
    int color = 0;
    int unicodeSkip = 1;
    bool colorTable = false;
};

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
        QTextCharFormat f;
        f.setFontWeight(state().bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(state().italic);
        f.setFontUnderline(state().underline);
        f.setFontPointSize(state().halfPoints / 2.0);
        const int ci = state().color;
        f.setForeground(ci > 0 && ci < m_colors.size() ? QBrush(m_colors[ci]) : QBrush(Qt::black));
        m_cursor.insertText(QString(c), f);
    }

    // Paragraph properties belong to the paragraph that \par ends.
    void paragraph() {
        if (state().skip || state().colorTable) return;
        finishBlock();
        m_cursor.insertBlock();
    }

public:
    void finishBlock() {
        QTextBlockFormat b = m_cursor.blockFormat();
        b.setAlignment(m_alignment);
        m_cursor.setBlockFormat(b);
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
        else if (w == "tab" || w == "cell")
            text(QLatin1Char('\t'));
        else if (w == "row")
            paragraph();
        else if (w == "b")
            s.bold = !hasParam || p != 0;
        else if (w == "i")
            s.italic = !hasParam || p != 0;
        else if (w == "ul")
            s.underline = !hasParam || p != 0;
        else if (w == "ulnone")
            s.underline = false;
        else if (w == "fs")
            s.halfPoints = hasParam && p > 0 && p < 2000 ? p : 24;
        else if (w == "cf")
            s.color = hasParam ? p : 0;
        else if (w == "plain") {
            s.bold = s.italic = s.underline = false;
            s.halfPoints = 24;
            s.color = 0;
        } else if (w == "pard")
            m_alignment = Qt::AlignLeft;
        else if (w == "qc")
            m_alignment = Qt::AlignHCenter;
        else if (w == "qr")
            m_alignment = Qt::AlignRight;
        else if (w == "qj")
            m_alignment = Qt::AlignJustify;
        else if (w == "ql")
            m_alignment = Qt::AlignLeft;
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
    Qt::Alignment m_alignment = Qt::AlignLeft;
    bool m_groupStart = false;
};

}  // namespace

bool ReadRtf(const QByteArray& rtf, QTextDocument* document) {
    document->clear();
    if (!rtf.trimmed().startsWith("{\\rtf")) return false;
    Reader reader(rtf, document);
    reader.run();
    reader.finishBlock();
    return true;
}

}  // namespace calvento
