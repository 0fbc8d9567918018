// Push-to-talk through Hamlib. See hamlib_ptt.h.
#include "tone/hamlib_ptt.h"

#include <hamlib/rig.h>

#include <clocale>
#include <string>

namespace calvento {

namespace {

// Hamlib 4.5's network client saves the numeric locale with the pointer that setlocale() returns,
// sets "C", and restores from that pointer, which the second call has freed (unless the locale
// was "C" already). So every Hamlib call runs with "C" set here first, from a copy of our own.
class CNumericLocale {
public:
    CNumericLocale() {
        if (const char* name = std::setlocale(LC_NUMERIC, nullptr)) m_saved = name;
        std::setlocale(LC_NUMERIC, "C");
    }
    ~CNumericLocale() {
        if (!m_saved.empty()) std::setlocale(LC_NUMERIC, m_saved.c_str());
    }

private:
    std::string m_saved;
};

// Hamlib's message for a result code, without the debug trace that rigerror() appends.
QString reasonOf(int code) {
    return QString::fromLocal8Bit(rigerror2(code)).trimmed();
}

// Sets a configuration value by its Hamlib name; false with the reason.
bool setConf(RIG* rig, const char* name, const QString& value, QString* error) {
    const token_t token = rig_token_lookup(rig, name);
    const int r = token == RIG_CONF_END ? -RIG_EINVAL
                                        : rig_set_conf(rig, token, value.toLocal8Bit().constData());
    if (r == RIG_OK) return true;
    if (error)
        *error =
            QStringLiteral("Hamlib refused %1 %2: %3").arg(QLatin1String(name), value, reasonOf(r));
    return false;
}

}  // namespace

HamlibPushToTalk::~HamlibPushToTalk() {
    close();
}

QString HamlibLibraryVersion() {
    // "Hamlib 4.5.5 Sun ..." : the number after the name.
    return QString::fromLatin1(hamlib_version).section(QLatin1Char(' '), 1, 1);
}

bool HamlibPushToTalk::open(int model, const QString& port, const QString& pttType,
                            QString* error) {
    close();
    const std::lock_guard lock(m_mutex);
    const CNumericLocale c;
    rig_set_debug(RIG_DEBUG_NONE);
    if (!IsHamlibPttType(pttType)) {
        if (error)
            *error = QStringLiteral("Unknown push-to-talk type %1 (rig, dtr, rts or cm108).")
                         .arg(pttType);
        return false;
    }
    RIG* rig = rig_init(static_cast<rig_model_t>(model));
    if (!rig) {
        if (error) *error = QStringLiteral("Hamlib knows no rig model %1.").arg(model);
        return false;
    }
    const QString type =
        pttType == QLatin1String("rig") ? QStringLiteral("RIG") : pttType.toUpper();
    // A rig without a port of its own (Hamlib's dummy) is given none. Every call is bounded: by
    // default Hamlib waits 10 s five times over for a rig that does not answer, which would hold
    // a transmitter keyed for most of a minute behind a frozen rigctld.
    bool ok = (port.isEmpty() || setConf(rig, "rig_pathname", port, error)) &&
              setConf(rig, "ptt_type", type, error) &&
              setConf(rig, "timeout", QString::number(kCallTimeoutMs), error) &&
              setConf(rig, "retry", QStringLiteral("1"), error);
    if (ok && pttType != QLatin1String("rig")) ok = setConf(rig, "ptt_pathname", port, error);
    if (ok) {
        const int r = rig_open(rig);
        if (r != RIG_OK) {
            if (error)
                *error = QStringLiteral("Hamlib could not open rig model %1 on %2: %3")
                             .arg(model)
                             .arg(port, reasonOf(r));
            ok = false;
        }
    }
    if (!ok) {
        rig_cleanup(rig);
        return false;
    }
    m_rig = rig;
    m_model = model;
    m_port = port;
    m_pttType = pttType;
    m_name = QStringLiteral("Hamlib rig %1 on %2 (%3)").arg(model).arg(port, pttType);
    return true;
}

void HamlibPushToTalk::close() {
    const std::lock_guard lock(m_mutex);
    if (!m_rig) return;
    const CNumericLocale c;
    rig_set_ptt(m_rig, RIG_VFO_CURR, RIG_PTT_OFF);
    rig_close(m_rig);
    rig_cleanup(m_rig);
    m_rig = nullptr;
}

bool HamlibPushToTalk::setKeyed(bool keyed, QString* error) {
    std::unique_lock lock(m_mutex);
    if (!m_rig) {
        if (error) *error = QStringLiteral("The Hamlib rig is not open.");
        return false;
    }
    int r = RIG_OK;
    {
        const CNumericLocale c;
        r = rig_set_ptt(m_rig, RIG_VFO_CURR, keyed ? RIG_PTT_ON : RIG_PTT_OFF);
    }
    // A connection that broke (a rigctld restarted, a cable plugged back in) is opened again
    // once before a send keys, so that one restart does not fail every send until push-to-talk
    // is switched off and on. A rig that only times out is not: that would double the wait.
    if (keyed && r == -RIG_EIO) {
        lock.unlock();
        QString reopened;
        const int model = m_model;
        const QString port = m_port, pttType = m_pttType;
        if (open(model, port, pttType, &reopened)) {
            lock.lock();
            const CNumericLocale c;
            r = m_rig ? rig_set_ptt(m_rig, RIG_VFO_CURR, RIG_PTT_ON) : -RIG_EIO;
        }
    }
    if (r == RIG_OK) return true;
    if (error) *error = m_name + QStringLiteral(": ") + reasonOf(r);
    return false;
}

void HamlibPushToTalk::releaseFromAnyThread() {
    setKeyed(false, nullptr);
}

bool HamlibPushToTalk::readBack(bool* keyed, QString* error) {
    const std::lock_guard lock(m_mutex);
    if (!m_rig) {
        if (error) *error = QStringLiteral("The Hamlib rig is not open.");
        return false;
    }
    const CNumericLocale c;
    ptt_t ptt = RIG_PTT_OFF;
    const int r = rig_get_ptt(m_rig, RIG_VFO_CURR, &ptt);
    if (r != RIG_OK) {
        if (error) *error = m_name + QStringLiteral(": ") + reasonOf(r);
        return false;
    }
    *keyed = ptt != RIG_PTT_OFF;
    return true;
}

}  // namespace calvento
