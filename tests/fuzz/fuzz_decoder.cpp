#include "FuzzTarget.h"
#include "RecordDecoder.h"
#include "TestSupport.h"

#include <algorithm>
#include <array>
#include <exception>
#include <string>
#include <string_view>

namespace {

// Strict UTF-8: the window turns these texts into QStrings, and anything
// malformed would come back from a save as different bytes.
bool ValidUtf8(std::string_view s, std::size_t &Characters)
{
    Characters = 0;
    for (std::size_t i = 0; i < s.size(); ++Characters) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        char32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        constexpr char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < Least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

std::string Everything(const TFakeControls &C)
{
    std::string all;
    for (std::string_view name : ControlNames)
        all += std::string(name) + "=" + C.Describe(name) + ";";
    for (std::string_view name : {"StartDelay", "StartTime", "TemperatureH3Row", "TemperatureH2Row",
                                  "TemperatureL2Row", "HumidityH1Row", "HumidityL1Row", "Password"})
        all += "@" + std::string(name) + "=" + C.Describe("@" + std::string(name)) + ";";
    return all;
}

void Decode(const TFrameBuffer &Rec, TFakeControls &C, const std::string &Separator)
{
    try {
        DecodeParameterRecord(Rec, C, Separator);
    } catch (const std::exception &e) {
        FuzzFail("decoding raised", e.what());
    } catch (...) {
        FuzzFail("decoding raised a non-standard exception");
    }
}

int CountChecked(const TFakeControls &C, std::initializer_list<Ctl> Group)
{
    return static_cast<int>(std::count_if(Group.begin(), Group.end(), [&](Ctl c) { return C.Checked(c); }));
}

} // namespace

// Bytes 0 to 203 are the record; a byte 204 picks the locale's separator.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    TFrameBuffer rec {};
    std::copy_n(Data, std::min(Size, rec.size()), rec.begin());
    static const std::array<std::string, 3> separators = {".", ",", "\u066B"};
    const std::string &separator = Size > rec.size() ? separators[Data[rec.size()] % separators.size()] : separators[0];

    TFakeControls controls;
    Decode(rec, controls, separator);

    for (std::string_view name : ControlNames) {
        if (!name.starts_with("edt") && !name.starts_with("mmo"))
            continue;
        std::size_t characters = 0;
        FUZZ_CHECK(ValidUtf8(controls.Text(ControlByName(name)), characters), std::string(name).c_str());
        if (name == "mmoTripInfo")
            FUZZ_CHECK(characters <= 100, "trip information longer than its field");
        if (name == "edtPassword" && rec[45] == 1)
            FUZZ_CHECK(characters == 6, "password not six characters");
    }
    std::size_t characters = 0;
    FUZZ_CHECK(ValidUtf8(SerialNumberText(rec), characters), "serial number");

    // The window's own rules must still hold between the controls.
    FUZZ_CHECK(CountChecked(controls, {Ctl::rbNoAlarm, Ctl::rbSingleAlarm, Ctl::rbMultipleAlarm}) == 1);
    FUZZ_CHECK(CountChecked(controls, {Ctl::rbC, Ctl::rbF}) == 1);
    FUZZ_CHECK(controls.Visible(Ctl::pnlSingleAlarm) == controls.Checked(Ctl::rbSingleAlarm));
    FUZZ_CHECK(controls.Visible(Ctl::pnlMultipleAlarm) == controls.Checked(Ctl::rbMultipleAlarm));
    for (const TThresholdBlock &b : ThresholdBlocks())
        if (b.Check)
            FUZZ_CHECK(controls.Checked(*b.Check) == controls.Enabled(*b.RowSwitch), "row state differs from its check box");

    // Reading the same record again must change nothing: a decoder that reads
    // back what it wrote, or depends on the order it meets controls in, would.
    const std::string once = Everything(controls);
    Decode(rec, controls, separator);
    FUZZ_CHECK(Everything(controls) == once, "reading the same record twice differs");
    return 0;
}
