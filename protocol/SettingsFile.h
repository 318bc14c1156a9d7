#pragma once

#include "Frame.h"
#include "Settings.h"

#include <cstdint>
#include <optional>
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
    // Where each setting's value stands in the file, in the order of
    // Settings(); empty for a file not read from text.
    std::vector<std::uint32_t> Lines;
    // A backup's record as the logger answered with it, byte for byte, so
    // that a restore puts back also what no setting shows.
    std::optional<TFrameBuffer> Record;
};

// How a file names a setting: "Device Info"."Start Mode".
std::string SettingKey(const TSetting &Setting);
// "FILE:LINE: KEY: Problem", where File was read from text; "FILE: KEY: Problem" else.
std::string SettingMessage(const std::string &FileName, const TSettingsFile &File, std::size_t Setting,
                           const std::string &Problem);

// "FILE:LINE: KEY: what is wrong", one message for the window and the command line.
class ESettingsFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

std::string WriteSettingsFile(const TSettingsFile &File);
// FileName only names the file in messages. Values are checked as a user may
// type them, a backup's as a logger may hold them. Throws ESettingsFileError.
TSettingsFile ReadSettingsFile(std::string_view Text, const std::string &FileName);
