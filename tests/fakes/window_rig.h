// The real main window on a program folder of its own, with fakes for the sound device, the
// serial port, the clock and the dialogs. Widget tests build one per test function.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/frm_tone.h"
#include "fakes.h"
#include "tone/player.h"
#include "window_controls.h"

namespace calvento::test {

struct Rig {
    QTemporaryDir dir;
    FakeAudioOutput audio;
    FakeSerialPort port;
    FakeClock clock;
    RecordingUi ui;
    Player player{audio, clock};
    std::unique_ptr<FrmTone> window;

    // The program folder holds the shipped default configuration, unless told otherwise.
    explicit Rig(const QByteArray* iniContent = nullptr, bool withDefaultConfig = true) {
        qputenv("CALVENTO_HOME", dir.path().toUtf8());
        if (iniContent) writeIni(*iniContent);
        if (withDefaultConfig)
            QFile::copy(QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg"), defaultConfig());
    }
    QString iniPath() const { return dir.filePath("Calvento31.ini"); }
    QString defaultConfig() const {
        return QDir::toNativeSeparators(dir.filePath("Default31.prg"));
    }
    void writeIni(const QByteArray& content) const {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray readIni() const {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray defaultLine() const {
        return "\"" + defaultConfig().toUtf8() +
               "\",0,0,0,\"0123456789*#ABCD\",\"60\",\"40\",\"300\",\"1\",\"1\",\"200\"\r\n";
    }
    FrmTone& open() {
        window = std::make_unique<FrmTone>(player, port, ui, clock);
        return *window;
    }
};

}  // namespace calvento::test
