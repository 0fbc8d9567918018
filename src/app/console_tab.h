// The "Console" tab: the operator's console for the site the window works now.
//
// From the top: the site chooser (with New and Remove); the site's radio interface and whether
// it is ready to key; push-to-talk on or off, whether a send asks first, and Stop; then three
// pages: one button per non-empty stored command of the site's configuration, labelled as the
// Programming tab labels it; the eleven named user sequences of F2 to F12, edited in place; the
// site's send log, newest first, with what was heard back and "Send again"; what the receiver
// heard (DTMF keys and Morse words, with their time), while listening after a command or all the
// time when "Monitor the receiver" is ticked. The last line tells how the last send ended.
//
// The tab is a view: it says what the user asked for through its signals, and the main window
// (frm_tone.h) runs the send job, switches sites and tells it what to show. The F-keys act only
// while the tab is shown, Escape only while a send of the console is under way, and while one
// is, every other way to send is shut, so that nothing is ever queued for the transmitter.
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "config/decoder_config.h"
#include "session/sites.h"
#include "tone/dtmf_decoder.h"

namespace Ui {
class ConsoleTab;
}

class QPushButton;
class QShortcut;

namespace calvento {

class EntryFields;

class ConsoleTab : public QWidget {
    Q_OBJECT

public:
    explicit ConsoleTab(QWidget* parent = nullptr);
    ~ConsoleTab() override;

    // --- what it shows -----------------------------------------------------------------------
    void showSites(const QStringList& names, int current);
    void showCommands(const DecoderConfig& config);
    void showUserSequences(const std::array<UserSequence, Site::kUserSequences>& sequences);
    std::array<UserSequence, Site::kUserSequences> userSequences() const;
    // The site's radio interface, and "not ready" with the reason when it cannot key.
    void showRadio(const QString& text, bool ready);
    void showPtt(bool on);
    void showConfirm(bool on);
    // The site's sends as the log keeps them (its columns), oldest first.
    void showLog(const std::vector<QStringList>& records);
    void showStatus(const QString& text);
    // One item the receiver heard, at local time `when`.
    void showHeard(const QString& when, const DecodedItem& item);
    void showMonitor(bool on);
    // A send of the console is under way: Stop and Escape act, nothing else sends.
    void setSending(bool sending);
    // A board run holds the port: the site may not change.
    void setSiteLocked(bool locked);

signals:
    void sendRequested(const QString& commandName, const QString& sequence);
    void stopRequested();
    void siteChosen(int index);
    void newSiteRequested();
    void removeSiteRequested();
    void pttToggled(bool on);
    void confirmToggled(bool on);
    void userSequencesEdited();
    void monitorToggled(bool on);

private:
    // --- the site row ------------------------------------------------------------------------
    void cmbSite_Click(int index);
    // --- the command buttons -----------------------------------------------------------------
    QPushButton* cmdCommand(int index) const;
    void cmdCommand_Click(int index);
    // --- F2 to F12 -----------------------------------------------------------------------------
    void connectUserSequences();
    void cmdUser_Click(int index);
    // --- the log -------------------------------------------------------------------------------
    void cmdSendAgain_Click();

    std::unique_ptr<Ui::ConsoleTab> m_form;
    Ui::ConsoleTab& ui;
    EntryFields* m_fields = nullptr;
    std::array<QString, kCommandCount> m_commands;
    std::vector<QStringList> m_logShown;  // the log's lines as the table shows them
    QShortcut* m_escape = nullptr;
    bool m_sending = false;
    bool m_siteLocked = false;
};

}  // namespace calvento
