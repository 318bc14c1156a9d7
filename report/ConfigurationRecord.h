#pragma once

#include "AuditRecord.h"
#include "Frame.h"
#include "WriteAuditing.h"
#include "ZoneClock.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The configuration record: one page that goes with a logger into the
// shipment's paperwork, for a quality reviewer to read, sign and file. It
// names the logger, shows its settings as a person reads them, taken from
// the record the logger answered with, and, for a write, who wrote it when,
// the clock it set, whether the read-back matched, the audit record that
// keeps the same facts and its hash, and a block for the signatures.

enum class TPaper { A4, Letter };

// Letter where the system's locale measures in US units, else A4.
TPaper LocalePaper();
// "a4" or "letter", as --paper takes them; none for anything else.
std::optional<TPaper> PaperNamed(const QString &name);

struct TConfigurationRecordData {
    TFrameBuffer Record{};  // as read back after the write, or as read for a report
    QString Port;
    QDateTime ReadAt;       // when Record was read
    // The write this page documents, as the audit log keeps it (the result
    // record); its Sha256 is empty when no log was kept. None for a report of
    // a logger as it stands.
    std::optional<TAuditRecord> Write;
    QString AuditLog;                       // where Write is kept
    std::optional<TClockReading> ClockSet;  // the logger's clock as the write set it
    TPaper Paper = TPaper::A4;
};

// The page of a write that was read back: the record it read, the result
// record when the log kept one, else the facts the request and outcome give.
// None when nothing was read back.
std::optional<TConfigurationRecordData> ConfigurationRecordOf(const TFoundLogger &Logger, const TAuditedWrite &Write,
                                                              const TAuditRequest &Audit, TPaper Paper);

// Prints the record as a one-page PDF file: what loggerctl's report and
// batch call, and the window's Save will. Needs a QGuiApplication (see
// GuiApplication.h). The settings are set as large as one page allows, so a
// long trip text makes the page smaller rather than longer.
bool WriteConfigurationRecord(const TConfigurationRecordData &data, const QString &pdfPath, QString *error);

// "A05123456-20261208T170500Z.pdf": a name per logger and write, made of
// characters that every file system takes.
QString ConfigurationRecordFileName(const QString &serialNumber, const QDateTime &time);
