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
    if (Context.Station.Path.isEmpty())
        Context.Station = LoadStationConfig();
    if (!Context.Station.Problem.isEmpty())
        Console::Warning(Context.Station.Problem + QStringLiteral("; going on without the station's settings"));
    // Said once, before a command that looks for ports, since a port the
    // user registered may be missing for it.
    const TVerb verb = parsed.Command->Verb;
    const bool usesPorts = verb == TVerb::Ports || verb == TVerb::Read || verb == TVerb::Write || verb == TVerb::Diff
                           || verb == TVerb::Restore || verb == TVerb::Report || verb == TVerb::Batch;
    if (usesPorts && !Context.PortMapProblem.isEmpty())
        Console::Warning(Context.PortMapProblem);
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
