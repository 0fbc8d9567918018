// The program folder. See program_folder.h.
#include "app/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace calvento {

QString ProgramFolder() {
    const QString home = qEnvironmentVariable("CALVENTO_HOME");
    if (!home.isEmpty()) return QDir::toNativeSeparators(QDir::cleanPath(home));

    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!exeDir.isEmpty() && QFileInfo(exeDir).isWritable())
        return QDir::toNativeSeparators(exeDir);

    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return QDir::toNativeSeparators(config);
}

QString ProgramFile(const QString& fileName) {
    return ProgramFolder() + QDir::separator() + fileName;
}

QString ManualPath() {
    const QString name = QStringLiteral("Manuale_Calvento31.rtf");
    const QString local = ProgramFile(name);
    if (QFileInfo::exists(local)) return local;
#ifdef CALVENTO_INSTALL_DATADIR
    const QString installed = QStringLiteral(CALVENTO_INSTALL_DATADIR) + QLatin1Char('/') + name;
    if (QFileInfo::exists(installed)) return QDir::toNativeSeparators(installed);
#endif
    const QString shared = QStandardPaths::locate(QStandardPaths::AppDataLocation, name);
    return shared.isEmpty() ? local : QDir::toNativeSeparators(shared);
}

}  // namespace calvento
