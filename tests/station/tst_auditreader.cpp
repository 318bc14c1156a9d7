#include "AuditSupport.h"
#include "AuditVerify.h"
#include "FileSizeLimit.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <cstdio>

// The reader as a damaged disk or a careless editor would try it: what is
// no record is named as damaged, a torn line is only what a crash leaves at
// the end, nothing odd passes for a record, and no number is given twice.
class TestAuditReader : public QObject
{
    Q_OBJECT

private slots:
    void damage_data();
    void damage();
    void failedAppendIsCutBack();

private:
    QTemporaryDir FDir;
};

namespace {

// Eight lines of bytes that are no JSON, the same every run.
QByteArray RandomBytes()
{
    QRandomGenerator random(4711);
    QByteArray bytes;
    for (int line = 0; line < 8; ++line) {
        for (int i = 0; i < 500; ++i) {
            const char c = char(random.bounded(256));
            bytes += c == '\n' || c == '{' ? 'x' : c;
        }
        bytes += '\n';
    }
    return bytes;
}

int AppendInChild(const QString &path, qint64 limit, QString *error)
{
    QProcess child;
    if (!LimitFileSize(child, limit))
        return -1;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--append"), path});
    child.waitForFinished(30000);
    *error = QString::fromLocal8Bit(child.readAllStandardError());
    return child.exitCode();
}

} // namespace

void TestAuditReader::damage_data()
{
    QTest::addColumn<QString>("change");   // what is done to a log of three records
    QTest::addColumn<QString>("summary");
    QTest::addColumn<bool>("intact");
    QTest::addColumn<int>("next");         // the number the next append takes

    QTest::newRow("an empty file") << "empty" << "empty: it holds no record" << true << 1;
    // The fault: eight torn records, one per line.
    QTest::newRow("random bytes are one damaged file")
        << "random" << "damaged throughout: not one of its 8 line(s) is a record (line 1: not a JSON object)" << false
        << 9;
    QTest::newRow("a line cut short at the end is torn")
        << "torn" << "torn record 4 (line 4), chain otherwise intact, 3 records" << true << 5;
    // The fault: a complete line that is no record counted as torn.
    QTest::newRow("a torn line is only an unfinished last line")
        << "torn, then a line end" << "record 4 damaged (line 4): not a JSON object" << false << 5;
    QTest::newRow("a complete last line that is no record")
        << "rename a key in 3" << "record 3 damaged (line 3): host is not a text" << false << 4;
    QTest::newRow("a line put between two records that chain")
        << "insert garbage after 2" << "line 3 damaged: not a JSON object" << false << 4;
    QTest::newRow("a key given twice")
        << "twice 2" << "record 2 damaged (line 2): has the key \"operator\" twice" << false << 4;
    QTest::newRow("a line longer than any record")
        << "long 2" << "record 2 damaged (line 2): longer than 256 KiB" << false << 4;
    QTest::newRow("a record spelt with spaces")
        << "spaces 2"
        << "record 2 damaged (line 2): not in the log's own form (its fields out of order, spaced or spelt otherwise)"
        << false << 4;
    // The fault the fuzzer found: a number too large for its type was cast all the same.
    QTest::newRow("a number beyond any record's")
        << "huge number 2" << "record 2 damaged (line 2): seq is not a whole number from 1" << false << 4;
    QTest::newRow("a record of the log's first form, from before intents")
        << "first form 3" << "chain intact, 3 records" << true << 4;
}

void TestAuditReader::damage()
{
    QFETCH(QString, change);
    QFETCH(QString, summary);
    QFETCH(bool, intact);
    QFETCH(int, next);

    const QString path = NewPlainLog(FDir, 3);
    QList<QByteArray> lines = FileLines(path);
    QByteArray tail;
    const QString word = change.section(u' ', 0, 0);
    const int n = change.section(u' ', -1).toInt() - 1;
    if (word == u"empty") {
        lines.clear();
    } else if (word == u"random") {
        lines = RandomBytes().split('\n');
        lines.removeLast();
    } else if (change.startsWith(u"torn")) {
        TAuditRecord cut = SampleRecord(4);
        cut.Sequence = 4;
        cut.Previous = Sha256Hex(lines.last());
        tail = AuditLine(cut).left(120);
        if (change.endsWith(u"line end"))
            tail += '\n';
    } else if (word == u"rename") {
        lines[n].replace("\"host\":", "\"hast\":");
    } else if (word == u"insert") {
        lines.insert(n + 1, "garbage");
    } else if (word == u"twice") {
        lines[n].replace("\"operator\":\"anna\"", "\"operator\":\"mallory\",\"operator\":\"anna\"");
    } else if (word == u"long") {
        lines[n] = QByteArray(300 * 1024, 'x');
    } else if (word == u"spaces") {
        lines[n].replace("{\"seq\":2,", "{\"seq\": 2,");
    } else if (word == u"huge") {
        lines[n].replace("{\"seq\":2,", "{\"seq\":3e+64,");
    } else if (word == u"first") {
        // As the first program wrote it: no intent field, and the chain recomputed over it.
        TAuditRecord old = *ParseAuditLine(lines[n]);
        old.FirstForm = true;
        lines[n] = AuditLine(old);
    }
    QVERIFY(WriteFileLines(path, lines, tail));

    const TAuditCheck check = VerifyAuditLog(path);
    QCOMPARE(check.Summary(), summary);
    QCOMPARE(check.Intact(), intact);
    if (word == u"empty")
        QVERIFY(!check.Clean());
    TAuditRecord r = SampleRecord(9);
    QString error;
    QVERIFY2(AppendAuditRecord(path, &r, &error), qPrintable(error));
    QCOMPARE(r.Sequence, next);
}

// A full disk halfway through an append: the program is told, and the log
// is as it was, without a fragment that the next append would have to
// chain past.
void TestAuditReader::failedAppendIsCutBack()
{
    const QString path = NewPlainLog(FDir, 3);
    const QByteArray before = FileLines(path).join('\n') + '\n';
    QString error;
    const int status = AppendInChild(path, before.size() + 100, &error);
    if (status == -1)
        QSKIP("no file size limit on this system");
    QCOMPARE(status, 1);
    QVERIFY2(error.contains(QStringLiteral("the log is as it was")), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    file.close();

    const TAuditCheck check = VerifyAuditLog(path);
    QCOMPARE(check.Summary(), QStringLiteral("chain intact, 3 records"));
    TAuditRecord r = SampleRecord(4);
    QVERIFY2(AppendAuditRecord(path, &r, &error), qPrintable(error));
    QCOMPARE(r.Sequence, 4);
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--append") == 0) {
        TAuditRecord r = SampleRecord(4);
        QString error;
        if (AppendAuditRecord(QString::fromLocal8Bit(argv[2]), &r, &error))
            return 0;
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QCoreApplication app(argc, argv);
    TestAuditReader test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_auditreader.moc"
