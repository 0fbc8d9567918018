// The settings kept between runs (AppSettings) and their file, Calvento31.ini.
//
// One line of eleven comma-separated values: the configuration file last used, the window's
// left and top edges in twips, the selected tab, then the texts of the sequence, duration and
// port fields. The file is UTF-8 (it holds a path) with a CR LF line end on every platform, and
// it is replaced through a temporary file so that a failed write never leaves half a line where
// good settings stood. A missing or broken file is not an error the user hears about: the program
// starts with what could be read and the defaults, and puts the default line back in the file.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace calvento {

struct AppSettings {
    QString configFilePath;
    int left = 0;  // twips
    int top = 0;   // twips
    int tab = 0;   // selected tab of the main tab control
    QString sequence;
    QString digitMs;
    QString gapMs;
    QString pauseMs;
    QString pttCom;
    QString prgComm;
    QString txDelayMs;
};

// The default line of a first start: the default configuration next to the program, the window
// at 0, 0 on the first tab, and the classic timings.
AppSettings DefaultAppSettings(const QString& programFolder);

// Reading a settings line. On a fault (too few values, a position or tab that is not a number
// fitting 16 bits) the values before it are kept and the rest stay empty or 0.
struct ParsedAppSettings {
    AppSettings values;
    bool complete = false;
};
ParsedAppSettings ParseAppSettings(const QByteArray& utf8);

// The line as written at the close. Positions outside the 16-bit range the reader accepts are
// pulled to its edge, so a window on a far monitor cannot make the next start lose the rest.
QByteArray FormatAppSettings(const AppSettings& settings);

// Loads the settings file with the start-up rules: a file that cannot be opened or read fully is
// recreated with the default line (silently; a folder without write access just gives defaults).
AppSettings LoadAppSettingsFile(const QString& path, const QString& programFolder);

// Writes the file through a temporary file renamed over the old one. On failure the old file is
// untouched and `error` says why.
bool SaveAppSettingsFile(const QString& path, const AppSettings& settings, QString* error);

}  // namespace calvento
