#include "Interrupt.h"

void TInterrupt::Arrived()
{
    if (FRequested)
        return;
    FRequested = true;
    if (FOnInterrupt)
        FOnInterrupt();
}
