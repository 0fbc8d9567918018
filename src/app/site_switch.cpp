// The sites as the window works them. See site_switch.h.
#include "app/site_switch.h"

#include <QFileInfo>
#include <QSettings>

#include "app/config_fields.h"
#include "app/console_tab.h"
#include "app/radio_ports.h"
#include "config/field_text.h"
#include "platform/program_folder.h"
#include "platform/user_interface.h"
#include "ui_frm_tone.h"

namespace calvento {

namespace {
const QString kWarning = QStringLiteral("Warning");
// The options file's key for the site the window worked last.
const QString kSiteKey = QStringLiteral("site");

void rememberSiteWorked(const QString& name) {
    QSettings(ProgramFile(OptionsFileName()), QSettings::IniFormat).setValue(kSiteKey, name);
}
}  // namespace

SiteSwitch::SiteSwitch(Ui::frmTone& form, ConfigFields& fields, RadioPorts& radio,
                       ConsoleTab& console, UiServices& dialogs, QObject* parent)
    : QObject(parent),
      ui(form),
      m_fields(fields),
      m_radio(radio),
      m_console(console),
      m_ui(dialogs) {}

void SiteSwitch::load(const AppSettings& classic) {
    m_classic = classic;
    QString why;
    m_sites = LoadSites(classic, m_radio.radio(), SitesFilePath(), &why);
    if (!why.isEmpty()) {
        m_saveable = false;
        m_ui.notify(QStringLiteral("The sites cannot be read, and will not be changed:\r\n") + why,
                    kWarning, MessageIcon::Exclamation);
    }
    m_site = 0;
    emit siteChanged();
    const QString last =
        QSettings(ProgramFile(OptionsFileName()), QSettings::IniFormat).value(kSiteKey).toString();
    for (size_t i = 1; i < m_sites.size(); ++i)
        if (m_sites[i].name == last) switchTo(static_cast<int>(i), false);
    if (m_site == 0 && current().pttOn) ui.chkPtt->setChecked(true);
}

AppSettings SiteSwitch::classicSettings() const {
    return m_site == 0 ? classicFromFields() : m_classic;
}

void SiteSwitch::keepFields() {
    m_sites[static_cast<size_t>(m_site)] = siteFromFields();
    save();
}

// The Default site's choice lives in the options file, as it always did; another site's in the
// sites file.
void SiteSwitch::rememberRadio(const RadioInterface& choice) {
    if (m_site == 0) {
        SaveRadioInterface(ProgramFile(OptionsFileName()), choice);
        return;
    }
    m_sites[static_cast<size_t>(m_site)].radio = choice;
    save();
}

void SiteSwitch::setConfirm(bool on) {
    m_sites[static_cast<size_t>(m_site)].confirm = on;
    save();
}

void SiteSwitch::setUserSequences(const std::array<UserSequence, Site::kUserSequences>& s) {
    m_sites[static_cast<size_t>(m_site)].userSequences = s;
    save();
}

// The window works site `index` from now on. A send or a board run keeps the site; fields
// that differ from their file are left only when the user says so.
void SiteSwitch::switchTo(int index, bool askFirst) {
    if (index == m_site || index < 0 || index >= static_cast<int>(m_sites.size())) return;
    if ((busy && busy()) ||
        (askFirst && !m_fields.heldByItsFile() &&
         !m_ui.question(QStringLiteral("The configuration on the Direct Programming tab is not "
                                       "saved in a file. Switch to site %1 and leave it?")
                            .arg(m_sites[static_cast<size_t>(index)].name),
                        QStringLiteral("Site")))) {
        emit siteChanged();  // the chooser shows the site still worked
        return;
    }
    leaveCurrent();
    m_site = index;
    applySite(current());
    save();
    rememberSiteWorked(current().name);
}

// The site left keeps the fields, and lets go of its ports: the programming link signs off.
void SiteSwitch::leaveCurrent() {
    if (m_site == 0) m_classic = classicFromFields();
    m_sites[static_cast<size_t>(m_site)] = siteFromFields();
    if (ui.chkPrg->isChecked()) ui.chkPrg->setChecked(false);
    if (ui.chkPtt->isChecked()) ui.chkPtt->setChecked(false);
}

void SiteSwitch::applySite(const Site& s) {
    ui.Text2->setText(QString::number(s.settings.digitMs));
    ui.Text3->setText(QString::number(s.settings.gapMs));
    ui.Text4->setText(QString::number(s.settings.pauseMs));
    ui.txtTxd->setText(QString::number(s.settings.txDelayMs));
    ui.txtPrgComm->setText(s.programmingPort);
    ui.txtPttCom->setText(s.pttPort);
    m_radio.applyRadioInterface(s.radio, false);
    m_radio.setProblem(QString());
    if (s.configFile.isEmpty() || !m_fields.LoadConfigFile(s.configFile)) m_fields.clearFilePath();
    emit siteChanged();
    if (s.pttOn) ui.chkPtt->setChecked(true);
}

// A new site starts as a copy of the one worked now, under its own name; the user then sets its
// ports, radio and file in the window as usual.
void SiteSwitch::newSite() {
    if (busy && busy()) return;
    const QString name = m_ui.askText(QStringLiteral("Name of the new site:"),
                                      QStringLiteral("New site"), QString());
    if (name.isEmpty()) return;
    if (FindSite(m_sites, name)) {
        m_ui.messageBox(QStringLiteral("There is a site %1 already.").arg(name), kWarning,
                        MessageIcon::Exclamation);
        return;
    }
    leaveCurrent();
    Site site = m_sites[static_cast<size_t>(m_site)];
    site.name = name;
    site.pttOn = false;
    m_sites.push_back(site);
    m_site = static_cast<int>(m_sites.size()) - 1;
    save();
    rememberSiteWorked(name);
    emit siteChanged();
}

// The site goes from the list (its configuration file stays); the window goes back to Default.
void SiteSwitch::removeSite() {
    if (m_site == 0 || (busy && busy())) return;
    if (!m_ui.question(QStringLiteral("Remove the site %1? Its configuration file stays where it "
                                      "is.")
                           .arg(current().name),
                       QStringLiteral("Site")))
        return;
    const int removed = m_site;
    switchTo(0, false);
    if (m_site != 0) return;
    m_sites.erase(m_sites.begin() + removed);
    save();
    emit siteChanged();
}

Site SiteSwitch::siteFromFields() const {
    Site s = current();
    s.configFile = m_fields.filePath();
    s.programmingPort = ui.txtPrgComm->text();
    s.pttPort = ui.txtPttCom->text();
    s.pttOn = ui.chkPtt->isChecked();
    s.radio = m_radio.radio();
    auto number = [](const QLineEdit* f) { return TolerantNumber(f->text().toStdString()); };
    s.settings.digitMs = number(ui.Text2);
    s.settings.gapMs = number(ui.Text3);
    s.settings.pauseMs = number(ui.Text4);
    s.settings.txDelayMs = number(ui.txtTxd);
    s.userSequences = m_console.userSequences();
    return s;
}

// The classic settings as the fields hold them while Default is the site worked.
AppSettings SiteSwitch::classicFromFields() const {
    AppSettings s = m_classic;
    s.configFilePath = m_fields.filePath();
    s.digitMs = ui.Text2->text();
    s.gapMs = ui.Text3->text();
    s.pauseMs = ui.Text4->text();
    s.pttCom = ui.txtPttCom->text();
    s.prgComm = ui.txtPrgComm->text();
    s.txDelayMs = ui.txtTxd->text();
    return s;
}

// sites.json is written whole; one that could not be read at the start is never replaced, and a
// classic user, with nothing the classic files cannot hold, gets none.
void SiteSwitch::save() {
    if (!m_saveable) return;
    if (m_sites.size() == 1 && !QFileInfo::exists(SitesFilePath())) {
        Site plain = m_sites.front();
        plain.userSequences = {};
        plain.pttOn = false;
        plain.confirm = true;
        if (plain == m_sites.front()) return;
    }
    QString why;
    if (!SaveSites(SitesFilePath(), m_sites, &why))
        m_ui.notify(QStringLiteral("The sites could not be saved:\r\n") + why, kWarning,
                    MessageIcon::Exclamation);
}

}  // namespace calvento
