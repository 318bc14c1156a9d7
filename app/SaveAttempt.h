#pragma once

#include "LoggerWrite.h"
#include "WriteAuditing.h"

// One Save in the window, from its frame to the verdict on its read-back, as
// loggerctl's write keeps it: what was asked, what the logger held before, and
// how far it came, for the message and the audit record.
struct TSaveAttempt {
    TWriteOutcome Outcome;  // Plan->Intent: the controls at Save, as a read writes them
    TFoundLogger Logger;    // the port, and the record of the last Read
    TAuditRequest Audit;    // Log empty: the station keeps none
    qint64 Intent = 0;      // the audit record appended before the frame, which the result answers
};

// The last Save that was read back, for the configuration record the window
// prints: what it asked, what the logger answered, what the log kept.
struct TSavedWrite {
    TAuditedWrite Write;
    TFoundLogger Logger;
    TAuditRequest Audit;
};
