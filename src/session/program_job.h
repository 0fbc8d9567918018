// The program job: what PROGRAM in the window and `calvento-cli program` both do, once.
//
// It reads the board's present configuration and keeps it as a backup, works out which fields
// will change, writes the new image and verifies the read-back, over a BoardLink that shows its
// own progress in the caller's status view. Where the two front ends differ they are asked
// through hooks: whether to go on without a backup (the window asks the user, the tool refuses
// unless told --no-backup), whether to write the changes (the window shows them; the tool goes
// on), and they hear of the backup's path. The result is a value: how far the job went, the
// link's outcome, the backup, the changes, and what the board may hold when the write was not
// verified. It runs to its end in the caller's thread; the link's waits turn the event loop, so
// neither front end needs one of its own.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "config/config_file.h"
#include "link/board_backup.h"
#include "link/board_link.h"

namespace calvento {

struct ProgramHooks {
    // The board's configuration could not be read (`outcome`), so there is no backup: go on
    // and write without one? Unset: no.
    std::function<bool(BoardLink::Outcome outcome)> writeWithoutBackup;
    // The backup was read but could not be saved (`error`): go on without it? Unset: no.
    std::function<bool(const QString& error)> writeWithUnsavedBackup;
    // The backup is kept in `path`.
    std::function<void(const QString& path)> backupKept;
    // The fields the write will change (none: the board holds this configuration already) and
    // where the board's present configuration is kept (empty: nowhere): write? Unset: yes.
    std::function<bool(const std::vector<FieldChange>& changes, const QString& backup)> confirm;
};

struct ProgramResult {
    enum class End {
        NoBackup,        // the backup read failed and the write was not wanted without it
        BackupNotSaved,  // the backup could not be saved and the write was not wanted without it
        Declined,        // the changes were shown and not wanted
        Ran,             // the write run ran (outcome says how it ended)
    };
    End end = End::Ran;
    // The backup read's outcome for NoBackup, the write run's otherwise (Done: verified).
    BoardLink::Outcome outcome = BoardLink::Outcome::Done;
    QString backupPath;   // empty when no backup was kept
    QString backupError;  // why the backup could not be saved
    std::vector<FieldChange> changes;
    bool writeBegan = false;  // the write command went out: the board may have changed

    bool written() const { return end == End::Ran && outcome == BoardLink::Outcome::Done; }
    // What the board may hold after a write that began and was not verified (empty otherwise),
    // with the way to put the backup back and to read the board in the front end's words.
    QString boardState(const QString& restoreHow, const QString& readHow) const {
        return BoardStateAfterWrite(outcome, writeBegan, backupPath, restoreHow, readHow);
    }
};

// Programs `image` through `link` (which is switched on). With `backups` (null: no backup is
// taken), the board's present configuration is kept there first, its programming port noted as
// `portText`. `portName` is what the status calls the port ("Sending data on COM1.").
ProgramResult RunProgramJob(BoardLink& link, const DecoderImage& image, const QString& portName,
                            const BoardBackups* backups, const QString& portText,
                            const ProgramHooks& hooks);

}  // namespace calvento
