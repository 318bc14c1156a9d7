#include "CommandLine.h"

#include <QTest>

// What a script types and what loggerctl makes of it: the verb and its
// options, or a usage error with status 2 before anything is opened.
class TestCtlCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parses_data();
    void parses();
    void helpAndVersion_data();
    void helpAndVersion();
};

namespace {

// The parsed command in one line, to compare a row against.
QString Describe(const TCommand &c)
{
    static const char *const verbs[] = {"ports", "read",         "write",      "diff",      "restore",
                                        "report", "batch",       "audit verify", "audit show", "audit init"};
    QStringList parts{QLatin1String(verbs[static_cast<int>(c.Verb)])};
    if (!c.File.isEmpty())
        parts << QStringLiteral("file=") + c.File;
    if (!c.Port.isEmpty())
        parts << QStringLiteral("port=") + c.Port;
    if (!c.Output.isEmpty())
        parts << QStringLiteral("output=") + c.Output;
    if (!c.BackupDir.isEmpty())
        parts << QStringLiteral("backups=") + c.BackupDir;
    if (!c.AuditLog.isEmpty())
        parts << QStringLiteral("audit=") + c.AuditLog;
    if (!c.Operator.isEmpty())
        parts << QStringLiteral("operator=") + c.Operator;
    if (!c.ReportDir.isEmpty())
        parts << QStringLiteral("reports=") + c.ReportDir;
    if (!c.Serial.isEmpty())
        parts << QStringLiteral("serial=") + c.Serial;
    if (!c.Key.isEmpty())
        parts << QStringLiteral("key=") + c.Key;
    if (!c.Paper.isEmpty())
        parts << QStringLiteral("paper=") + c.Paper;
    if (c.Count)
        parts << QStringLiteral("count=%1").arg(c.Count);
    for (const auto &[on, name] : {std::pair{c.Probe, "probe"}, std::pair{c.WithIdentity, "identity"},
                                   std::pair{c.WithCalibration, "calibration"}, std::pair{c.Force, "force"},
                                   std::pair{c.Json, "json"}})
        if (on)
            parts << QLatin1String(name);
    return parts.join(QLatin1Char(' '));
}

} // namespace

void TestCtlCommandLine::parses_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("command");  // empty: refused
    QTest::addColumn<QString>("message");  // part of the usage error

    QTest::newRow("ports") << "ports" << "ports" << "";
    QTest::newRow("ports --probe") << "ports --probe" << "ports probe" << "";
    QTest::newRow("read to stdout") << "read" << "read" << "";
    QTest::newRow("read -o") << "read -o a.toml --port ttyUSB0" << "read port=ttyUSB0 output=a.toml" << "";
    QTest::newRow("read --output=") << "read --output=a.toml" << "read output=a.toml" << "";
    QTest::newRow("write with scopes, options first")
        << "write --with-calibration --port=COM3 f.toml --with-identity --backup-dir B"
        << "write file=f.toml port=COM3 backups=B identity calibration" << "";
    QTest::newRow("diff") << "diff f.toml --with-identity" << "diff file=f.toml identity" << "";
    QTest::newRow("restore --force") << "restore b.toml --force" << "restore file=b.toml force" << "";
    QTest::newRow("a file named like an option after --") << "write -- --odd.toml" << "write file=--odd.toml" << "";
    QTest::newRow("write with an audit log") << "write f.toml --audit a.jsonl --operator anna"
                                             << "write file=f.toml audit=a.jsonl operator=anna" << "";
    QTest::newRow("report") << "report -o r.pdf --port COM3" << "report port=COM3 output=r.pdf" << "";
    QTest::newRow("batch, every option")
        << "batch t.toml --audit a.jsonl --operator anna --report-dir R --with-calibration --count 20 --backup-dir B"
        << "batch file=t.toml backups=B audit=a.jsonl operator=anna reports=R count=20 calibration" << "";
    QTest::newRow("audit verify") << "audit verify a.jsonl" << "audit verify file=a.jsonl" << "";
    QTest::newRow("audit show, one logger") << "audit show a.jsonl --serial A05123456"
                                            << "audit show file=a.jsonl serial=A05123456" << "";

    QTest::newRow("audit init") << "audit init a.jsonl" << "audit init file=a.jsonl" << "";
    // Who makes a log needs no log of their own to be named in.
    QTest::newRow("audit init names its maker") << "audit init a.jsonl --operator anna"
                                                << "audit init file=a.jsonl operator=anna" << "";
    QTest::newRow("audit verify with the key") << "audit verify a.jsonl --key 0a1b-2c3d"
                                               << "audit verify file=a.jsonl key=0a1b-2c3d" << "";
    QTest::newRow("audit show for scripts") << "audit show a.jsonl --json --key -"
                                            << "audit show file=a.jsonl key=- json" << "";
    QTest::newRow("ports for scripts") << "ports --probe --json" << "ports probe json" << "";
    QTest::newRow("report on Letter") << "report --paper Letter" << "report paper=letter" << "";
    QTest::newRow("batch on A4") << "batch t.toml --audit a --paper a4" << "batch file=t.toml audit=a paper=a4" << "";

    QTest::newRow("no command") << "" << "" << "no command given (loggerctl --help)";
    QTest::newRow("a paper size of its own") << "report --paper a5" << "" << "--paper is a4 or letter";
    QTest::newRow("a key for a command that checks no seal") << "audit init a.jsonl --key k" << ""
                                                             << "Unknown option 'key'";
    QTest::newRow("an empty key") << "audit verify a.jsonl --key=" << "" << "--key needs a value";
    QTest::newRow("unknown command") << "erase" << "" << "unknown command \"erase\"";
    QTest::newRow("write without a file") << "write --port P" << "" << "loggerctl write needs a file";
    QTest::newRow("two files") << "diff a.toml b.toml" << "" << "unexpected argument \"b.toml\"";
    QTest::newRow("an option of another command") << "read --force" << "" << "Unknown option 'force'";
    QTest::newRow("restore takes no scopes: it writes everything") << "restore b.toml --with-identity" << ""
                                                                    << "Unknown option 'with-identity'";
    QTest::newRow("--port without its value") << "read --port" << "" << "Missing value after '--port'";
    QTest::newRow("an empty port") << "read --port=" << "" << "--port needs a value";
    QTest::newRow("a batch that would give every logger one serial number")
        << "batch t.toml --audit a.jsonl --with-identity" << "" << "Unknown option 'with-identity'";
    QTest::newRow("a batch without its template") << "batch --audit a.jsonl" << "" << "batch needs a template";
    QTest::newRow("no loggers to count") << "batch t.toml --audit a --count 0" << "" << "--count takes a number";
    QTest::newRow("audit alone") << "audit" << "" << "loggerctl audit needs init, verify or show";
    QTest::newRow("audit with an unknown word") << "audit erase a.jsonl" << "" << "unknown command \"audit erase\"";
    QTest::newRow("audit verify without its log") << "audit verify" << "" << "audit verify needs the audit log";
    QTest::newRow("a blank operator") << "write f.toml --audit a --operator= " << "" << "--operator needs a value";
}

void TestCtlCommandLine::parses()
{
    QFETCH(QString, arguments);
    QFETCH(QString, command);
    QFETCH(QString, message);

    const TParsedCommandLine parsed =
        ParseCommandLine(QStringList{QStringLiteral("loggerctl")} + arguments.split(u' ', Qt::SkipEmptyParts),
                         QStringLiteral("1.0.0"));
    if (command.isEmpty()) {
        QVERIFY(!parsed.Command);
        QCOMPARE(parsed.Status, TExitStatus::BadInput);
        QVERIFY2(parsed.Text.contains(message), qPrintable(parsed.Text));
    } else {
        QVERIFY2(parsed.Command, qPrintable(parsed.Text));
        QCOMPARE(Describe(*parsed.Command), command);
    }
}

void TestCtlCommandLine::helpAndVersion_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("contains");

    const QString exitStatus = QStringLiteral("3 no logger found");
    QTest::newRow("program") << "--help" << QStringList{"loggerctl write FILE", "loggerctl restore BACKUP", exitStatus};
    QTest::newRow("help word") << "help" << QStringList{"loggerctl ports [--probe]"};
    QTest::newRow("version") << "--version" << QStringList{"loggerctl 1.0.0"};
    QTest::newRow("write") << "write --help" << QStringList{"--with-identity", "--backup-dir DIR", exitStatus};
    QTest::newRow("help wins over a missing file") << "restore -h" << QStringList{"--force"};
    QTest::newRow("batch") << "batch --help" << QStringList{"--report-dir DIR", "--count N", "never written twice"};
    QTest::newRow("audit show") << "audit show --help" << QStringList{"--serial S", "--key KEY", "--json"};
    QTest::newRow("audit init") << "audit init --help" << QStringList{"verification key", "--operator NAME"};
    QTest::newRow("program lists every command")
        << "--help" << QStringList{"loggerctl batch TEMPLATE --audit LOG", "loggerctl audit verify LOG", "loggerctl report"};
}

void TestCtlCommandLine::helpAndVersion()
{
    QFETCH(QString, arguments);
    QFETCH(QStringList, contains);

    const TParsedCommandLine parsed =
        ParseCommandLine(QStringList{QStringLiteral("loggerctl")} + arguments.split(u' '), QStringLiteral("1.0.0"));
    QVERIFY(!parsed.Command);
    QCOMPARE(parsed.Status, TExitStatus::Success);
    for (const QString &text : contains)
        QVERIFY2(parsed.Text.contains(text), qPrintable(parsed.Text));
}

QTEST_APPLESS_MAIN(TestCtlCommandLine)
#include "tst_ctl_commandline.moc"
