// The program job. See program_job.h.
#include "session/program_job.h"

#include <QDateTime>

namespace calvento {

ProgramResult RunProgramJob(BoardLink& link, const DecoderImage& image, const QString& portName,
                            const BoardBackups* backups, const QString& portText,
                            const ProgramHooks& hooks) {
    using Outcome = BoardLink::Outcome;
    ProgramResult r;
    auto ask = [](const auto& hook, bool unset, auto&&... args) {
        return hook ? hook(args...) : unset;
    };

    if (backups) {
        DecoderImage board{};
        const Outcome read = link.readImage(&board);
        // A failed port or a stop ends the job here whatever the front end would say.
        if (read == Outcome::PortFailed || read == Outcome::Stopped ||
            (read != Outcome::Done && !ask(hooks.writeWithoutBackup, false, read))) {
            r.end = ProgramResult::End::NoBackup;
            r.outcome = read;
            return r;
        }
        if (read == Outcome::Done) {
            r.backupPath =
                backups->store(board, portText, QDateTime::currentDateTime(), &r.backupError);
            if (r.backupPath.isEmpty() &&
                !ask(hooks.writeWithUnsavedBackup, false, r.backupError)) {
                r.end = ProgramResult::End::BackupNotSaved;
                return r;
            }
            if (!r.backupPath.isEmpty() && hooks.backupKept) hooks.backupKept(r.backupPath);
            r.changes = ConfigChanges(DecodeConfig(board), DecodeConfig(image));
            if (!ask(hooks.confirm, true, r.changes, r.backupPath)) {
                r.end = ProgramResult::End::Declined;
                return r;
            }
        }
    }
    r.outcome = link.program(image, portName);
    r.writeBegan = link.writeBegan();
    return r;
}

}  // namespace calvento
