#pragma once

#include <QByteArray>
#include <QString>

// A file that is there whole or not at all, and stays there through a power
// cut: written under a temporary name beside its own, synced, given its name
// (never taking one that exists) and its folder synced. Readable by the user
// alone, as a backup holds the logger's password.

enum class TDurableResult { Written, Exists, Failed };

TDurableResult WriteNewFileDurably(const QString &Path, const QByteArray &Bytes, QString *Error);

// Makes Dir with its parents, the folder itself readable by the user alone.
bool MakePrivateFolder(const QString &Dir, QString *Error);

// Tests only: when set, called after the temporary file is written and before
// it gets its name, where a crash must leave no file behind under the name.
extern void (*DurableWriteInterruption)();
