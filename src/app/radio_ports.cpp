// The window's serial ports and the radio they key. See radio_ports.h.
#include "app/radio_ports.h"

#include <QCheckBox>
#include <QLineEdit>

#include "app/board_runs.h"
#include "app/dialog.h"
#include "config/field_text.h"
#include "link/board_link.h"
#include "link/port_names.h"
#include "platform/program_folder.h"
#include "platform/serial_port.h"
#include "platform/user_interface.h"
#include "session/app_settings.h"
#include "session/doctor.h"
#include "tone/audio_output.h"
#include "tone/player.h"
#include "ui_frm_tone.h"

namespace calvento {

namespace {
const QString kWarning = QStringLiteral("Warning");
}  // namespace

RadioPorts::RadioPorts(Ui::frmTone& form, QWidget& window, SerialPort& programmingPort,
                       SerialPort& pttPort, Player& player, BoardRuns& runs, UiServices& dialogs,
                       Clock& clock)
    : QObject(&window),
      ui(form),
      m_window(window),
      MSComm1(programmingPort),
      m_pttPort(pttPort),
      m_serialPtt(pttPort),
      m_player(player),
      m_runs(runs),
      m_ui(dialogs),
      m_clock(clock) {
    connect(ui.chkPtt, &QCheckBox::toggled, this, &RadioPorts::chkPtt_Click);
    connect(ui.chkPrg, &QCheckBox::toggled, this, &RadioPorts::chkPrg_Click);
    connect(ui.cmdRadio, &QPushButton::clicked, this, &RadioPorts::cmdRadio_Click);
    m_runs.beforeProgram = [this] { yieldPortToProgramming(); };
}

RadioPorts::~RadioPorts() = default;

void RadioPorts::setProblem(const QString& why) {
    m_problem = why;
    emit readinessChanged();
}

// ---- push-to-talk (the send frame's PTT box) ----------------------------------------------------

void RadioPorts::chkPtt_Click() {
    m_problem.clear();
    if (!ui.chkPtt->isChecked()) {
        releasePushToTalk();
        ui.txtPttCom->setEnabled(true);
        emit readinessChanged();
        return;
    }
    if (!m_radio.usesSerialLine()) {
        // Hamlib keys the rig on a port of its own; programming goes on unless that is its port.
        if (ui.chkPrg->isChecked() && pttSharesProgrammingPort()) ui.chkPrg->setChecked(false);
        QString why;
        m_rigPtt = MakePushToTalk(m_radio, m_pttPort, &why);
        if (m_rigPtt && !m_rigPtt->prepare(&why)) m_rigPtt.reset();
        if (!m_rigPtt) {
            m_ui.messageBox(
                QStringLiteral("The transmitter cannot be keyed through Hamlib.\r\n") + why,
                kWarning, MessageIcon::Exclamation);
            ui.chkPtt->setChecked(false);
            m_problem = why;
        }
        emit readinessChanged();
        return;
    }
    if (takeSharedPort(ui.chkPtt, ui.txtPttCom)) {
        // The line goes to its idle state now, and a port without it says so at once, not after
        // a whole sequence went out unkeyed.
        QString why;
        if (!m_serialPtt.prepare(&why)) {
            m_problem = why;
            m_ui.messageBox(why, kWarning, MessageIcon::Exclamation);
        }
    }
    emit readinessChanged();
}

PushToTalk* RadioPorts::pushToTalk() {
    if (!ui.chkPtt->isChecked()) return nullptr;
    if (m_radio.usesSerialLine()) return &m_serialPtt;
    return m_rigPtt.get();
}

// Push-to-talk lets go of the transmitter and of its port: the line goes down for sure before
// the port closes, whatever the device does at a close. A Hamlib rig holds no port of ours (the
// programming port may be open beside it).
void RadioPorts::releasePushToTalk() {
    if (m_rigPtt) {
        m_rigPtt->setKeyed(false, nullptr);
        m_rigPtt.reset();
    }
    if (m_radio.usesSerialLine() && m_pttPort.isOpen()) {
        m_serialPtt.setKeyed(false, nullptr);
        m_pttPort.close();
    }
}

// The board is told the link ends; a push-to-talk port drops RTS before it closes, since
// whether the line falls at the close depends on the device's hang-up setting.
void RadioPorts::releaseAll() {
    if (ui.chkPtt->isChecked()) releasePushToTalk();
    if (MSComm1.isOpen()) {
        if (ui.chkPrg->isChecked()) m_runs.link().signOff();
        MSComm1.close();
    }
}

// Whether push-to-talk and programming would use one serial port (then only one of them may be
// on): always with a single port; else the same number or device, or a Hamlib rig on the
// programming device.
bool RadioPorts::pttSharesProgrammingPort() const {
    auto device = [](const QLineEdit* field) {
        const int n = LeadingPortNumber(field->text());
        return IsPortNumber(n) ? DeviceForPortNumber(n) : QStringLiteral("COM%1").arg(n);
    };
    return PttSharesProgrammingPort(m_radio, &m_pttPort != &MSComm1, device(ui.txtPttCom),
                                    device(ui.txtPrgComm));
}

void RadioPorts::yieldPortToProgramming() {
    if (pttSharesProgrammingPort())
        switchPushToTalkOff(QStringLiteral("programming uses COM%1.")
                                .arg(LeadingPortNumber(ui.txtPrgComm->text())));
}

void RadioPorts::switchPushToTalkOff(const QString& why) {
    if (!ui.chkPtt->isChecked()) return;
    ui.chkPtt->setChecked(false);
    SetStatusText(ui.lblInfoSend, QStringLiteral("PTT switched off:\r\n") + why,
                  QStringLiteral("Send status"));
}

// ---- the programming link (the Programming frame's Enable box) ----------------------------------

void RadioPorts::chkPrg_Click() {
    if (!ui.chkPrg->isChecked()) {
        if (MSComm1.isOpen()) {
            m_runs.link().signOff();
            MSComm1.close();
        }
        ui.txtPrgComm->setEnabled(true);
        ui.cmdRead->setEnabled(false);
        ui.cmdSend->setEnabled(false);
        return;
    }
    if (!takeSharedPort(ui.chkPrg, ui.txtPrgComm)) return;
    ui.cmdRead->setEnabled(true);
    ui.cmdSend->setEnabled(true);
    m_runs.link().signOn();
}

// Ticking either box: when both would use one port, the other box lets go of it first; then the
// box's port opens on the number in its field, which stays locked while the port is held. A
// number out of range is told and the box stays ticked with the port closed, as the classic
// program left it; a port that does not open is told by OpenPort and the box goes back.
bool RadioPorts::takeSharedPort(QCheckBox* box, QLineEdit* numberField) {
    const bool ptt = box == ui.chkPtt;
    if (!ptt)
        yieldPortToProgramming();
    else if (pttSharesProgrammingPort())
        ui.chkPrg->setChecked(false);
    if (!IsPortNumber(TolerantNumber(numberField->text().toStdString()))) {
        m_ui.messageBox(InvalidPortNumberText(), kWarning, MessageIcon::None);
        if (ptt) m_problem = InvalidPortNumberText();
        return false;
    }
    SerialPort& port = ptt ? m_pttPort : MSComm1;
    const QString why = OpenPort(port, numberField->text());
    if (!port.isOpen()) {
        if (ptt) m_problem = why;
        box->setChecked(false);
        return false;
    }
    numberField->setEnabled(false);
    return true;
}

QString RadioPorts::OpenPort(SerialPort& port, const QString& fieldText) {
    QString device, reason;
    if (openNumberedPort(port, fieldText, &device, &reason)) return QString();
    const QString failure = PortOpenFailure(fieldText, device, reason);
    m_ui.messageBox(failure, kWarning, MessageIcon::Information);
    return failure;
}

// Opens `port` on the port whose number leads `fieldText`; false with the device (empty for a
// number out of range) and the system's reason.
bool RadioPorts::openNumberedPort(SerialPort& port, const QString& fieldText, QString* device,
                                  QString* reason) {
    return OpenNumberedPort(port, LeadingPortNumber(fieldText), device, reason);
}

// ---- the radio interface dialog -----------------------------------------------------------------

void RadioPorts::cmdRadio_Click() {
    if (m_player.isPlaying() || m_runs.underWay() || m_dialog ||
        (mayOpenDialog && !mayOpenDialog()))
        return;
    // A test of a serial line opens the PTT port for the test alone, unless programming holds it.
    auto openTestPort = [this](QString* why) {
        if (ui.chkPrg->isChecked() && pttSharesProgrammingPort()) {
            *why = QStringLiteral(
                "the port serves programming now; untick Enable under "
                "Programming first.");
            return false;
        }
        QString device, reason;
        if (openNumberedPort(m_pttPort, ui.txtPttCom->text(), &device, &reason)) return true;
        *why = device.isEmpty() ? InvalidPortNumberText() : device + QStringLiteral(": ") + reason;
        return false;
    };
    auto* dialog =
        new RadioInterfaceDialog(m_radio, m_player.audio(), m_pttPort, m_clock, openTestPort,
                                 &m_window, LeadingPortNumber(ui.txtPttCom->text()));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setInput(borrowInput ? borrowInput() : nullptr);
    connect(dialog, &QDialog::finished, this, [this] {
        if (returnInput) returnInput();
    });
    dialog->checkSetUp = [this] {
        m_ui.messageBox(DoctorReport(RunDoctor(ThisSystem())), QStringLiteral("Check set-up"),
                        MessageIcon::Information);
    };
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        // An adapter chosen from a list: its port number stands for it from now on.
        for (const bool ptt : {true, false}) {
            const int number = LeadingPortNumber((ptt ? ui.txtPttCom : ui.txtPrgComm)->text());
            const std::optional<SerialPortInfo> port = dialog->chosenPort(ptt);
            QString why;
            if (port && IsPortNumber(number) &&
                !RememberPort(number, *port, dialog->listedPorts(), &why))
                m_ui.messageBox(QStringLiteral("The port could not be remembered:\r\n") + why,
                                kWarning, MessageIcon::Exclamation);
        }
        applyRadioInterface(dialog->choice(), true);
    });
    m_dialog = dialog;
    dialog->open();
}

void RadioPorts::applyRadioInterface(const RadioInterface& choice, bool remember) {
    // A new push-to-talk method takes over from a clean start: the old one lets go first.
    const bool sameKeying = choice.ptt == m_radio.ptt && choice.rigModel == m_radio.rigModel &&
                            choice.rigPort == m_radio.rigPort && choice.pttType == m_radio.pttType;
    if (!sameKeying) switchPushToTalkOff(QStringLiteral("the radio interface changed."));
    m_radio = choice;
    if (remember) emit radioRemembered(choice);
    m_player.audio().chooseDevice(choice.deviceId.toStdString());
    m_serialPtt.setLine(choice.line(), choice.inverted());
    emit readinessChanged();
}

QString RadioPorts::description() const {
    QString ptt;
    if (!m_radio.usesSerialLine()) {
        ptt = QStringLiteral("Hamlib rig %1 on %2").arg(m_radio.rigModel).arg(m_radio.rigPort);
    } else {
        const int n = LeadingPortNumber(ui.txtPttCom->text());
        ptt = QStringLiteral("%1%2 of PTT Comm %3")
                  .arg(ModemLineName(m_radio.line()),
                       m_radio.inverted() ? QStringLiteral(" (inverted)") : QString(),
                       ui.txtPttCom->text());
        if (IsPortNumber(n)) ptt += QStringLiteral(" (%1)").arg(DeviceForPortNumber(n));
    }
    const QString sound = m_radio.deviceDescription.isEmpty() ? QStringLiteral("default device")
                                                              : m_radio.deviceDescription;
    const QString receiver =
        m_radio.listenSeconds <= 0
            ? QStringLiteral("not listened for")
            : QStringLiteral("%1 s on %2")
                  .arg(m_radio.listenSeconds)
                  .arg(m_radio.inputDeviceDescription.isEmpty() ? QStringLiteral("default input")
                                                                : m_radio.inputDeviceDescription);
    return QStringLiteral("PTT: %1, %2\nSound: %3 / Reply: %4")
        .arg(ptt,
             ui.chkPtt->isChecked() ? QStringLiteral("on") : QStringLiteral("off (sends unkeyed)"),
             sound, receiver);
}

}  // namespace calvento
