// frmTone, the main window: a map of the screen and the handlers of its controls.
//
// The window has three tabs. "Direct Programming" holds the board's configuration (eighteen
// command fields on an inner tab control, the fixed parameters, the power-on settings) with the
// Load/Save and programming frames; "Remote Modify / Send" holds the replace calculator and the
// send frame; "Console" is the operator's console for the site the window works now. The layout
// lives in frm_tone.ui and console_tab.ui (positions from the classic twips layout); this class
// holds behaviour only, with each handler next to the controls it serves, and hands whole
// control groups to their own classes:
//
//  - ConfigFields (app/config_fields.h): the configuration fields as one DecoderConfig record,
//    the "Configuration" frame's Load and Save, and the file shown in the caption.
//  - BoardRuns (app/board_runs.h): READ and PROGRAM over MSComm1 as the read and program jobs
//    of session/, their progress in Dialog (the status window), the Programming frame's menu.
//  - ReplaceFrame (app/replace_frame.h): the replace calculator, whose sequence goes to Text1.
//  - RadioPorts (app/radio_ports.h): the PTT and Enable boxes with the two serial ports, and
//    the Radio interface dialog; push-to-talk's method for a send.
//  - SiteSwitch (app/site_switch.h): the sites, one worked at a time in the classic fields;
//    Default is the classic settings (Calvento31.ini, session/app_settings.h).
//  - ConsoleTab (app/console_tab.h): the console's controls; it asks, this class runs the send.
//  - EntryFields (app/entry_fields.h): the key filters of config/field_text.h on every field.
//
// What this class keeps itself: the start and the close, and the send: a send of the send frame
// or of the console is the send job of session/send_job.h, played by Player, keyed by
// RadioPorts' push-to-talk and logged by session/send_log.h.
//
// UiServices and Clock (platform/) are the seams for message boxes and for waiting; tests hand
// the window fakes of them, of the ports and of the audio device, so no real dialog blocks, no
// sound plays and no port opens.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "config/decoder_config.h"
#include "session/listen_job.h"
#include "session/send_job.h"
#include "session/sites.h"

namespace Ui {
class frmTone;
}

class QTimer;

namespace calvento {

class BoardRuns;
class Clock;
class ConfigFields;
class ConsoleTab;
class Dialog;
class AudioInput;
class EntryFields;
class ReceiverMonitor;
class FrmIstruzioni;
class Player;
class RadioInterfaceDialog;
class RadioPorts;
class ReplaceFrame;
class SerialPort;
class SiteSwitch;
class UiServices;

class FrmTone : public QWidget {
    Q_OBJECT

public:
    // Creating the window runs its load handler (Form_Load) before it is first shown. `port` is
    // MSComm1, the programming port; `pttPort`, when given, is a port of push-to-talk's own, so
    // that push-to-talk on another port stays on while the board is programmed. Without it
    // push-to-talk shares MSComm1, as the classic program did.
    FrmTone(Player& player, SerialPort& port, UiServices& dialogs, Clock& clock,
            SerialPort* pttPort = nullptr, QWidget* parent = nullptr);
    ~FrmTone() override;

    QString configFilePath() const;
    QString settingsFilePath() const;
    QTimer* Timer1() const { return m_timer1; }

    // Refreshes the sequence counter label and the send button from Text1.
    void Text1_Click();

    // Once the window is shown: a system without a sound output device is told so, and Send
    // stays disabled.
    void checkSoundCard();

    // The board's configuration as the "Direct Programming" tab shows it, and setting the tab
    // from a record (in the order a board's image is decoded, each field's reactions running).
    DecoderConfig config() const;
    void setConfig(const DecoderConfig& config);
    // Builds the transmit image from the fields; false after telling the user what is wrong.
    bool EncodeConfig();
    // Fills the fields from an image read from the board.
    void DecodeConfig(const DecoderImage& image);
    // The image the last EncodeConfig built.
    const DecoderImage& transmitImage() const { return m_transmitImage; }
    // Loads a configuration file into the window; tells the user itself when it cannot.
    void LoadConfigFile(const QString& path);

    // The status window of the board exchanges, created on first use.
    Dialog& statusWindow();
    bool hasStatusWindow() const;
    // The instructions window while it exists (F1 creates it).
    FrmIstruzioni* instructionsWindow() const;
    // The radio interface dialog while it is open (Ctrl+I or the "Radio" button opens it).
    RadioInterfaceDialog* radioInterfaceDialog() const;

    // The sites as the window holds them now, and the one it works.
    const std::vector<Site>& sites() const;
    int currentSite() const;

    // The sound input the receiver's audio comes in on (null: none; the console then does not
    // listen for replies). Set once, before the window is used.
    void setAudioInput(AudioInput* input);

    // The program is asked to end from outside (a termination signal): the window closes as if
    // the user had closed it, once a board exchange or a sequence under way is over.
    void closeFromOutside();

signals:
    // The window has closed for good: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The generated controls, named as on the screen (txtMem_3, chkOutput_0, ...). The form is
    // the window's own: tests and other windows reach the controls by their names.
    std::unique_ptr<Ui::frmTone> m_form;
    Ui::frmTone& ui;

    // --- start-up and close --------------------------------------------------------------------
    void Form_Load();
    bool Form_QueryUnload();  // true when the close may go on
    void Form_Unload();
    void closeIfPending();
    void Form_KeyDown(int keyCode);
    void moveToSavedPosition(int leftTwips, int topTwips);
    void connectEntryFields();
    void txtMem_DblClick(int index);

    // --- "Send Sequence" frame -----------------------------------------------------------------
    void cmdTone_Click();
    // One send of `keys` with the durations of the fields, keyed when PTT is ticked, logged
    // with where it came from; the classic texts and boxes tell its outcome.
    // A console send (`listen`) then listens for the board's reply as the radio choice says,
    // and sends again while none was heard and retries are left.
    SendReport sendSequence(const QString& keys, const QString& commandName, const QString& source,
                            bool listen = false);
    void tellSendOutcome(const SendReport& report);
    void logSend(const SendReport& report, const QString& keys, const QString& commandName,
                 const QString& source, const ListenResult* reply = nullptr);
    void setSendStatus(const QString& text);  // lblInfoSend, read out by screen readers too
    void Timer1_Timer();

    // --- "Console" tab ---------------------------------------------------------------------------
    void connectConsole();
    void console_Send(const QString& commandName, const QString& sequence);
    void console_Stop();
    void refreshConsole();
    void showReadiness();
    void showSiteLog();
    // The console's monitor of the receiver, when it is wanted and the input is free.
    void startMonitor();
    void showHeard(const DecodedItem& item);

    Player& m_player;
    SerialPort& MSComm1;
    UiServices& m_ui;
    Clock& m_clock;
    QTimer* m_timer1 = nullptr;
    EntryFields* m_entryFields = nullptr;
    ConfigFields* m_fields = nullptr;
    ReplaceFrame* m_replace = nullptr;
    BoardRuns* m_runs = nullptr;
    RadioPorts* m_radio = nullptr;
    SiteSwitch* m_sites = nullptr;
    ConsoleTab* m_console = nullptr;
    DecoderImage m_transmitImage{};
    bool m_sending = false;  // from a send's start to its end, the transmitter delay included
    bool m_stopByUser = false;
    AudioInput* m_input = nullptr;
    ReceiverMonitor* m_monitor = nullptr;
    bool m_monitorWanted = false;
    std::optional<ListenResult> m_lastReply;  // what the last console send heard back
    QString m_replyProblem;                   // why it could not listen
    bool m_closePending = false;
    bool m_endingFromOutside = false;  // a signal or the session's end: no box may wait
    QPointer<FrmIstruzioni> m_instructions;
};

// Maps the classic font families the layout asks for to the metric-compatible faces a Linux
// desktop has (Liberation), so that captions fit their boxes as they were designed to.
void InstallClassicFontSubstitutes();

// The caption of the window before a configuration file is loaded: "Calvento v3.1 by Kolbex".
QString ProgramCaption();

}  // namespace calvento
