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

}  // namespace calvento
