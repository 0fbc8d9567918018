// rigctld, Hamlib's rig-control daemon, with its dummy rig on a loopback port for the time of one
// test, and its push-to-talk state as a radio program reads it (rigctl through the network).
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

namespace calvento::test {

struct Rigctld {
    QProcess process;
    QString address;

    int port = 40000 + static_cast<int>(QCoreApplication::applicationPid() % 20000);

    // Starts it, or starts it again on the same port after it was killed. A port that the
    // daemon of the test before still holds for a moment (the system lets go of it a little
    // after the process ended) is waited for, then the next port is tried.
    bool start() {
        for (int attempt = 0; attempt < 6; ++attempt) {
            if (attempt == 3) ++port;
            if (startOnce()) return true;
            QTest::qWait(300);
        }
        return false;
    }
    bool startOnce() {
        process.kill();
        process.waitForFinished(3000);
        address = QStringLiteral("127.0.0.1:%1").arg(port);
        process.start("rigctld",
                      {"-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t", QString::number(port)});
        if (!process.waitForStarted(5000)) return false;
        for (int i = 0; i < 30; ++i) {  // until it answers
            if (state() != QLatin1String("?")) return true;
            if (process.state() == QProcess::NotRunning) return false;  // the port was taken
            QTest::qWait(100);
        }
        return false;
    }
    // rigctl's answer to "t" (get PTT): "1" keyed, "0" not, "?" no answer.
    QString state() const {
        QProcess rigctl;
        rigctl.start("rigctl", {"-m", "2", "-r", address, "t"});
        if (!rigctl.waitForFinished(5000) || rigctl.exitCode() != 0) return QStringLiteral("?");
        return QString::fromLatin1(rigctl.readAllStandardOutput()).trimmed();
    }
    // Freezes it (SIGSTOP) or lets it go on (SIGCONT): a daemon that accepts and never answers.
    void freeze(bool frozen) {
        QProcess::execute("kill",
                          {frozen ? "-STOP" : "-CONT", QString::number(process.processId())});
    }
    ~Rigctld() {
        freeze(false);
        process.kill();
        process.waitForFinished(3000);
    }
};

}  // namespace calvento::test
