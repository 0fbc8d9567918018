// Fuzz target: the RTF reader of the instructions window on arbitrary bytes.
#include <QGuiApplication>
#include <QTextDocument>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "rtf/rtf_reader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QTextDocument doc;
    calvento::ReadRtf(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                      &doc);
    (void)doc.toPlainText();
    return 0;
}
