#include "ParamterFrm.h"

void TParamter::imgSaveClick() {}
