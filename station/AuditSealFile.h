#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The station's half of a sealed log, beside it as LOG.seal: the current key
// and the running tag. Whoever reads it can seal from now on, so it is the
// user's alone; it says nothing about records already sealed.
//
// The file holds two slots of 512 bytes. A new state goes into the slot that
// does not hold the current one and reaches the disk; only then is the old
// slot overwritten with blanks and flushed, so that a power cut at any moment
// leaves one whole state and the key of an earlier step lasts no longer
// than one append. A slot is text:
//
//   loggercfg audit seal 1
//   step N          the step of the key: the number the next record gets
//   key HEX         that step's key, 32 bytes
//   last HEX        SHA-256 of the line of record N - 1, the last sealed
//   tag HEX         TagOf(key, N - 1, last)
//   check HEX       SHA-256 of the lines above, which a torn slot fails
//
// padded with spaces to its last byte, a line end.

struct TSealState {
    qint64 Step = 0;
    QByteArray Key;
    QByteArray LastSha256;
    QByteArray Tag;
    int Slot = 0;  // where the file holds it

    qint64 LastRecord() const { return Step - 1; }
};

QString SealFilePath(const QString &log);

class TAuditFile;

// Makes a new seal file holding State; fails when one exists.
bool CreateSealFile(const QString &path, const TSealState &state, QString *error);
// The newest whole state of an open seal file. A file with two whole states
// (a crash between writing one and blanking the other) keeps the newer.
std::optional<TSealState> ReadSealState(const TAuditFile &file, QString *error);
bool ReadSealFile(const QString &path, TSealState *state, QString *error);
// Replaces the state Current, as read, with Next, as described above.
bool WriteSealState(TAuditFile &file, const TSealState &current, TSealState next, QString *error);
