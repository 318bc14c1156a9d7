#include "ParamterFrm.h"

void TParamter::imgReadClick() {}
void TParamter::tmrReadTimer() {}
void TParamter::SendProbe() {}
void TParamter::CommReceiveData(TComm *, const std::uint8_t *, std::uint16_t) {}
void TParamter::HandleParameterRecord() {}
void TParamter::imgBackClick() {}
void TParamter::SetSearchPeriod(int) {}
