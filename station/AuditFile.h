#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// The files of the audit log, opened as each use needs them. Files made here
// are the user's alone (0600 on Linux, an owner-only access list on
// Windows): a log names who did what, and a seal file holds a key.
class TAuditFile
{
public:
    enum class TMode {
        // The log, for one append: made when missing, and held exclusively
        // until closed, so that two programs appending at once never both
        // chain to the same record.
        Append,
        // A new file that must not exist yet, held as Append holds the log.
        Create,
        // An existing file, read and written in place; no lock of its own
        // (a seal file, which its log's lock covers).
        Update,
        // Read only, shared with other readers, so that no append changes
        // the log while it is checked.
        Read,
    };

    TAuditFile() = default;
    ~TAuditFile();
    TAuditFile(const TAuditFile &) = delete;
    TAuditFile &operator=(const TAuditFile &) = delete;

    // Waits for another program's lock for AuditLockWait() at most, then
    // fails naming the holder where the system tells it.
    bool Open(const QString &path, TMode mode, QString *error);
    void Close();
    // The file did not exist before Open.
    bool Created() const { return FCreated; }

    qint64 Size(QString *error) const;  // -1 on failure
    bool ReadAt(qint64 offset, qint64 size, QByteArray *bytes, QString *error) const;
    // At the end of the file, flushed to the disk before it returns, so that
    // a power cut after it cannot take the bytes back. When the system takes
    // only part (a full disk, a size limit), the file is cut back to where
    // it was, so that no fragment is left.
    bool Append(const QByteArray &bytes, QString *error);
    // Overwrites in place, flushed to the disk before it returns.
    bool WriteAt(qint64 offset, const QByteArray &bytes, QString *error);

private:
    bool Lock(bool exclusive, QString *error);
    bool SyncFolder(QString *error);

    QString FPath;
    qintptr FHandle = -1;   // a file descriptor, or a HANDLE on Windows
    bool FCreated = false;
    bool FFolderSynced = true;  // a new file's name lives in its folder, which has its own blocks
};

// How long an open waits for another program's lock on the log: appends
// take milliseconds, so a holder that keeps it this long is stuck.
std::chrono::milliseconds AuditLockWait();
void SetAuditLockWait(std::chrono::milliseconds wait);  // for tests
