// Settings file. See app_settings.h.
#include "session/app_settings.h"

#include "platform/program_folder.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <limits>

#include "config/csv_text.h"

namespace calvento {

AppSettings DefaultAppSettings(const QString& programFolder) {
    AppSettings s;
    s.configFilePath = programFolder + QDir::separator() + DefaultConfigFileName();
    s.sequence = QStringLiteral("0123456789*#ABCD");
    s.digitMs = QStringLiteral("60");
    s.gapMs = QStringLiteral("40");
    s.pauseMs = QStringLiteral("300");
    s.pttCom = QStringLiteral("1");
    s.prgComm = QStringLiteral("1");
    s.txDelayMs = QStringLiteral("200");
    return s;
}

ParsedAppSettings ParseAppSettings(const QByteArray& utf8) {
    ParsedAppSettings result;
    AppSettings& s = result.values;
    CsvReader reader(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));

    auto text = [&](QString& field) {
        auto v = reader.next();
        if (!v) return false;
        field = QString::fromUtf8(v->data(), static_cast<qsizetype>(v->size()));
        return true;
    };
    auto number = [&](int& field) {
        auto v = reader.next();
        if (!v) return false;
        auto n = ParseCsvInt16(*v);
        if (!n) return false;
        field = *n;
        return true;
    };
    result.complete = text(s.configFilePath) && number(s.left) && number(s.top) && number(s.tab) &&
                      text(s.sequence) && text(s.digitMs) && text(s.gapMs) && text(s.pauseMs) &&
                      text(s.pttCom) && text(s.prgComm) && text(s.txDelayMs);
    return result;
}

QByteArray FormatAppSettings(const AppSettings& s) {
    auto q = [](const QString& t) { return QuoteCsv(t.toUtf8().toStdString()); };
    auto n = [](int v) {
        const int clamped = std::clamp<int>(v, std::numeric_limits<int16_t>::min(),
                                            std::numeric_limits<int16_t>::max());
        return FormatCsvNumber(clamped);
    };
    const std::string line =
        CsvLine({q(s.configFilePath), n(s.left), n(s.top), n(s.tab), q(s.sequence), q(s.digitMs),
                 q(s.gapMs), q(s.pauseMs), q(s.pttCom), q(s.prgComm), q(s.txDelayMs)});
    return QByteArray::fromStdString(line);
}

AppSettings LoadAppSettingsFile(const QString& path, const QString& programFolder) {
    const AppSettings defaults = DefaultAppSettings(programFolder);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // First start (or an unreadable file): the fresh default line is what gets read.
        SaveAppSettingsFile(path, defaults, nullptr);
        return defaults;
    }
    const ParsedAppSettings parsed = ParseAppSettings(file.readAll());
    file.close();
    if (!parsed.complete) SaveAppSettingsFile(path, defaults, nullptr);
    return parsed.values;
}

bool SaveAppSettingsFile(const QString& path, const AppSettings& settings, QString* error) {
    return WriteWholeFile(path, FormatAppSettings(settings), error);
}

}  // namespace calvento
