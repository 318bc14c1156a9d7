#include "Convert.h"

#include <QTest>

class TestConvert : public QObject
{
    Q_OBJECT

private slots:
    void integer_data();
    void integer();
    void hexPair_data();
    void hexPair();
    void decimal_data();
    void decimal();
    void bcd();
    void latin1_data();
    void latin1();
};

namespace {

// The converted value, or the error message.
template<typename F>
QString Outcome(F &&convert)
{
    try {
        return QString::number(convert());
    } catch (const EConvertError &e) {
        return QString::fromUtf8(e.what());
    }
}

} // namespace

void TestConvert::integer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("digits") << "0042" << "42";
    QTest::newRow("plus") << "+7" << "7";
    QTest::newRow("minus") << "-12" << "-12";
    QTest::newRow("int max") << "2147483647" << "2147483647";
    QTest::newRow("int min") << "-2147483648" << "-2147483648";
    QTest::newRow("above int max") << "2147483648" << "'2147483648' is not a valid integer value";
    QTest::newRow("empty") << "" << "'' is not a valid integer value";
    QTest::newRow("sign only") << "-" << "'-' is not a valid integer value";
    QTest::newRow("blank around") << " 5" << "' 5' is not a valid integer value";
    QTest::newRow("hex prefix") << "$1F" << "'$1F' is not a valid integer value";
}

void TestConvert::integer()
{
    QFETCH(QString, text);
    QFETCH(QString, outcome);
    QCOMPARE(Outcome([&] { return StrToInt(text.toStdString()); }), outcome);
}

void TestConvert::hexPair_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("upper") << "AB" << "171";
    QTest::newRow("lower") << "ab" << "171";
    QTest::newRow("not hex") << "0G" << "'0G' is not a valid integer value";
    QTest::newRow("one digit") << "A" << "'A' is not a valid integer value";
    QTest::newRow("empty") << "" << "'' is not a valid integer value";
    QTest::newRow("signed") << "-1" << "'-1' is not a valid integer value";
}

void TestConvert::hexPair()
{
    QFETCH(QString, text);
    QFETCH(QString, outcome);
    QCOMPARE(Outcome([&] { return HexPairToInt(text.toStdString()); }), outcome);
}

void TestConvert::decimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("negative") << "-1.5" << "." << "-15000";
    QTest::newRow("fifth place rounds down") << "12.34564" << "." << "123456";
    QTest::newRow("fifth place rounds up") << "12.34565" << "." << "123457";
    QTest::newRow("rounding carries into the whole part") << "12.99995" << "." << "130000";
    QTest::newRow("negative rounds away from zero") << "-0.00005" << "." << "-1";
    QTest::newRow("no whole digits") << ".5" << "." << "5000";
    QTest::newRow("no fraction digits") << "5." << "." << "50000";
    QTest::newRow("blanks trimmed") << " \t12.5 " << "." << "125000";
    QTest::newRow("comma locale, comma") << "1,5" << "," << "15000";
    QTest::newRow("comma locale, point") << "1.5" << "," << "15000";
    QTest::newRow("point locale, comma") << "1,5" << "." << "'1,5' is not a valid floating point value";
    QTest::newRow("two-byte separator") << "1\u066B5" << "\u066B" << "15000";
    QTest::newRow("lone point") << "." << "." << "'.' is not a valid floating point value";
    QTest::newRow("minus inside") << "1-2" << "." << "'1-2' is not a valid floating point value";
    QTest::newRow("minus only") << "-" << "." << "'-' is not a valid floating point value";
    QTest::newRow("point and comma") << "1.2,3" << "," << "'1.2,3' is not a valid floating point value";
    QTest::newRow("exponent") << "1e5" << "." << "'1e5' is not a valid floating point value";
    QTest::newRow("too large") << "99999999999999999" << "." << "'99999999999999999' is not a valid floating point value";
}

void TestConvert::decimal()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(QString, outcome);
    QCOMPARE(Outcome([&] { return StrToTenThousandths(text.toStdString(), separator.toStdString()); }), outcome);
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
