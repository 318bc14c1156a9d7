#include "ParamterFrm.h"

#include "ui_ParamterFrm.h"

void TParamter::EnableStartDelay(bool Value)
{
    ui->cbbStartDelayH->setEnabled(Value);
    ui->cbbStartDelayM->setEnabled(Value);
}

void TParamter::EnableStartTime(bool Value)
{
    ui->cbbStartTimeY->setEnabled(Value);
    ui->cbbStartTimeM->setEnabled(Value);
    ui->cbbStartTimeD->setEnabled(Value);
    ui->cbbStartTimeH->setEnabled(Value);
    ui->cbbStartTimeN->setEnabled(Value);
    ui->cbbStartTimeS->setEnabled(Value);
}

void TParamter::EnableTemperatureH3Row(bool Value)
{
    ui->edtTemperatureH3->setEnabled(Value);
    ui->cbbTemperatureH3->setEnabled(Value);
    ui->cbbTemperatureH3H->setEnabled(Value);
    ui->cbbTemperatureH3M->setEnabled(Value);
    ui->cbbTemperatureH3S->setEnabled(Value);
}

void TParamter::EnableTemperatureH2Row(bool Value)
{
    ui->edtTemperatureH2->setEnabled(Value);
    ui->cbbTemperatureH2->setEnabled(Value);
    ui->cbbTemperatureH2H->setEnabled(Value);
    ui->cbbTemperatureH2M->setEnabled(Value);
    ui->cbbTemperatureH2S->setEnabled(Value);
}

void TParamter::EnableTemperatureL2Row(bool Value)
{
    ui->edtTemperatureL2->setEnabled(Value);
    ui->cbbTemperatureL2->setEnabled(Value);
    ui->cbbTemperatureL2H->setEnabled(Value);
    ui->cbbTemperatureL2M->setEnabled(Value);
    ui->cbbTemperatureL2S->setEnabled(Value);
}

void TParamter::EnableHumidityH1Row(bool Value)
{
    ui->edtHumidityH1->setEnabled(Value);
    ui->cbbHumidityH1->setEnabled(Value);
    ui->cbbHumidityH1H->setEnabled(Value);
    ui->cbbHumidityH1M->setEnabled(Value);
    ui->cbbHumidityH1S->setEnabled(Value);
}

void TParamter::EnableHumidityL1Row(bool Value)
{
    ui->edtHumidityL1->setEnabled(Value);
    ui->cbbHumidityL1->setEnabled(Value);
    ui->cbbHumidityL1H->setEnabled(Value);
    ui->cbbHumidityL1M->setEnabled(Value);
    ui->cbbHumidityL1S->setEnabled(Value);
}

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
