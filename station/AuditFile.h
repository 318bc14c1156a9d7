#pragma once

#include <QByteArray>
#include <QString>

// The audit log opened for one append. It is created when missing and held
// exclusively until closed, so that two programs appending at once never both
// chain to the same record; readers are not kept out.
class TAuditFile
{
public:
    TAuditFile() = default;
    ~TAuditFile();
    TAuditFile(const TAuditFile &) = delete;
    TAuditFile &operator=(const TAuditFile &) = delete;

    // Waits while another program holds the log.
    bool Open(const QString &path, QString *error);
    void Close();

    qint64 Size(QString *error) const;  // -1 on failure
    bool ReadAt(qint64 offset, qint64 size, QByteArray *bytes, QString *error) const;
    // One write at the end of the file, flushed to the disk before it returns,
    // so that a power cut after it cannot take the record back.
    bool Append(const QByteArray &bytes, QString *error);

private:
    QString FPath;
    qintptr FHandle = -1;  // a file descriptor, or a HANDLE on Windows
    bool FCreated = false; // its directory entry is new and must reach the disk too
};
