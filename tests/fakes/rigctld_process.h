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

    // Starts it, or starts it again on the same port after it was killed.
    bool start() {
        process.kill();
        process.waitForFinished(3000);
        address = QStringLiteral("127.0.0.1:%1").arg(port);
        process.start("rigctld",
                      {"-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t", QString::number(port)});
        if (!process.waitForStarted(5000)) return false;
        for (int i = 0; i < 50; ++i) {  // until it answers
            if (state() != QLatin1String("?")) return true;
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
