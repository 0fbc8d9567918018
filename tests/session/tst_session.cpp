// The session layer on its own: the outcome a send is told and logged as, and when push-to-talk
// and programming must share one port.
#include <QTest>

#include "session/radio_choice.h"
#include "session/send_job.h"

using namespace calvento;

class TstSession : public QObject {
    Q_OBJECT
private slots:
    // A transmitter in doubt outweighs every other failure; a quiet stop is a stop.
    void theOutcomeOfASend_data() {
        QTest::addColumn<bool>("keyed");
        QTest::addColumn<bool>("released");
        QTest::addColumn<bool>("guard");
        QTest::addColumn<bool>("played");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("outcome");
        QTest::newRow("completed")
            << true << true << false << true << "" << int(SendOutcome::Completed);
        QTest::newRow("played unkeyed")
            << false << true << false << true << "" << int(SendOutcome::KeyingFailed);
        QTest::newRow("refused release after a failure")
            << true << false << false << false << "x" << int(SendOutcome::NotReleased);
        QTest::newRow("guard") << true << true << true << false << "keyed for"
                               << int(SendOutcome::StoppedByGuard);
        QTest::newRow("sound failed")
            << true << true << false << false << "x" << int(SendOutcome::Failed);
        QTest::newRow("stopped quietly")
            << true << true << false << false << "" << int(SendOutcome::Stopped);
    }
    void theOutcomeOfASend() {
        QFETCH(bool, keyed);
        QFETCH(bool, released);
        QFETCH(bool, guard);
        QFETCH(bool, played);
        QFETCH(QString, failure);
        QFETCH(int, outcome);
        KeyedSendResult sent;
        sent.keyed = keyed;
        sent.released = released;
        sent.guardTripped = guard;
        sent.play.played = played;
        sent.play.failure = failure;
        QCOMPARE(int(OutcomeOf(sent)), outcome);
    }

    void whenPushToTalkSharesTheProgrammingPort_data() {
        QTest::addColumn<int>("ptt");
        QTest::addColumn<bool>("ownPort");
        QTest::addColumn<QString>("pttDevice");
        QTest::addColumn<QString>("rigPort");
        QTest::addColumn<bool>("shares");
        const int rts = int(RadioInterface::Ptt::Rts), hamlib = int(RadioInterface::Ptt::Hamlib);
        QTest::newRow("one port for both") << rts << false << "/dev/ttyS1"
                                           << "" << true;
        QTest::newRow("another port") << rts << true << "/dev/ttyS1"
                                      << "" << false;
        QTest::newRow("the same device") << rts << true << "/dev/ttyS0"
                                         << "" << true;
        QTest::newRow("Hamlib on rigctld") << hamlib << false << ""
                                           << "127.0.0.1:4532" << false;
        QTest::newRow("Hamlib on the programming device") << hamlib << true << ""
                                                          << "/dev/ttyS0" << true;
    }
    void whenPushToTalkSharesTheProgrammingPort() {
        QFETCH(int, ptt);
        QFETCH(bool, ownPort);
        QFETCH(QString, pttDevice);
        QFETCH(QString, rigPort);
        QFETCH(bool, shares);
        RadioInterface choice;
        choice.ptt = RadioInterface::Ptt(ptt);
        choice.rigPort = rigPort;
        QCOMPARE(PttSharesProgrammingPort(choice, ownPort, pttDevice, "/dev/ttyS0"), shares);
    }
};

QTEST_GUILESS_MAIN(TstSession)
#include "tst_session.moc"
