// The send job. See send_job.h.
#include "session/send_job.h"

#include "tone/audio_output.h"

namespace calvento {

SendOutcome OutcomeOf(const KeyedSendResult& sent) {
    // A transmitter in doubt outweighs everything else that went wrong.
    if (!sent.released) return SendOutcome::NotReleased;
    if (sent.guardTripped) return SendOutcome::StoppedByGuard;
    if (!sent.keyed) return SendOutcome::KeyingFailed;
    if (!sent.play.played)
        return sent.play.failure.isEmpty() ? SendOutcome::Stopped : SendOutcome::Failed;
    return SendOutcome::Completed;
}

SendReport RunSendJob(Player& player, Clock& clock, PushToTalk* ptt, const std::string& keys,
                      const SendSettings& asked, const KeyedSendOptions& options) {
    SendReport report;
    report.used = CorrectedSendSettings(asked);
    report.sent = SendKeyed(player, clock, ptt, keys, report.used, options);
    report.outcome = OutcomeOf(report.sent);
    report.onDefaultDevice = report.sent.play.played && player.audio().usedDefaultInstead();
    return report;
}

}  // namespace calvento
