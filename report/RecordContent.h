#pragma once

#include "ConfigurationRecord.h"

#include <QString>

#include <map>
#include <vector>

// What the configuration record says, before it is laid out: every value as
// a person reads it ("0 h 15 min 0 s", "8.00 °C", "Single"), not as the
// settings file spells it, and only what is in force: the alarm panel in
// use, the start time only for a timed start.

struct TRecordPair {
    QString Name;
    QString Value;
};

// A panel of alarm rows, as the window lays it out: a row per threshold, a
// column per field.
struct TRecordGrid {
    QString Title;
    std::vector<QString> Columns;
    std::vector<QString> Rows;
    std::map<std::pair<std::size_t, std::size_t>, QString> Cells;
};

struct TRecordSignature {
    QString Role;     // "Configured by"
    QString Name;     // printed, when known
    QString Meaning;  // what the signature says, written out
};

struct TRecordContent {
    QString Title;
    QString SerialNumber, DeviceId;
    std::vector<TRecordPair> Facts;     // the write, or the read
    std::vector<TRecordPair> Audit;     // the audit record to find again; none for a report
    std::vector<TRecordPair> Settings;  // as the window shows them
    std::vector<TRecordGrid> Grids;     // the alarm panel in use
    std::vector<TRecordPair> Kept;      // kept by the logger and sent back, never shown in the window
    std::vector<TRecordSignature> Signatures;
};

TRecordContent RecordContent(const TConfigurationRecordData &data);

// A value of the setting Name as a person reads it, from its spelling in a
// settings file (as audit records keep differences); TempUnit is the
// record's "°C" or "°F".
QString PeopleValue(const std::string &name, const std::string &display, const QString &tempUnit);
