#include "SettingsFile.h"

#include <algorithm>
#include <map>
#include <optional>
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

// A key given twice. toml++ names it by the text it recorded, which for a
// quoted key comes out garbled ('"SeService Life" '), so the key is read again
// from its line: toml++ reads each piece of it, and the table it belongs to
// is the header above it.
class TDuplicateKey
{
public:
    TDuplicateKey(std::string_view text, const toml::parse_error &error)
        : FText(text), FLine(error.source().begin.line)
    {
        const std::string_view line = Line(FLine);
        const bool header = error.description().find("existing table") != std::string_view::npos
                            && !line.empty() && line.front() == '[';
        FFound = header ? Header(line, FPath) : Enclosing(FPath) && KeyBefore(UpToColumn(error.source().begin.column));
    }

    // As every message names a key: "Device Info"."Service Life".
    std::optional<std::string> Message() const
    {
        if (!FFound || FPath.empty())
            return std::nullopt;
        std::string message = TablePath(FPath) + ": given twice";
        if (const auto first = FirstLine())
            message += ", first on line " + std::to_string(*first);
        return message;
    }

private:
    // Where line Number begins; npos past the end. Looked up once for every
    // line up to the key's, however long the file.
    std::size_t LineStart(std::uint32_t number) const
    {
        if (FStarts.empty()) {
            FStarts.push_back(0);
            for (std::size_t at = FText.find('\n'); at != std::string_view::npos && FStarts.size() < FLine;
                 at = FText.find('\n', at + 1))
                FStarts.push_back(at + 1);
        }
        return number >= 1 && number <= FStarts.size() ? FStarts[number - 1] : std::string_view::npos;
    }

    std::string_view RawLine(std::uint32_t number) const
    {
        const std::size_t start = LineStart(number);
        if (start == std::string_view::npos)
            return {};
        return FText.substr(start, FText.find('\n', start) - start);
    }

    // The key's line before the column toml++ names, which counts characters, not bytes.
    std::string_view UpToColumn(std::uint32_t column) const
    {
        const std::string_view line = RawLine(FLine);
        std::size_t at = 0;
        for (std::uint32_t passed = 1; passed < column && at < line.size(); ++passed) {
            ++at;
            while (at < line.size() && (static_cast<unsigned char>(line[at]) & 0xC0) == 0x80)
                ++at;
        }
        return line.substr(0, at);
    }

    // Line Number without the blanks around it.
    std::string_view Line(std::uint32_t number) const
    {
        std::string_view line = RawLine(number);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        return line;
    }

    // The pieces of a key or a table header, as toml++ reads them alone.
    static bool Pieces(const std::string &document, std::vector<std::string> &path)
    {
        toml::table parsed;
        try {
            parsed = toml::parse(document);
        } catch (const toml::parse_error &) {
            return false;
        }
        const toml::table *table = &parsed;
        while (table && table->size() == 1) {
            const toml::table *inner = nullptr;
            for (auto &&[key, value] : *table) {
                path.emplace_back(key.str());
                inner = value.as_table();
            }
            table = inner;
        }
        return true;
    }

    static bool Header(std::string_view line, std::vector<std::string> &path)
    {
        return line.substr(0, 2) != "[[" && Pieces(std::string(line), path);
    }

    // The table of the last header above the key's line; the root if none.
    bool Enclosing(std::vector<std::string> &path) const
    {
        for (std::uint32_t n = FLine; n-- > 1;) {
            const std::string_view line = Line(n);
            if (!line.empty() && line.front() == '[')
                return Header(line, path);
        }
        return true;
    }

    // The key whose value begins where the line is cut, inside any inline
    // tables that enclose it.
    bool KeyBefore(std::string_view line)
    {
        std::vector<std::string_view> outer;
        std::size_t keyStart = 0;
        std::size_t equals = std::string_view::npos;
        char quote = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (quote) {
                if (quote == '"' && c == '\\')
                    ++i;
                else if (c == quote)
                    quote = 0;
                continue;
            }
            switch (c) {
            case '"':
            case '\'': quote = c; break;
            case '=': equals = i; break;
            case '{':
                if (equals == std::string_view::npos)
                    return false;
                outer.push_back(line.substr(keyStart, equals - keyStart));
                keyStart = i + 1;
                equals = std::string_view::npos;
                break;
            case '}':
                if (!outer.empty())
                    outer.pop_back();
                [[fallthrough]];
            case ',':
                keyStart = i + 1;
                equals = std::string_view::npos;
                break;
            default: break;
            }
        }
        if (equals == std::string_view::npos)
            return false;
        outer.push_back(line.substr(keyStart, equals - keyStart));
        for (const std::string_view key : outer)
            if (!Pieces(std::string(key) + " = 0", FPath))
                return false;
        return true;
    }

    // Where the key was given first: in the file up to the line that gives it again.
    std::optional<std::uint32_t> FirstLine() const
    {
        toml::table before;
        try {
            before = toml::parse(FText.substr(0, std::min(LineStart(FLine), FText.size())));
        } catch (const toml::parse_error &) {
            return std::nullopt;
        }
        const toml::node *node = &before;
        for (const std::string &piece : FPath) {
            const toml::table *table = node->as_table();
            node = table ? table->get(piece) : nullptr;
            if (!node)
                return std::nullopt;
        }
        return node->source().begin.line;
    }

    std::string_view FText;
    std::uint32_t FLine;
    mutable std::vector<std::size_t> FStarts;
    std::vector<std::string> FPath;
    bool FFound = false;
};

} // namespace

TSettingsFile ReadSettingsFile(std::string_view Text, const std::string &FileName)
{
    TReader reader(FileName);
    toml::table root;
    try {
        root = toml::parse(Text, FileName);
    } catch (const toml::parse_error &e) {
        if (e.description().find("cannot redefine existing") != std::string_view::npos)
            if (const auto message = TDuplicateKey(Text, e).Message())
                reader.Fail(e.source().begin.line, "", *message);
        reader.Fail(e.source().begin.line, "", "not a TOML file: " + std::string(e.description()));
    }
    return reader.Read(root);
}
