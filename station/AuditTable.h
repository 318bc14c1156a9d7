#pragma once

#include "AuditRecord.h"

#include <QString>

#include <vector>

// The records as a table for a terminal, one line each: number, time (UTC),
// serial number, device ID, action, result, how many settings changed and
// the operator. With a serial number, only that logger's records (its case
// does not matter). Ends with a line break; empty when no record is left.
QString FormatAuditTable(const std::vector<TAuditRecord> &records, const QString &serialNumber = {});
