// The sound-card player. See player.h.
#include "tone/player.h"

#include <QLocale>
#include <future>
#include <new>

#include "app/clock.h"
#include "app/user_interface.h"
#include "tone/audio_output.h"

namespace calvento {

namespace {

const QString kTitle = QStringLiteral(" SuonaSequenza");

// Beyond its own length, how long a buffer may take to play before we stop waiting for the
// device: a refused or lost write would otherwise hang the program with the transmitter keyed.
constexpr int64_t kPlayAllowanceMs = 5000;

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

Player::Player(AudioOutput& audio, Clock& clock, UiServices& ui)
    : m_audio(audio), m_clock(clock), m_ui(ui) {}

Player::~Player() {
    StopPlayback();
}

bool Player::SoundCardPresent() {
    if (m_audio.outputDeviceCount() > 0) return true;
    m_ui.messageBox(QStringLiteral("Questo PC non ha schede audio.\r\n"
                                   "Il programma non pu\u00f2 inviare i toni DTMF"),
                    QStringLiteral("DTMF"), MessageIcon::Critical);
    return false;
}

void Player::StopPlayback() {
    if (m_deviceOpen) {
        m_audio.reset();
        m_audio.close();
        m_deviceOpen = false;
    }
    m_state.isPlaying = false;
}

void Player::fail(const QString& text) {
    m_ui.messageBox(text, kTitle, MessageIcon::Critical);
    StopPlayback();
}

void Player::SuonaSequenza(const std::string& sequence) {
    if (sequence.empty() || m_state.isPlaying) return;

    // Length, then a fresh buffer; the previous one goes first so that two never coexist.
    const int64_t n = SequenceLength(sequence, m_timing);
    m_samples.reset();
    m_sampleCount = 0;
    // Left uninitialised: the synthesis writes every sample. The largest sequence the window
    // allows needs about 180 MB, which a small or limited machine may not have.
    m_samples.reset(new (std::nothrow) int16_t[static_cast<size_t>(n)]);
    if (!m_samples) {
        m_ui.messageBox(QStringLiteral("Not enough memory for the sequence: %1 samples (%2 MB) "
                                       "could not be allocated.\r\nShorten the sequence or its "
                                       "durations and try again.")
                            .arg(n)
                            .arg((n * 2 + 999'999) / 1'000'000),
                        kTitle, MessageIcon::Critical);
        return;
    }
    m_sampleCount = n;

    PcmFormat format;
    format.samplesPerSecond = static_cast<int>(m_timing.sampleRate + 0.5);
    format.averageBytesPerSecond = format.samplesPerSecond * 2;

    m_state.isPlaying = true;

    int result = m_audio.open(format);
    if (result != 0) {
        fail(QStringLiteral("1. waveOutOpen failed - %1").arg(result));
        return;
    }
    m_deviceOpen = true;

    result = m_audio.prepare(m_samples.get(), static_cast<size_t>(n));
    if (result != 0) {
        fail(QStringLiteral("2. waveOutPrepareHeader failed - %1").arg(result));
        return;
    }

    synthesizeInto(sequence);

    result = m_audio.write();
    if (result != 0) {
        fail(QStringLiteral("The sound device refused the sequence - %1").arg(result));
        return;
    }

    const uint32_t t0 = m_clock.tickCount();
    const int64_t limitMs = n / 8 + kPlayAllowanceMs;
    while (!m_audio.done()) {
        m_clock.processEvents();
        if (static_cast<uint32_t>(m_clock.tickCount() - t0) > limitMs) {
            fail(
                QStringLiteral("The sound device did not finish playing the sequence; "
                               "playback was stopped."));
            return;
        }
    }
    const uint32_t t1 = m_clock.tickCount();
    m_state.effectiveTimeMs = static_cast<int32_t>(t1 - t0);

    result = m_audio.unprepare();
    if (result != 0) {
        fail(QStringLiteral("4. waveOutUnPrepareHeader failed - 1 - %1").arg(result));
        return;
    }

    result = m_audio.close();
    m_deviceOpen = false;
    if (result != 0) {
        m_ui.messageBox(QStringLiteral("5. waveOutClose failed - %1").arg(result), kTitle,
                        MessageIcon::Critical);
    }
    m_state.isPlaying = false;
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
