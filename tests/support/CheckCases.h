#pragma once

#include <vector>

// The checks before a save, as rows that every face of the program runs: the
// window through its Save button, the parameter set directly, and loggerctl
// through a settings file. Settings are "name=value" pairs separated by ";":
// an edit by its text, a list by its item's text, a button by "on" or "off",
// applied over the window as it stands when first shown.
struct TCheckCase {
    const char *Name;
    const char *Settings;
    const char *Message;  // nullptr: every check passes
    // The control the window sends the user to; nullptr: none, as it cannot
    // take the focus (disabled, or never on screen like the multiple-alarm rows).
    const char *Focus;
    // What a settings file of these values is refused for, where that comes
    // before the window's check: a value no user could have typed there.
    const char *FileMessage = nullptr;
};

inline const std::vector<TCheckCase> &CheckCases()
{
// A log interval too, so that a row that passes looks like nothing mistaken.
#define VALID "edtSerialNumber=A05123456; edtDeviceID=0a1b2c3d; edtServiceLife=365; cbbLogIntervalM=5;"
    static const std::vector<TCheckCase> cases = {
        {"fresh window", "", "The Serial Number can not be empty and the Serial Number length is 9", "edtSerialNumber"},
        {"serial number of 8", "edtSerialNumber=A5123456",
         "The Serial Number can not be empty and the Serial Number length is 9", "edtSerialNumber"},
        // A record whose middle byte is 100 or more gives three middle digits.
        {"serial number of 10 from a read", "edtSerialNumber=A100123456",
         "The Serial Number can not be empty and the Serial Number length is 9", "edtSerialNumber"},
        {"any 9 characters pass the length check", "edtSerialNumber=?? ??? ??; edtDeviceID=0A1B2C3D",
         "The Service Life can not be empty", "edtServiceLife"},
        {"device id of 7", "edtSerialNumber=A05123456; edtDeviceID=0A1B2C3",
         "The Device ID can not be empty and the Device ID length is 8", "edtDeviceID"},
        {"blank service life", VALID "edtServiceLife=  \t ", "The Service Life can not be empty", "edtServiceLife",
         "\"  \\u0009 \" is not a number of up to 4 digits, as the window takes it"},
        {"calibration is disabled: message, no focus", VALID "edtCalibrationTemp= - ",
         "The Calibration Temperature can not be empty", nullptr},
        {"blank calibration humidity", VALID "edtCalibrationHumidity=", "The Calibration Humidity can not be empty",
         nullptr},
        {"short password when enabled", VALID "cbbPasswordStartup=Enable; edtPassword=abc",
         "The Password can not be empty and the Password length is 6", nullptr},
        {"password not looked at when disabled", VALID "edtPassword=abc", nullptr, nullptr},
        {"no alarm ignores empty thresholds", VALID "rbNoAlarm=on", nullptr, nullptr},
        {"multiple: H3 first", VALID "rbMultipleAlarm=on", "The Temperature H3 can not be empty", nullptr},
        {"multiple: unticked empty row passes", VALID "rbMultipleAlarm=on; chkTemperatureH3=off",
         "The Temperature H2 can not be empty", nullptr},
        {"multiple: lone minus in an unticked row fails, edit disabled",
         VALID "rbMultipleAlarm=on; chkTemperatureH3=off; edtTemperatureH3=-", "The Temperature H3 can not be empty",
         nullptr},
        {"multiple: H1 and L1 always required",
         VALID "rbMultipleAlarm=on; chkTemperatureH3=off; chkTemperatureH2=off; chkTemperatureL2=off; "
               "chkHumidityH1=off; chkHumidityL1=off",
         "The Temperature H1 can not be empty", nullptr},
        {"multiple: panel order, L1 before L2",
         VALID "rbMultipleAlarm=on; edtTemperatureH3=3; edtTemperatureH2=2; edtTemperatureH1=1",
         "The Temperature L1 can not be empty", nullptr},
        {"multiple: all filled",
         VALID "rbMultipleAlarm=on; edtTemperatureH3=3; edtTemperatureH2=2; edtTemperatureH1=1; edtTemperatureL1=-4; "
               "edtTemperatureL2=-5; edtHumidityH1=80; edtHumidityL1=20",
         nullptr, nullptr},
        {"single: H1 reported first", VALID "rbSingleAlarm=on", "The Temperature H1 can not be empty", "edtSingleH1"},
        {"single: lone minus", VALID "rbSingleAlarm=on; edtSingleH1=5; edtSingleL1= -",
         "The Temperature L1 can not be empty", "edtSingleL1",
         "\" -\" is not a number such as 25.30 or -2.5, as the window takes it"},
        // What the logger cannot hold as the window shows it: refused, nothing sent.
        {"a threshold beyond its byte",
         VALID "rbSingleAlarm=on; edtSingleH1=300; edtSingleL1=2; edtSingleHumidityH1=80; edtSingleHumidityL1=20",
         "The Temperature H1 must lie between -255.99 and 255.99", "edtSingleH1",
         "\"300\" is outside -255.99 to 255.99"},
        {"multiple alarm that would read back as single",
         VALID "rbMultipleAlarm=on; chkTemperatureH3=off; chkTemperatureH2=off; chkTemperatureL2=off; "
               "chkHumidityH1=off; chkHumidityL1=off; edtTemperatureH1=25.50; edtTemperatureL1=2",
         "Multiple Alarm needs Temperature H3, H2 or L2 switched on: with all three off the logger reads the setting "
         "back as Single Alarm",
         nullptr},
        {"a start time that does not exist", VALID "cbbStartMode=Timing; cbbStartTimeY=2027; cbbStartTimeM=2; cbbStartTimeD=31",
         "The Start Time 2027-02-31 does not exist", nullptr},
        {"single: humidity rows share the messages",
         VALID "rbSingleAlarm=on; edtSingleH1=5; edtSingleL1=1; edtSingleHumidityH1=90",
         "The Humidity L1 can not be empty", "edtSingleHumidityL1"},
    };
#undef VALID
    return cases;
}
