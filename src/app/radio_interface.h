// The "Radio interface" dialog: it edits the radio choice (session/radio_choice.h), the sound
// device the tones play on and the way push-to-talk keys the transmitter. A device that has gone
// is replaced by the system's default, and the send status says so. The dialog's "Test" button
// keys the chosen method for one second and says whether it worked, reading the line back where
// the method can, so that a radio can be set up without a sequence.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "session/radio_choice.h"

namespace Ui {
class RadioInterface;
}

namespace calvento {

class AudioOutput;
class Clock;

class RadioInterfaceDialog : public QDialog {
    Q_OBJECT

public:
    // `openTestPort` opens the PTT port for a test of a serial-line method and answers false
    // with the reason when it cannot; the dialog closes it again afterwards.
    RadioInterfaceDialog(const RadioInterface& choice, AudioOutput& audio, SerialPort& port,
                         Clock& clock, std::function<bool(QString*)> openTestPort,
                         QWidget* parent = nullptr);
    ~RadioInterfaceDialog() override;

    // What the dialog's fields say now.
    RadioInterface choice() const;

    // Keys the chosen method for one second and shows whether it worked; the text shown.
    QString cmdTest_Click();

private:
    void showMethodFields();

    std::unique_ptr<Ui::RadioInterface> m_form;
    Ui::RadioInterface& ui;

    AudioOutput& m_audio;
    SerialPort& m_port;
    Clock& m_clock;
    std::function<bool(QString*)> m_openTestPort;
    RadioInterface m_initial;
};

}  // namespace calvento
