#include "ControlTable.h"
#include "Convert.h"
#include "FuzzTarget.h"
#include "ParameterSet.h"
#include "SettingsFile.h"
#include "WriteFrame.h"
#include "ZoneClock.h"

#include <exception>
#include <string>
#include <string_view>

namespace {

// The memo keeps a line break of any spelling as one; read back, each is "\n".
TSettingValues MemoBreaksAsRead(TSettingValues Values)
{
    std::string &trip = Values.at(SettingIndex("Trip Information")).front();
    std::string out;
    for (std::size_t i = 0; i < trip.size(); ++i) {
        if (trip[i] == '\r') {
            out += '\n';
            if (i + 1 < trip.size() && trip[i + 1] == '\n')
                ++i;
        } else {
            out += trip[i];
        }
    }
    trip = out;
    return Values;
}

} // namespace

// Any bytes as a settings file: refused with a message that names the file
// and a line, or accepted with values a logger can hold, that write out and
// read back unchanged and lay over the controls without surprises.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    const std::string_view text(reinterpret_cast<const char *>(Data), Size);
    TSettingsFile file;
    try {
        file = ReadSettingsFile(text, "fuzz.toml");
    } catch (const ESettingsFileError &e) {
        const std::string_view message = e.what();
        FUZZ_CHECK(message.starts_with("fuzz.toml:") && message.size() > 10 && message[10] >= '1' && message[10] <= '9',
                   e.what());
        return 0;
    } catch (const std::exception &e) {
        FuzzFail("reading raised", e.what());
    }

    const auto &settings = Settings();
    FUZZ_CHECK(file.Values.size() == settings.size());
    // Every value one a logger can hold; those of a settings file but identity
    // and calibration also one a user could type.
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const bool typed = file.Kind == TSettingsFileKind::Settings && settings[i].Scope == TSettingScope::Template;
        FUZZ_CHECK(!SettingValueProblem(settings[i], file.Values[i], typed ? TValueOrigin::Typed : TValueOrigin::Logger),
                   settings[i].Name.c_str());
    }

    // What was accepted writes out as a file that reads back as itself.
    const std::string written = WriteSettingsFile(file);
    TSettingsFile again;
    try {
        again = ReadSettingsFile(written, "again.toml");
    } catch (const std::exception &e) {
        FuzzFail("a written file was refused", e.what());
    }
    FUZZ_CHECK(again.Values == file.Values, "values changed on the way through a file");
    FUZZ_CHECK(again.Kind == file.Kind && again.Port == file.Port && again.Program == file.Program);
    FUZZ_CHECK(WriteSettingsFile(again) == written, "writing the same settings twice differs");

    // Laid over the controls, the file gives a sound frame or a conversion
    // error, and the settings captured back are the file's.
    TParameterSet set;
    try {
        ApplySettings(set, file.Values, TScopes::All(), ".");
    } catch (const std::exception &e) {
        FuzzFail("applying raised", e.what());
    }
    FUZZ_CHECK(CaptureSettings(set, ".") == MemoBreaksAsRead(file.Values), "the controls do not hold what the file set");
    SetSystemTime(set, {2026, 12, 8, 17, 5, 0});
    TFrameBuffer frame {};
    try {
        EncodeWriteFrame(frame, set, ".");
        FUZZ_CHECK(CheckFrame(frame.data(), frame.size()));
    } catch (const EConvertError &) {
    } catch (const std::exception &e) {
        FuzzFail("encoding raised", e.what());
    }
    return 0;
}
