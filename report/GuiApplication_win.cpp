#include "GuiApplication.h"

// Windows' own platform needs no display and draws nothing on screen for a
// program that opens no window; it is the one the folder ships.
void ChooseGuiPlatform(int, const char *const *)
{
}
