// The reply receiver fed byte streams: complete replies, the sums, the admitted bytes, the
// identification's normalisation, abandoned and dropped replies, and the restart after a
// failed wait; and the write packets.
#include <QTest>

#include "link/reply_receiver.h"

using namespace calvento;

Q_DECLARE_METATYPE(ReplyEvent)

namespace {

QByteArray identification(const QByteArray& text, int sumDelta = 0) {
    return QByteArray::fromStdString(IdentificationReply(text.toStdString(), sumDelta));
}

QByteArray dataReply(const DecoderImage& image, int sumDelta = 0) {
    return QByteArray::fromStdString(DataReply(image, sumDelta));
}

DecoderImage sampleImage() {
    DecoderImage img;
    img.fill(0xFF);
    for (int i = 0; i < 8; ++i) img[static_cast<size_t>(i)] = static_cast<uint8_t>(0xA0 + i);
    for (int i = 8; i < 60; ++i) img[static_cast<size_t>(i)] = static_cast<uint8_t>(i % 16);
    img[100] = 0x80;
    img[201] = 'Z';
    img[202] = 0;
    return img;
}

struct Fed {
    ReplyReceiver rx;
    QList<ReplyEvent> events;
    void feed(const QByteArray& bytes) {
        for (char c : bytes) {
            const ReplyEvent e = HandleReplyByte(rx, static_cast<uint8_t>(c));
            if (e != ReplyEvent::None) events << e;
        }
    }
};

}  // namespace

class TstReplyReceiver : public QObject {
    Q_OBJECT
private slots:
    void streams_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<ReplyEvent>>("events");
        QTest::addColumn<QString>("text");  // rxText after the stream, when an identification came
        using E = ReplyEvent;
        QByteArray badAt8 = dataReply(sampleImage());
        badAt8[2 + 8] = 0x5B;
        QByteArray okAt7 = dataReply(sampleImage());
        okAt7[2 + 7] = 0x5B;
        okAt7[okAt7.size() - 1] = char(okAt7.back() + 0x5B - 0xA7);
        QTest::newRow("identification")
            << identification("DTMF Decoder v3.1 by Kolbex") << QList<E>{E::IdentificationReply}
            << "DTMF Decoder v3.1 by Kolbex";
        QTest::newRow("carriage returns anywhere are not summed")
            << identification("DTMF\r Decoder\r") << QList<E>{E::IdentificationReply}
            << "DTMF Decoder";
        QTest::newRow("identification with a wrong sum is dropped")
            << identification("DTMF", 1) << QList<E>{} << "";
        QTest::newRow("text byte above 0x80 abandons it") << QByteArray(
                                                                 "\xFF\xAA"
                                                                 "DT\x81"
                                                                 "MF\n\x00",
                                                                 8)
                                                          << QList<E>{} << "";
        QTest::newRow("bytes before the first FF are ignored")
            << QByteArray("\x01\x02 abc") + identification("X") << QList<E>{E::IdentificationReply}
            << "X";
        QTest::newRow("data reply") << dataReply(sampleImage()) << QList<E>{E::DataReply} << "";
        QTest::newRow("data with a wrong sum")
            << dataReply(sampleImage(), 1) << QList<E>{E::DataReplyBadSum} << "";
        QTest::newRow("0x5B at offset 8 abandons the reply") << badAt8 << QList<E>{} << "";
        QTest::newRow("0x5B at offset 7 is fine") << okAt7 << QList<E>{E::DataReply} << "";
        QTest::newRow("an unknown kind returns to sync")
            << QByteArray("\xFF\x12") + identification("Y") << QList<E>{E::IdentificationReply}
            << "Y";
        QTest::newRow("two replies back to back")
            << identification("A") + dataReply(sampleImage())
            << QList<E>{E::IdentificationReply, E::DataReply} << "A";
    }
    void streams() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<ReplyEvent>, events);
        QFETCH(QString, text);
        Fed f;
        f.feed(bytes);
        QCOMPARE(f.events, events);
        if (events.contains(ReplyEvent::IdentificationReply))
            QCOMPARE(QString::fromStdString(f.rx.rxText), text);
        if (events.contains(ReplyEvent::DataReply) && bytes == dataReply(sampleImage()))
            QVERIFY(f.rx.receiveImage == sampleImage());
        QCOMPARE(f.rx.rxState, RxState::WaitSync);
    }

    // FF FF FF: the third FF is the first data byte.
    void threeSyncBytesStartADataReply() {
        DecoderImage img = sampleImage();
        img[0] = 0xFF;
        Fed f;
        const QByteArray stream = dataReply(img);
        QVERIFY(stream.startsWith("\xFF\xFF\xFF"));
        f.feed(stream);
        QCOMPARE(f.events, QList<ReplyEvent>{ReplyEvent::DataReply});
        QCOMPARE(int(f.rx.receiveImage[0]), 0xFF);
    }

    void restartAfterAFailedWait() {
        Fed f;
        f.feed(QByteArray("\xFF\xFF\x01\x02", 4));  // half a data reply
        QCOMPARE(f.rx.rxState, RxState::DataBytes);
        f.rx.restartReceiver = true;
        f.feed(identification("DTMF"));
        QCOMPARE(f.events, QList<ReplyEvent>{ReplyEvent::IdentificationReply});
        QVERIFY(!f.rx.restartReceiver);
    }

    void identificationNormalisation_data() {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("kept");
        QTest::newRow("as expected") << "DTMF Decoder v3.1 by Kolbex"
                                     << "DTMF Decoder v3.1 by Kolbex";
        QTest::newRow("two spaces after Decoder") << "DTMF Decoder  v3.1 by Kolbex"
                                                  << "DTMF Decoder v3.1 by Kolbex";
        QTest::newRow("spaces around") << "  DTMF Decoder v3.1 by Kolbex "
                                       << "DTMF Decoder v3.1 by Kolbex";
        QTest::newRow("beyond 30 characters is lost") << "DTMF Decoder v3.1 by Kolbex and more"
                                                      << "DTMF Decoder v3.1 by Kolbex an";
        QTest::newRow("short") << " v3 "
                               << "v3";
        QTest::newRow("lower case stays lower case") << "dtmf decoder v3.1 by kolbex"
                                                     << "dtmf decoder v3.1 by kolbex";
    }
    void identificationNormalisation() {
        QFETCH(QString, received);
        QFETCH(QString, kept);
        QCOMPARE(QString::fromStdString(IdentificationText(received.toStdString())), kept);
    }

    void writePacketsCarryTheirSums() {
        DecoderImage img;
        for (int i = 0; i < kImageSize; ++i) img[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
        const auto packets = WritePackets(img);
        for (size_t k = 0; k < 4; ++k) {
            int sum = 0;
            for (size_t j = 0; j < 52; ++j) {
                QCOMPARE(int(packets[k][j]), int(52 * k + j));
                sum += int(52 * k + j);
            }
            QCOMPARE(int(packets[k][52]), sum % 256);
        }
    }
};

QTEST_APPLESS_MAIN(TstReplyReceiver)
#include "tst_reply_receiver.moc"
