#include "ParamterFrm.h"

#include "ControlTable.h"
#include "ParamterControls.h"
#include "ui_ParamterFrm.h"

// The controls of each switch are listed once, beside the parameter set
// that follows the same rules without widgets.
void TParamter::EnableControls(TEnableSwitch Switch, bool Value)
{
    for (Ctl c : SwitchedControls(Switch))
        FControls->Widget(c)->setEnabled(Value);
}

void TParamter::EnableStartDelay(bool Value) { EnableControls(TEnableSwitch::StartDelay, Value); }
void TParamter::EnableStartTime(bool Value) { EnableControls(TEnableSwitch::StartTime, Value); }
void TParamter::EnableTemperatureH3Row(bool Value) { EnableControls(TEnableSwitch::TemperatureH3Row, Value); }
void TParamter::EnableTemperatureH2Row(bool Value) { EnableControls(TEnableSwitch::TemperatureH2Row, Value); }
void TParamter::EnableTemperatureL2Row(bool Value) { EnableControls(TEnableSwitch::TemperatureL2Row, Value); }
void TParamter::EnableHumidityH1Row(bool Value) { EnableControls(TEnableSwitch::HumidityH1Row, Value); }
void TParamter::EnableHumidityL1Row(bool Value) { EnableControls(TEnableSwitch::HumidityL1Row, Value); }

void TParamter::cbbStartModeChange()
{
    switch (ui->cbbStartMode->currentIndex()) {
    case 0:
        EnableStartDelay(false);
        EnableStartTime(false);
        break;
    case 1:
        EnableStartDelay(true);
        EnableStartTime(false);
        break;
    case 2:
        EnableStartDelay(false);
        EnableStartTime(true);
        break;
    default:
        break;
    }
}

void TParamter::cbbPasswordStartupChange()
{
    ui->edtPassword->setEnabled(ui->cbbPasswordStartup->currentIndex() != 0);
}

void TParamter::rbClick()
{
    ui->pnlSingleAlarm->setVisible(ui->rbSingleAlarm->isChecked());
    ui->pnlMultipleAlarm->setVisible(ui->rbMultipleAlarm->isChecked());
}

void TParamter::chkTemperatureH3Click() { EnableTemperatureH3Row(ui->chkTemperatureH3->isChecked()); }
void TParamter::chkTemperatureH2Click() { EnableTemperatureH2Row(ui->chkTemperatureH2->isChecked()); }
void TParamter::chkTemperatureL2Click() { EnableTemperatureL2Row(ui->chkTemperatureL2->isChecked()); }
void TParamter::chkHumidityH1Click() { EnableHumidityH1Row(ui->chkHumidityH1->isChecked()); }
void TParamter::chkHumidityL1Click() { EnableHumidityL1Row(ui->chkHumidityL1->isChecked()); }
