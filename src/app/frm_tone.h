// frmTone, the main window: a map of the screen and the handlers of its controls.
//
// The window has two tabs. "Direct Programming" holds the board's configuration (eighteen
// command fields on an inner tab control, the fixed parameters, the power-on settings) with the
// Load/Save and programming frames; "Remote Modify / Send" holds the replace calculator and the
// send frame. The layout lives in frm_tone.ui (positions from the classic twips layout); this
// class holds behaviour only, with each handler next to the controls it serves.
//
// How the pieces meet:
//  - Player (tone/player.h) is the tone module: the window fills its tone table at load, the send
//    command sets its timing and plays through SendKeyed (tone/keyed_send.h), which keys and
//    releases push-to-talk around the sequence; the close guard reads isPlaying.
//  - SerialPort (link/serial_port.h) is MSComm1, the programming port, and push-to-talk's own
//    port when the program has one. Push-to-talk and the board link use one port only when they
//    name the same one (or the program has a single port): then it belongs to one of them, never
//    both. OpenPort opens a port on the number typed in a field, mapped to a device by
//    link/port_names.h.
//  - BoardLink (link/board_link.h) runs the read and program exchanges over that port; the window
//    locks its controls for a run and shows the progress in Dialog, the status window. PROGRAM
//    runs the program job (session/program_job.h): the board's image into a backup, the fields
//    that will change shown, the write and its verification; SerialTrace (link/serial_trace.h)
//    records the bytes of a run when the Programming frame's menu says so.
//  - DecoderConfig (config/decoder_config.h) is the configuration tab as a plain record: the
//    window reads and writes its fields through it, EncodeConfig/DecodeConfig turn it into and
//    out of the board's image, config/config_file.h stores it in .prg files, and the replace
//    calculator (remote/replace_calculator.h) takes its Modifier ID and Checksum ID.
//  - AppSettings (app/app_settings.h) are read at load into the window's fields and written back
//    from them at the close; the window itself is the only place they live while it runs.
//  - FrmIstruzioni shows the manual on F1.
//  - RadioInterfaceDialog (app/radio_interface.h) chooses the sound device and the push-to-talk
//    method (a line of MSComm1, or Hamlib); the choice lives in the options file.
//  - The key filters of the fields are the pure functions of config/field_text.h; the window feeds
//    them the code of each typed character.
//  - UiServices and Clock (platform/) are the seams for message boxes and for waiting; tests hand
//  the
//    window fakes of them, of the port and of the audio device, so no real dialog blocks, no
//    sound plays and no port opens.
#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/radio_interface.h"
#include "config/decoder_config.h"
#include "link/board_link.h"
#include "session/program_job.h"
#include "session/send_job.h"
#include "tone/keyed_send.h"

namespace Ui {
class frmTone;
}

class QAction;
class QCheckBox;
class QKeyEvent;
class QLineEdit;
class QTimer;

namespace calvento {

class Clock;
class Dialog;
class FrmIstruzioni;
class Player;
class SerialPort;
class SerialTrace;
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

    QString configFilePath() const { return m_configFilePath; }
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
    // The image the last EncodeConfig built, which PROGRAM writes.
    const DecoderImage& transmitImage() const { return m_transmitImage; }

    // The status window of the board exchanges, created on first use.
    Dialog& statusWindow();
    bool hasStatusWindow() const { return m_dialog != nullptr; }

    // The instructions window while it exists (F1 creates it).
    FrmIstruzioni* instructionsWindow() const;

    // The radio interface dialog while it is open (Ctrl+I or the "Radio" button opens it).
    RadioInterfaceDialog* radioInterfaceDialog() const { return m_radioDialog.data(); }

    // Loads a configuration file into the window; tells the user itself when it cannot.
    void LoadConfigFile(const QString& path);

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

    // --- key filters, counters and select-on-click of the entry fields --------------------------
    class EditFilter;
    void connectEntryFields();
    bool filterKey(QLineEdit* field, QKeyEvent* event);
    void chkOutput_Click(int index);

    // --- "Send Sequence" frame -----------------------------------------------------------------
    void cmdTone_Click();
    void setSendStatus(const QString& text);  // lblInfoSend, read out by screen readers too
    void logSend(const SendReport& report, PushToTalk* ptt);
    void chkPtt_Click();
    PushToTalk* pushToTalk();  // the method chosen in the radio interface dialog
    void releasePushToTalk();
    // Whether push-to-talk and programming would use one serial port (then only one of them may
    // be on): always with a single port; else the same number or device, or a Hamlib rig on the
    // programming device.
    bool pttSharesProgrammingPort() const;
    // Clears the push-to-talk box for the program's own reasons, and the send status says why.
    void switchPushToTalkOff(const QString& why);
    // Push-to-talk lets go when programming needs its port.
    void yieldPortToProgramming();

    // --- the radio interface dialog (Ctrl+I, the "Radio" button) ---------------------------
    void cmdRadio_Click();
    // Takes the choice into use; `remember` writes it to the options file.
    void applyRadioInterface(const RadioInterface& choice, bool remember);
    void Timer1_Timer();

    // --- "Programming" frame and the shared port -----------------------------------------------
    void chkPrg_Click();
    bool takeSharedPort(QCheckBox* box, QLineEdit* numberField);
    void OpenPort(SerialPort& port, const QString& fieldText);
    bool openNumberedPort(SerialPort& port, const QString& fieldText, QString* device,
                          QString* reason);

    // --- read and program runs with the board (the exchange itself is BoardLink) ----------------
    class StatusView;
    void cmdRead_Click();
    void cmdSend_Click();
    ProgramHooks programQuestions();
    void lockForRun(bool locked);
    void endRunWithPortFailure(const QString& title, const QString& boardState = QString());
    // The Programming frame's context menu (and its shortcuts): the last backup into the fields,
    // and the serial trace of every run switched on or off.
    void setUpProgrammingMenu();
    void restoreLastBackup();
    void startTrace();
    void stopTrace();

    // --- "Configuration" frame and the configuration fields ------------------------------------
    QWidget* fieldWidget(ConfigField field) const;
    QString fieldText(ConfigField field) const;
    void setFieldText(ConfigField field, const QString& value);
    void cmdSave_Click();
    void cmdLoad_Click();
    void showFileInCaption(const QString& path);

    // --- sequence fields and the replace calculator ---------------------------------------------
    void txtSeqCmd_Change();
    void txtCrcTag_Change(bool typed);
    void txtSeqOri_Change();
    void txtSeqNew_Change();
    void txtMem_DblClick(int index);
    void cmdSeqCalc_Click();
    QLineEdit* txtMem(int index) const;

    Player& m_player;
    SerialPort& MSComm1;
    SerialPort& m_pttPort;                 // push-to-talk's port: its own, or MSComm1
    SerialLinePushToTalk m_serialPtt;      // push-to-talk on a line of m_pttPort
    std::unique_ptr<PushToTalk> m_rigPtt;  // through Hamlib, while chkPtt holds it
    RadioInterface m_radio;
    UiServices& m_ui;
    Clock& m_clock;
    QString m_configFilePath;
    QTimer* m_timer1 = nullptr;
    QHash<QObject*, std::function<void(int&)>> m_keyFilters;  // field -> its key filter
    QList<QObject*> m_selectOnClick;
    std::unique_ptr<StatusView> m_statusView;
    BoardLink* m_link = nullptr;
    DecoderImage m_transmitImage{};
    bool m_closePending = false;
    bool m_endingFromOutside = false;  // a signal or the session's end: no box may wait
    bool m_runUnderWay = false;        // from the button to the end, backup and questions included
    QHash<QWidget*, bool> m_enabledBeforeRun;
    QAction* m_restoreBackup = nullptr;
    QAction* m_traceRuns = nullptr;
    std::unique_ptr<SerialTrace> m_trace;
    Dialog* m_dialog = nullptr;
    QPointer<FrmIstruzioni> m_instructions;
    QPointer<RadioInterfaceDialog> m_radioDialog;
};

// Maps the classic font families the layout asks for to the metric-compatible faces a Linux
// desktop has (Liberation), so that captions fit their boxes as they were designed to.
void InstallClassicFontSubstitutes();

// The caption of the window before a configuration file is loaded: "Calvento v3.1 by Kolbex".
QString ProgramCaption();

}  // namespace calvento
