// One send with push-to-talk. See keyed_send.h.
#include "tone/keyed_send.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/clock.h"

namespace calvento {

namespace {

// Runs `onExpiry` on a thread of its own when it has not been disarmed within `limit`.
class KeyedTimeGuard {
public:
    KeyedTimeGuard(std::chrono::milliseconds limit, std::function<void()> onExpiry)
        : m_thread([this, limit, onExpiry = std::move(onExpiry)] {
              std::unique_lock lock(m_mutex);
              if (m_cv.wait_for(lock, limit, [this] { return !m_armed; })) return;
              m_tripped = true;
              lock.unlock();
              onExpiry();
          }) {}
    ~KeyedTimeGuard() { disarm(); }

    void disarm() {
        {
            const std::lock_guard lock(m_mutex);
            m_armed = false;
        }
        m_cv.notify_all();
        if (m_thread.joinable()) m_thread.join();
    }
    bool tripped() {
        const std::lock_guard lock(m_mutex);
        return m_tripped;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_armed = true;
    bool m_tripped = false;
    std::thread m_thread;  // last: it starts once the members it uses exist
};

}  // namespace

SendSettings CorrectedSendSettings(const SendSettings& asked) {
    using namespace SendLimits;
    SendSettings s = asked;
    s.digitMs = std::max<double>(s.digitMs, kMinDigitMs);
    s.gapMs = std::max<double>(s.gapMs, kMinGapMs);
    s.pauseMs = std::max<double>(s.pauseMs, kMinPauseMs);
    s.txDelayMs = std::clamp<double>(s.txDelayMs, kMinTxDelayMs, kMaxTxDelayMs);
    return s;
}

KeyedSendResult SendKeyed(Player& player, Clock& clock, PushToTalk* ptt, const std::string& keys,
                          const SendSettings& settings, const KeyedSendOptions& options) {
    const SendSettings s = CorrectedSendSettings(settings);
    player.setDurations(s.digitMs, s.gapMs, s.pauseMs);
    const int txDelayMs = static_cast<int>(std::nearbyint(s.txDelayMs));
    const auto& stillKeying = options.stillKeying;
    KeyedSendResult result;
    std::unique_ptr<KeyedTimeGuard> guard;
    if (ptt) {
        result.keyed = ptt->setKeyed(true, &result.keyingError);
        if (!result.keyed && !options.playWhenNotKeyed) {
            // A rig that timed out may have keyed all the same: it is told to let go.
            ptt->setKeyed(false, nullptr);
            return result;
        }
        if (result.keyed) {
            const int64_t sequenceMs = (SequenceLength(keys, player.timing()) * 1000 + 7999) / 8000;
            const auto limit =
                std::chrono::milliseconds(txDelayMs + sequenceMs + kKeyedTimeSlackMs);
            // The stop is asked for first (a flag, at once), so that whoever sees the line
            // down also finds the send ending.
            guard = std::make_unique<KeyedTimeGuard>(limit, [&player, ptt, limit] {
                player.requestStop(
                    QStringLiteral("The transmitter was keyed for %1 ms, longer than the "
                                   "sequence needs: push-to-talk was dropped and the send "
                                   "stopped.")
                        .arg(limit.count()));
                ptt->releaseFromAnyThread();
            });
        }
        clock.sleepMs(txDelayMs);
    }

    // Once: after the last sample with the tail, before a failure at once; for a sequence the
    // player refused, when it returns, as the classic send does.
    bool released = false;
    auto release = [&](bool withTail) {
        if (released) return;
        released = true;
        if (ptt && (!stillKeying || stillKeying())) {
            if (withTail || (options.tailAfterStop && options.tailAfterStop()))
                clock.sleepMs(kPttTailMs);
            // A line that could not be keyed at all is not in doubt; a keyed one whose release
            // was refused is.
            QString why;
            if (!ptt->setKeyed(false, &why) && result.keyed) {
                result.released = false;
                result.releaseError = why;
            }
        }
        if (guard) guard->disarm();
    };
    result.play = player.SuonaSequenza(keys, release);
    release(true);
    result.guardTripped = guard && guard->tripped();
    return result;
}

}  // namespace calvento
