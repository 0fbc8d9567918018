// Backups of the board's configuration, taken before every programming run.
//
// Before a program run writes, the board's current image is read (the read exchange as it
// stands) and kept as a configuration file named by the date and time it was taken,
// board-YYYYMMDD-HHMMSS.prg, in the backups folder (backups/ in the program folder unless told
// otherwise). The newest 50 are kept. A wrong file, a cut write or an adapter that drops out can
// then be undone by loading the backup and programming it again.
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
    // `takenAt`, then removes the oldest beyond the newest kKept. The file's path, or empty
    // with the reason (a folder that cannot be made or written, a board value no configuration
    // file can carry).
    QString store(const DecoderImage& image, const QString& port, const QDateTime& takenAt,
                  QString* error) const;

    // The newest backup, or empty when there is none.
    QString latest() const;

private:
    QString m_folder;
};

// backups/ in the program folder.
QString DefaultBackupFolder();

}  // namespace calvento
