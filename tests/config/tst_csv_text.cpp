// The quoted comma-separated reader and writer shared by the settings and configuration files.
#include <QTest>

#include "config/csv_text.h"

using namespace calvento;

class TstCsvText : public QObject {
    Q_OBJECT
private slots:
    void reads_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("settings line") << QByteArray("\"C:\\a b.prg\",0,15,1,\"12 3\",\"60\"\r\n")
                                       << QStringList{"C:\\a b.prg", "0", "15", "1", "12 3", "60"};
        QTest::newRow("values split over lines, bare LF")
            << QByteArray("\"a\"\n1\n2,\"b\"\n") << QStringList{"a", "1", "2", "b"};
        QTest::newRow("blank lines and no final line end")
            << QByteArray("1,2\r\n\r\n\r\n3") << QStringList{"1", "2", "3"};
        QTest::newRow("empty values between commas")
            << QByteArray("\"\",,3\r\n") << QStringList{"", "", "3"};
        QTest::newRow("commas inside quotes") << QByteArray("\"a,b\",c") << QStringList{"a,b", "c"};
        QTest::newRow("blanks around bare values")
            << QByteArray("  7 ,\t8\r\n") << QStringList{"7", "8"};
        QTest::newRow("unterminated quote runs to the end")
            << QByteArray("\"abc") << QStringList{"abc"};
        QTest::newRow("nothing") << QByteArray("") << QStringList{};
    }
    void reads() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, values);
        QStringList got;
        for (const auto& v : ReadCsvValues(text.toStdString())) got << QString::fromStdString(v);
        QCOMPARE(got, values);
    }

    void numbers_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("int16");
        QTest::newRow("plain") << "1234" << true << 1234;
        QTest::newRow("negative") << "-32768" << true << -32768;
        QTest::newRow("half rounds to even") << "2.5" << true << 2;
        QTest::newRow("half rounds to even, odd") << "3.5" << true << 4;
        QTest::newRow("empty is 0") << "" << true << 0;
        QTest::newRow("too large") << "32768" << false << 0;
        QTest::newRow("rounds past the edge") << "32767.5" << false << 0;
        QTest::newRow("text") << "abc" << false << 0;
        QTest::newRow("trailing junk") << "12x" << false << 0;
        QTest::newRow("comma decimal") << "1,5" << false << 0;
    }
    void numbers() {
        QFETCH(QString, value);
        QFETCH(bool, ok);
        QFETCH(int, int16);
        const auto n = ParseCsvInt16(value.toStdString());
        QCOMPARE(n.has_value(), ok);
        if (ok) QCOMPARE(int(*n), int16);
    }

    void writesTheClassicForm() {
        const std::string line = CsvLine({QuoteCsv("a b"), FormatCsvNumber(0), FormatCsvNumber(-15),
                                          FormatCsvNumber(2.5), QuoteCsv("")});
        QCOMPARE(QString::fromStdString(line), QStringLiteral("\"a b\",0,-15,2.5,\"\"\r\n"));
    }
};

QTEST_APPLESS_MAIN(TstCsvText)
#include "tst_csv_text.moc"
