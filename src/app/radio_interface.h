// The "Radio interface" dialog: it edits the radio choice (session/radio_choice.h), the sound
// device the tones play on and the way push-to-talk keys the transmitter. A device that has gone
// is replaced by the system's default, and the send status says so. The dialog's "Test" button
// keys the chosen method for one second and says whether it worked, reading the line back where
// the method can, so that a radio can be set up without a sequence. "PTT port" lists the serial
// adapters by name (refreshed every second while the dialog is open, so that one plugged in or
// out shows at once); the one chosen is remembered for the PTT Comm number by what it is
// (link/port_names.h). "Check set-up" runs the set-up doctor (session/doctor.h). "Receiver
// input" chooses where the receiver's audio comes in, with a live level meter so that the
// receiver's volume can be set, and how long the board's reply is listened for.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "link/port_identity.h"
#include "tone/audio_output.h"

#include "session/radio_choice.h"

namespace Ui {
class RadioInterface;
}

class QComboBox;

namespace calvento {

class AudioInput;
class AudioOutput;
class Clock;
class ReceiverMonitor;

class RadioInterfaceDialog : public QDialog {
    Q_OBJECT

public:
    // `openTestPort` opens the PTT port for a test of a serial-line method and answers false
    // with the reason when it cannot; the dialog closes it again afterwards.
    // `pttNumber` and `programmingNumber` are the port numbers whose adapters the two port
    // lists choose.
    RadioInterfaceDialog(const RadioInterface& choice, AudioOutput& audio, SerialPort& port,
                         Clock& clock, std::function<bool(QString*)> openTestPort,
                         QWidget* parent = nullptr, int pttNumber = 1, int programmingNumber = 1);
    ~RadioInterfaceDialog() override;

    // What the dialog's fields say now.
    RadioInterface choice() const;

    // Keys the chosen method for one second and shows whether it worked; the text shown.
    QString cmdTest_Click();

    // The adapter chosen in the PTT or the programming port list (none: the number keeps what
    // it names), and the list they were chosen from.
    std::optional<SerialPortInfo> chosenPort(bool forPtt = true) const;
    const std::vector<SerialPortInfo>& listedPorts() const { return m_ports; }
    // Reads the list of ports again and shows it, the choice kept.
    void refreshPorts();

    // Lists the input devices of `input` and shows the chosen one's level while the dialog is
    // open (null: no input, the receiver rows stay empty).
    void setInput(AudioInput* input);
    void done(int result) override;

    // Runs when "Check set-up" is pressed (the window shows the doctor's report).
    std::function<void()> checkSetUp;

private:
    void showMethodFields();
    void fillPortList(QComboBox* list, int number);
    void watchInput();

    std::unique_ptr<Ui::RadioInterface> m_form;
    Ui::RadioInterface& ui;

    AudioOutput& m_audio;
    SerialPort& m_port;
    Clock& m_clock;
    std::function<bool(QString*)> m_openTestPort;
    RadioInterface m_initial;
    int m_pttNumber;
    int m_programmingNumber;
    std::vector<SerialPortInfo> m_ports;
    AudioInput* m_input = nullptr;
    std::vector<AudioDeviceInfo> m_inputs;
    ReceiverMonitor* m_meter = nullptr;
};

}  // namespace calvento
