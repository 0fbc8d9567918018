// calvento-board-sim started for one test: its device path, the bytes it received and the
// image it holds. The simulator stops when the test is done with it.
#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstring>

#include "config/decoder_config.h"

namespace calvento::test {

struct Sim {
    QTemporaryDir dir;
    QProcess process;
    QString device;
    QString logPath() const { return dir.filePath("received.bin"); }
    QString savePath() const { return dir.filePath("image.bin"); }

    bool start(const QStringList& extra = {}) {
        process.start(QStringLiteral(CALVENTO_BOARD_SIM),
                      QStringList{"--log", logPath(), "--save", savePath()} + extra);
        if (!process.waitForStarted(5000) || !process.waitForReadyRead(5000)) return false;
        device = QString::fromLatin1(process.readLine()).trimmed();
        // The board writes its starting image just after it names its device.
        for (int i = 0; i < 200 && !QFile::exists(savePath()); ++i) QThread::msleep(10);
        return !device.isEmpty() && QFile::exists(savePath());
    }
    ~Sim() {
        process.terminate();
        process.waitForFinished(3000);
    }
    QByteArray received() const {
        QFile f(logPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    calvento::DecoderImage image() const {
        QFile f(savePath());
        calvento::DecoderImage img{};
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray b = f.readAll();
            if (b.size() == calvento::kImageSize)
                std::memcpy(img.data(), b.constData(), img.size());
        }
        return img;
    }
};

}  // namespace calvento::test
