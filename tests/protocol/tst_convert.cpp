#include "Convert.h"

#include <QTest>

class TestConvert : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void bcd();
    void latin1_data();
    void latin1();
};

// "int", "hex", or the decimal separator that a decimal is read with.
void TestConvert::text_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome");
    const auto row = [](const char *name, const char *kind, const char *text, const char *outcome) {
        QTest::newRow(name) << kind << text << outcome;
    };
    const char *notInt = "'%1' is not a valid integer value";
    const char *notDecimal = "'%1' is not a valid floating point value";
    const auto bad = [](const char *name, const char *kind, const char *text, const char *message) {
        QTest::newRow(name) << kind << text << QString::fromUtf8(message).arg(QString::fromUtf8(text));
    };
    row("int digits", "int", "0042", "42");
    row("int plus", "int", "+7", "7");
    row("int minus", "int", "-12", "-12");
    row("int max", "int", "2147483647", "2147483647");
    row("int min", "int", "-2147483648", "-2147483648");
    bad("int above max", "int", "2147483648", notInt);
    bad("int empty", "int", "", notInt);
    bad("int sign only", "int", "-", notInt);
    bad("int blank around", "int", " 5", notInt);
    bad("int hex prefix", "int", "$1F", notInt);

    row("hex upper", "hex", "AB", "171");
    row("hex lower", "hex", "ab", "171");
    bad("hex not hex", "hex", "0G", notInt);
    bad("hex one digit", "hex", "A", notInt);
    bad("hex signed", "hex", "-1", notInt);

    row("negative", ".", "-1.5", "-15000");
    row("fifth place rounds down", ".", "12.34564", "123456");
    row("fifth place rounds up", ".", "12.34565", "123457");
    row("negative rounds away from zero", ".", "-0.00005", "-1");
    row("no whole digits", ".", ".5", "5000");
    row("no fraction digits", ".", "5.", "50000");
    row("blanks trimmed", ".", " \t12.5 ", "125000");
    row("comma locale, comma", ",", "1,5", "15000");
    // Regression: the filter lets only "." be typed, so every locale takes it.
    row("comma locale, point", ",", "1.5", "15000");
    row("two-byte separator", "\u066B", "1\u066B5", "15000");
    bad("point locale, comma", ".", "1,5", notDecimal);
    bad("lone point", ".", ".", notDecimal);
    bad("minus inside", ".", "1-2", notDecimal);
    bad("point and comma", ",", "1.2,3", notDecimal);
    bad("exponent", ".", "1e5", notDecimal);
    bad("too large", ".", "99999999999999999", notDecimal);
}

void TestConvert::text()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QString, outcome);
    const std::string t = text.toStdString();
    QString result;
    try {
        result = QString::number(kind == "int"   ? StrToInt(t)
                                 : kind == "hex" ? HexPairToInt(t)
                                                 : StrToTenThousandths(t, kind.toStdString()));
    } catch (const EConvertError &e) {
        result = QString::fromUtf8(e.what());
    }
    QCOMPARE(result, outcome);
}

void TestConvert::bcd()
{
    QCOMPARE(ToBcd(125), std::uint8_t(0x25));  // only the two low digits fit
    QCOMPARE(FromBcd(0x1A), 20);
    for (int n = 0; n < 100; ++n)
        QCOMPARE(FromBcd(ToBcd(n)), n);
}

void TestConvert::latin1_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("latin-1 letters are one byte each") << QByteArray("é°ÿ") << QByteArray("\xE9\xB0\xFF");
    QTest::newRow("outside latin-1") << QByteArray("a€b") << QByteArray("a?b");
    QTest::newRow("outside the basic plane") << QByteArray("x\U0001F600") << QByteArray("x?");
    QTest::newRow("line break stays") << QByteArray("a\r\nb") << QByteArray("a\r\nb");
    // Malformed UTF-8: one unknown character per byte.
    QTest::newRow("cut short at the end") << QByteArray("a\xC3") << QByteArray("a?");
    QTest::newRow("cut short before a character") << QByteArray("\xE2\x82z") << QByteArray("??z");
    QTest::newRow("overlong") << QByteArray("\xC0\x80") << QByteArray("??");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QByteArray("???");
}

void TestConvert::latin1()
{
    QFETCH(QByteArray, utf8);
    QFETCH(QByteArray, bytes);
    const std::vector<std::uint8_t> out = Utf8ToLatin1(utf8.toStdString());
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(out.data()), qsizetype(out.size())), bytes);

    // Reading back gives the text, except where "?" stood in.
    if (!bytes.contains('?'))
        QCOMPARE(QByteArray::fromStdString(Latin1ToUtf8(out.data(), out.size())), utf8);
}

QTEST_APPLESS_MAIN(TestConvert)
#include "tst_convert.moc"
