#include "CommandLine.h"

#include <QCommandLineParser>

#include <array>

namespace {

struct TVerbInfo {
    TVerb Verb;
    const char *Name;
    const char *Synopsis;
    const char *Description;
    int Files;  // positional arguments
};

constexpr std::array<TVerbInfo, 10> Verbs = {{
    {TVerb::Ports, "ports", "ports [--probe] [--json]",
     "Lists the candidate serial ports in the order the window probes them.\n"
     "With --probe, probes them all at once and tells which answer. With --json,\n"
     "one JSON document for scripts.",
     0},
    {TVerb::Read, "read", "read [--port P] [-o FILE]",
     "Finds the logger and writes its settings as a settings file, to FILE or\n"
     "to stdout.",
     0},
    {TVerb::Write, "write",
     "write FILE [--port P] [--with-identity] [--with-calibration] [--backup-dir DIR] [--yes] "
     "[--audit LOG [--operator NAME]]",
     "Checks FILE, reads the logger, keeps what it held as a backup, lays FILE over\n"
     "it, reads it again to be sure it is the same logger, writes it with the\n"
     "computer's clock in the chosen time zone, then reads the logger back and\n"
     "compares every setting with what FILE asked for.\n"
     "Identity (serial number, device ID) and calibration stay as the logger has\n"
     "them unless asked. With --audit, appends one record of the write to LOG.",
     1},
    {TVerb::Diff, "diff", "diff FILE [--port P] [--with-identity] [--with-calibration]",
     "Shows the settings that writing FILE would change, by name, the logger's\n"
     "value first. Exit status 0 when there are none, 1 when there are.",
     1},
    {TVerb::Restore, "restore", "restore BACKUP [--port P] [--force] [--backup-dir DIR] [--audit LOG [--operator NAME]]",
     "Writes a backup back whole, identity, calibration and the bytes no setting\n"
     "shows included, after a backup of its own, and verifies it. Takes only\n"
     "backups (kind = \"backup\"); a settings file is written with write. Refused\n"
     "when the backup is of another logger, unless --force. With --audit, appends\n"
     "one record of the write to LOG.",
     1},
    {TVerb::Report, "report", "report [--port P] [-o FILE.pdf] [--paper a4|letter]",
     "Prints the configuration record of the connected logger, one page with\n"
     "every setting, as a PDF file; nothing is written to the logger. Without -o\n"
     "the file is named after the serial number and the time, in this folder.\n"
     "The paper is the system locale's (Letter in the US, else A4) unless --paper.",
     0},
    {TVerb::Batch, "batch",
     "batch TEMPLATE --audit LOG [--port PORT] [--operator NAME] [--report-dir DIR] [--with-calibration] [--backup-dir DIR] "
     "[--count N] [--paper a4|letter] [--yes]",
     "Prepares loggers in series: waits for a logger to be plugged in, keeps a\n"
     "backup of it, writes TEMPLATE to it (its identity, and its calibration unless\n"
     "--with-calibration, kept), reads it back to verify, appends one record to\n"
     "LOG, prints its configuration record into DIR, says so in one line, and\n"
     "waits for it to be unplugged before it takes the next. A logger left plugged\n"
     "in is never written twice. Ctrl+C ends the batch with a summary. Exit status\n"
     "0 when every logger was configured, 1 when any failed.",
     1},
    {TVerb::AuditVerify, "audit verify", "audit verify LOG [--key KEY]",
     "Checks the chain of the audit log and names the first record changed,\n"
     "removed, inserted or damaged, any record a crash left unfinished, and any\n"
     "write whose result is missing. With --key, the verification key that\n"
     "audit init printed, it checks every seal of a sealed log with the key of\n"
     "its own step and the seal file's tag, which shows records cut from the end.\n"
     "Exit status 0 when all holds, 1 when it does not, 2 for a wrong key.",
     1},
    {TVerb::AuditShow, "audit show", "audit show LOG [--serial S] [--key KEY] [--json]",
     "Shows the records of the audit log as a table, or those of one logger, and\n"
     "warns when the chain or the seals do not hold. With --json, one JSON\n"
     "document with every record and what verify finds.",
     1},
    {TVerb::AuditInit, "audit init", "audit init LOG [--operator NAME]",
     "Makes a sealed audit log: every record appended to it is sealed with a key\n"
     "that moves on after each, kept beside it in LOG.seal. Prints the\n"
     "verification key on stdout, once: keep it away from this computer.",
     1},
}};

const QString Program = QStringLiteral("loggerctl");

QString ExitStatusText()
{
    return QStringLiteral("Exit status: 0 success (diff: no differences); 1 the logger answered wrongly or\n"
                          "not at all, or verify found a difference, or the audit record could not be\n"
                          "appended (diff: differences found; batch: a logger failed; audit verify:\n"
                          "the log does not hold); 2 bad input: an unusable file, a failed check, a bad\n"
                          "option, a wrong key; 3 no logger found.\n");
}

QString ProgramHelp()
{
    QString text = QStringLiteral("Usage: loggerctl COMMAND [OPTIONS]\n\n"
                                  "Reads a temperature and humidity data logger on a serial port into a settings\n"
                                  "file, writes a settings file to it and verifies every setting, and keeps a\n"
                                  "backup of what it held; prepares loggers in series with an audit log and a\n"
                                  "printed configuration record of each.\n\nCommands:\n");
    for (const TVerbInfo &verb : Verbs)
        text += QStringLiteral("  loggerctl %1\n").arg(QLatin1String(verb.Synopsis));
    return text
           + QStringLiteral("\nWithout --port every candidate port is probed at once. Data go to stdout,\n"
                            "messages to stderr. loggerctl COMMAND --help describes a command.\n\n")
           + ExitStatusText();
}

struct TOptions {
    QCommandLineOption Help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("This help.")};
    QCommandLineOption Port{QStringLiteral("port"), QStringLiteral("The logger's port; no other port is probed."),
                            QStringLiteral("P")};
    QCommandLineOption Output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("The file to write; stdout without it."), QStringLiteral("FILE")};
    QCommandLineOption Probe{QStringLiteral("probe"), QStringLiteral("Probe every port and tell which answer.")};
    QCommandLineOption Identity{QStringLiteral("with-identity"),
                                QStringLiteral("Write the file's serial number and device ID too.")};
    QCommandLineOption Calibration{QStringLiteral("with-calibration"),
                                   QStringLiteral("Write the file's calibration values too.")};
    QCommandLineOption BackupDir{QStringLiteral("backup-dir"),
                                 QStringLiteral("Keep the backup in DIR rather than in the per-user data folder."),
                                 QStringLiteral("DIR")};
    QCommandLineOption Force{QStringLiteral("force"), QStringLiteral("Restore a backup of another logger.")};
    QCommandLineOption Yes{QStringLiteral("yes"),
                           QStringLiteral("Write a file that looks mistaken (a low limit above its high one, say).")};
    QCommandLineOption Audit{QStringLiteral("audit"), QStringLiteral("Append a record of each write to the audit log LOG."),
                             QStringLiteral("LOG")};
    QCommandLineOption Operator{QStringLiteral("operator"),
                                QStringLiteral("Who writes, as the audit log names them (default: the login name)."),
                                QStringLiteral("NAME")};
    QCommandLineOption ReportDir{QStringLiteral("report-dir"),
                                 QStringLiteral("Print each logger's configuration record (PDF) into DIR."),
                                 QStringLiteral("DIR")};
    QCommandLineOption Count{QStringLiteral("count"), QStringLiteral("End after N loggers are configured."),
                             QStringLiteral("N")};
    QCommandLineOption Serial{QStringLiteral("serial"), QStringLiteral("Only the records of the logger S."),
                              QStringLiteral("S")};
    QCommandLineOption ReportOutput{{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The PDF file to write."), QStringLiteral("FILE.pdf")};
    QCommandLineOption Key{QStringLiteral("key"), QStringLiteral("The verification key: check the seals too."),
                           QStringLiteral("KEY")};
    QCommandLineOption Json{QStringLiteral("json"), QStringLiteral("One JSON document on stdout, for scripts.")};
    QCommandLineOption Paper{QStringLiteral("paper"),
                             QStringLiteral("The paper size, a4 or letter (default: the system locale's)."),
                             QStringLiteral("a4|letter")};
    QCommandLineOption InitOperator{QStringLiteral("operator"),
                                    QStringLiteral("Who makes the log, as its first record names them (default: the "
                                                   "login name)."),
                                    QStringLiteral("NAME")};
};

QList<QCommandLineOption> VerbOptions(TVerb Verb, const TOptions &O)
{
    switch (Verb) {
    case TVerb::Ports: return {O.Help, O.Probe, O.Json};
    case TVerb::Read: return {O.Help, O.Port, O.Output};
    case TVerb::Write: return {O.Help, O.Port, O.Identity, O.Calibration, O.BackupDir, O.Audit, O.Operator, O.Yes};
    case TVerb::Diff: return {O.Help, O.Port, O.Identity, O.Calibration};
    case TVerb::Restore: return {O.Help, O.Port, O.Force, O.BackupDir, O.Audit, O.Operator};
    case TVerb::Report: return {O.Help, O.Port, O.ReportOutput, O.Paper};
    // No --with-identity: every logger of a batch would get the template's serial number.
    case TVerb::Batch:
        return {O.Help, O.Port, O.Audit, O.Operator, O.ReportDir, O.Calibration, O.BackupDir, O.Count, O.Paper, O.Yes};
    case TVerb::AuditVerify: return {O.Help, O.Key};
    case TVerb::AuditShow: return {O.Help, O.Serial, O.Key, O.Json};
    case TVerb::AuditInit: return {O.Help, O.InitOperator};
    }
    return {O.Help};
}

QString VerbHelp(const TVerbInfo &Verb, const QList<QCommandLineOption> &Options)
{
    QString text = QStringLiteral("Usage: loggerctl %1\n\n%2\n\nOptions:\n")
                       .arg(QLatin1String(Verb.Synopsis), QLatin1String(Verb.Description));
    for (const QCommandLineOption &option : Options) {
        QStringList names;
        for (const QString &name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            left += QLatin1Char(' ') + option.valueName();
        text += QStringLiteral("  %1  %2\n").arg(left, -22).arg(option.description());
    }
    return text + QLatin1Char('\n') + ExitStatusText();
}

bool Has(const QList<QCommandLineOption> &Options, const QCommandLineOption &Option)
{
    for (const QCommandLineOption &o : Options)
        if (o.names() == Option.names())
            return true;
    return false;
}

QString What(const TVerbInfo &Verb)
{
    switch (Verb.Verb) {
    case TVerb::Batch: return QStringLiteral("a template");
    case TVerb::AuditVerify:
    case TVerb::AuditShow:
    case TVerb::AuditInit: return QStringLiteral("the audit log");
    default: return QStringLiteral("a file");
    }
}

TParsedCommandLine UsageError(const QString &Message, const QString &HelpOn)
{
    return {std::nullopt, Message + QStringLiteral(" (%1 --help)").arg(HelpOn), TExitStatus::BadInput};
}

} // namespace

TParsedCommandLine ParseCommandLine(const QStringList &Arguments, const QString &Version)
{
    const QString first = Arguments.value(1);
    if (first.isEmpty())
        return UsageError(QStringLiteral("no command given"), Program);
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help"))
        return {std::nullopt, ProgramHelp(), TExitStatus::Success};
    if (first == QLatin1String("--version"))
        return {std::nullopt, QStringLiteral("loggerctl %1\n").arg(Version), TExitStatus::Success};

    // "audit" takes a second word, which is part of the verb.
    const bool twoWords = first == QLatin1String("audit");
    const QString name = twoWords ? first + QLatin1Char(' ') + Arguments.value(2) : first;
    const TVerbInfo *verb = nullptr;
    for (const TVerbInfo &v : Verbs)
        if (name == QLatin1String(v.Name))
            verb = &v;
    if (!verb && twoWords)
        return UsageError(Arguments.size() > 2 ? QStringLiteral("unknown command \"%1\"").arg(name)
                                               : QStringLiteral("loggerctl audit needs init, verify or show"),
                          Program);
    if (!verb)
        return UsageError(QStringLiteral("unknown command \"%1\"").arg(first), Program);

    const QString helpOn = Program + QLatin1Char(' ') + QLatin1String(verb->Name);
    const TOptions o;
    const QList<QCommandLineOption> options = VerbOptions(verb->Verb, o);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(options);
    if (!parser.parse(QStringList{Arguments.first()} + Arguments.mid(twoWords ? 3 : 2)))
        return UsageError(helpOn + QStringLiteral(": ") + parser.errorText(), helpOn);
    if (parser.isSet(o.Help))
        return {std::nullopt, VerbHelp(*verb, options), TExitStatus::Success};

    const QStringList files = parser.positionalArguments();
    if (files.size() != verb->Files) {
        const QString problem = files.size() < verb->Files ? QStringLiteral("%1 needs %2").arg(helpOn, What(*verb))
                                                           : QStringLiteral("%1: unexpected argument \"%2\"")
                                                                 .arg(helpOn, files.value(verb->Files));
        return UsageError(problem, helpOn);
    }
    TCommand command;
    command.Verb = verb->Verb;
    command.File = files.value(0);
    const auto value = [&](const QCommandLineOption &option) {
        return Has(options, option) ? parser.value(option) : QString();
    };
    const auto flag = [&](const QCommandLineOption &option) { return Has(options, option) && parser.isSet(option); };
    command.Port = value(o.Port);
    command.Output = value(verb->Verb == TVerb::Report ? o.ReportOutput : o.Output);
    command.BackupDir = value(o.BackupDir);
    command.AuditLog = value(o.Audit);
    command.Operator = value(o.Operator);
    command.ReportDir = value(o.ReportDir);
    command.Serial = value(o.Serial);
    command.Key = value(o.Key);
    command.Paper = value(o.Paper).toLower();
    command.Json = flag(o.Json);
    command.Probe = flag(o.Probe);
    command.WithIdentity = flag(o.Identity);
    command.WithCalibration = flag(o.Calibration);
    command.Force = flag(o.Force);
    command.Yes = flag(o.Yes);
    for (const QCommandLineOption &option :
         {o.Port, o.Output, o.BackupDir, o.Audit, o.Operator, o.ReportDir, o.Serial, o.Count, o.ReportOutput, o.Key,
          o.Paper}) {
        if (Has(options, option) && parser.isSet(option) && parser.value(option).trimmed().isEmpty())
            return UsageError(QStringLiteral("%1: --%2 needs a value").arg(helpOn, option.names().last()), helpOn);
    }
    if (flag(o.Count)) {
        bool number = false;
        command.Count = parser.value(o.Count).toInt(&number);
        if (!number || command.Count < 1)
            return UsageError(QStringLiteral("%1: --count takes a number of loggers from 1").arg(helpOn), helpOn);
    }
    if (flag(o.Paper) && command.Paper != QLatin1String("a4") && command.Paper != QLatin1String("letter"))
        return UsageError(QStringLiteral("%1: --paper is a4 or letter").arg(helpOn), helpOn);
    return {command, QString(), TExitStatus::Success};
}
