#include "SettingsFile.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include <toml++/toml.h>

namespace {

std::string TablePath(const std::vector<std::string> &Table)
{
    std::string path;
    for (const std::string &part : Table)
        path += (path.empty() ? "" : ".") + TomlKey(part);
    return path;
}

const char *TableComment(const std::vector<std::string> &Table)
{
    const std::string &first = Table.front();
    if (first == "identity")
        return "Per logger: a file applied as a template leaves these as the logger has them\n"
               "# (loggerctl write --with-identity changes them).";
    if (first == "calibration")
        return "Per logger: kept as the logger has them unless asked (--with-calibration).";
    if (first == "Device Info")
        return "Probe Mode and the settings after it are not shown in the window; every save sends them.";
    if (first == "Alarm Setting" && Table.size() == 1)
        return "The rows of the mode that is on are sent; the window never shows Multiple Alarm.";
    return nullptr;
}

} // namespace

std::string WriteSettingsFile(const TSettingsFile &File)
{
    std::ostringstream out;
    out << "# Data logger settings" << (File.Program.empty() ? "" : ", written by " + File.Program) << ".\n"
        << "# Values are as the window shows them; \"\" is a list left with no selection.\n"
        << "format = " << SettingsFormat << "\n"
        << "kind = " << (File.Kind == TSettingsFileKind::Backup ? "\"backup\"" : "\"settings\"") << "\n";
    if (!File.Port.empty() || !File.ReadAt.empty() || !File.Program.empty()) {
        out << "\n# Where and when these settings were read.\n[source]\n";
        if (!File.Port.empty())
            out << "port = " << TomlQuoted(File.Port) << "\n";
        if (!File.ReadAt.empty())
            out << "read_at = " << File.ReadAt << "\n";
        if (!File.Program.empty())
            out << "program = " << TomlQuoted(File.Program) << "\n";
    }

    const auto &settings = Settings();
    const std::vector<std::string> *table = nullptr;
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const TSetting &setting = settings[i];
        if (!table || *table != setting.Table) {
            table = &setting.Table;
            out << "\n";
            if (const char *comment = TableComment(setting.Table))
                out << "# " << comment << "\n";
            out << "[" << TablePath(setting.Table) << "]\n";
        }
        out << TomlKey(setting.Key) << " = " << DisplayValue(setting, File.Values.at(i));
        if (!setting.Comment.empty())
            out << "  # " << setting.Comment;
        out << "\n";
    }
    if (File.Record) {
        out << "\n# The logger's record as it was read, byte for byte: restore writes these bytes\n"
               "# back, those no setting shows among them.\n[record]\nbytes = \"\"\"\n";
        static constexpr char Hex[] = "0123456789ABCDEF";
        for (std::size_t i = 0; i < File.Record->size(); ++i) {
            const std::uint8_t byte = (*File.Record)[i];
            out << Hex[byte >> 4] << Hex[byte & 0xF] << (i % 16 == 15 || i + 1 == File.Record->size() ? "\n" : " ");
        }
        out << "\"\"\"\n";
    }
    return out.str();
}

std::string SettingKey(const TSetting &Setting)
{
    return TablePath(Setting.Table) + "." + TomlKey(Setting.Key);
}

std::string SettingMessage(const std::string &FileName, const TSettingsFile &File, std::size_t Setting,
                           const std::string &Problem)
{
    const std::string key = SettingKey(Settings().at(Setting));
    if (Setting < File.Lines.size() && File.Lines[Setting] > 0)
        return FileName + ":" + std::to_string(File.Lines[Setting]) + ": " + key + ": " + Problem;
    return FileName + ": " + key + ": " + Problem;
}

namespace {

class TReader
{
public:
    TReader(const std::string &fileName)
        : FFileName(fileName)
    {
    }

    [[noreturn]] void Fail(std::uint32_t line, const std::string &key, const std::string &problem) const
    {
        std::string message = FFileName + ":" + std::to_string(line == 0 ? 1 : line) + ": ";
        if (!key.empty())
            message += key + ": ";
        throw ESettingsFileError(message + problem);
    }

    static std::uint32_t Line(const toml::node &node) { return node.source().begin.line; }

    TSettingsFile Read(const toml::table &root)
    {
        TSettingsFile file;
        ReadHeader(root, file);
        CheckKnownKeys(root, {});
        FOrigin = file.Kind == TSettingsFileKind::Backup ? TValueOrigin::Logger : TValueOrigin::Typed;
        for (const TSetting &setting : Settings()) {
            std::uint32_t line = 0;
            file.Values.push_back(ReadSetting(root, setting, &line));
            file.Lines.push_back(line);
        }
        ReadRecord(root, file);
        return file;
    }

private:
    void ReadHeader(const toml::table &root, TSettingsFile &file)
    {
        const toml::node *format = root.get("format");
        if (!format)
            Fail(1, "format", "missing: the file says which format it is in (format = 1)");
        if (!format->is_integer())
            Fail(Line(*format), "format", "is not a whole number");
        const auto version = format->value<std::int64_t>().value_or(0);
        if (version > SettingsFormat)
            Fail(Line(*format), "format",
                 "format " + std::to_string(version) + " is newer than this loggercfg reads (format "
                     + std::to_string(SettingsFormat) + "); use a newer loggercfg");
        if (version < 1)
            Fail(Line(*format), "format", "format " + std::to_string(version) + " does not exist");

        if (const toml::node *kind = root.get("kind")) {
            const auto text = kind->value<std::string>();
            if (text == "backup")
                file.Kind = TSettingsFileKind::Backup;
            else if (text != "settings")
                Fail(Line(*kind), "kind", "is neither \"settings\" nor \"backup\"");
        }
        if (const toml::node *source = root.get("source")) {
            if (!source->is_table())
                Fail(Line(*source), "source", "is not a table");
            for (auto &&[key, value] : *source->as_table()) {
                const std::string name(key.str());
                if (name == "port" && value.is_string())
                    file.Port = *value.value<std::string>();
                else if (name == "program" && value.is_string())
                    file.Program = *value.value<std::string>();
                else if (name == "read_at" && value.is_date_time()) {
                    std::ostringstream text;
                    text << *value.as_date_time();
                    file.ReadAt = text.str();
                } else if (name == "port" || name == "program")
                    Fail(Line(value), "source." + name, "is not a text in quotes");
                else if (name == "read_at")
                    Fail(Line(value), "source.read_at", "is not a date and time such as 2026-12-08T17:05:00Z");
                else
                    Fail(Line(value), "source." + TomlKey(name), "unknown key");
            }
        }
    }

    // Every key the file holds must be one this program knows: a misspelt key
    // would otherwise leave its setting missing, or be ignored.
    void CheckKnownKeys(const toml::table &table, const std::vector<std::string> &path)
    {
        for (auto &&[key, value] : table) {
            const std::string name(key.str());
            std::vector<std::string> inner = path;
            inner.push_back(name);
            if (path.empty() && (name == "format" || name == "kind" || name == "source" || name == "record"))
                continue;
            if (IsTable(inner) && !IsSettingKey(path, name)) {
                if (!value.is_table())
                    Fail(Line(value), TablePath(inner), "is a value where a table is expected");
                CheckKnownKeys(*value.as_table(), inner);
            } else if (!IsSettingKey(path, name)) {
                Fail(Line(value), TablePath(inner),
                     path.empty() ? "unknown key" : "unknown key in [" + TablePath(path) + "]");
            }
        }
    }

    bool IsTable(const std::vector<std::string> &path) const
    {
        for (const TSetting &setting : Settings())
            if (setting.Table.size() >= path.size() && std::equal(path.begin(), path.end(), setting.Table.begin()))
                return true;
        return false;
    }

    bool IsSettingKey(const std::vector<std::string> &table, const std::string &key) const
    {
        for (const TSetting &setting : Settings())
            if (setting.Table == table && setting.Key == key)
                return true;
        return false;
    }

    // A backup's record: 204 bytes in hex, blanks and line breaks between
    // them, that form a sound parameter record.
    void ReadRecord(const toml::table &root, TSettingsFile &file) const
    {
        const toml::node *node = root.get("record");
        if (!node)
            return;
        if (!node->is_table())
            Fail(Line(*node), "record", "is not a table");
        if (file.Kind != TSettingsFileKind::Backup)
            Fail(Line(*node), "record", "only a backup holds the logger's record");
        for (auto &&[key, value] : *node->as_table())
            if (key.str() != "bytes")
                Fail(Line(value), "record." + TomlKey(key.str()), "unknown key");
        const toml::node *bytes = node->as_table()->get("bytes");
        if (!bytes || !bytes->is_string())
            Fail(Line(*node), "record.bytes", "missing: the record's bytes in hexadecimal, in quotes");
        TFrameBuffer record {};
        std::size_t count = 0;
        int high = -1;
        const std::string hex = *bytes->value<std::string>();
        for (const char ch : hex) {
            if (ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t')
                continue;
            const int digit = ch >= '0' && ch <= '9'   ? ch - '0'
                              : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                              : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                                                       : -1;
            if (digit < 0)
                Fail(Line(*bytes), "record.bytes", "holds a character that is no hexadecimal digit");
            if (high < 0) {
                high = digit;
                continue;
            }
            if (count == record.size())
                Fail(Line(*bytes), "record.bytes", "holds more than the record's 204 bytes");
            record[count++] = static_cast<std::uint8_t>(high << 4 | digit);
            high = -1;
        }
        if (count != record.size() || high >= 0)
            Fail(Line(*bytes), "record.bytes", "holds " + std::to_string(count) + " bytes, not the record's 204");
        if (!CheckFrame(record.data(), record.size()) || record[2] != CmdParameterRecord)
            Fail(Line(*bytes), "record.bytes", "is not a sound parameter record (its frame check fails)");
        file.Record = record;
    }

    TSettingValue ReadSetting(const toml::table &root, const TSetting &setting, std::uint32_t *valueLine)
    {
        const toml::table *table = &root;
        std::uint32_t line = 1;
        std::vector<std::string> walked;
        for (const std::string &part : setting.Table) {
            walked.push_back(part);
            const toml::node *inner = table->get(part);
            if (!inner)
                Fail(line, TablePath(walked), "missing table [" + TablePath(walked) + "]");
            table = inner->as_table();
            line = Line(*inner);
        }
        const std::string key = TablePath(setting.Table) + "." + TomlKey(setting.Key);
        const toml::node *node = table->get(setting.Key);
        if (!node)
            Fail(line, key, "missing from [" + TablePath(setting.Table) + "]");

        *valueLine = Line(*node);
        TSettingValue value;
        if (setting.Kind == TSettingKind::Switch) {
            if (!node->is_boolean())
                Fail(Line(*node), key, "is neither true nor false");
            value.push_back(*node->value<bool>() ? "true" : "false");
        } else if (setting.Parts.size() > 1) {
            if (!node->is_table())
                Fail(Line(*node), key, "is not a table such as " + Example(setting));
            const toml::table &parts = *node->as_table();
            for (auto &&[partKey, partValue] : parts) {
                // Named apart: clang before 16 lets no lambda capture a structured binding.
                const std::string_view name = partKey.str();
                const bool known = std::any_of(setting.Parts.begin(), setting.Parts.end(),
                                               [&](const TSettingPart &p) { return p.Key == name; });
                if (!known)
                    Fail(Line(partValue), key + "." + TomlKey(name), "unknown key");
            }
            for (const TSettingPart &part : setting.Parts) {
                const toml::node *partNode = parts.get(part.Key);
                if (!partNode)
                    Fail(Line(*node), key, part.Key + " is missing, as in " + Example(setting));
                value.push_back(Text(*partNode, key + "." + part.Key));
            }
        } else {
            value.push_back(Text(*node, key));
        }
        // A logger's own identity and calibration are kept by a template
        // write as it holds them, whatever a user could type; a write that
        // asks for them checks them as typed.
        const TValueOrigin origin = setting.Scope == TSettingScope::Template ? FOrigin : TValueOrigin::Logger;
        if (const auto problem = SettingValueProblem(setting, value, origin))
            Fail(Line(*node), key, *problem);
        return value;
    }

    std::string Text(const toml::node &node, const std::string &key) const
    {
        if (!node.is_string())
            Fail(Line(node), key, "is not a text in quotes (values are written as the window shows them)");
        return *node.value<std::string>();
    }

    static std::string Example(const TSetting &setting)
    {
        std::string text = "{ ";
        for (std::size_t p = 0; p < setting.Parts.size(); ++p)
            text += (p ? ", " : "") + setting.Parts[p].Key + " = \"0\"";
        return text + " }";
    }

    const std::string &FFileName;
    TValueOrigin FOrigin = TValueOrigin::Typed;
};

} // namespace

TSettingsFile ReadSettingsFile(std::string_view Text, const std::string &FileName)
{
    TReader reader(FileName);
    toml::table root;
    try {
        root = toml::parse(Text, FileName);
    } catch (const toml::parse_error &e) {
        reader.Fail(e.source().begin.line, "", "not a TOML file: " + std::string(e.description()));
    }
    return reader.Read(root);
}
