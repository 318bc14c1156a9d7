#pragma once

#include "Frame.h"

#include <QDateTime>
#include <QString>

// A write first keeps what the logger held, one file per write, so that
// restore can put it back.

// <serial>-<UTC yyyymmddThhmmssZ>.toml; characters that some file system
// would refuse or read as a path become "_".
QString BackupFileName(const std::string &SerialNumber, const QDateTime &Utc);

// The per-user data folder's backups/ when Dir is empty.
QString BackupDirectory(const QString &Dir);

// Writes the record's settings as a backup into Dir, which is created
// (readable by the user alone, as a backup holds the logger's password) when
// missing. Never replaces a file: a second write within the same second gets
// a numbered name. Returns the file's path; throws EStationError (bad input), and
// the caller then sends nothing.
QString SaveBackup(const QString &Dir, const TFrameBuffer &Record, const QString &Port, const QDateTime &Utc,
                   const std::string &Program);
