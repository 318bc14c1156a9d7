#pragma once

#include "AuditLog.h"

#include <QFile>
#include <QTemporaryDir>

// Records and logs as the audit tests make and damage them.

inline TAuditRecord SampleRecord(int n, const QString &serial = QStringLiteral("A05123456"))
{
    TAuditRecord r;
    r.Time = QDateTime(QDate(2026, 12, 8), QTime(17, 5, n % 60), Qt::UTC);
    r.TimeZone = QStringLiteral("UTC+08:00");
    r.Host = QStringLiteral("bench-3");
    r.Operator = QStringLiteral("anna");
    r.Program = QStringLiteral("loggerctl 1.0.0");
    r.Action = TAuditAction::Batch;
    r.Port = QStringLiteral("ttyUSB0");
    r.SerialNumber = serial;
    r.DeviceId = QStringLiteral("1A2B3C4D");
    r.Template = QStringLiteral("cold-chain.toml");
    r.TemplateSha256 = Sha256Hex("template");
    r.Changes = {{"Log Interval", "{ H = \"0\", M = \"5\", S = \"0\" }", "{ H = \"0\", M = \"10\", S = \"0\" }"}};
    r.Verified = n % 3 != 0;
    if (!r.Verified) {
        r.Failure = QStringLiteral("verify found 1 difference");
        r.Differences = {{"Stop Mode", "\"Stop by Button\"", "\"Stop by Software\""}};
    }
    return r;
}

// The lines of a file, without their line ends; a last line without one is kept too.
inline QList<QByteArray> FileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

inline bool WriteFileLines(const QString &path, const QList<QByteArray> &lines, const QByteArray &tail = {})
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write((lines.isEmpty() ? QByteArray() : lines.join('\n') + '\n') + tail) >= 0;
}

inline bool WriteFileBytes(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode = QIODevice::Truncate)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | mode) && file.write(bytes) == bytes.size();
}

// A plain log of Records sample records in a new file of Dir.
inline QString NewPlainLog(const QTemporaryDir &dir, int records)
{
    static int count = 0;
    const QString path = dir.filePath(QStringLiteral("audit-%1.jsonl").arg(++count));
    for (int i = 1; i <= records; ++i) {
        TAuditRecord r = SampleRecord(i);
        QString error;
        if (!AppendAuditRecord(path, &r, &error))
            qFatal("%s", qPrintable(error));
    }
    return path;
}
