// The program folder: where the settings file, the default configuration and the manual live.
//
// CALVENTO_HOME names it when set (tests and portable set-ups use that); otherwise it is the
// executable's own folder when the program may write there and is not an installed program, as
// on a portable Windows install; otherwise the per-user folder (%APPDATA%\calvento on Windows,
// ~/.config/calvento on Linux), created on first use. An installed program finds its manual and
// default configuration in share/calvento. File names are joined with the platform's own
// separator, because the user sees these paths in messages and dialogs.
#pragma once

#include <QByteArray>
#include <QString>

namespace calvento {

QString ProgramFolder();

// The files the program keeps in its folder, named here once: the classic settings file with its
// eleven values, the options that came later, the default configuration and the manual.
QString SettingsFileName();       // Calvento31.ini
QString OptionsFileName();        // Calvento31-options.ini
QString DefaultConfigFileName();  // Default31.prg
QString ManualFileName();         // Manuale_Calvento31.rtf
// On Windows, the file beside the programs that makes them portable (the zip carries it): they
// then keep their files beside themselves when they may write there.
QString PortableMarkerFileName();  // portable.txt

// The folder followed by the separator and `fileName`.
QString ProgramFile(const QString& fileName);

// Writes `bytes` to `path` through a temporary file in the same folder renamed over it at the end,
// unbuffered so that a full disk is reported rather than committed as a short file: a failure
// never costs the old file. False with the system's reason.
bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error);

// Makes `path` and the folders above it. False with the system's reason for the first folder
// that could not be made (a file in its place, no permission, a full or read-only disk).
bool MakeFolder(const QString& path, QString* error);

// The user manual: in the program folder, else beside the executable (an unpacked program run
// with CALVENTO_HOME elsewhere), else where an installed program keeps its data; the program
// folder's path when it is in none, so that a message can name where it was looked for.
QString ManualPath();

// On a first start, puts the shipped default configuration into the program folder (when the
// folder has none and one lies beside the executable or in the installed data), so that a new user
// sees a loaded example rather than a load failure. True when it copied.
bool CopyShippedDefaultConfiguration();

}  // namespace calvento
