// The window's two serial ports and the radio they key: the send frame's PTT box, the
// Programming frame's Enable box, and the Radio interface dialog (Ctrl+I, the "Radio" button).
//
// Push-to-talk keys the transmitter on a line of its port (SerialLinePushToTalk) or through a
// Hamlib rig, as the radio choice says (session/radio_choice.h); the programming link holds
// MSComm1. One serial port may serve only one of them: ticking one box makes the other let go
// when both would use the same port (session/radio_choice.h decides when). A port opens on the
// number typed in its field, mapped to a device by link/port_names.h; a port that does not open
// is told with the system's reason. This class also says how ready the radio is to key, for the
// console.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "app/radio_interface.h"
#include "session/radio_choice.h"
#include "tone/push_to_talk.h"

namespace Ui {
class frmTone;
}

class QCheckBox;
class QLineEdit;
class QWidget;

namespace calvento {

class BoardRuns;
class Clock;
class Player;
class UiServices;
class AudioInput;

class RadioPorts : public QObject {
    Q_OBJECT

public:
    RadioPorts(Ui::frmTone& ui, QWidget& window, SerialPort& programmingPort, SerialPort& pttPort,
               Player& player, BoardRuns& runs, UiServices& dialogs, Clock& clock);
    ~RadioPorts() override;

    const RadioInterface& radio() const { return m_radio; }
    // The push-to-talk method that keys now (null when PTT is off or cannot key).
    PushToTalk* pushToTalk();
    // Takes the choice into use; `remember` tells radioRemembered to keep it.
    void applyRadioInterface(const RadioInterface& choice, bool remember);
    // Push-to-talk and programming let go of the transmitter and the ports (the window closes).
    void releaseAll();
    // Push-to-talk lets go when programming needs its port.
    void yieldPortToProgramming();
    // The radio dialog while it is open.
    RadioInterfaceDialog* dialog() const { return m_dialog.data(); }
    // Why push-to-talk could not key last (empty: it could), and noting a new reason.
    QString problem() const { return m_problem; }
    void setProblem(const QString& why);
    // How push-to-talk keys, on which port or rig, and the sound device, for the console.
    QString description() const;

    // Whether the dialog may open now (no send, no run).
    std::function<bool()> mayOpenDialog;
    // The sound input for the dialog's receiver rows while it is open (null: none), and its
    // return when the dialog closes.
    std::function<AudioInput*()> borrowInput;
    std::function<void()> returnInput;

signals:
    // The user chose a radio interface in the dialog: keep it.
    void radioRemembered(const RadioInterface& choice);
    // The push-to-talk box changed, or why it could not key.
    void readinessChanged();

private:
    void chkPtt_Click();
    void chkPrg_Click();
    void cmdRadio_Click();
    void releasePushToTalk();
    bool pttSharesProgrammingPort() const;
    // Clears the push-to-talk box for the program's own reasons, and the send status says why.
    void switchPushToTalkOff(const QString& why);
    bool takeSharedPort(QCheckBox* box, QLineEdit* numberField);
    // Opens `port` on the number in `fieldText`; on failure tells the user and answers why.
    QString OpenPort(SerialPort& port, const QString& fieldText);
    bool openNumberedPort(SerialPort& port, const QString& fieldText, QString* device,
                          QString* reason);

    Ui::frmTone& ui;
    QWidget& m_window;
    SerialPort& MSComm1;
    SerialPort& m_pttPort;                 // push-to-talk's port: its own, or MSComm1
    SerialLinePushToTalk m_serialPtt;      // push-to-talk on a line of m_pttPort
    std::unique_ptr<PushToTalk> m_rigPtt;  // through Hamlib, while chkPtt holds it
    Player& m_player;
    BoardRuns& m_runs;
    UiServices& m_ui;
    Clock& m_clock;
    RadioInterface m_radio;
    QString m_problem;
    QPointer<RadioInterfaceDialog> m_dialog;
};

}  // namespace calvento
