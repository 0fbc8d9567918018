// The replace calculator: the worked examples of the checksum, the checks in their order with
// their messages, and what happens to input that is not a key.
#include <QTest>

#include "remote/replace_calculator.h"

using namespace calvento;
using Failure = ReplaceResult::Failure;

Q_DECLARE_METATYPE(Failure)

class TstReplaceCalculator : public QObject {
    Q_OBJECT
private slots:
    void sequences_data() {
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("newSeq");
        QTest::addColumn<QString>("sequence");
        // modifier "*0*", checksum "#"
        QTest::newRow("ABC sums 42: keys 2 and 0") << "101"
                                                   << "ABC"
                                                   << "101*0*ABC#20";
        QTest::newRow("1 sums 1: keys D and 1") << "12"
                                                << "1"
                                                << "12*0*1#D1";
        QTest::newRow("ten C sum 150: keys 9 and 6") << "12"
                                                     << "CCCCCCCCCC"
                                                     << "12*0*CCCCCCCCCC#96";
        QTest::newRow("lower case counts and sounds as capitals") << "1a"
                                                                  << "abc"
                                                                  << "1A*0*ABC#20";
        QTest::newRow("modifier inside the original is fine") << "*0*1"
                                                              << "5"
                                                              << "*0*1*0*5#D5";
        QTest::newRow("D is 0, 0 is 10") << "99"
                                         << "D0"
                                         << "99*0*D0#D0";
    }
    void sequences() {
        QFETCH(QString, original);
        QFETCH(QString, newSeq);
        QFETCH(QString, sequence);
        const ReplaceResult r =
            CalculateReplaceSequence(original.toStdString(), newSeq.toStdString(), "*0*", "#");
        QCOMPARE(r.failure, Failure::None);
        QCOMPARE(QString::fromStdString(r.sequence), sequence);
    }

    void failures_data() {
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("newSeq");
        QTest::addColumn<QString>("modifier");
        QTest::addColumn<QString>("checksum");
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("selStart");
        // clang-format off
        QTest::newRow("no modifier") << "12" << "3" << "" << "#" << Failure::MissingIds << "DTMF" << 0;
        QTest::newRow("no checksum") << "12" << "3" << "*0" << "" << Failure::MissingIds << "DTMF" << 0;
        QTest::newRow("original ends with modifier") << "12*0" << "3" << "*0" << "#" << Failure::OriginalEndsWithModifier << "Warning" << 2;
        QTest::newRow("one-key original equal to modifier") << "5" << "3" << "5" << "#" << Failure::OriginalEndsWithModifier << "Warning" << 0;
        QTest::newRow("new ends with modifier") << "12" << "3*0" << "*0" << "#" << Failure::NewEndsWithModifier << "Warning" << 1;
        QTest::newRow("original of one key") << "1" << "3" << "*0" << "#" << Failure::TooShort << "DTMF" << 0;
        QTest::newRow("empty new") << "12" << "" << "*0" << "#" << Failure::TooShort << "DTMF" << 0;
        QTest::newRow("pasted non-key") << "12" << "3x" << "*0" << "#" << Failure::NotAKey << "DTMF" << 0;
        // The checks see capitals: a small "a" ends the original as much as "A" does.
        QTest::newRow("lower-case modifier at the end") << "12a" << "3" << "A" << "#" << Failure::OriginalEndsWithModifier << "Warning" << 2;
        QTest::newRow("upper-case modifier, lower-case end") << "12b" << "3" << "B" << "#" << Failure::OriginalEndsWithModifier << "Warning" << 2;
        // What the window's fields cannot hold, refused for scripts too.
        QTest::newRow("original of 11 keys") << "12345678901" << "3" << "*0" << "#" << Failure::TooLong << "DTMF" << 0;
        QTest::newRow("new of 11 keys") << "12" << "12345678901" << "*0" << "#" << Failure::TooLong << "DTMF" << 0;
        QTest::newRow("modifier of 9 keys") << "12" << "3" << "*00000000" << "#" << Failure::TooLong << "DTMF" << 0;
        QTest::newRow("two checksum keys") << "12" << "3" << "*0" << "##" << Failure::TooLong << "DTMF" << 0;
        QTest::newRow("non-key in the original") << "1x2" << "3" << "*0" << "#" << Failure::NotAKey << "DTMF" << 0;
        QTest::newRow("non-key checksum") << "12" << "3" << "*0" << "E" << Failure::NotAKey << "DTMF" << 0;
        QTest::newRow("new holds the checksum key") << "101" << "AB#" << "*0*" << "#" << Failure::HoldsChecksumKey << "DTMF" << 0;
        QTest::newRow("new holds a small checksum key") << "101" << "1a2" << "*0*" << "A" << Failure::HoldsChecksumKey << "DTMF" << 0;
        // clang-format on
    }
    void failures() {
        QFETCH(QString, original);
        QFETCH(QString, newSeq);
        QFETCH(QString, modifier);
        QFETCH(QString, checksum);
        QFETCH(Failure, failure);
        QFETCH(QString, title);
        QFETCH(int, selStart);
        const ReplaceResult r =
            CalculateReplaceSequence(original.toStdString(), newSeq.toStdString(),
                                     modifier.toStdString(), checksum.toStdString());
        QCOMPARE(r.failure, failure);
        QCOMPARE(QString::fromStdString(r.title), title);
        QVERIFY(r.sequence.empty());
        if (failure == Failure::OriginalEndsWithModifier ||
            failure == Failure::NewEndsWithModifier) {
            QCOMPARE(r.selectionStart, selStart);
            QCOMPARE(r.selectionLength, modifier.size());
        }
    }

    void messages() {
        auto msg = [](const char* o, const char* n, const char* m, const char* c) {
            return QString::fromStdString(CalculateReplaceSequence(o, n, m, c).message);
        };
        QCOMPARE(msg("12", "3", "", "#"),
                 QStringLiteral("Modifier ID or Checksum ID cannot be empty.\r\nPlease insert "
                                "Modifier ID / Checksum ID in Direct Programming Tab."));
        QCOMPARE(msg("1*", "3", "*", "#"),
                 QStringLiteral("Original Sequence ends with Modifier ID Sequence.\r\n"
                                "Please modify Original Sequence."));
        QCOMPARE(msg("12", "3*", "*", "#"),
                 QStringLiteral("New Sequence ends with Modifier ID Sequence.\r\n"
                                "Please modify New Sequence."));
        QCOMPARE(msg("1", "3", "*", "#"), QStringLiteral("Original/New Sequence too short."));
        QVERIFY(msg("12", "3%", "*", "#").contains("\"%\""));
    }
};

QTEST_APPLESS_MAIN(TstReplaceCalculator)
#include "tst_replace_calculator.moc"
