#pragma once

#include "SettingsFile.h"

#include <QDateTime>
#include <QString>

#include <string>

// Settings files on disk. Every failure is an EStationError with bad input, whose
// message names the file.

// A settings file's bytes, at most 1 MiB of them: anything larger is no
// settings file. Throws EStationError (bad input) naming the file.
QByteArray ReadSmallFile(const QString &Path);

// Read and checked whole, before any port is opened. Sha256 (hex) is of the
// bytes read, the very ones checked.
TSettingsFile LoadSettingsFile(const QString &Path, QByteArray *Sha256 = nullptr);

// All of Text or nothing: a file that was there stays as it was on failure.
void SaveTextFile(const QString &Path, const std::string &Text);

// As a settings file writes a time: 2026-12-08T17:05:00Z.
std::string SettingsTime(const QDateTime &Utc);
