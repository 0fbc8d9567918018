// BoardLink against a scripted board through the serial-port fake and the fake clock: one row
// per way a board can misbehave, each with the run's outcome, its last status text, whether the
// flush went out, and how long the failed wait lasted. Replies are paced as a real board sends
// them (about 2 ms a byte), so an identification reply can complete inside a later wait.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <optional>

#include "config/config_file.h"
#include "config/decoder_config.h"
#include "fakes.h"
#include "link/board_backup.h"
#include "link/board_link.h"

using namespace calvento;
using namespace calvento::test;

namespace {

using Outcome = BoardLink::Outcome;

DecoderImage sampleImage() {
    DecoderConfig c;
    for (int i = 0; i < kCommandCount; ++i) c.commands[size_t(i)] = std::to_string(200 + i);
    c.modifierId = "*0*";
    c.checksumId = "#";
    c.cwCall = "TEST";
    c.morseSpeed = "20";
    c.timer1 = "10";
    c.timer2 = "20";
    c.batteryLow = "11.0";
    c.batteryHigh = "14.0";
    return EncodeConfig(c).image;
}

// What the board does, by row.
struct Behaviour {
    QByteArray id = kExpectedIdentification;
    bool silent = false;      // answers nothing
    bool noData = false;      // answers the identify command only
    int cutDataAfter = -1;    // sends only this many bytes of its data reply
    bool badDataSum = false;  // a data reply whose sum byte is off by one
    bool keepsWrongByte = false;
    bool identifiesOnRead = false;   // answers the read command with an identification reply
    int closePortAfterPackets = -1;  // the adapter goes away after this many write packets
};

// A board on the far side of the fake port: it reads what the link writes as it is written and
// sends its replies back paced at 2 ms a byte, starting 5 ms after the command; they arrive at
// the event-loop turns.
class ScriptedBoard {
public:
    ScriptedBoard(FakeSerialPort& port, FakeClock& clock, Behaviour b)
        : m_port(port), m_clock(clock), m_b(std::move(b)) {
        m_clock.onTurn = [this] { turn(); };
        m_port.onWrite = [this] { takeCommands(); };
    }

    DecoderImage image = sampleImage();
    int64_t readCommandAt = -1;  // when the last read command went out
    int64_t identifyAt = -1;     // when the last identify command went out
    int64_t flushAt = -1;        // when the first flush space went out
    int packetsStored = 0;

private:
    // One event-loop turn: what is due arrives.
    void turn() {
        QByteArray due;
        while (!m_out.empty() && m_out.front().first <= m_clock.now) {
            due += m_out.front().second;
            m_out.pop_front();
        }
        if (!due.isEmpty()) m_port.receive(due);
    }

    void takeCommands() {
        const QByteArray& in = m_port.sent;
        while (m_seen < in.size()) {
            const auto b0 = uint8_t(in[m_seen]);
            if (b0 == ' ' && flushAt < 0) flushAt = m_clock.now;
            if (b0 != 0xFF) {
                ++m_seen;
                continue;
            }
            if (m_seen + 1 >= in.size()) return;
            const auto b1 = uint8_t(in[m_seen + 1]);
            if (b1 == 0xFF) {  // the write command: wait for its four packets
                const qsizetype packetsIn = (in.size() - m_seen - 2) / kPacketSize;
                if (m_b.closePortAfterPackets >= 0 && packetsIn >= m_b.closePortAfterPackets) {
                    m_port.close();
                    return;
                }
                if (packetsIn < 4) return;
                for (int k = 0; k < 4; ++k)
                    for (int j = 0; j < 52; ++j)
                        image[size_t(52 * k + j)] = uint8_t(in[m_seen + 2 + k * kPacketSize + j]);
                if (m_b.keepsWrongByte) image[8] ^= 1;  // the first key of command 0
                packetsStored = 4;
                m_seen += 2 + 4 * kPacketSize;
                continue;
            }
            m_seen += 2;
            if (b1 == 0xCC) {
                identifyAt = m_clock.now;
                send(identification());
            } else if (b1 == 0xAA) {
                readCommandAt = m_clock.now;
                if (m_b.identifiesOnRead) send(identification());
                if (!m_b.noData) send(dataReply());
            }
        }
    }

    QByteArray identification() const {
        return QByteArray::fromStdString(IdentificationReply(m_b.id.toStdString()));
    }

    QByteArray dataReply() const {
        const QByteArray r = QByteArray::fromStdString(DataReply(image, m_b.badDataSum ? 1 : 0));
        return m_b.cutDataAfter >= 0 ? r.left(m_b.cutDataAfter) : r;
    }

    void send(const QByteArray& reply) {
        if (m_b.silent) return;
        int64_t at = std::max<int64_t>(m_clock.now + 5, m_lastAt);
        for (char c : reply) {
            m_out.emplace_back(uint32_t(at), QByteArray(1, c));
            at += 2;
        }
        m_lastAt = at;
    }

    FakeSerialPort& m_port;
    FakeClock& m_clock;
    Behaviour m_b;
    qsizetype m_seen = 0;
    int64_t m_lastAt = 0;
    std::deque<std::pair<uint32_t, QByteArray>> m_out;
};

class RecordingView final : public LinkView {
public:
    void setInfo(const QString& t) override { text = t; }
    void setInfoRed(bool r) override { red = r; }
    void setOkVisible(bool v) override { ok = v; }
    void showStatus() override { shown = true; }
    void decode(const DecoderImage& image) override { decoded = image; }
    QString text;
    bool red = false, ok = true, shown = false;
    std::optional<DecoderImage> decoded;
};

}  // namespace

Q_DECLARE_METATYPE(Behaviour)

class TstBoardLink : public QObject {
    Q_OBJECT
private slots:
    void runs_data() {
        QTest::addColumn<Behaviour>("board");
        QTest::addColumn<bool>("program");
        QTest::addColumn<bool>("signOnJustBefore");  // the switch-on identify still unanswered
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("failedWaitMs");  // the failed wait's length; 0: no flush

        const QString id = kExpectedIdentification;
        const QString noVersionRead = "FAILED to read version! Please Check Connections / Decoder";
        const QString noVersionProgram =
            "FAILED to get Version!  Unable to program, please check Decoder";
        const QString noDataRead = "FAILED to read data!  Please check Connections / Decoder";
        const QString noDataProgram =
            "FAILED to read data!  Unable to program, please check Decoder";
        Behaviour b;
        QTest::newRow("read") << b << false << false << int(Outcome::Done)
                              << "Data from " + id + " successfully read" << 0;
        QTest::newRow("program") << b << true << false << int(Outcome::Done)
                                 << id + " successfully programmed" << 0;
        b = {};
        b.silent = true;
        QTest::newRow("silent, read") << b << false << false << int(Outcome::NoVersion)
                                      << noVersionRead << BoardLink::kIdentificationWaitMs;
        QTest::newRow("silent, program") << b << true << false << int(Outcome::NoVersion)
                                         << noVersionProgram << BoardLink::kIdentificationWaitMs;
        b = {};
        b.id = QByteArray("DTMF Decoder v3.1 by Kolbex\0!", 29);
        QTest::newRow("identification with a zero byte")  // a reply ends the wait at once
            << b << false << false << int(Outcome::NoVersion) << noVersionRead << 1;
        b = {};
        b.noData = true;
        QTest::newRow("no data, read")
            << b << false << false << int(Outcome::NoData) << noDataRead << BoardLink::kDataWaitMs;
        QTest::newRow("no read-back, program") << b << true << false << int(Outcome::NoData)
                                               << noDataProgram << BoardLink::kDataWaitMs;
        QTest::newRow("no read-back, switch-on identification late")
            << b << true << true << int(Outcome::NoData) << noDataProgram << BoardLink::kDataWaitMs;
        b = {};
        b.cutDataAfter = 120;
        QTest::newRow("data cut, read")
            << b << false << false << int(Outcome::NoData) << noDataRead << BoardLink::kDataWaitMs;
        QTest::newRow("read-back cut, switch-on identification late")
            << b << true << true << int(Outcome::NoData) << noDataProgram << BoardLink::kDataWaitMs;
        b = {};
        b.noData = true;
        b.identifiesOnRead = true;
        QTest::newRow("identification instead of data, read")
            << b << false << false << int(Outcome::NoData) << noDataRead << BoardLink::kDataWaitMs;
        QTest::newRow("identification instead of read-back, program")
            << b << true << false << int(Outcome::NoData) << noDataProgram
            << BoardLink::kDataWaitMs;
        b = {};
        b.badDataSum = true;
        QTest::newRow("data sum wrong")
            << b << false << false << int(Outcome::BadSum) << "Error reading data from " + id << 0;
        b = {};
        b.keepsWrongByte = true;
        QTest::newRow("read-back differs")
            << b << true << false << int(Outcome::Mismatch)
            << "Error programming " + id + "\r\nDiffers: 0: Output 1 ON" << 0;
        b = {};
        b.closePortAfterPackets = 2;
        QTest::newRow("adapter gone during the write")
            << b << true << false << int(Outcome::PortFailed) << "\r\nSending data on COM1..." << 0;
    }

    void runs() {
        QFETCH(Behaviour, board);
        QFETCH(bool, program);
        QFETCH(bool, signOnJustBefore);
        QFETCH(int, outcome);
        QFETCH(QString, text);
        QFETCH(int, failedWaitMs);

        FakeSerialPort port;
        FakeClock clock;
        RecordingView view;
        QString error;
        QVERIFY(port.open("/dev/ttyS0", &error));
        ScriptedBoard sim(port, clock, board);
        BoardLink link(port, clock, view, [] { return QStringLiteral("1"); });
        if (signOnJustBefore)
            link.signOn();
        else
            link.signOn(BoardLink::kIdentificationWaitMs);

        const DecoderImage before = sim.image;
        DecoderImage toWrite = sampleImage();
        toWrite[3] = 99;
        const Outcome got = program ? link.program(toWrite, "COM1") : link.read();
        QCOMPARE(int(got), outcome);
        QCOMPARE(view.text, text);
        QVERIFY(!link.running());
        if (got == Outcome::Done && !program) QVERIFY(view.decoded && *view.decoded == before);
        if (got == Outcome::Done && program) QVERIFY(sim.image == toWrite);

        // A failed wait ends in the flush, and only after the wait's full length.
        const bool flushed = sim.flushAt >= 0;
        QCOMPARE(flushed, failedWaitMs > 0);
        if (failedWaitMs == BoardLink::kDataWaitMs)
            QVERIFY2(sim.flushAt - sim.readCommandAt >= failedWaitMs,
                     qPrintable(QString::number(sim.flushAt - sim.readCommandAt)));
        if (failedWaitMs == BoardLink::kIdentificationWaitMs)
            QVERIFY(sim.flushAt - sim.identifyAt >= failedWaitMs);
        if (got == Outcome::NoVersion) QVERIFY(!port.sent.contains(QByteArray("\xFF\xAA", 2)));
        if (got == Outcome::PortFailed) QVERIFY(!link.portFailure().isEmpty());
    }

    // A port that is not open never gives a success, and says why.
    void aClosedPortIsNeverDone() {
        FakeSerialPort port;
        FakeClock clock;
        RecordingView view;
        BoardLink link(port, clock, view, {});
        QCOMPARE(int(link.program(sampleImage(), "COM1")), int(Outcome::PortFailed));
        QCOMPARE(int(link.read()), int(Outcome::PortFailed));
        QVERIFY(link.portFailure().contains("no longer open"));
        QVERIFY(port.sent.isEmpty());
    }

    // A verify failure names every differing byte's field as the window labels it, and only
    // the bytes that belong to no field by their offsets.
    void differingFieldsUseTheWindowsLabels_data() {
        QTest::addColumn<QList<int>>("offsets");
        QTest::addColumn<int>("flip");
        QTest::addColumn<QString>("text");
        QTest::newRow("a key of command 3") << QList<int>{38} << 1 << "Differs: 3: Output 2 OFF";
        QTest::newRow("a filler after command 16's end")
            << QList<int>{8 + 160 + 9} << 1 << "Differs: 16: ALL Outputs ON";
        QTest::newRow("the filler between the levels and the commands")
            << QList<int>{7} << 1 << "Differs at byte 7";
        QTest::newRow("a power-on flag and the voltage check")
            << QList<int>{0} << (2 | 16) << "Differs: Power-On Output 2, V.Check Enabled";
        QTest::newRow("call, speed and a filler")
            << QList<int>{202, 2, 189} << 1 << "Differs: CW Call, Speed, byte 189";
        QTest::newRow("modifier end and a filler")
            << QList<int>{200, 190} << 1 << "Differs: Modifier ID, byte 190";
    }
    void differingFieldsUseTheWindowsLabels() {
        QFETCH(QList<int>, offsets);
        QFETCH(int, flip);
        QFETCH(QString, text);
        DecoderConfig c;
        c.checksumId = "#";
        c.morseSpeed = "20";
        c.timer1 = c.timer2 = "5";
        c.batteryLow = "11.0";
        c.batteryHigh = "12.0";
        c.modifierId = "*0";
        c.cwCall = "IK2ABC";
        for (int i = 0; i < kCommandCount; ++i) c.commands[i] = std::to_string(100 + i);
        const EncodeResult sent = EncodeConfig(c);
        QVERIFY(sent.ok);
        DecoderImage back = sent.image;
        for (int o : offsets) back[o] ^= static_cast<uint8_t>(flip);
        QCOMPARE(DifferingFields(sent.image, back), text);
    }

    // The newest 50 backups stay, named by the time they were taken; a second one within the
    // same second is kept too, and counts as the newer.
    void backupsKeepTheNewestFifty() {
        QTemporaryDir dir;
        const BoardBackups backups(dir.filePath("backups"));
        QVERIFY(backups.latest().isEmpty());
        const DecoderImage image = EncodeConfig(DecoderConfig{}).image;
        const QDateTime first(QDate(2026, 12, 10), QTime(9, 0, 0));
        QString error;
        for (int i = 0; i < 52; ++i)
            QVERIFY2(!backups.store(image, "1", first.addSecs(i), &error).isEmpty(),
                     qPrintable(error));
        const QString again = backups.store(image, "1", first.addSecs(51), &error);
        QVERIFY(again.endsWith("board-20261210-090051-2.prg"));
        QCOMPARE(backups.latest(), again);
        const QStringList kept =
            QDir(backups.folder()).entryList({"board-*.prg"}, QDir::Files, QDir::Name);
        QCOMPARE(kept.size(), BoardBackups::kKept);
        QCOMPARE(kept.first(), QStringLiteral("board-20261210-090003.prg"));
        QFile f(again);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const ConfigFileRead read = ReadConfigFile(f.readAll().toStdString());
        QVERIFY(read.error.empty());
        QVERIFY(ConfigFromFileValues(read.values) == DecodeConfig(image));
    }

    // No backup is ever lost: a clock that was ahead named fifty older backups later than the
    // new one, which is still kept and is the one restored; the user's own files of a similar
    // name are neither pruned nor restored; a folder that cannot be made says why.
    void backupsAreNeverLost() {
        QTemporaryDir dir;
        const BoardBackups backups(dir.filePath("backups"));
        const DecoderImage image = EncodeConfig(DecoderConfig{}).image;
        const QDateTime ahead(QDate(2027, 6, 1), QTime(12, 0, 0));
        QString error;
        for (int i = 0; i < BoardBackups::kKept; ++i)
            QVERIFY(!backups.store(image, "1", ahead.addSecs(i), &error).isEmpty());
        for (const char* mine : {"board-old-repeater.prg", "board-20200101-000000.prg.bak",
                                 "board-1.prg"})
            QVERIFY(QFile(dir.filePath(QStringLiteral("backups/") + mine))
                        .open(QIODevice::WriteOnly));
        const QString now =
            backups.store(image, "1", QDateTime(QDate(2026, 12, 11), QTime(9, 0)), &error);
        QVERIFY(QFile::exists(now));
        QCOMPARE(backups.latest(), now);
        const QDir folder(backups.folder());
        QCOMPARE(folder.entryList({"board-2*.prg"}).size(), BoardBackups::kKept);
        QVERIFY(!folder.exists("board-20270601-120000.prg"));  // the oldest of the others went
        for (const char* mine : {"board-old-repeater.prg", "board-20200101-000000.prg.bak",
                                 "board-1.prg"})
            QVERIFY2(folder.exists(mine), mine);

        // Without its note, Restore goes by the names and never picks a user's file.
        QVERIFY(QFile::remove(folder.filePath("last-backup.txt")));
        QVERIFY(backups.latest().endsWith("board-20270601-120049.prg"));

        QVERIFY(QFile(dir.filePath("plain")).open(QIODevice::WriteOnly));
        QVERIFY(BoardBackups(dir.filePath("plain/backups")).store(image, "1", ahead, &error)
                    .isEmpty());
        // With the system's reason ("Not a directory" here).
        QVERIFY2(error.contains("cannot be made: ") && !error.endsWith(": "), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TstBoardLink)
#include "tst_board_link.moc"
