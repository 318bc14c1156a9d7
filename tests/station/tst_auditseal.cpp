#include "AuditSeal.h"
#include "AuditSealFile.h"
#include "AuditSupport.h"
#include "AuditVerify.h"

#include <QCoreApplication>
#include <QTest>

// A sealed log tampered with every way a regulator would try, checked
// without the verification key (the chain only) and with it (every seal
// with its own step's key, and the seal file's tag): each row names the
// exit status loggerctl gives and what it says.
class TestAuditSeal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tampering_data();
    void tampering();
    void keyText_data();
    void keyText();

private:
    QTemporaryDir FDir;
};

namespace {

// loggerctl audit verify's exit status.
int Status(const TAuditCheck &check)
{
    if (!check.Readable || check.Seals == TAuditCheck::TSeals::WrongKey)
        return 2;
    return check.Clean() ? 0 : 1;
}

// A sealed log: its creation and four records, five in all.
QString NewSealedLog(const QTemporaryDir &dir, QByteArray *key)
{
    static int count = 0;
    const QString path = dir.filePath(QStringLiteral("sealed-%1.jsonl").arg(++count));
    TAuditRecord creation = SampleRecord(1);
    QString error;
    const std::optional<QByteArray> made = CreateSealedAuditLog(path, &creation, &error);
    if (!made)
        qFatal("%s", qPrintable(error));
    *key = *made;
    for (int i = 2; i <= 5; ++i) {
        TAuditRecord r = SampleRecord(i);
        if (!AppendAuditRecord(path, &r, &error))
            qFatal("%s", qPrintable(error));
    }
    return path;
}

TAuditRecord Parsed(const QByteArray &line)
{
    const std::optional<TAuditRecord> r = ParseAuditLine(line);
    if (!r)
        qFatal("not a record: %s", line.constData());
    return *r;
}

// Lines From on chained again to the line before each, as a forger who
// knows the format does; resealed with Key when there is one.
void Rechain(QList<QByteArray> &lines, int from, const QByteArray &key = {})
{
    for (int i = from; i < lines.size(); ++i) {
        TAuditRecord r = Parsed(lines[i]);
        r.Previous = Sha256Hex(lines[i - 1]);
        if (!key.isEmpty())
            r.Seal = SealOf(key, UnsealedAuditLine(r));
        lines[i] = AuditLine(r);
    }
}

} // namespace

void TestAuditSeal::initTestCase()
{
    QVERIFY(FDir.isValid());
}

void TestAuditSeal::tampering_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("plainStatus");  // without the key
    QTest::addColumn<QString>("plainSummary");
    QTest::addColumn<int>("keyStatus");    // with it
    QTest::addColumn<QString>("keySummary");

    const QString unchecked = QStringLiteral("; seals not checked: that needs the verification key");
    QTest::newRow("untouched") << "" << 0 << "chain intact, 5 records" + unchecked << 0
                               << "chain and seals intact, 5 records";
    QTest::newRow("a changed byte in the first record")
        << "byte 1" << 1 << "record 1 changed (line 1)" + unchecked << 1
        << "record 1 changed (line 1); its seal does not hold";
    QTest::newRow("a changed byte in a middle record")
        << "byte 3" << 1 << "record 3 changed (line 3)" + unchecked << 1
        << "record 3 changed (line 3); its seal does not hold";
    // What the chain alone cannot show.
    QTest::newRow("a changed byte in the last record")
        << "byte 5" << 0 << "chain intact, 5 records" + unchecked << 1
        << "chain intact, 5 records; the seal of record 5 does not hold (line 5); the last record is not the one its "
           "seal file names";
    QTest::newRow("a record removed") << "remove 3" << 1 << "record 3 removed (before line 3)" + unchecked << 1
                                      << "record 3 removed (before line 3); every seal holds";
    QTest::newRow("a record inserted, with a seal made up")
        << "forge 3" << 1 << "a record inserted at line 4, after record 3" + unchecked << 1
        << "a record inserted at line 4, after record 3; the seal of record 4 does not hold (line 4)";
    QTest::newRow("a record duplicated") << "copy 2 after 4" << 1
                                         << "a record inserted at line 5, after record 4" + unchecked << 1
                                         << "a record inserted at line 5, after record 4; every seal holds";
    QTest::newRow("two records swapped") << "swap 3" << 1 << "a record inserted at line 3, after record 2" + unchecked
                                         << 1 << "a record inserted at line 3, after record 2; every seal holds";
    QTest::newRow("the chain recomputed after a change")
        << "rechain 3" << 0 << "chain intact, 5 records" + unchecked << 1
        << "chain intact, 5 records; 3 seals do not hold, from record 3 (line 3) to record 5; the last record is not "
           "the one its seal file names";
    QTest::newRow("the last record cut") << "cut" << 0 << "chain intact, 4 records" + unchecked << 1
                                         << "chain and seals intact, 4 records; record 5 cut from the end (its seal "
                                            "file names record 5 as the last)";
    QTest::newRow("a wrong key") << "wrong key" << 0 << "chain intact, 5 records" + unchecked << 2
                                 << "the key does not fit this log: not one of its seals holds with it (the key of "
                                    "another log, or a log replaced whole)";
    // The fault this guards: a record sealed again with a later step's key,
    // which a verifier that tries every step up to the current one takes.
    QTest::newRow("records sealed again with the station's later key")
        << "reseal 3" << 0 << "chain intact, 5 records" + unchecked << 1
        << "chain intact, 5 records; 3 seals do not hold, from record 3 (line 3) to record 5";
    // What the seal cannot do, as the manual says: whoever holds the
    // station's current key seals from then on.
    QTest::newRow("an append by the holder of the station's current key passes")
        << "append with the station's key" << 0 << "chain intact, 6 records" + unchecked << 0
        << "chain and seals intact, 6 records";
    QTest::newRow("seals taken off and the chain recomputed")
        << "strip" << 0 << "chain intact, 5 records" << 1
        << "chain intact, 5 records; not one record is sealed: a plain chain (made without audit init), or its seals "
           "were taken off";
    QTest::newRow("a torn last line") << "torn" << 1
                                      << "torn record 6 (line 6), chain otherwise intact, 5 records" + unchecked << 1
                                      << "torn record 6 (line 6), chain and seals otherwise intact, 5 records";
    QTest::newRow("the seal file removed") << "no seal file" << 0 << "chain intact, 5 records" + unchecked << 1
                                           << "chain and seals intact, 5 records; its seal file SEAL is missing: "
                                              "records cut from the end cannot be told";
    QTest::newRow("the seal file's tag changed") << "tag" << 0 << "chain intact, 5 records" + unchecked << 1
                                                 << "chain and seals intact, 5 records; the tag in its seal file does "
                                                    "not hold: the seal file was changed";
}

void TestAuditSeal::tampering()
{
    QFETCH(QString, change);
    QFETCH(int, plainStatus);
    QFETCH(QString, plainSummary);
    QFETCH(int, keyStatus);
    QFETCH(QString, keySummary);

    QByteArray key;
    const QString path = NewSealedLog(FDir, &key);
    const QString sealPath = SealFilePath(path);
    QList<QByteArray> lines = FileLines(path);
    QCOMPARE(lines.size(), 5);
    TSealState station;
    QString error;
    QVERIFY2(ReadSealFile(sealPath, &station, &error), qPrintable(error));
    QCOMPARE(station.Step, 6);

    const QString word = change.section(u' ', 0, 0);
    const int n = change.section(u' ', 1, 1).toInt() - 1;
    QByteArray tail;
    if (word == u"byte") {
        lines[n].replace("\"anna\"", "\"anne\"");
    } else if (word == u"remove") {
        lines.remove(n);
    } else if (word == u"forge") {
        TAuditRecord forged = Parsed(lines[n]);
        forged.Operator = QStringLiteral("mallory");
        forged.Sequence = n + 2;
        forged.Previous = Sha256Hex(lines[n]);
        forged.Seal = QByteArray(64, 'a');
        lines.insert(n + 1, AuditLine(forged));
    } else if (word == u"copy") {
        lines.insert(change.section(u' ', 3, 3).toInt(), lines[n]);
    } else if (word == u"swap") {
        lines.swapItemsAt(n, n + 1);
    } else if (word == u"rechain") {
        lines[n].replace("\"anna\"", "\"anne\"");
        Rechain(lines, n + 1);
    } else if (word == u"cut") {
        lines.removeLast();
    } else if (word == u"wrong") {
        key = NewSealKey();
    } else if (word == u"reseal" || word == u"append") {
        // The intruder read the station's seal file, and with it the key of
        // step 6, and renews the tag as the station would.
        TSealState renewed = station;
        if (word == u"reseal") {
            lines[n].replace("\"anna\"", "\"anne\"");
            Rechain(lines, n, station.Key);
        } else {
            TAuditRecord forged = SampleRecord(6);
            forged.Sequence = 6;
            forged.Previous = Sha256Hex(lines.last());
            forged.Seal = SealOf(station.Key, UnsealedAuditLine(forged));
            lines << AuditLine(forged);
            renewed.Step = 7;
            renewed.Key = NextSealKey(station.Key);
        }
        renewed.LastSha256 = Sha256Hex(lines.last());
        renewed.Tag = TagOf(renewed.Key, renewed.LastRecord(), renewed.LastSha256);
        QVERIFY(QFile::remove(sealPath));
        QVERIFY2(CreateSealFile(sealPath, renewed, &error), qPrintable(error));
    } else if (word == u"strip") {
        for (int i = 0; i < lines.size(); ++i) {
            TAuditRecord r = Parsed(lines[i]);
            r.Seal.clear();
            if (i > 0)
                r.Previous = Sha256Hex(lines[i - 1]);
            lines[i] = AuditLine(r);
        }
    } else if (word == u"torn") {
        TAuditRecord next = SampleRecord(6);
        next.Sequence = 6;
        next.Previous = Sha256Hex(lines.last());
        tail = AuditLine(next).left(100);
    } else if (word == u"no") {
        QVERIFY(QFile::remove(sealPath));
    } else if (word == u"tag") {
        station.Tag = TagOf(station.Key, 4, station.LastSha256);
        QFile::remove(sealPath);
        QVERIFY2(CreateSealFile(sealPath, station, &error), qPrintable(error));
    }
    QVERIFY(WriteFileLines(path, lines, tail));

    const TAuditCheck plain = VerifyAuditLog(path);
    QCOMPARE(plain.Summary(), plainSummary);
    QCOMPARE(Status(plain), plainStatus);
    const TAuditCheck keyed = VerifyAuditLog(path, key);
    QCOMPARE(keyed.Summary(), QString(keySummary).replace(QStringLiteral("SEAL"), sealPath));
    QCOMPARE(Status(keyed), keyStatus);
}

void TestAuditSeal::keyText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("why");  // empty: taken

    const QByteArray key = QByteArray::fromHex("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
    const QString text = VerificationKeyText(key);
    QTest::newRow("as printed") << text << "";
    QTest::newRow("in capitals, with spaces for dashes") << text.toUpper().replace(u'-', u' ') << "";
    QTest::newRow("a digit mistyped") << QString(text).replace(0, 1, u'1') << "mistyped";
    QTest::newRow("the check left out") << text.left(text.size() - 5) << "68 hex digits, not 64";
    QTest::newRow("a letter that is no hex digit") << QString(text).replace(0, 1, u'g') << "hex digits only";
}

void TestAuditSeal::keyText()
{
    QFETCH(QString, typed);
    QFETCH(QString, why);

    QString problem;
    const std::optional<QByteArray> key = ParseVerificationKey(typed, &problem);
    if (why.isEmpty()) {
        QVERIFY2(key, qPrintable(problem));
        QCOMPARE(key->toHex(), QByteArray("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"));
    } else {
        QVERIFY(!key);
        QVERIFY2(problem.contains(why), qPrintable(problem));
    }
}

QTEST_GUILESS_MAIN(TestAuditSeal)
#include "tst_auditseal.moc"
