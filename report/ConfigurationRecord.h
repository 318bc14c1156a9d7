#pragma once

#include "AuditRecord.h"
#include "Frame.h"
#include "ZoneClock.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The configuration record: one A4 page that goes with a logger into the
// shipment's paperwork. It names the logger, shows every setting as the
// window names it, taken from the record the logger answered with, and, for
// a write, who wrote it when, the clock it set, whether the read-back matched
// and the hash of the audit record that keeps the same facts.

struct TConfigurationRecordData {
    TFrameBuffer Record{};  // as read back after the write, or as read for a report
    QString Port;
    QDateTime ReadAt;       // when Record was read
    // The write this page documents, as the audit log keeps it; its Sha256
    // names the audit record and is empty when no log was kept. None for a
    // report of a logger as it stands.
    std::optional<TAuditRecord> Write;
    std::optional<TClockReading> ClockSet;  // the logger's clock as the write set it
};

// Needs a QGuiApplication (see GuiApplication.h). The settings are set as
// large as one page allows, so a long trip text makes the page smaller
// rather than longer.
bool WriteConfigurationRecord(const TConfigurationRecordData &data, const QString &pdfPath, QString *error);

// "A05123456-20261208T170500Z.pdf": a name per logger and write, made of
// characters that every file system takes.
QString ConfigurationRecordFileName(const QString &serialNumber, const QDateTime &time);
