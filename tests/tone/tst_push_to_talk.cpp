// Push-to-talk through Hamlib against real Hamlib parts: its dummy rig in this process, and a
// running rigctld on a loopback port reached through Hamlib's network client (model 2), whose
// state rigctl reads back as a radio program would, from the send routine. The
// send routine's guarantees hold here as for the serial lines: keyed around the sequence only, down
// before a failure is told, and dropped by the guard while the window's thread is held.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <thread>

#include "fakes.h"
#include "player_rig.h"
#include "rigctld_process.h"
#include "tone/hamlib_ptt.h"
#include "tone/keyed_send.h"
#include "tone/player.h"

using namespace calvento;
using namespace calvento::test;

namespace {

constexpr int kDummyRig = 1;
constexpr int kNetworkRig = 2;

bool keyedNow(HamlibPushToTalk& ptt) {
    bool keyed = false;
    QString why;
    return ptt.readBack(&keyed, &why) && keyed;
}

}  // namespace

class TstPushToTalk : public QObject {
    Q_OBJECT
private slots:
    void theDummyRigKeysAndReleases() {
        HamlibPushToTalk ptt;
        QString why;
        QVERIFY2(ptt.open(kDummyRig, "", "rig", &why), qPrintable(why));
        QVERIFY(ptt.prepare(&why) && !keyedNow(ptt));
        QVERIFY(ptt.setKeyed(true, &why) && keyedNow(ptt));
        std::thread([&] { ptt.releaseFromAnyThread(); }).join();  // the guard's way
        QVERIFY(!keyedNow(ptt));
    }

    void aMethodThatCannotBeSetUpSaysWhy_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such model") << 999999 << ""
                                       << "rig"
                                       << "knows no rig model";
        QTest::newRow("no rigctld listening") << kNetworkRig << "127.0.0.1:1"
                                              << "rig"
                                              << "could not open rig model 2";
        QTest::newRow("unknown keying") << kDummyRig << ""
                                        << "vox"
                                        << "Unknown push-to-talk";
    }
    void aMethodThatCannotBeSetUpSaysWhy() {
        QFETCH(int, model);
        QFETCH(QString, port);
        QFETCH(QString, type);
        QFETCH(QString, reason);
        HamlibPushToTalk ptt;
        QString why;
        QVERIFY(!ptt.open(model, port, type, &why));
        QVERIFY2(why.contains(reason), qPrintable(why));
        QVERIFY(!ptt.isOpen());
    }

    // A send keyed through Hamlib: up while the sequence plays, down after it, and down before
    // the message of a failed one.
    void aSendKeysTheRigAroundTheSequence() {
        PlayerRig r;
        HamlibPushToTalk ptt;
        QString why;
        QVERIFY2(ptt.open(kDummyRig, "", "rig", &why), qPrintable(why));
        bool keyedWhilePlaying = false;
        r.clock.onTurn = [&] {
            if (r.player.isPlaying()) keyedWhilePlaying = keyedNow(ptt);
        };
        QVERIFY(SendKeyed(r.player, r.clock, &ptt, "12", SendSettings{}).keyed);
        QVERIFY(keyedWhilePlaying);
        QVERIFY(!keyedNow(ptt));

        r.audio.openResult = AudioResult::BadDeviceId;
        const KeyedSendResult failed = SendKeyed(r.player, r.clock, &ptt, "12", SendSettings{});
        QVERIFY(!failed.play.played && !failed.play.failure.isEmpty());
        QVERIFY(!keyedNow(ptt));
    }

    // The window's thread held in the middle of a send: the guard releases the rig on its own.
    void theGuardReleasesTheRig() {
        PlayerRig r;
        HamlibPushToTalk ptt;
        QString why;
        QVERIFY2(ptt.open(kDummyRig, "", "rig", &why), qPrintable(why));
        r.audio.turnsUntilDone = -1;
        bool releasedWhileHeld = false, held = false;
        r.clock.onTurn = [&] {
            if (!r.player.isPlaying() || held) return;
            held = true;
            QElapsedTimer t;
            t.start();
            while (keyedNow(ptt) && t.elapsed() < 5000) QThread::msleep(20);
            releasedWhileHeld = !keyedNow(ptt);
        };
        SendSettings settings;
        settings.txDelayMs = 20;
        const KeyedSendResult sent = SendKeyed(r.player, r.clock, &ptt, "1", settings);
        QVERIFY(sent.guardTripped);
        QVERIFY(releasedWhileHeld);
        QVERIFY(sent.play.failure.startsWith("The transmitter was keyed for"));
    }

    // rigctld killed or frozen while the transmitter is keyed: the release is refused within
    // about two seconds and the send says the transmitter may still be keyed, never that it
    // completed; a rigctld started again is reached on the next send without reopening by hand.
    void aDeadOrFrozenRigctldIsNamed_data() {
        QTest::addColumn<bool>("frozen");
        QTest::newRow("killed") << false;
#ifdef Q_OS_UNIX  // freezing a process takes SIGSTOP, which a Windows program cannot send
        QTest::newRow("frozen") << true;
#endif
    }
    void aDeadOrFrozenRigctldIsNamed() {
        QFETCH(bool, frozen);
        Rigctld daemon;
        QVERIFY2(daemon.start(), "rigctld did not start");
        PlayerRig r;
        HamlibPushToTalk ptt;
        QString why;
        QVERIFY2(ptt.open(kNetworkRig, daemon.address, "rig", &why), qPrintable(why));
        bool struck = false;
        r.clock.onTurn = [&] {
            if (!r.player.isPlaying() || struck) return;
            struck = true;
            if (frozen) {
                daemon.freeze(true);
            } else {
                daemon.process.kill();
                daemon.process.waitForFinished(3000);
            }
        };
        SendSettings settings;
        settings.txDelayMs = 20;
        QElapsedTimer t;
        t.start();
        const KeyedSendResult sent = SendKeyed(r.player, r.clock, &ptt, "12", settings);
        qInfo("release against a %s rigctld took %lld ms", frozen ? "frozen" : "killed",
              static_cast<long long>(t.elapsed()));
        QVERIFY(struck && sent.keyed && sent.play.played);
        QVERIFY(!sent.released);
        QVERIFY2(sent.releaseError.startsWith(ptt.name()), qPrintable(sent.releaseError));
        QVERIFY(t.elapsed() < 4000);

        if (frozen) {
            daemon.freeze(false);
            QVERIFY(ptt.setKeyed(false, &why));
            return;
        }
        QVERIFY2(daemon.start(), "rigctld did not start again");
        const KeyedSendResult again = SendKeyed(r.player, r.clock, &ptt, "12", settings);
        QVERIFY2(again.keyed && again.released, qPrintable(again.keyingError + again.releaseError));
        QCOMPARE(daemon.state(), QStringLiteral("0"));
    }

    // Hamlib's network client against a real rigctld: rigctl sees the transmitter keyed.
    void rigctldIsKeyedOverTheNetwork() {
        Rigctld daemon;
        QVERIFY2(daemon.start(), "rigctld did not start");
        HamlibPushToTalk ptt;
        QString why;
        QVERIFY2(ptt.open(kNetworkRig, daemon.address, "rig", &why), qPrintable(why));
        QVERIFY(ptt.prepare(&why));
        QCOMPARE(daemon.state(), QStringLiteral("0"));
        QVERIFY(ptt.setKeyed(true, &why));
        QCOMPARE(daemon.state(), QStringLiteral("1"));
        QVERIFY(keyedNow(ptt));
        QVERIFY(ptt.setKeyed(false, &why));
        QCOMPARE(daemon.state(), QStringLiteral("0"));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    TstPushToTalk t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_push_to_talk.moc"
