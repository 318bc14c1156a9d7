#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The window's parameter controls are the one vocabulary shared by the record
// decoder, the write-frame encoder and the window. The enumerator names are the
// controls' object names, so the window finds each widget by name.
#define LOGGERCFG_CONTROLS(X)                                                              \
    /* Device Info */                                                                      \
    X(edtSerialNumber) X(edtDeviceID) X(edtServiceLife) X(cbbStartMode)                    \
    X(cbbReportLanguage) X(cbbMultipleStart) X(rbC) X(rbF) X(cbbTimeZone)                  \
    X(cbbStartTimeY) X(cbbStartTimeM) X(cbbStartTimeD)                                     \
    X(cbbStartTimeH) X(cbbStartTimeN) X(cbbStartTimeS)                                     \
    X(cbbSystemTimeY) X(cbbSystemTimeM) X(cbbSystemTimeD)                                  \
    X(cbbSystemTimeH) X(cbbSystemTimeN) X(cbbSystemTimeS)                                  \
    X(cbbProbeMode) X(cbbCycleSwitch) X(cbbStopMode) X(edtCalibrationTemp)                 \
    X(edtCalibrationHumidity) X(cbbTemporaryPDFStartup) X(cbbPasswordStartup)              \
    X(edtPassword)                                                                         \
    /* Log Setting */                                                                      \
    X(cbbLogIntervalH) X(cbbLogIntervalM) X(cbbLogIntervalS)                               \
    X(cbbStartDelayH) X(cbbStartDelayM)                                                    \
    /* Alarm Setting */                                                                    \
    X(rbNoAlarm) X(rbSingleAlarm) X(rbMultipleAlarm) X(pnlSingleAlarm) X(pnlMultipleAlarm) \
    X(edtSingleH1) X(cbbSingleH1) X(cbbSingleH1H) X(cbbSingleH1M) X(cbbSingleH1S)          \
    X(edtSingleL1) X(cbbSingleL1) X(cbbSingleL1H) X(cbbSingleL1M) X(cbbSingleL1S)          \
    X(edtSingleHumidityH1) X(cbbSingleHumidityH1)                                          \
    X(cbbSingleHumidityH1H) X(cbbSingleHumidityH1M) X(cbbSingleHumidityH1S)                \
    X(edtSingleHumidityL1) X(cbbSingleHumidityL1)                                          \
    X(cbbSingleHumidityL1H) X(cbbSingleHumidityL1M) X(cbbSingleHumidityL1S)                \
    X(chkTemperatureH3) X(edtTemperatureH3) X(cbbTemperatureH3)                            \
    X(cbbTemperatureH3H) X(cbbTemperatureH3M) X(cbbTemperatureH3S)                         \
    X(chkTemperatureH2) X(edtTemperatureH2) X(cbbTemperatureH2)                            \
    X(cbbTemperatureH2H) X(cbbTemperatureH2M) X(cbbTemperatureH2S)                         \
    X(edtTemperatureH1) X(cbbTemperatureH1)                                                \
    X(cbbTemperatureH1H) X(cbbTemperatureH1M) X(cbbTemperatureH1S)                         \
    X(edtTemperatureL1) X(cbbTemperatureL1)                                                \
    X(cbbTemperatureL1H) X(cbbTemperatureL1M) X(cbbTemperatureL1S)                         \
    X(chkTemperatureL2) X(edtTemperatureL2) X(cbbTemperatureL2)                            \
    X(cbbTemperatureL2H) X(cbbTemperatureL2M) X(cbbTemperatureL2S)                         \
    X(chkHumidityH1) X(edtHumidityH1) X(cbbHumidityH1)                                     \
    X(cbbHumidityH1H) X(cbbHumidityH1M) X(cbbHumidityH1S)                                  \
    X(chkHumidityL1) X(edtHumidityL1) X(cbbHumidityL1)                                     \
    X(cbbHumidityL1H) X(cbbHumidityL1M) X(cbbHumidityL1S)                                  \
    /* Trip Information */                                                                 \
    X(mmoTripInfo)

enum class Ctl {
#define LOGGERCFG_ENUMERATOR(name) name,
    LOGGERCFG_CONTROLS(LOGGERCFG_ENUMERATOR)
#undef LOGGERCFG_ENUMERATOR
};

constexpr std::array ControlNames = {
#define LOGGERCFG_NAME(name) std::string_view(#name),
    LOGGERCFG_CONTROLS(LOGGERCFG_NAME)
#undef LOGGERCFG_NAME
};

constexpr std::size_t ControlCount = ControlNames.size();

constexpr std::string_view ControlName(Ctl c) { return ControlNames[static_cast<std::size_t>(c)]; }

// The enabling methods of the window; each switches the Enabled state of its controls.
enum class TEnableSwitch {
    StartDelay,
    StartTime,
    TemperatureH3Row,
    TemperatureH2Row,
    TemperatureL2Row,
    HumidityH1Row,
    HumidityL1Row,
    // edtPassword alone: the rule of cbbPasswordStartupChange, which a read
    // applies itself because setting the combo from code runs no handler.
    Password,
};

// What the protocol code may do with the window's controls. Texts are UTF-8.
// The window implements it over its widgets; tests implement it over plain data.
class TControlValues
{
public:
    virtual ~TControlValues() = default;

    // Edits and the memo. Text set here is never filtered and never cut.
    virtual std::string Text(Ctl c) const = 0;
    virtual void SetText(Ctl c, const std::string &text) = 0;

    // Combo boxes. -1 is no selection; setting an index outside the list leaves
    // no selection and an empty text. Setting from code runs no change handler.
    virtual int ItemIndex(Ctl c) const = 0;
    virtual void SetItemIndex(Ctl c, int index) = 0;
    virtual int ItemCount(Ctl c) const = 0;
    virtual std::string ItemText(Ctl c, int index) const = 0;

    // Check boxes and radio buttons. Changing the state from code runs the
    // control's click handler; switching a radio button on switches its group's
    // other buttons off.
    virtual bool Checked(Ctl c) const = 0;
    virtual void SetChecked(Ctl c, bool on) = 0;

    virtual void SetVisible(Ctl c, bool visible) = 0;
    virtual void Enable(TEnableSwitch s, bool value) = 0;
};

// The seven threshold blocks of both long frames, in offset order, with the
// controls of each alarm panel. A block may be unset (first byte 0xFF) only where
// its multiple-alarm row has a check box.
struct TAlarmRowControls {
    Ctl Edit, Type, DelayH, DelayM, DelayS;
};

struct TThresholdBlock {
    int Offset;
    std::optional<TAlarmRowControls> Single;  // none: not shown in single alarm
    TAlarmRowControls Multiple;
    std::optional<Ctl> Check;
    std::optional<TEnableSwitch> RowSwitch;
};

inline const std::array<TThresholdBlock, 7> &ThresholdBlocks()
{
    static const std::array<TThresholdBlock, 7> blocks = {{
        {153,
         TAlarmRowControls{Ctl::edtSingleL1, Ctl::cbbSingleL1, Ctl::cbbSingleL1H, Ctl::cbbSingleL1M, Ctl::cbbSingleL1S},
         {Ctl::edtTemperatureL1, Ctl::cbbTemperatureL1, Ctl::cbbTemperatureL1H, Ctl::cbbTemperatureL1M, Ctl::cbbTemperatureL1S},
         std::nullopt, std::nullopt},
        {160, std::nullopt,
         {Ctl::edtTemperatureL2, Ctl::cbbTemperatureL2, Ctl::cbbTemperatureL2H, Ctl::cbbTemperatureL2M, Ctl::cbbTemperatureL2S},
         Ctl::chkTemperatureL2, TEnableSwitch::TemperatureL2Row},
        {167,
         TAlarmRowControls{Ctl::edtSingleH1, Ctl::cbbSingleH1, Ctl::cbbSingleH1H, Ctl::cbbSingleH1M, Ctl::cbbSingleH1S},
         {Ctl::edtTemperatureH1, Ctl::cbbTemperatureH1, Ctl::cbbTemperatureH1H, Ctl::cbbTemperatureH1M, Ctl::cbbTemperatureH1S},
         std::nullopt, std::nullopt},
        {174, std::nullopt,
         {Ctl::edtTemperatureH2, Ctl::cbbTemperatureH2, Ctl::cbbTemperatureH2H, Ctl::cbbTemperatureH2M, Ctl::cbbTemperatureH2S},
         Ctl::chkTemperatureH2, TEnableSwitch::TemperatureH2Row},
        {181, std::nullopt,
         {Ctl::edtTemperatureH3, Ctl::cbbTemperatureH3, Ctl::cbbTemperatureH3H, Ctl::cbbTemperatureH3M, Ctl::cbbTemperatureH3S},
         Ctl::chkTemperatureH3, TEnableSwitch::TemperatureH3Row},
        {188,
         TAlarmRowControls{Ctl::edtSingleHumidityL1, Ctl::cbbSingleHumidityL1, Ctl::cbbSingleHumidityL1H,
                           Ctl::cbbSingleHumidityL1M, Ctl::cbbSingleHumidityL1S},
         {Ctl::edtHumidityL1, Ctl::cbbHumidityL1, Ctl::cbbHumidityL1H, Ctl::cbbHumidityL1M, Ctl::cbbHumidityL1S},
         Ctl::chkHumidityL1, TEnableSwitch::HumidityL1Row},
        {195,
         TAlarmRowControls{Ctl::edtSingleHumidityH1, Ctl::cbbSingleHumidityH1, Ctl::cbbSingleHumidityH1H,
                           Ctl::cbbSingleHumidityH1M, Ctl::cbbSingleHumidityH1S},
         {Ctl::edtHumidityH1, Ctl::cbbHumidityH1, Ctl::cbbHumidityH1H, Ctl::cbbHumidityH1M, Ctl::cbbHumidityH1S},
         Ctl::chkHumidityH1, TEnableSwitch::HumidityH1Row},
    }};
    return blocks;
}
