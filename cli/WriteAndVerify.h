#pragma once

#include "Settings.h"
#include "Verbs.h"

struct TWriteRequest {
    QString FileName;  // names the file in messages
    TSettingValues Values;
    TScopes Scopes;
    QString BackupDir;  // empty: the per-user data folder
};

// The part write and restore share, once the logger has been read: the
// checks, a backup of what it held, the frame, its acknowledgement, and a
// read-back compared with what the frame carries.
TExitStatus WriteAndVerify(const TFoundLogger &Logger, const TWriteRequest &Request, TContext &Context);
