#pragma once

#include <QString>

// Where the manual is for the program in ProgramDir: Help.pdf beside the
// executable, as the Windows folder keeps it; otherwise the installed copy in
// ../share/doc/loggercfg/. When neither exists the path beside the executable
// is returned, so that a missing manual fails quietly in one known place.
QString ManualPath(const QString &ProgramDir);
