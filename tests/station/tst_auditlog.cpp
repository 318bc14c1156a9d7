#include "AuditFile.h"
#include "AuditLog.h"
#include "AuditSupport.h"
#include "AuditTable.h"
#include "AuditVerify.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

// The audit log as a regulator would test it: every kind of tampering is
// found and named, a crash never costs more than the record being written,
// and the log goes on after either.
class TestAuditLog : public QObject
{
    Q_OBJECT

private slots:
    void lineKeepsEveryText();
    void tampering_data();
    void tampering();
    void appendAfterTornLines_data();
    void appendAfterTornLines();
    void killedWhileAppending_data();
    void killedWhileAppending();
    void appendersTakeTurns();
    void lockWaitIsBounded();
    void filesAreTheUsersAlone();
    void operatorWithoutLoginName();
    void table();

private:
    QTemporaryDir FDir;
};

namespace {

TAuditRecord Sample(int n, const QString &serial = QStringLiteral("A05123456"))
{
    return SampleRecord(n, serial);
}

QList<QByteArray> Lines(const QString &path)
{
    return FileLines(path);
}

bool WriteLines(const QString &path, const QList<QByteArray> &lines, const QByteArray &tail = {})
{
    return WriteFileLines(path, lines, tail);
}

bool AppendBytes(const QString &path, const QByteArray &bytes)
{
    return WriteFileBytes(path, bytes, QIODevice::Append);
}

QString NewLog(const QTemporaryDir &dir, int records)
{
    return NewPlainLog(dir, records);
}

// The log as a test helper leaves it: this program again, appending records
// one by one and saying so after each.
int AppendLoop(int argc, char **argv)
{
    if (argc < 4)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    const bool step = argc > 4 && qstrcmp(argv[4], "--step") == 0;
    for (int n = 1; count == 0 || n <= count; ++n) {
        if (step) {
            char go[8];
            if (!std::fgets(go, sizeof go, stdin))
                return 0;
        }
        TAuditRecord r = Sample(n, QStringLiteral("A0500%1").arg(n % 10000, 4, 10, QLatin1Char('0')));
        QString error;
        if (!AppendAuditRecord(path, &r, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("appended %lld\n", static_cast<long long>(r.Sequence));
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

void TestAuditLog::lineKeepsEveryText()
{
    TAuditRecord r = Sample(1);
    // A line break in a value must not end the record's line.
    r.Operator = QStringLiteral("Ann\r\n\"the\" \\ tech\t\x01\x1f é €");
    r.Changes.push_back({"Trip Information", "\"Cold chain\"", "\"say \\\"hi\\\"\\r\\nÿ\""});
    r.Sequence = 7;
    r.Previous = Sha256Hex("previous");
    const QByteArray line = AuditLine(r);
    QVERIFY(!line.contains('\n') && !line.contains('\r'));
    QVERIFY2(line.startsWith("{\"seq\":7,\"time\":\"2026-12-08T17:05:01Z\",\"time_zone\":\"UTC+08:00\",\"host\""),
             line.constData());
    QVERIFY(line.endsWith(",\"prev\":\"" + r.Previous + "\"}"));

    QString why;
    const auto read = ParseAuditLine(line, &why);
    QVERIFY2(read, qPrintable(why));
    QCOMPARE(read->Operator, r.Operator);
    QCOMPARE(read->Time, r.Time);
    QCOMPARE(read->Changes.size(), 2u);
    QCOMPARE(read->Changes[1].New, r.Changes[1].New);
    QCOMPARE(AuditLine(*read), line);
    QCOMPARE(read->Sha256, Sha256Hex(line));
}

void TestAuditLog::tampering_data()
{
    QTest::addColumn<QString>("change");  // what is done to a log of five records
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("summary");

    using F = TAuditCheck::TFault;
    QTest::newRow("untouched") << "" << int(F::None) << "chain intact, 5 records";
    QTest::newRow("a changed byte in a value") << "byte 3" << int(F::Changed) << "record 3 changed (line 3)";
    QTest::newRow("a changed byte in the first record") << "byte 1" << int(F::Changed) << "record 1 changed (line 1)";
    QTest::newRow("a changed byte in a record's own chain hash")
        << "hash 3" << int(F::Changed) << "record 3 changed (line 3)";
    QTest::newRow("a changed byte that breaks the line")
        << "brace 2" << int(F::Damaged) << "record 2 damaged (line 2): not a JSON object";
    QTest::newRow("a renumbered record") << "renumber 4" << int(F::Changed) << "record 4 changed (line 4)";
    QTest::newRow("a removed record") << "remove 3" << int(F::Removed) << "record 3 removed (before line 3)";
    QTest::newRow("the first record removed") << "remove 1" << int(F::Removed) << "record 1 removed (before line 1)";
    QTest::newRow("two removed records") << "remove 2 3" << int(F::Removed) << "records 2 to 3 removed (before line 2)";
    QTest::newRow("an inserted copy of a record")
        << "copy 2 after 4" << int(F::Inserted) << "a record inserted at line 5, after record 4";
    QTest::newRow("an inserted record that chains")
        << "forge 3" << int(F::Inserted) << "a record inserted at line 4, after record 3";
    QTest::newRow("a torn last line")
        << "torn" << int(F::None) << "torn record 6 (line 6), chain otherwise intact, 5 records";
}

void TestAuditLog::tampering()
{
    QFETCH(QString, change);
    QFETCH(int, fault);
    QFETCH(QString, summary);

    const QString path = NewLog(FDir, 5);
    QList<QByteArray> lines = Lines(path);
    QCOMPARE(lines.size(), 5);
    const QStringList words = change.split(u' ');
    const int n = words.size() > 1 ? words[1].toInt() - 1 : 0;
    QByteArray tail;
    if (words[0] == u"byte") {
        lines[n].replace("\"anna\"", "\"anne\"");
    } else if (words[0] == u"hash") {
        const qsizetype at = lines[n].indexOf("\"prev\":\"") + 8;
        lines[n][at] = lines[n][at] == '0' ? '1' : '0';
    } else if (words[0] == u"brace") {
        lines[n][0] = '[';
    } else if (words[0] == u"renumber") {
        lines[n].replace("{\"seq\":4,", "{\"seq\":9,");
    } else if (words[0] == u"remove") {
        lines.remove(n, words.size() - 1);
    } else if (words[0] == u"copy") {
        lines.insert(words[3].toInt(), lines[n]);
    } else if (words[0] == u"forge") {
        // The forger knows the format and the chain: only the record it
        // displaces can give it away.
        TAuditRecord forged = *ParseAuditLine(lines[n]);
        forged.Operator = QStringLiteral("mallory");
        forged.Sequence = n + 2;
        forged.Previous = Sha256Hex(lines[n]);
        lines.insert(n + 1, AuditLine(forged));
    } else if (words[0] == u"torn") {
        TAuditRecord next = Sample(6);
        next.Sequence = 6;
        next.Previous = Sha256Hex(lines.last());
        tail = AuditLine(next).left(100);
    }
    QVERIFY(WriteLines(path, lines, tail));

    const TAuditCheck check = VerifyAuditLog(path);
    QCOMPARE(check.Summary(), summary);
    QCOMPARE(int(check.Fault), fault);
    QCOMPARE(check.Intact(), fault == int(TAuditCheck::TFault::None));
}

void TestAuditLog::appendAfterTornLines_data()
{
    QTest::addColumn<int>("tears");  // appends cut short one after another
    QTest::newRow("one torn line") << 1;
    QTest::newRow("a second crash while the next append starts its line") << 2;
}

void TestAuditLog::appendAfterTornLines()
{
    QFETCH(int, tears);

    const QString path = NewLog(FDir, 3);
    const QByteArray third = Lines(path).last();
    // A torn append starts its own line before the record, as every append
    // after a torn line does, and takes the number after the torn one.
    for (int i = 0; i < tears; ++i) {
        TAuditRecord cut = Sample(4 + i);
        cut.Sequence = 4 + i;
        cut.Previous = Sha256Hex(third);
        QVERIFY(AppendBytes(path, (i > 0 ? "\n" : "") + AuditLine(cut).left(60 + i)));
    }

    TAuditRecord next = Sample(4);
    QString error;
    QVERIFY2(AppendAuditRecord(path, &next, &error), qPrintable(error));
    // A number once given, to a line that never became a record, is not given again.
    QCOMPARE(next.Sequence, 4 + tears);
    QCOMPARE(next.Previous, Sha256Hex(third));

    const TAuditCheck check = VerifyAuditLog(path);
    QVERIFY2(check.Intact(), qPrintable(check.Summary()));
    QCOMPARE(check.Torn.size(), std::size_t(tears));
    QCOMPARE(check.Torn.front().Sequence, 4);
    QCOMPARE(check.Torn.back().Sequence, 3 + tears);
    QCOMPARE(check.LastSequence, 4 + tears);
    QCOMPARE(check.LastSha256, next.Sha256);
    if (tears == 1)
        QCOMPARE(check.Summary(), QStringLiteral("torn record 4 (line 4), chain otherwise intact, 4 records"));
    QCOMPARE(Lines(path).last(), AuditLine(next));
}

void TestAuditLog::killedWhileAppending_data()
{
    QTest::addColumn<bool>("step");
    QTest::newRow("between two appends") << true;
    QTest::newRow("at full speed, perhaps inside an append") << false;
}

void TestAuditLog::killedWhileAppending()
{
    QFETCH(bool, step);

    const QString path = FDir.filePath(QStringLiteral("killed-%1.jsonl").arg(step));
    QStringList arguments = {QStringLiteral("--append"), path, QStringLiteral("0")};
    if (step)
        arguments << QStringLiteral("--step");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    QVERIFY(child.waitForStarted());
    int reported = 0;
    while (reported < 5) {
        if (step)
            child.write("go\n");
        QVERIFY2(child.waitForReadyRead(10000), child.readAllStandardError().constData());
        while (child.canReadLine())
            reported = child.readLine().trimmed().split(' ').last().toInt();
    }
    child.kill();  // SIGKILL, TerminateProcess on Windows: nothing of the child runs on
    QVERIFY(child.waitForFinished(10000));

    TAuditCheck check = VerifyAuditLog(path);
    QVERIFY2(check.Intact(), qPrintable(check.Summary()));
    QVERIFY(check.LastSequence >= reported);
    QVERIFY(check.Torn.size() <= 1);
    if (step)
        QCOMPARE(check.Summary(), QStringLiteral("chain intact, %1 records").arg(reported));

    TAuditRecord next = Sample(99);
    QString error;
    QVERIFY2(AppendAuditRecord(path, &next, &error), qPrintable(error));
    const qint64 expected = check.LastSequence + 1 + qint64(check.Torn.size());
    QCOMPARE(next.Sequence, expected);
    check = VerifyAuditLog(path);
    QVERIFY2(check.Intact(), qPrintable(check.Summary()));
    QCOMPARE(check.LastSequence, expected);
}

void TestAuditLog::appendersTakeTurns()
{
    // Two benches writing into one log: each record chains to the one that
    // really came before, whoever wrote it.
    const QString path = FDir.filePath(QStringLiteral("shared.jsonl"));
    QProcess first, second;
    for (QProcess *p : {&first, &second})
        p->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--append"), path, QStringLiteral("25")});
    for (QProcess *p : {&first, &second}) {
        QVERIFY(p->waitForFinished(60000));
        QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
    }
    const TAuditCheck check = VerifyAuditLog(path);
    QCOMPARE(check.Summary(), QStringLiteral("chain intact, 50 records"));
}

// A program that holds the log and never lets go (hung, stopped in a
// debugger) must not hold up a write for good: the append gives up, and
// says who holds it where the system tells.
void TestAuditLog::lockWaitIsBounded()
{
    const QString path = NewLog(FDir, 1);
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), path});
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("holding"));

    SetAuditLockWait(std::chrono::milliseconds(300));
    QElapsedTimer waited;
    waited.start();
    TAuditRecord r = Sample(2);
    QString error;
    QVERIFY(!AppendAuditRecord(path, &r, &error));
    QVERIFY2(waited.elapsed() >= 300 && waited.elapsed() < 5000, qPrintable(QString::number(waited.elapsed())));
    QVERIFY2(error.contains(QStringLiteral("was not let go within 0.3 s")), qPrintable(error));
    if (QSysInfo::productType() != QLatin1String("windows"))
        QVERIFY2(error.contains(QStringLiteral("held by process %1 (tst_auditlog)").arg(holder.processId())),
                 qPrintable(error));
    QCOMPARE(Lines(path).size(), 1);

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QVERIFY2(AppendAuditRecord(path, &r, &error), qPrintable(error));
    SetAuditLockWait(std::chrono::milliseconds(10000));
}

// A log names who did what, a seal file holds a key: neither is for others
// to read.
void TestAuditLog::filesAreTheUsersAlone()
{
    if (QSysInfo::productType() == QLatin1String("windows"))
        QSKIP("Windows keeps an access list instead of a mode");
    const QString plain = NewLog(FDir, 1);
    const QString sealed = FDir.filePath(QStringLiteral("modes-sealed.jsonl"));
    TAuditRecord creation = Sample(1);
    QString error;
    QVERIFY2(CreateSealedAuditLog(sealed, &creation, &error), qPrintable(error));
    for (const QString &path : {plain, sealed, SealFilePath(sealed)}) {
        const QFileDevice::Permissions mode = QFile::permissions(path);
        QCOMPARE(mode & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

// A shell without a terminal (cron, a service) sets no login name; the
// record then names the account, never "unknown".
void TestAuditLog::operatorWithoutLoginName()
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"USER", "LOGNAME", "USERNAME"})
        environment.remove(QLatin1String(name));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--login-name")});
    QVERIFY(child.waitForFinished(10000));
    const QString named = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();

    QString account;
    if (QSysInfo::productType() == QLatin1String("windows")) {
        account = qEnvironmentVariable("USERNAME");
    } else {
        QProcess id;
        id.start(QStringLiteral("id"), {QStringLiteral("-un")});
        QVERIFY(id.waitForFinished(10000));
        account = QString::fromLocal8Bit(id.readAllStandardOutput()).trimmed();
    }
    QVERIFY(!account.isEmpty());
    QCOMPARE(named, account);
}

void TestAuditLog::table()
{
    std::vector<TAuditRecord> records;
    for (int i = 1; i <= 3; ++i) {
        records.push_back(Sample(i, i == 2 ? QStringLiteral("B07654321") : QStringLiteral("A05123456")));
        records.back().Sequence = i;
    }
    // The log is a file anybody may edit; what it holds must not steer the terminal.
    records[2].Operator = QStringLiteral("x\x1b[2J");

    const QStringList lines = FormatAuditTable(records, QStringLiteral("a05123456")).split(u'\n');
    QCOMPARE(lines.size(), 4);  // heading, two records, the final line break
    QCOMPARE(lines[0], QStringLiteral("#  Time (UTC)           Serial     Device ID  Action  Result    Changed  Operator"));
    QCOMPARE(lines[1], QStringLiteral("1  2026-12-08 17:05:01  A05123456  1A2B3C4D   batch   verified        1  anna"));
    QCOMPARE(lines[2], QStringLiteral("3  2026-12-08 17:05:03  A05123456  1A2B3C4D   batch   FAILED          1  x\\x1b[2J"));
    QVERIFY(FormatAuditTable(records, QStringLiteral("C00000000")).isEmpty());
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--append") == 0)
        return AppendLoop(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--login-name") == 0) {
        std::printf("%s\n", LoginName().toLocal8Bit().constData());
        return 0;
    }
    if (argc > 2 && qstrcmp(argv[1], "--hold") == 0) {
        // Holds the log as an append does, until its stdin closes.
        TAuditFile file;
        QString error;
        if (!file.Open(QString::fromLocal8Bit(argv[2]), TAuditFile::TMode::Append, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("holding\n");
        std::fflush(stdout);
        char rest[64];
        while (std::fgets(rest, sizeof rest, stdin)) {
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestAuditLog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_auditlog.moc"
