#pragma once

#include <string>
#include <string_view>

// The station's own settings, shared by the window and loggerctl: where the
// audit log is kept, who works at the station, where backups go. A small TOML
// file of plain texts; an empty text or a missing key leaves the default.
struct TStationFile {
    std::string AuditLog;
    std::string Operator;
    std::string BackupFolder;
};

// Throws ESettingsFileError, "FILE:LINE: KEY: what is wrong", as a settings
// file does: a misspelt key would otherwise leave a station without its log.
TStationFile ReadStationFile(std::string_view Text, const std::string &FileName);
