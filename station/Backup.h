#pragma once

#include "Frame.h"

#include <QDateTime>
#include <QString>

// A write first keeps what the logger held, one file per write, so that
// restore can put it back: its settings as a settings file reads them, and
// beside them its record byte for byte, for what no setting shows.

// <serial>-<UTC yyyymmddThhmmssZ>.toml; characters that some file system
// would refuse or read as a path become "_".
QString BackupFileName(const std::string &SerialNumber, const QDateTime &Utc);

// The per-user data folder's backups/ when Dir is empty.
QString BackupDirectory(const QString &Dir);

// Writes the record as a backup into Dir, which is created (readable by the
// user alone, as a backup holds the logger's password) when missing. The file
// is there whole, synced, or not at all, and readable by the user alone.
// Never replaces a file: a second write within the same second gets a
// numbered name. Returns the file's path; throws EStationError (bad input),
// and the caller then sends nothing.
QString SaveBackup(const QString &Dir, const TFrameBuffer &Record, const QString &Port, const QDateTime &Utc,
                   const std::string &Program);
