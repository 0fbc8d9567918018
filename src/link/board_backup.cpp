// Backups of the board's configuration. See board_backup.h.
#include "link/board_backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "config/config_file.h"
#include "platform/program_folder.h"

namespace calvento {

namespace {

// The names the program gives its backups, and no others: a user's own board-old-repeater.prg
// in the same folder is never pruned or restored.
const QRegularExpression& backupName() {
    static const QRegularExpression name(
        QStringLiteral("^board-(\\d{8}-\\d{6})(?:-(\\d{1,6}))?\\.prg$"));
    return name;
}

// The file that names the backup written last: the clock may have been wrong when older ones
// were named, so their names do not say which came last.
const QString kLastFile = QStringLiteral("last-backup.txt");

// The program's backups in the folder, oldest first: by the time in the name, then by the
// number that a second backup within the same second carries.
QStringList backupsOldestFirst(const QDir& dir) {
    QStringList all;
    for (const QString& name : dir.entryList({QStringLiteral("board-*.prg")}, QDir::Files))
        if (backupName().match(name).hasMatch()) all << name;
    auto key = [](const QString& name) {
        const QRegularExpressionMatch m = backupName().match(name);
        const int n = m.captured(2).isEmpty() ? 1 : m.captured(2).toInt();
        return m.captured(1) + QStringLiteral("-%1").arg(n, 6, 10, QLatin1Char('0'));
    };
    std::sort(all.begin(), all.end(),
              [&](const QString& a, const QString& b) { return key(a) < key(b); });
    return all;
}

// Takes the first free name of the stem for this run alone: the file is created exclusively, so
// that two runs in the same second (two programs, two boards) never write one file. Empty with
// the reason when none can be created.
QString claimName(const QDir& dir, const QString& stem, QString* why) {
    for (int n = 1; n < 1000; ++n) {
        const QString name =
            n == 1 ? stem + QStringLiteral(".prg") : stem + QStringLiteral("-%1.prg").arg(n);
        QFile claim(dir.filePath(name));
        if (claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return name;
        if (!claim.exists()) {
            *why = claim.errorString();
            return QString();
        }
    }
    *why = QStringLiteral("every name for this second is taken");
    return QString();
}

}  // namespace

QString DefaultBackupFolder() {
    return ProgramFile(QStringLiteral("backups"));
}

QString BoardBackups::store(const DecoderImage& image, const QString& port,
                            const QDateTime& takenAt, QString* error) const {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return QString();
    };
    const DecoderConfig config = DecodeConfig(image);
    const std::string portText = port.toLatin1().toStdString();
    if (const std::string refusal = ConfigFileRefusal(config, portText); !refusal.empty())
        return fail(QString::fromLatin1(refusal.c_str()));
    QString why;
    if (!MakeFolder(m_folder, &why))
        return fail(QStringLiteral("The folder %1 cannot be made: %2")
                        .arg(QDir::toNativeSeparators(m_folder), why));
    QDir dir(m_folder);

    const QString name = claimName(
        dir, QStringLiteral("board-") + takenAt.toString(QStringLiteral("yyyyMMdd-HHmmss")), &why);
    if (name.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(m_folder), why));
    const QString path = QDir::toNativeSeparators(dir.filePath(name));
    // The claimed (empty) file is replaced whole by the written one.
    if (!WriteWholeFile(path, QByteArray::fromStdString(FormatConfigFile(config, portText)),
                        &why)) {
        dir.remove(name);
        return fail(QStringLiteral("%1: %2").arg(path, why));
    }
    // Which backup came last is told by this note, not by the names' dates; a note that cannot
    // be written only leaves Restore to go by the names.
    WriteWholeFile(dir.filePath(kLastFile), name.toLatin1() + '\n', nullptr);

    // The oldest beyond the newest kKept go, never the one just written, whatever its date says.
    QStringList others = backupsOldestFirst(dir);
    others.removeAll(name);
    for (qsizetype i = 0; i + kKept - 1 < others.size(); ++i) dir.remove(others[i]);
    return path;
}

QString BoardBackups::latest() const {
    const QDir dir(m_folder);
    QFile note(dir.filePath(kLastFile));
    if (note.open(QIODevice::ReadOnly)) {
        const QString last = QString::fromLatin1(note.read(64)).trimmed();
        if (backupName().match(last).hasMatch() && dir.exists(last))
            return QDir::toNativeSeparators(dir.filePath(last));
    }
    const QStringList all = backupsOldestFirst(dir);
    return all.isEmpty() ? QString() : QDir::toNativeSeparators(dir.filePath(all.last()));
}

}  // namespace calvento
