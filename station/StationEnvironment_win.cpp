#include "StationEnvironment.h"

// Windows names the per-user folders from the user's profile, which every
// process has.
void PrepareStationEnvironment() {}
