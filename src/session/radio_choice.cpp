// The radio choice. See radio_choice.h.
#include "session/radio_choice.h"

#include <QSettings>
#include <algorithm>
#include <iterator>

#ifdef CALVENTO_HAVE_HAMLIB
#include "tone/hamlib_ptt.h"
#endif

namespace calvento {

namespace {

const char* const kMethodNames[] = {"rts", "dtr", "rts-inverted", "dtr-inverted", "hamlib"};

}  // namespace

QString PttMethodName(RadioInterface::Ptt method) {
    return QLatin1String(kMethodNames[static_cast<int>(method)]);
}

RadioInterface::Ptt PttMethodOf(const QString& name) {
    for (int i = 0; i < static_cast<int>(std::size(kMethodNames)); ++i)
        if (name == QLatin1String(kMethodNames[i])) return static_cast<RadioInterface::Ptt>(i);
    return RadioInterface::Ptt::Rts;
}

RadioInterface LoadRadioInterface(const QString& optionsFile) {
    const QSettings s(optionsFile, QSettings::IniFormat);
    RadioInterface r;
    r.deviceId = s.value(QStringLiteral("sound/deviceId")).toString();
    r.deviceDescription = s.value(QStringLiteral("sound/deviceDescription")).toString();
    r.ptt = PttMethodOf(s.value(QStringLiteral("ptt/method")).toString());
    if (r.ptt == RadioInterface::Ptt::Hamlib && !HamlibAvailable())
        r.ptt = RadioInterface::Ptt::Rts;
    r.rigModel = s.value(QStringLiteral("ptt/rigModel"), r.rigModel).toInt();
    r.rigPort = s.value(QStringLiteral("ptt/rigPort"), r.rigPort).toString();
    r.pttType = s.value(QStringLiteral("ptt/keyedBy"), r.pttType).toString();
    r.inputDeviceId = s.value(QStringLiteral("receive/deviceId")).toString();
    r.inputDeviceDescription = s.value(QStringLiteral("receive/deviceDescription")).toString();
    r.listenSeconds =
        std::clamp(s.value(QStringLiteral("receive/listenSeconds"), 8).toInt(), 0, 60);
    r.replyRetries = std::clamp(s.value(QStringLiteral("receive/retries"), 0).toInt(), 0, 3);
    return r;
}

void SaveRadioInterface(const QString& optionsFile, const RadioInterface& r) {
    QSettings s(optionsFile, QSettings::IniFormat);
    s.setValue(QStringLiteral("sound/deviceId"), r.deviceId);
    s.setValue(QStringLiteral("sound/deviceDescription"), r.deviceDescription);
    s.setValue(QStringLiteral("ptt/method"), PttMethodName(r.ptt));
    s.setValue(QStringLiteral("ptt/rigModel"), r.rigModel);
    s.setValue(QStringLiteral("ptt/rigPort"), r.rigPort);
    s.setValue(QStringLiteral("ptt/keyedBy"), r.pttType);
    s.setValue(QStringLiteral("receive/deviceId"), r.inputDeviceId);
    s.setValue(QStringLiteral("receive/deviceDescription"), r.inputDeviceDescription);
    s.setValue(QStringLiteral("receive/listenSeconds"), r.listenSeconds);
    s.setValue(QStringLiteral("receive/retries"), r.replyRetries);
}

bool HamlibAvailable() {
#ifdef CALVENTO_HAVE_HAMLIB
    return true;
#else
    return false;
#endif
}

QString HamlibVersion() {
#ifdef CALVENTO_HAVE_HAMLIB
    return HamlibLibraryVersion();
#else
    return QString();
#endif
}

std::unique_ptr<PushToTalk> MakePushToTalk(const RadioInterface& choice, SerialPort& port,
                                           QString* error) {
    if (choice.usesSerialLine())
        return std::make_unique<SerialLinePushToTalk>(port, choice.line(), choice.inverted());
#ifdef CALVENTO_HAVE_HAMLIB
    auto rig = std::make_unique<HamlibPushToTalk>();
    if (rig->open(choice.rigModel, choice.rigPort, choice.pttType, error)) return rig;
#else
    if (error) *error = QStringLiteral("This build of the program has no Hamlib.");
#endif
    return nullptr;
}

bool PttSharesProgrammingPort(const RadioInterface& choice, bool pttHasOwnPort,
                              const QString& pttDevice, const QString& programmingDevice) {
    if (!choice.usesSerialLine())
        return !programmingDevice.isEmpty() && choice.rigPort == programmingDevice;
    return !pttHasOwnPort || pttDevice == programmingDevice;
}

bool UnkeyTransmitter(const RadioInterface& choice, SerialPort& port, QString* state,
                      QString* error) {
    std::unique_ptr<PushToTalk> ptt = MakePushToTalk(choice, port, error);
    if (!ptt || !ptt->setKeyed(false, error)) return false;
    bool keyed = false;
    QString why;
    if (!ptt->readBack(&keyed, &why)) {
        *state = QStringLiteral("set, not read back: ") + why;
        return true;
    }
    if (keyed) {
        *error = QStringLiteral("it still reads as keyed");
        return false;
    }
    *state = choice.usesSerialLine()
                 ? QStringLiteral("%1 is %2")
                       .arg(ModemLineName(choice.line()),
                            choice.inverted() ? QStringLiteral("high") : QStringLiteral("low"))
                 : QStringLiteral("the rig reports no transmission");
    return true;
}

}  // namespace calvento
