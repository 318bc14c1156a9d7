#pragma once

#include "Settings.h"

#include <stdexcept>
#include <string>
#include <string_view>

// A logger's settings as a TOML file: written in a fixed order with comments,
// so that it reads like the window and two files diff cleanly, and read back
// strictly, so that a mistyped key or value never reaches a logger.

constexpr int SettingsFormat = 1;

enum class TSettingsFileKind {
    Settings,  // exported, or read from a logger to keep or to apply to others
    Backup,    // kept by a write before it changed the logger
};

struct TSettingsFile {
    TSettingsFileKind Kind = TSettingsFileKind::Settings;
    // Where and when the settings were read; empty for a file made by hand.
    std::string Port;
    std::string ReadAt;  // UTC, as 2026-12-08T17:05:00Z
    std::string Program;
    TSettingValues Values;
};

// "FILE:LINE: KEY: what is wrong", one message for the window and the command line.
class ESettingsFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

std::string WriteSettingsFile(const TSettingsFile &File);
// FileName only names the file in messages. Throws ESettingsFileError.
TSettingsFile ReadSettingsFile(std::string_view Text, const std::string &FileName);
