// The manual window's reading: how long the RTF reader takes to turn a document into the text
// view's document, and the view to lay it out and paint its first page, offscreen. For the
// shipped manual and for a generated document of 1 MB with a change of look every few
// words, paragraphs, bullets and a table. Prints the medians of a few runs; asserts nothing.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextBrowser>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "rtf/rtf_reader.h"

using namespace calvento;

namespace {

QByteArray generatedDocument() {
    QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}";
    for (int i = 0; rtf.size() < 1'048'576; ++i) {
        const QByteArray word = "word" + QByteArray::number(i);
        if (i % 9 == 0)
            rtf += "{\\b " + word + "} ";
        else if (i % 13 == 0)
            rtf += "{\\i\\cf1 " + word + "} ";
        else
            rtf += word + ' ';
        if (i % 60 == 59) rtf += "\\par\n";
        if (i % 600 == 599)
            rtf +=
                "\\pard{\\listtext \\u8226\\'95\\tab}\\li709\\fi-283 a bullet that wraps "
                "onto a second line of the window when it is narrow\\par\\pard\n";
        if (i % 3000 == 2999)
            rtf +=
                "\\trowd\\cellx2000\\cellx7000\\pard\\intbl one\\cell two\\cell\\row"
                "\\trowd\\cellx2000\\cellx7000\\pard\\intbl three\\cell four\\cell\\row\\pard\n";
    }
    return rtf + "}";
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void measure(const char* name, const QByteArray& rtf) {
    std::vector<double> read, shown;
    for (int run = 0; run < 5; ++run) {
        QTextBrowser view;
        view.resize(620, 300);
        QElapsedTimer t;
        t.start();
        ReadRtf(rtf, view.document());
        read.push_back(t.nsecsElapsed() / 1e6);
        view.show();
        view.grab();  // lays the document out and paints the first page
        shown.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("%-28s %8.0f KB   read %7.1f ms   read and shown %7.1f ms\n", name,
                rtf.size() / 1024.0, median(read), median(shown));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFile manual(QStringLiteral(CALVENTO_DATA_DIR "/Manuale_Calvento31.rtf"));
    if (manual.open(QIODevice::ReadOnly)) measure("shipped manual", manual.readAll());
    measure("generated document", generatedDocument());
    return 0;
}
