// The "Radio interface" dialog and what it remembers: the sound device the tones play on and the
// way push-to-talk keys the transmitter.
//
// The choice lives in the options file beside Calvento31.ini (that file keeps its eleven classic
// values). The device is remembered by its stable id and its description, never by its place in
// the list; a device that has gone is replaced by the system's default, and the send status says
// so. The classic choice, the default device and RTS of the PTT port, is what a new user gets.
// The dialog's "Test" button keys the chosen method for one second and says whether it worked,
// reading the line back where the method can, so that a radio can be set up without a sequence.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "tone/push_to_talk.h"

namespace Ui {
class RadioInterface;
}

namespace calvento {

class AudioOutput;
class Clock;

struct RadioInterface {
    enum class Ptt { Rts, Dtr, RtsInverted, DtrInverted, Hamlib };

    QString deviceId;  // empty: the system's default
    QString deviceDescription;
    Ptt ptt = Ptt::Rts;
    int rigModel = 2;                                    // Hamlib's rigctld client
    QString rigPort = QStringLiteral("127.0.0.1:4532");  // rigctld's own default
    QString pttType = QStringLiteral("rig");             // rig, dtr, rts, cm108

    bool usesSerialLine() const { return ptt != Ptt::Hamlib; }
    ModemLine line() const {
        return ptt == Ptt::Dtr || ptt == Ptt::DtrInverted ? ModemLine::Dtr : ModemLine::Rts;
    }
    bool inverted() const { return ptt == Ptt::RtsInverted || ptt == Ptt::DtrInverted; }
    bool operator==(const RadioInterface&) const = default;
};

RadioInterface LoadRadioInterface(const QString& optionsFile);
void SaveRadioInterface(const QString& optionsFile, const RadioInterface& choice);

// Whether this build can key through Hamlib.
bool HamlibAvailable();

// A push-to-talk method for the choice: a line of `port` (which the caller opens), or a Hamlib
// rig, opened here; null with the reason when it cannot be set up.
std::unique_ptr<PushToTalk> MakePushToTalk(const RadioInterface& choice, SerialPort& port,
                                           QString* error);

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
