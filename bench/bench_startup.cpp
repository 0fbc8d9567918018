// Start-up: how long the main window takes from creation (its load handler: tone table,
// settings file, the default configuration) to its first frame on screen, offscreen, with the
// sound device and dialogs faked. Prints the median of several starts; asserts nothing.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/frm_tone.h"
#include "fakes.h"
#include "tone/player.h"

using namespace calvento;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallClassicFontSubstitutes();
    QTemporaryDir dir;
    qputenv("CALVENTO_HOME", dir.path().toUtf8());
    QFile::copy(QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg"), dir.filePath("Default31.prg"));

    std::vector<double> ms;
    for (int run = 0; run < 15; ++run) {
        test::FakeAudioOutput audio;
        test::FakeSerialPort port;
        test::FakeClock clock;
        test::RecordingUi ui;
        Player player(audio, clock);
        QElapsedTimer t;
        t.start();
        FrmTone window(player, port, ui, clock);
        window.show();
        window.grab();  // the first frame, painted
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "start-up  window created, settings and configuration loaded, first frame: "
        "median %.1f ms (worst %.1f ms, best %.1f ms, %zu starts)\n",
        ms[ms.size() / 2], ms.back(), ms.front(), ms.size());
    return 0;
}
