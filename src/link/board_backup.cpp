// Backups of the board's configuration. See board_backup.h.
#include "link/board_backup.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "config/config_file.h"
#include "platform/program_folder.h"

namespace calvento {

namespace {

// The backups in the folder, oldest first: by the time in the name, then by the number that a
// second backup within the same second carries.
QStringList backupsOldestFirst(const QDir& dir) {
    QStringList all = dir.entryList({QStringLiteral("board-*.prg")}, QDir::Files, QDir::Name);
    auto key = [](const QString& name) {
        const QString stem = name.chopped(4);                       // without ".prg"
        const qsizetype dash = stem.indexOf(QLatin1Char('-'), 15);  // past "board-YYYYMMDD-"
        const int n = dash < 0 ? 1 : stem.mid(dash + 1).toInt();
        return (dash < 0 ? stem : stem.left(dash)) +
               QStringLiteral("-%1").arg(n, 6, 10, QLatin1Char('0'));
    };
    std::sort(all.begin(), all.end(),
              [&](const QString& a, const QString& b) { return key(a) < key(b); });
    return all;
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
    QDir dir(m_folder);
    if (!dir.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("The folder %1 cannot be made.").arg(m_folder));

    // Two runs within a second keep both backups.
    const QString stem =
        QStringLiteral("board-") + takenAt.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem + QStringLiteral(".prg");
    for (int n = 2; dir.exists(name); ++n) name = stem + QStringLiteral("-%1.prg").arg(n);
    const QString path = QDir::toNativeSeparators(dir.filePath(name));

    QString why;
    if (!WriteWholeFile(path, QByteArray::fromStdString(FormatConfigFile(config, portText)), &why))
        return fail(QStringLiteral("%1: %2").arg(path, why));

    const QStringList all = backupsOldestFirst(dir);
    for (qsizetype i = 0; i + kKept < all.size(); ++i) dir.remove(all[i]);
    return path;
}

QString BoardBackups::latest() const {
    const QDir dir(m_folder);
    const QStringList all = backupsOldestFirst(dir);
    return all.isEmpty() ? QString() : QDir::toNativeSeparators(dir.filePath(all.last()));
}

}  // namespace calvento
