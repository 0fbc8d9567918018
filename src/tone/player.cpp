// The sound-card player. See player.h.
#include "tone/player.h"

#include <QLocale>
#include <future>
#include <new>

#include "platform/clock.h"
#include "tone/audio_output.h"

namespace calvento {

namespace {

// How long the device may go without playing anything before we stop waiting for it: a lost
// write or a sound server that stopped would otherwise hang the program. Counted from the last
// progress, so a long sequence on a slow device is not cut short.
constexpr uint32_t kStallMs = 5000;

// How often the done flag is looked at from a timer, for the waits that are not the player's own
// (a message box opened by a handler during playback runs an event loop of its own).
constexpr int kWatchIntervalMs = 2;

// From this size on, the synthesis runs beside the event loop so that the window keeps redrawing.
constexpr int64_t kBackgroundSynthesisSamples = 4'000'000;

}  // namespace

QString EffectiveTimeText(int ms) {
    if (ms <= 9999) return QString::number(ms) + QStringLiteral("mS.");
    // Tenths of a second rounded half up, in whole numbers, so that no binary fraction can
    // round 12.45 s the wrong way.
    const qint64 tenths = (static_cast<qint64>(ms) + 50) / 100;
    return QString::number(tenths / 10) + QLocale().decimalPoint() + QString::number(tenths % 10) +
           QStringLiteral(" Sec.");
}

QString NoSoundCardText() {
    return QStringLiteral(
        "Questo PC non ha schede audio.\r\nIl programma non pu\u00f2 inviare i toni DTMF");
}

QString NoSoundCardTitle() {
    return QStringLiteral("DTMF");
}

Player::Player(AudioOutput& audio, Clock& clock) : m_audio(audio), m_clock(clock) {
    m_watch.setInterval(kWatchIntervalMs);
    m_watch.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_watch, &QTimer::timeout, [this] { watchDone(); });
}

Player::~Player() {
    StopPlayback();
}

bool Player::SoundCardPresent() const {
    return m_audio.outputDeviceCount() > 0;
}

void Player::setDurations(double digitMs, double gapMs, double pauseMs) {
    m_timing.digitSeconds = digitMs / 1000.0;
    m_timing.gapSeconds = gapMs / 1000.0;
    m_timing.pauseSeconds = pauseMs / 1000.0;
    ComputeSampleCounts(m_timing);
}

void Player::StopPlayback() {
    if (m_deviceOpen) {
        m_audio.reset();
        m_audio.close();
        m_deviceOpen = false;
    }
    m_state.isPlaying = false;
}

void Player::requestStop(const QString& message) {
    {
        const std::lock_guard lock(m_stopMutex);
        m_stopMessage = message;
    }
    m_stopRequested = true;
}

void Player::soundEnded(bool lastSamplePlayed) {
    if (m_soundEnded) return;
    m_soundEnded = true;
    if (m_endOfSound) m_endOfSound(lastSamplePlayed);
}

void Player::watchDone() {
    if (m_doneSeen || !m_audio.done()) return;
    m_doneSeen = true;
    m_doneTick = m_clock.tickCount();
    m_watch.stop();
    soundEnded(true);
}

// Whoever keyed a transmitter hears of the end at once, long before anyone reads why.
PlayResult Player::fail(const QString& text) {
    soundEnded(false);
    StopPlayback();
    return PlayResult{false, text, 0};
}

PlayResult Player::SuonaSequenza(const std::string& sequence, const EndOfSound& endOfSound) {
    if (sequence.empty() || m_state.isPlaying) return {};
    m_endOfSound = endOfSound;
    m_soundEnded = m_doneSeen = false;
    // Whatever way this playback ends, a stop asked for it is used up, and the timer is off.
    struct Finish {
        Player& p;
        ~Finish() {
            p.m_watch.stop();
            p.m_stopRequested = false;
            p.m_endOfSound = nullptr;
        }
    } finish{*this};

    // Length, then a fresh buffer; the previous one goes first so that two never coexist.
    const int64_t n = SequenceLength(sequence, m_timing);
    m_samples.reset();
    m_sampleCount = 0;
    // Left uninitialised: the synthesis writes every sample. The largest sequence the window
    // allows needs about 180 MB, which a small or limited machine may not have.
    m_samples.reset(new (std::nothrow) int16_t[static_cast<size_t>(n)]);
    if (!m_samples) {
        return fail(QStringLiteral("Not enough memory for the sequence: %1 samples (%2 MB) "
                                   "could not be allocated.\r\nShorten the sequence or its "
                                   "durations and try again.")
                        .arg(n)
                        .arg((n * 2 + 999'999) / 1'000'000));
    }
    m_sampleCount = n;

    PcmFormat format;
    format.samplesPerSecond = static_cast<int>(m_timing.sampleRate + 0.5);
    format.averageBytesPerSecond = format.samplesPerSecond * 2;

    m_state.isPlaying = true;

    int result = m_audio.open(format);
    if (result != 0) {
        return fail(QStringLiteral("1. waveOutOpen failed - %1").arg(result));
    }
    m_deviceOpen = true;

    result = m_audio.prepare(m_samples.get(), static_cast<size_t>(n));
    if (result != 0) {
        return fail(QStringLiteral("2. waveOutPrepareHeader failed - %1").arg(result));
    }

    synthesizeInto(sequence);

    result = m_audio.write();
    if (result != 0) {
        return fail(QStringLiteral("The sound device refused the sequence - %1").arg(result));
    }

    const uint32_t t0 = m_clock.tickCount();
    uint32_t lastProgressTick = t0;
    int64_t played = 0;
    m_watch.start();
    for (;;) {
        watchDone();
        if (m_doneSeen) break;
        if (m_stopRequested) {
            QString message;
            {
                const std::lock_guard lock(m_stopMutex);
                message = m_stopMessage;
            }
            return fail(message);
        }
        std::string why;
        if (const int error = m_audio.playbackError(&why); error != 0)
            return fail(QStringLiteral("The sound did not all go out: %1 - %2")
                            .arg(QString::fromStdString(why))
                            .arg(error));
        m_clock.processEvents();
        const uint32_t now = m_clock.tickCount();
        if (const int64_t p = m_audio.playedSamples(); p != played) {
            played = p;
            lastProgressTick = now;
        } else if (static_cast<uint32_t>(now - lastProgressTick) > kStallMs) {
            return fail(
                QStringLiteral("The sound device did not finish playing the sequence; "
                               "playback was stopped."));
        }
    }
    m_state.effectiveTimeMs = static_cast<int32_t>(m_doneTick - t0);
    PlayResult outcome{true, QString(), m_state.effectiveTimeMs};

    result = m_audio.unprepare();
    if (result != 0) {
        return fail(QStringLiteral("4. waveOutUnPrepareHeader failed - 1 - %1").arg(result));
    }

    result = m_audio.close();
    m_deviceOpen = false;
    m_state.isPlaying = false;
    if (result != 0) {
        outcome.played = false;
        outcome.failure = QStringLiteral("5. waveOutClose failed - %1").arg(result);
    }
    return outcome;
}

void Player::synthesizeInto(const std::string& sequence) {
    const std::span<int16_t> out(m_samples.get(), static_cast<size_t>(m_sampleCount));
    const ToneTiming timing = m_timing;
    if (m_sampleCount < kBackgroundSynthesisSamples) {
        SynthesizeSequence(sequence, timing, m_table, out);
        return;
    }
    // A long buffer takes a good part of a second: compute it on worker threads and keep the
    // window responsive meanwhile. isPlaying is already set, so nothing can start a second run.
    auto work =
        std::async(std::launch::async, [&] { SynthesizeSequence(sequence, timing, m_table, out); });
    while (work.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        m_clock.processEvents();
    work.get();
}

}  // namespace calvento
