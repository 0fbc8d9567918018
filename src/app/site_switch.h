// The sites as the window works them: one site at a time, its values in the classic fields.
//
// The durations, the two port numbers, the radio interface, push-to-talk on or off and the
// configuration file on screen are the current site's. Switching keeps them in the site left
// and fills the fields from the site chosen (its configuration file loaded); configuration
// fields that differ from their file are not dropped without asking. The site "Default" is the
// classic settings: Calvento31.ini and the options file keep its values as they always did,
// whichever site the window works when it closes; the other sites, and what the classic files
// have no place for, live in sites.json (session/sites.h), which is never replaced when it
// could not be read. The console's chooser, New and Remove come here.
#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "session/app_settings.h"
#include "session/sites.h"

namespace Ui {
class frmTone;
}

namespace calvento {

class ConfigFields;
class ConsoleTab;
class RadioPorts;
class UiServices;

class SiteSwitch : public QObject {
    Q_OBJECT

public:
    SiteSwitch(Ui::frmTone& ui, ConfigFields& fields, RadioPorts& radio, ConsoleTab& console,
               UiServices& dialogs, QObject* parent);

    // After the classic settings were loaded into the fields: the sites, and the site worked
    // last taken up again.
    void load(const AppSettings& classic);
    const std::vector<Site>& sites() const { return m_sites; }
    int index() const { return m_site; }
    const Site& current() const { return m_sites[static_cast<size_t>(m_site)]; }

    // Calvento31.ini's values: the Default site's, from the fields while it is worked.
    AppSettings classicSettings() const;
    // The fields go into the current site, and the sites file is written (the window closes).
    void keepFields();
    // The user chose a radio interface for the current site.
    void rememberRadio(const RadioInterface& choice);
    void setConfirm(bool on);
    void setUserSequences(const std::array<UserSequence, Site::kUserSequences>& sequences);

    void switchTo(int index, bool askFirst = true);
    void newSite();
    void removeSite();

    // A send or a board run is under way: the site stays.
    std::function<bool()> busy;

signals:
    // Another site is worked, or the list changed.
    void siteChanged();

private:
    Site siteFromFields() const;
    void applySite(const Site& site);
    AppSettings classicFromFields() const;
    void leaveCurrent();
    void save();

    Ui::frmTone& ui;
    ConfigFields& m_fields;
    RadioPorts& m_radio;
    ConsoleTab& m_console;
    UiServices& m_ui;
    std::vector<Site> m_sites;
    int m_site = 0;
    AppSettings m_classic;   // Calvento31.ini's values while another site is worked
    bool m_saveable = true;  // false when sites.json could not be read: it is never replaced
};

}  // namespace calvento
