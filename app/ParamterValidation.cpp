#include "ParamterFrm.h"

#include "Guarded.h"
#include "OnScreen.h"
#include "Prompt.h"
#include "ui_ParamterFrm.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

// Leading and trailing characters up to the blank (codes 32 and below) are cut.
QString Trimmed(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

bool IsBlank(const QLineEdit *edit)
{
    return Trimmed(edit->text()).isEmpty();
}

bool IsLoneMinus(const QLineEdit *edit)
{
    return Trimmed(edit->text()) == QLatin1String("-");
}

bool IsBlankOrLoneMinus(const QLineEdit *edit)
{
    return IsBlank(edit) || IsLoneMinus(edit);
}

} // namespace

void TParamter::CheckParameters()
{
    const auto fail = [this](QWidget *control, const char *message) {
        // A control that cannot take the focus (disabled, or never on screen)
        // still gets its message; the focus stays where it was, rather than
        // going where the next key would change what nobody can see.
        if (control->isEnabled() && IsOnScreen(control))
            control->setFocus(Qt::OtherFocusReason);
        Prompt::Show(this, TPromptKind::Information, QString::fromLatin1(message));
        throw EAbort {};
    };

    if (ui->edtSerialNumber->text().size() != 9)
        fail(ui->edtSerialNumber, "The Serial Number can not be empty and the Serial Number length is 9");
    if (ui->edtDeviceID->text().size() != 8)
        fail(ui->edtDeviceID, "The Device ID can not be empty and the Device ID length is 8");
    if (IsBlank(ui->edtServiceLife))
        fail(ui->edtServiceLife, "The Service Life can not be empty");
    if (IsBlankOrLoneMinus(ui->edtCalibrationTemp))
        fail(ui->edtCalibrationTemp, "The Calibration Temperature can not be empty");
    if (IsBlankOrLoneMinus(ui->edtCalibrationHumidity))
        fail(ui->edtCalibrationHumidity, "The Calibration Humidity can not be empty");
    if (ui->cbbPasswordStartup->currentIndex() == 1 && ui->edtPassword->text().size() != 6)
        fail(ui->edtPassword, "The Password can not be empty and the Password length is 6");

    struct Row {
        QCheckBox *Check;  // none: the row is always on
        QLineEdit *Edit;
        const char *Message;
    };

    if (ui->rbMultipleAlarm->isChecked()) {
        const Row rows[] = {
            {ui->chkTemperatureH3, ui->edtTemperatureH3, "The Temperature H3 can not be empty"},
            {ui->chkTemperatureH2, ui->edtTemperatureH2, "The Temperature H2 can not be empty"},
            {nullptr, ui->edtTemperatureH1, "The Temperature H1 can not be empty"},
            {nullptr, ui->edtTemperatureL1, "The Temperature L1 can not be empty"},
            {ui->chkTemperatureL2, ui->edtTemperatureL2, "The Temperature L2 can not be empty"},
            {ui->chkHumidityH1, ui->edtHumidityH1, "The Humidity H1 can not be empty"},
            {ui->chkHumidityL1, ui->edtHumidityL1, "The Humidity L1 can not be empty"},
        };
        for (const Row &row : rows) {
            const bool on = row.Check == nullptr || row.Check->isChecked();
            if ((on && IsBlank(row.Edit)) || IsLoneMinus(row.Edit))
                fail(row.Edit, row.Message);
        }
    } else if (ui->rbSingleAlarm->isChecked()) {
        const Row rows[] = {
            {nullptr, ui->edtSingleH1, "The Temperature H1 can not be empty"},
            {nullptr, ui->edtSingleL1, "The Temperature L1 can not be empty"},
            {nullptr, ui->edtSingleHumidityH1, "The Humidity H1 can not be empty"},
            {nullptr, ui->edtSingleHumidityL1, "The Humidity L1 can not be empty"},
        };
        for (const Row &row : rows) {
            if (IsBlankOrLoneMinus(row.Edit))
                fail(row.Edit, row.Message);
        }
    }
}
