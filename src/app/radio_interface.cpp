// The radio interface dialog and its settings. See radio_interface.h.
#include "app/radio_interface.h"

#include "ui_radio_interface.h"

#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "link/port_names.h"
#include "platform/clock.h"
#include "session/receiver_monitor.h"
#include "tone/audio_input.h"
#include "tone/audio_output.h"

namespace calvento {

namespace {

// The system's default first, then every device by its description; a remembered device that
// has gone stays in the list, marked, so that the user sees what was chosen.
void fillDeviceList(QComboBox* list, const std::vector<AudioDeviceInfo>& devices,
                    const QString& chosenId, const QString& chosenDescription) {
    list->clear();
    list->addItem(QStringLiteral("System default"), QString());
    bool found = chosenId.isEmpty();
    for (const AudioDeviceInfo& d : devices) {
        const QString id = QString::fromStdString(d.id);
        list->addItem(QString::fromStdString(d.description), id);
        found = found || id == chosenId;
    }
    if (!found) list->addItem(chosenDescription + QStringLiteral(" (not connected)"), chosenId);
    list->setCurrentIndex(std::max(0, list->findData(chosenId)));
}

}  // namespace

RadioInterfaceDialog::~RadioInterfaceDialog() = default;

RadioInterfaceDialog::RadioInterfaceDialog(const RadioInterface& choice, AudioOutput& audio,
                                           SerialPort& port, Clock& clock,
                                           std::function<bool(QString*)> openTestPort,
                                           QWidget* parent, int pttNumber, int programmingNumber)
    : QDialog(parent),
      m_form(std::make_unique<Ui::RadioInterface>()),
      ui(*m_form),
      m_audio(audio),
      m_port(port),
      m_clock(clock),
      m_openTestPort(std::move(openTestPort)),
      m_initial(choice),
      m_pttNumber(pttNumber),
      m_programmingNumber(programmingNumber) {
    ui.setupUi(this);
    setObjectName(QStringLiteral("RadioInterface"));

    fillDeviceList(ui.cmbDevice, audio.outputDevices(), choice.deviceId, choice.deviceDescription);

    ui.cmbPtt->setCurrentIndex(static_cast<int>(choice.ptt));
    if (!HamlibAvailable())
        ui.cmbPtt->setItemText(static_cast<int>(RadioInterface::Ptt::Hamlib),
                               QStringLiteral("Hamlib (not in this build)"));
    ui.txtRigModel->setText(QString::number(choice.rigModel));
    ui.txtRigPort->setText(choice.rigPort);
    ui.cmbPttType->setCurrentIndex(std::max(0, ui.cmbPttType->findText(choice.pttType)));
    showMethodFields();
    ui.spnListen->setValue(choice.listenSeconds);
    ui.spnRetries->setValue(choice.replyRetries);
    setInput(nullptr);

    connect(ui.cmbPtt, &QComboBox::currentIndexChanged, this, [this] { showMethodFields(); });
    connect(ui.cmdTest, &QPushButton::clicked, this, [this] { cmdTest_Click(); });
    connect(ui.cmdCheck, &QPushButton::clicked, this, [this] {
        if (checkSetUp) checkSetUp();
    });

    // The port list follows adapters plugged in and out while the dialog is open.
    refreshPorts();
    auto* poll = new QTimer(this);
    poll->setObjectName(QStringLiteral("tmrPorts"));
    poll->setInterval(1000);
    connect(poll, &QTimer::timeout, this, &RadioInterfaceDialog::refreshPorts);
    poll->start();
    connect(ui.buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui.buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void RadioInterfaceDialog::showMethodFields() {
    const bool hamlib = ui.cmbPtt->currentIndex() == static_cast<int>(RadioInterface::Ptt::Hamlib);
    for (QWidget* w : {static_cast<QWidget*>(ui.txtRigModel), static_cast<QWidget*>(ui.txtRigPort),
                       static_cast<QWidget*>(ui.cmbPttType)})
        w->setEnabled(hamlib);
    ui.buttons->button(QDialogButtonBox::Ok)->setEnabled(!hamlib || HamlibAvailable());
}

RadioInterface RadioInterfaceDialog::choice() const {
    RadioInterface r = m_initial;
    r.deviceId = ui.cmbDevice->currentData().toString();
    r.deviceDescription = r.deviceId.isEmpty() ? QString() : ui.cmbDevice->currentText();
    if (r.deviceId == m_initial.deviceId) r.deviceDescription = m_initial.deviceDescription;
    for (const AudioDeviceInfo& d : m_audio.outputDevices())
        if (QString::fromStdString(d.id) == r.deviceId)
            r.deviceDescription = QString::fromStdString(d.description);
    r.ptt = static_cast<RadioInterface::Ptt>(ui.cmbPtt->currentIndex());
    bool ok = false;
    const int model = ui.txtRigModel->text().trimmed().toInt(&ok);
    if (ok) r.rigModel = model;
    r.rigPort = ui.txtRigPort->text().trimmed();
    r.pttType = QString::fromLatin1(kHamlibPttTypes[std::max(0, ui.cmbPttType->currentIndex())]);
    r.inputDeviceId = ui.cmbInput->currentData().toString();
    r.inputDeviceDescription = m_initial.inputDeviceDescription;
    if (r.inputDeviceId.isEmpty()) r.inputDeviceDescription.clear();
    for (const AudioDeviceInfo& d : m_inputs)
        if (QString::fromStdString(d.id) == r.inputDeviceId)
            r.inputDeviceDescription = QString::fromStdString(d.description);
    r.listenSeconds = ui.spnListen->value();
    r.replyRetries = ui.spnRetries->value();
    return r;
}

// --- the receiver rows -------------------------------------------------------------------------

void RadioInterfaceDialog::setInput(AudioInput* input) {
    m_input = input;
    m_inputs = input ? input->inputDevices() : std::vector<AudioDeviceInfo>{};
    {
        const QSignalBlocker quiet(ui.cmbInput);
        fillDeviceList(ui.cmbInput, m_inputs, m_initial.inputDeviceId,
                       m_initial.inputDeviceDescription);
    }
    if (!m_meter) {
        m_meter = new ReceiverMonitor(this);
        connect(m_meter, &ReceiverMonitor::level, this, [this](double db) {
            ui.prgLevel->setValue(static_cast<int>(std::max(-60.0, db)));
        });
        connect(m_meter, &ReceiverMonitor::failed, this, [this](const QString& reason) {
            ui.prgLevel->setValue(ui.prgLevel->minimum());
            ui.prgLevel->setToolTip(QStringLiteral("No level: ") + reason);
        });
        connect(ui.cmbInput, &QComboBox::currentIndexChanged, this, [this] { watchInput(); });
    }
    watchInput();
}

// The input is the program's one: the meter lets go of it as the dialog closes.
void RadioInterfaceDialog::done(int result) {
    if (m_meter) m_meter->stop();
    QDialog::done(result);
}

// The meter follows the device chosen in the list.
void RadioInterfaceDialog::watchInput() {
    m_meter->stop();
    ui.prgLevel->setValue(ui.prgLevel->minimum());
    const bool usable = m_input && !m_inputs.empty();
    ui.prgLevel->setEnabled(usable);
    if (!usable) return;
    QString why;
    if (!m_meter->start(*m_input, ui.cmbInput->currentData().toString(), false, &why))
        ui.prgLevel->setToolTip(QStringLiteral("No level: ") + why);
}

void RadioInterfaceDialog::refreshPorts() {
    std::vector<SerialPortInfo> ports = PresentPorts();
    if (ports == m_ports && ui.cmbPttPort->count() > 0) return;
    m_ports = std::move(ports);
    fillPortList(ui.cmbPttPort, m_pttNumber);
    fillPortList(ui.cmbPrgPort, m_programmingNumber);
}

// The first entry keeps what the number names now (with the adapter it expects when that is
// not plugged in); then each adapter by its name and description. The choice stays.
void RadioInterfaceDialog::fillPortList(QComboBox* list, int n) {
    const QString chosen = list->currentData().toString();
    const QSignalBlocker quiet(list);
    list->clear();
    QString now = IsPortNumber(n)
                      ? QStringLiteral("COM%1 as it is: %2").arg(n).arg(DeviceForPortNumber(n))
                      : InvalidPortNumberText();
    const PortIdentity expected = RememberedAdapter(n);
    if (expected != PortIdentity{} && !FindAdapter(expected, m_ports))
        now = QStringLiteral("COM%1: %2 - not plugged in")
                  .arg(n)
                  .arg(QString::fromStdString(AdapterText(expected)));
    list->addItem(now, QString());
    for (const SerialPortInfo& p : m_ports) {
        const QString name = QString::fromStdString(p.name);
        QString text = name;
        if (!p.description.empty() && p.description.find(p.name) == std::string::npos)
            text += QStringLiteral(" - ") + QString::fromStdString(p.description);
        else if (!p.description.empty())
            text = QString::fromStdString(p.description);
        if (!p.serialNumber.empty())
            text += QStringLiteral(" (%1)").arg(QString::fromStdString(p.serialNumber));
        list->addItem(text, name);
    }
    list->setCurrentIndex(std::max(0, list->findData(chosen)));
}

std::optional<SerialPortInfo> RadioInterfaceDialog::chosenPort(bool forPtt) const {
    const QString name = (forPtt ? ui.cmbPttPort : ui.cmbPrgPort)->currentData().toString();
    for (const SerialPortInfo& p : m_ports)
        if (!name.isEmpty() && QString::fromStdString(p.name) == name) return p;
    return std::nullopt;
}

QString RadioInterfaceDialog::cmdTest_Click() {
    const RadioInterface r = choice();
    QString why;
    QString result;
    const bool wasOpen = m_port.isOpen();
    if (r.usesSerialLine() && !wasOpen && !m_openTestPort(&why)) {
        result = QStringLiteral("Not keyed: ") + why;
    } else if (auto ptt = MakePushToTalk(r, m_port, &why); !ptt) {
        result = QStringLiteral("Not keyed: ") + why;
    } else if (!ptt->prepare(&why) || !ptt->setKeyed(true, &why)) {
        ptt->setKeyed(false, nullptr);
        result = QStringLiteral("Not keyed: ") + why;
    } else {
        bool keyed = false, released = true;
        QString readWhy;
        const bool read = ptt->readBack(&keyed, &readWhy);
        m_clock.sleepMs(1000);
        ptt->setKeyed(false, &why);
        const bool readAfter = read && ptt->readBack(&released, &readWhy);
        released = !released;
        if (!read)
            result = QStringLiteral(
                         "Keyed for one second and released through %1. Whether the "
                         "line really moved cannot be read back here (%2).")
                         .arg(ptt->name(), readWhy);
        else if (keyed && readAfter && released)
            result = QStringLiteral(
                         "It works: %1 read back keyed for one second, then "
                         "released.")
                         .arg(ptt->name());
        else
            result =
                QStringLiteral(
                    "It does not work: %1 read back %2 while keyed and %3 "
                    "after.")
                    .arg(ptt->name(), keyed ? QStringLiteral("keyed") : QStringLiteral("not keyed"),
                         released ? QStringLiteral("released") : QStringLiteral("still keyed"));
    }
    if (r.usesSerialLine() && !wasOpen) m_port.close();
    ui.lblTest->setText(result);
    ui.lblTest->setAccessibleName(result);
    return result;
}

}  // namespace calvento
