// The program folder. See program_folder.h.
#include "platform/program_folder.h"

#include <QSaveFile>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

namespace calvento {

namespace {

// Where an installed program keeps its shipped files: share/calvento beside its bin folder
// (so that an install under any prefix works), or the system's data folders.
QString installedDataFile(const QString& name) {
    const QString beside =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/calvento/") + name;
    if (QFileInfo::exists(beside)) return QDir::cleanPath(beside);
    return QStandardPaths::locate(QStandardPaths::AppDataLocation, name);
}

// A shipped file for a program folder that lacks it: beside the executable, as an unpacked
// program keeps it (also when CALVENTO_HOME names another folder), else the installed data.
QString shippedFile(const QString& name) {
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    if (QFileInfo::exists(beside)) return beside;
    return installedDataFile(name);
}

// Whether the program may keep its files in `folder`. On Windows the folder's attributes do not
// tell (a folder under Program Files looks writable and is not), so a file is written there once
// to see; the answer holds for the whole run.
bool mayWriteIn(const QString& folder) {
#ifdef Q_OS_WIN
    static const bool writable = [&] {
        QTemporaryFile probe(folder + QStringLiteral("/calvento-probe-XXXXXX"));
        return probe.open();
    }();
    return writable;
#else
    return QFileInfo(folder).isWritable();
#endif
}

// Where a program that may not write beside itself keeps its files: %APPDATA%\calvento on
// Windows, the per-user configuration folder (~/.config/calvento) elsewhere.
QString userFolder() {
#ifdef Q_OS_WIN
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return QDir::fromNativeSeparators(appData) + QStringLiteral("/calvento");
#endif
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

}  // namespace

QString SettingsFileName() {
    return QStringLiteral("Calvento31.ini");
}
QString OptionsFileName() {
    return QStringLiteral("Calvento31-options.ini");
}
QString DefaultConfigFileName() {
    return QStringLiteral("Default31.prg");
}
QString ManualFileName() {
    return QStringLiteral("Manuale_Calvento31.rtf");
}
QString PortableMarkerFileName() {
    return QStringLiteral("portable.txt");
}

QString ProgramFolder() {
    const QString home = qEnvironmentVariable("CALVENTO_HOME");
    if (!home.isEmpty()) return QDir::toNativeSeparators(QDir::cleanPath(home));

    // A program unpacked into a folder of its own keeps everything there (portable use). An
    // installed one never writes beside its executable, even when it could (run as root). On
    // Windows the portable zip says so with a marker file beside the programs; an installed copy
    // has none, whatever the folder's permissions.
    const QString exeDir = QCoreApplication::applicationDirPath();
#ifdef Q_OS_WIN
    const bool installed =
        !QFileInfo::exists(exeDir + QLatin1Char('/') + PortableMarkerFileName());
#else
    const bool installed = !installedDataFile(ManualFileName()).isEmpty() &&
                           !QFileInfo::exists(exeDir + QLatin1Char('/') + ManualFileName());
#endif
    if (!installed && !exeDir.isEmpty() && mayWriteIn(exeDir))
        return QDir::toNativeSeparators(exeDir);

    const QString config = userFolder();
    QDir().mkpath(config);
    return QDir::toNativeSeparators(config);
}

QString ProgramFile(const QString& fileName) {
    return ProgramFolder() + QDir::separator() + fileName;
}

QString ManualPath() {
    const QString local = ProgramFile(ManualFileName());
    if (QFileInfo::exists(local)) return local;
    const QString shipped = shippedFile(ManualFileName());
    return shipped.isEmpty() ? local : QDir::toNativeSeparators(QDir::cleanPath(shipped));
}

bool CopyShippedDefaultConfiguration() {
    const QString target = ProgramFile(DefaultConfigFileName());
    if (QFileInfo::exists(target)) return false;
    const QString shipped = shippedFile(DefaultConfigFileName());
    return !shipped.isEmpty() && QFile::copy(shipped, target);
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
        out.write(bytes) == bytes.size() && out.commit())
        return true;
    if (error) *error = out.errorString();
    return false;
}

bool MakeFolder(const QString& path, QString* error) {
    std::error_code ec;
    const std::filesystem::path folder(path.toStdU16String());
    std::filesystem::create_directories(folder, ec);
    if (!ec && std::filesystem::is_directory(folder, ec)) return true;
    if (error)
        *error = ec ? QString::fromLocal8Bit(ec.message())
                    : QStringLiteral("a file of that name is in the way");
    return false;
}

}  // namespace calvento
