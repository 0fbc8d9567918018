// Start-up (Main): the application object, the real seams, the tone module and the main window.
#include <QApplication>
#include <QDir>

#include "app/frm_tone.h"
#include "app/qt_user_interface.h"
#include "link/system_serial_port.h"
#include "platform/clock.h"
#include "platform/process_setup.h"
#include "platform/termination_signals.h"
#include "tone/player.h"
#include "tone/system_audio_output.h"

namespace {

int runProgram(int argc, char* argv[]) {
    // A rig control or a reader that went away must not end the program in the middle of a
    // send or a board write: a failed write is reported where it happens.
    calvento::IgnoreBrokenPipe();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("calvento"));
    // The status and instructions windows may still be open when the main window closes; the
    // program ends with the main window all the same.
    QApplication::setQuitOnLastWindowClosed(false);
    calvento::InstallClassicFontSubstitutes();

    calvento::SystemAudioOutput audio;
    calvento::Player player(audio, calvento::SystemClock());
    calvento::SystemAudioInput input;
    calvento::SystemSerialPort port, pttPort;
    calvento::FrmTone window(player, port, calvento::QtUiServices(), calvento::SystemClock(),
                             &pttPort);
    window.setAudioInput(&input);
    QObject::connect(&window, &calvento::FrmTone::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // A shutdown or a closed terminal ends the program as the close box does: a board exchange
    // under way ends first, the settings are written and the board is signed off.
    calvento::HandleTerminationSignals([&window](int) { window.closeFromOutside(); });
    // The desktop session ending is the same: the sound stops, push-to-talk drops, the settings
    // are written and the board signed off before the session manager ends the program.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window] { window.closeFromOutside(); });
    window.show();
    window.checkSoundCard();
    // A configuration file given on the command line (a double-click on a .prg file) opens in
    // the window, as Load would open it.
    const QStringList files = app.arguments().mid(1);
    if (!files.isEmpty()) window.LoadConfigFile(QDir::toNativeSeparators(files.first()));
    return app.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    // Settings are saved when the window closes; what is left at exit is the libraries' own.
    calvento::ExitAfterAudio(runProgram(argc, argv));
}
