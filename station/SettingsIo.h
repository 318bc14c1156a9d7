#pragma once

#include "SettingsFile.h"

#include <QDateTime>
#include <QString>

#include <string>

// Settings files on disk. Every failure is an EStationError with bad input, whose
// message names the file.

// Far above any settings file: anything larger is something else.
constexpr qint64 SettingsFileLimit = 1 << 20;

// The whole of a regular file of at most Limit bytes. A pipe, a device or a
// folder is refused at once, before it is opened: a FIFO would hold the open
// until somebody wrote to it, and a device such as /dev/zero would never end.
QByteArray ReadSmallFile(const QString &Path, qint64 Limit = SettingsFileLimit);

// Read and checked whole, before any port is opened. Sha256 (hex) is of the
// bytes read, the very ones checked.
TSettingsFile LoadSettingsFile(const QString &Path, QByteArray *Sha256 = nullptr);

// All of Text or nothing: a file that was there stays as it was on failure.
void SaveTextFile(const QString &Path, const std::string &Text);

// As a settings file writes a time: 2026-12-08T17:05:00Z.
std::string SettingsTime(const QDateTime &Utc);
