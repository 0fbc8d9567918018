// Sites: one board and the radio that reaches it, so that an operator who works several boards
// does not set the radio up again for each.
//
// A site has a name, the board's configuration file, the programming port, the push-to-talk
// method with its port, line, polarity or rig (and whether it is on), the sound device, the
// receiver's input device and how the board's reply is listened for, the
// durations and the transmitter delay, whether a command asks for confirmation before it is
// sent, and eleven named user sequences (F2 to F12). The classic settings are the first site,
// "Default": its values come from Calvento31.ini (which keeps its eleven values) and the options
// file, so a classic user sees nothing change. The other sites, and what the classic files have
// no place for, are kept in sites.json in the program folder, written whole through a temporary
// file like the other files.
#pragma once

#include <QString>
#include <array>
#include <vector>

#include "session/app_settings.h"
#include "session/radio_choice.h"
#include "tone/keyed_send.h"

namespace calvento {

struct UserSequence {
    QString name;
    QString sequence;
    bool operator==(const UserSequence&) const = default;
};

struct Site {
    static constexpr int kUserSequences = 11;  // F2 to F12

    QString name;
    QString configFile;
    QString programmingPort = QStringLiteral("1");  // a port number, as the fields take it
    QString pttPort = QStringLiteral("1");
    bool pttOn = false;
    RadioInterface radio;
    SendSettings settings;
    bool confirm = true;
    std::array<UserSequence, kUserSequences> userSequences;
    bool operator==(const Site&) const = default;
};

// The name of the first site, made from the classic settings.
QString DefaultSiteName();

// sites.json in the program folder.
QString SitesFilePath();

// The sites: "Default" first (from the classic settings and options files and what sites.json
// adds to it), then those of sites.json in their order. A missing sites file is no error; one
// that cannot be read or parsed gives the Default site alone and the reason.
std::vector<Site> LoadSites(const AppSettings& classic, const RadioInterface& classicRadio,
                            const QString& sitesFile, QString* error);

// The sites of the program folder, read without writing anything (a missing settings file gives
// the classic defaults).
std::vector<Site> LoadProgramSites(QString* error);

// Writes sites.json whole: the extras of Default and every other site.
bool SaveSites(const QString& sitesFile, const std::vector<Site>& sites, QString* error);

// The index of a stored command named by its number or by its label as the Programming tab
// shows it ("8", "8: Send Status", "Send Status", any case), or -1.
int CommandIndex(const QString& name);

// A stored command's label as the Programming tab shows it ("8: Send Status").
QString CommandLabel(int index);

// The site of that name (case matters), or null.
const Site* FindSite(const std::vector<Site>& sites, const QString& name);

}  // namespace calvento
