#include "ParamterFrm.h"

void TParamter::CheckParameters() {}
