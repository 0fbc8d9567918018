// Sites. See sites.h.
#include "session/sites.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "config/decoder_config.h"
#include "config/field_text.h"
#include "platform/program_folder.h"

namespace calvento {

namespace {

QJsonObject toJson(const Site& s, bool extrasOnly) {
    QJsonObject o;
    o[QStringLiteral("name")] = s.name;
    o[QStringLiteral("confirm")] = s.confirm;
    o[QStringLiteral("pttOn")] = s.pttOn;
    QJsonArray user;
    for (const UserSequence& u : s.userSequences)
        user.append(QJsonObject{{QStringLiteral("name"), u.name},
                                {QStringLiteral("sequence"), u.sequence}});
    o[QStringLiteral("userSequences")] = user;
    if (extrasOnly) return o;
    o[QStringLiteral("configFile")] = s.configFile;
    o[QStringLiteral("programmingPort")] = s.programmingPort;
    o[QStringLiteral("pttPort")] = s.pttPort;
    o[QStringLiteral("ptt")] = PttMethodName(s.radio.ptt);
    o[QStringLiteral("rigModel")] = s.radio.rigModel;
    o[QStringLiteral("rigPort")] = s.radio.rigPort;
    o[QStringLiteral("keyedBy")] = s.radio.pttType;
    o[QStringLiteral("soundDeviceId")] = s.radio.deviceId;
    o[QStringLiteral("soundDevice")] = s.radio.deviceDescription;
    o[QStringLiteral("inputDeviceId")] = s.radio.inputDeviceId;
    o[QStringLiteral("inputDevice")] = s.radio.inputDeviceDescription;
    o[QStringLiteral("listenSeconds")] = s.radio.listenSeconds;
    o[QStringLiteral("replyRetries")] = s.radio.replyRetries;
    o[QStringLiteral("digitMs")] = s.settings.digitMs;
    o[QStringLiteral("gapMs")] = s.settings.gapMs;
    o[QStringLiteral("pauseMs")] = s.settings.pauseMs;
    o[QStringLiteral("txDelayMs")] = s.settings.txDelayMs;
    return o;
}

// Fills what the object holds into `s`; what it lacks keeps the site's value.
void fromJson(const QJsonObject& o, Site& s, bool extrasOnly) {
    s.confirm = o.value(QStringLiteral("confirm")).toBool(s.confirm);
    s.pttOn = o.value(QStringLiteral("pttOn")).toBool(s.pttOn);
    const QJsonArray user = o.value(QStringLiteral("userSequences")).toArray();
    for (int i = 0; i < Site::kUserSequences && i < user.size(); ++i) {
        const QJsonObject u = user[i].toObject();
        s.userSequences[static_cast<size_t>(i)] = {u.value(QStringLiteral("name")).toString(),
                                                   u.value(QStringLiteral("sequence")).toString()};
    }
    if (extrasOnly) return;
    auto text = [&o](const char* key, const QString& fallback) {
        return o.value(QLatin1String(key)).toString(fallback);
    };
    auto ms = [&o](const char* key, double fallback) {
        return o.value(QLatin1String(key)).toDouble(fallback);
    };
    s.configFile = text("configFile", s.configFile);
    s.programmingPort = text("programmingPort", s.programmingPort);
    s.pttPort = text("pttPort", s.pttPort);
    s.radio.ptt = PttMethodOf(text("ptt", PttMethodName(s.radio.ptt)));
    s.radio.rigModel = o.value(QStringLiteral("rigModel")).toInt(s.radio.rigModel);
    s.radio.rigPort = text("rigPort", s.radio.rigPort);
    s.radio.pttType = text("keyedBy", s.radio.pttType);
    s.radio.deviceId = text("soundDeviceId", s.radio.deviceId);
    s.radio.deviceDescription = text("soundDevice", s.radio.deviceDescription);
    s.radio.inputDeviceId = text("inputDeviceId", s.radio.inputDeviceId);
    s.radio.inputDeviceDescription = text("inputDevice", s.radio.inputDeviceDescription);
    s.radio.listenSeconds =
        std::clamp(o.value(QStringLiteral("listenSeconds")).toInt(s.radio.listenSeconds), 0, 60);
    s.radio.replyRetries =
        std::clamp(o.value(QStringLiteral("replyRetries")).toInt(s.radio.replyRetries), 0, 3);
    s.settings.digitMs = ms("digitMs", s.settings.digitMs);
    s.settings.gapMs = ms("gapMs", s.settings.gapMs);
    s.settings.pauseMs = ms("pauseMs", s.settings.pauseMs);
    s.settings.txDelayMs = ms("txDelayMs", s.settings.txDelayMs);
}

// The classic settings as the Default site: their fields as the window reads them.
Site classicSite(const AppSettings& a, const RadioInterface& radio) {
    Site s;
    s.name = DefaultSiteName();
    s.configFile = a.configFilePath;
    s.programmingPort = a.prgComm;
    s.pttPort = a.pttCom;
    s.radio = radio;
    auto number = [](const QString& text) { return TolerantNumber(text.toStdString()); };
    s.settings.digitMs = number(a.digitMs);
    s.settings.gapMs = number(a.gapMs);
    s.settings.pauseMs = number(a.pauseMs);
    s.settings.txDelayMs = number(a.txDelayMs);
    return s;
}

}  // namespace

QString DefaultSiteName() {
    return QStringLiteral("Default");
}

QString SitesFilePath() {
    return ProgramFile(QStringLiteral("sites.json"));
}

std::vector<Site> LoadSites(const AppSettings& classic, const RadioInterface& classicRadio,
                            const QString& sitesFile, QString* error) {
    std::vector<Site> sites{classicSite(classic, classicRadio)};
    QFile file(sitesFile);
    if (!file.exists()) return sites;
    QJsonParseError parse{};
    const QJsonDocument doc = file.open(QIODevice::ReadOnly)
                                  ? QJsonDocument::fromJson(file.read(4 * 1024 * 1024), &parse)
                                  : QJsonDocument();
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(sitesFile, file.error() != QFileDevice::NoError
                                                                 ? file.errorString()
                                                                 : parse.errorString());
        return sites;
    }
    for (const QJsonValue& v : doc.object().value(QStringLiteral("sites")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString name = o.value(QStringLiteral("name")).toString();
        if (name.isEmpty()) continue;
        if (name == DefaultSiteName()) {
            fromJson(o, sites.front(), true);
            continue;
        }
        if (FindSite(sites, name)) continue;  // the first of a name counts
        Site s;
        s.name = name;
        fromJson(o, s, false);
        sites.push_back(s);
    }
    return sites;
}

std::vector<Site> LoadProgramSites(QString* error) {
    AppSettings classic = DefaultAppSettings(ProgramFolder());
    QFile settings(ProgramFile(SettingsFileName()));
    if (settings.open(QIODevice::ReadOnly)) classic = ParseAppSettings(settings.read(65536)).values;
    return LoadSites(classic, LoadRadioInterface(ProgramFile(OptionsFileName())), SitesFilePath(),
                     error);
}

bool SaveSites(const QString& sitesFile, const std::vector<Site>& sites, QString* error) {
    QJsonArray all;
    for (const Site& s : sites) all.append(toJson(s, s.name == DefaultSiteName()));
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{QStringLiteral("sites"), all}}).toJson(QJsonDocument::Indented);
    return WriteWholeFile(sitesFile, bytes, error);
}

int CommandIndex(const QString& name) {
    bool isNumber = false;
    const int n = name.toInt(&isNumber);
    if (isNumber) return n >= 0 && n < kCommandCount ? n : -1;
    for (int i = 0; i < kCommandCount; ++i) {
        const QString label = CommandLabel(i);
        if (label.compare(name, Qt::CaseInsensitive) == 0 ||
            label.section(QStringLiteral(": "), 1).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString CommandLabel(int index) {
    return QString::fromStdString(WindowLabel(CommandField(index)));
}

const Site* FindSite(const std::vector<Site>& sites, const QString& name) {
    for (const Site& s : sites)
        if (s.name == name) return &s;
    return nullptr;
}

}  // namespace calvento
