#pragma once

#include "ConfigurationRecord.h"
#include "WriteAuditing.h"
#include "EventWait.h"
#include "LoggerWatch.h"
#include "Verbs.h"

#include <QElapsedTimer>

#include <chrono>
#include <optional>

struct TBatchSetup {
    TWriteRequest Write;  // the template, over each logger in its scopes
    TAuditRequest Audit;
    QString ReportDir;  // empty: no configuration records
    TPaper Paper = TPaper::A4;
    int Count = 0;      // end after this many configured; 0: until interrupted
};

// Loggers in series: each one plugged in is configured once, recorded and
// printed, and the next is taken when it has gone. Everything a batch can
// refuse beforehand (the template, the log, the folders) has been checked.
class TBatch
{
public:
    TBatch(const TBatchSetup &Setup, TContext &Context);

    // Until interrupted, the count is reached, or the log cannot be appended.
    TExitStatus Run();

    // How often the port list's stamp is looked at, and how often the list
    // is read whatever the stamp says.
    static constexpr std::chrono::milliseconds ListLook{100};
    static constexpr std::chrono::milliseconds ListRead{5000};

private:
    using TClock = TLoggerWatch::TClock;

    void ReadPorts(TClock::time_point now);
    void Handle(const std::vector<TLoggerWatch::TEvent> &Events);
    void Configure(const QString &Port, const TFrameBuffer &Record);
    // Returns false when it could not be printed, with *Problem why.
    bool Print(const TAuditedWrite &Write, const TFoundLogger &Logger, QString *Problem);
    // Appends the record of a write that failed before its intent.
    bool RecordRefused(const TFoundLogger &Logger, const TWriteOutcome &Outcome, TAuditRecord *Record, QString *Error);
    void Interrupted();
    void ShowState();
    void Summary() const;

    const TBatchSetup &FSetup;
    TContext &FContext;
    TLoggerWatch FWatch;
    TEventWait FWait;
    QByteArray FStamp;
    QString FState;  // on the progress line
    std::optional<TClock::time_point> FListRead;
    bool FStop = false;
    bool FBusy = false;
    bool FAuditLost = false;
    int FConfigured = 0;
    int FFailed = 0;
    int FUnprinted = 0;
    std::optional<TAuditRecord> FLastRecord;
};
