#include "Verbs.h"

#include "Console.h"
#include "Progress.h"

int RunLoggerctl(const QStringList &Arguments, TContext &Context)
{
    const TParsedCommandLine parsed = ParseCommandLine(Arguments, Context.Program.section(QLatin1Char(' '), 1));
    if (!parsed.Command) {
        if (parsed.Status == TExitStatus::Success)
            Console::Data(parsed.Text.toStdString());
        else
            Console::Message(parsed.Text);
        return static_cast<int>(parsed.Status);
    }
    TProgress progress;
    Context.Progress = &progress;
    try {
        switch (parsed.Command->Verb) {
        case TVerb::Ports: return static_cast<int>(RunPorts(*parsed.Command, Context));
        case TVerb::Read: return static_cast<int>(RunRead(*parsed.Command, Context));
        case TVerb::Write: return static_cast<int>(RunWrite(*parsed.Command, Context));
        case TVerb::Diff: return static_cast<int>(RunDiff(*parsed.Command, Context));
        case TVerb::Restore: return static_cast<int>(RunRestore(*parsed.Command, Context));
        case TVerb::Report: return static_cast<int>(RunReport(*parsed.Command, Context));
        case TVerb::Batch: return static_cast<int>(RunBatch(*parsed.Command, Context));
        case TVerb::AuditVerify: return static_cast<int>(RunAuditVerify(*parsed.Command, Context));
        case TVerb::AuditShow: return static_cast<int>(RunAuditShow(*parsed.Command, Context));
        case TVerb::AuditInit: return static_cast<int>(RunAuditInit(*parsed.Command, Context));
        }
    } catch (const EStationError &e) {
        Console::Message(std::string_view(e.what()));
        return static_cast<int>(e.Status());
    }
    return static_cast<int>(TExitStatus::BadInput);
}
