#include "StationFile.h"

#include "SettingsFile.h"

#include <toml++/toml.h>

namespace {

[[noreturn]] void Fail(const std::string &FileName, std::uint32_t Line, const std::string &Key, const std::string &Problem)
{
    throw ESettingsFileError(FileName + ":" + std::to_string(Line == 0 ? 1 : Line) + ": "
                             + (Key.empty() ? "" : Key + ": ") + Problem);
}

} // namespace

TStationFile ReadStationFile(std::string_view Text, const std::string &FileName)
{
    toml::table root;
    try {
        root = toml::parse(Text, FileName);
    } catch (const toml::parse_error &e) {
        Fail(FileName, e.source().begin.line, "", "not a TOML file: " + std::string(e.description()));
    }
    TStationFile station;
    const std::pair<const char *, std::string *> keys[] = {
        {"audit_log", &station.AuditLog}, {"operator", &station.Operator}, {"backup_folder", &station.BackupFolder}};
    for (auto &&[key, value] : root) {
        const std::string name(key.str());
        const std::uint32_t line = value.source().begin.line;
        std::string *target = nullptr;
        for (const auto &[known, field] : keys)
            if (name == known)
                target = field;
        if (target == nullptr)
            Fail(FileName, line, TomlKey(name), "unknown key (audit_log, operator and backup_folder are known)");
        if (!value.is_string())
            Fail(FileName, line, name, "is not a text in quotes");
        *target = *value.value<std::string>();
    }
    return station;
}
