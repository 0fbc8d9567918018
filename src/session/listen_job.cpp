// Listening for the board's reply. See listen_job.h.
#include "session/listen_job.h"

#include <algorithm>
#include <cctype>

#include "tone/receive_decoder.h"

namespace calvento {

namespace {

constexpr int kTakeEveryMs = 20;

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Where the call begins in the Morse words (joined without their gaps: a slow or uneven fist may
// split a call in two), as the time of that word; negative when it is not there.
double callTime(const std::vector<DecodedItem>& words, const std::string& call) {
    std::string joined;
    std::vector<double> times;
    for (const DecodedItem& w : words) {
        if (w.kind != DecodedItem::Kind::Cw) continue;
        joined += w.text;
        times.insert(times.end(), w.text.size(), w.seconds);
    }
    if (joined.empty()) return -1;
    if (call.empty()) return times.front();
    const size_t at = joined.find(call);
    return at == std::string::npos ? -1 : times[at];
}

}  // namespace

bool OpenReceiver(AudioInput& input, const std::string& deviceId, std::string* failure) {
    input.chooseDevice(deviceId);
    PcmFormat format;
    format.samplesPerSecond = Listener::kSampleRate;
    format.averageBytesPerSecond = Listener::kSampleRate * 2;
    int code = input.open(format);
    if (code == AudioResult::Ok) {
        code = input.start();
        if (code != AudioResult::Ok) input.close();
    }
    if (code == AudioResult::Ok) return true;
    if (failure) {
        const std::string device =
            deviceId.empty() ? "the default input device" : "the input device " + deviceId;
        *failure = code == AudioResult::BadDeviceId
                       ? device + " is not there (error 2)"
                       : device + " could not be opened (error " + std::to_string(code) + ")";
    }
    return false;
}

bool Listener::open(const std::string& deviceId, std::string* failure) {
    close();
    m_open = OpenReceiver(m_input, deviceId, failure);
    return m_open;
}

void Listener::discard() {
    if (!m_open) return;
    std::vector<int16_t> dropped;
    m_input.take(dropped, nullptr);
}

void Listener::close() {
    if (!m_open) return;
    m_input.stop();
    m_input.close();
    m_open = false;
}

ListenResult Listener::listen(const ListenRequest& request, const ListenHooks& hooks) {
    ListenResult result;
    if (!m_open) {
        result.outcome = ListenOutcome::Failed;
        result.failure = "the input device is not open";
        return result;
    }
    const std::string call = upper(request.expectCall);
    // Morse is always decoded when a call is expected; it is reported only when asked.
    ReceiveDecoder decoder(kSampleRate, request.dtmf, request.cw || !call.empty(), request.wpm);
    std::vector<int16_t> samples;
    std::vector<DecodedItem> fresh;
    auto take = [&]() {
        for (const DecodedItem& item : fresh) {
            result.items.push_back(item);
            if (hooks.heard && (item.kind == DecodedItem::Kind::Dtmf || request.cw))
                hooks.heard(item);
        }
        fresh.clear();
    };
    auto heardTime = [&] { return callTime(result.items, call); };
    const uint32_t started = m_clock.tickCount();
    const auto limitMs = static_cast<uint32_t>(std::max(0.0, request.seconds) * 1000);
    for (;;) {
        m_clock.processEvents();
        if (hooks.stopRequested && hooks.stopRequested()) {
            result.outcome = ListenOutcome::Stopped;
            break;
        }
        samples.clear();
        std::string reason;
        const int code = m_input.take(samples, &reason);
        decoder.feed(samples, fresh);
        take();
        if (code != AudioResult::Ok) {
            result.outcome = ListenOutcome::Failed;
            result.failure = reason + " (error " + std::to_string(code) + ")";
            break;
        }
        if (request.stopWhenHeard && heardTime() >= 0) {
            result.outcome = ListenOutcome::Heard;
            break;
        }
        if (request.seconds >= 0 && m_clock.tickCount() - started >= limitMs) {
            decoder.finish(fresh);
            take();
            result.outcome = heardTime() >= 0 ? ListenOutcome::Heard : ListenOutcome::NotHeard;
            break;
        }
        m_clock.sleepMs(kTakeEveryMs);
    }
    if (result.outcome == ListenOutcome::Stopped || result.outcome == ListenOutcome::Failed) {
        decoder.finish(fresh);
        take();
    }
    const double at = heardTime();
    if (result.outcome == ListenOutcome::Heard) {
        result.heardAfter = at;
        if (call.empty()) {
            for (const DecodedItem& w : result.items)
                if (w.kind == DecodedItem::Kind::Cw) {
                    result.call = w.text;
                    break;
                }
        } else {
            result.call = call;
        }
    }
    return result;
}

QString ListenOutcomeText(const ListenResult& result) {
    switch (result.outcome) {
        case ListenOutcome::Heard:
            return QStringLiteral("Heard %1 after %2 s")
                .arg(QString::fromStdString(result.call))
                .arg(result.heardAfter, 0, 'f', 1);
        case ListenOutcome::NotHeard:
            return QStringLiteral("No reply heard");
        case ListenOutcome::Failed:
            return QStringLiteral("Listening failed: ") + QString::fromStdString(result.failure);
        case ListenOutcome::Stopped:
            break;
    }
    return QStringLiteral("Listening stopped");
}

QString ReplyText(const ListenResult& result) {
    QStringList words;
    bool inKeys = false;
    for (const DecodedItem& item : result.items) {
        const QString text = QString::fromStdString(item.text);
        if (item.kind == DecodedItem::Kind::Dtmf && inKeys)
            words.back() += text;
        else
            words << text;
        inKeys = item.kind == DecodedItem::Kind::Dtmf;
    }
    return words.isEmpty() ? QStringLiteral("none") : words.join(QLatin1Char(' '));
}

std::optional<ListenResult> RunConfirmedSend(
    Listener* listener, const ReplyCheck& check, const std::function<SendReport()>& sendOnce,
    const std::function<void(const SendReport&, const ListenResult*)>& attemptEnded,
    const ListenHooks& hooks) {
    std::optional<ListenResult> last;
    const int attempts = 1 + std::clamp(check.retries, 0, ReplyCheck::kMostRetries);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (listener) listener->discard();
        const SendReport report = sendOnce();
        if (report.outcome != SendOutcome::Completed || !listener || !listener->isOpen()) {
            attemptEnded(report, nullptr);
            break;
        }
        // Our own transmission is not the board's reply.
        listener->discard();
        last = listener->listen(check.request, hooks);
        attemptEnded(report, &*last);
        if (last->outcome != ListenOutcome::NotHeard) break;
    }
    return last;
}

}  // namespace calvento
