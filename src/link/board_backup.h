// Backups of the board's configuration, taken before every programming run.
//
// Before a program run writes, the board's current image is read (the read exchange as it
// stands) and kept as a configuration file named by the date and time it was taken,
// board-YYYYMMDD-HHMMSS.prg, in the backups folder (backups/ in the program folder unless told
// otherwise). Each backup's file is created exclusively, so two runs never share one; the newest
// 50 are kept, and only files named as the program names its backups are ever removed. The file
// last-backup.txt beside them names the one written last, which Restore puts back whatever dates
// a wrong clock gave the others. A wrong file, a cut write or an adapter that drops out can then
// be undone by loading the backup and programming it again.
#pragma once

#include <QDateTime>
#include <QString>

#include "config/decoder_config.h"

namespace calvento {

class BoardBackups {
public:
    static constexpr int kKept = 50;

    explicit BoardBackups(QString folder) : m_folder(std::move(folder)) {}
    QString folder() const { return m_folder; }

    // Keeps `image` as a configuration file (with `port` as its programming port) named by
    // `takenAt` (with -2, -3, ... when that name is taken), then removes the oldest others
    // beyond the newest kKept, never this one. The file's path, or empty
    // with the reason (a folder that cannot be made or written, a board value no configuration
    // file can carry).
    QString store(const DecoderImage& image, const QString& port, const QDateTime& takenAt,
                  QString* error) const;

    // The backup written last, or (when its note is gone) the newest by name; empty when there
    // is none.
    QString latest() const;

private:
    QString m_folder;
};

// backups/ in the program folder.
QString DefaultBackupFolder();

}  // namespace calvento
