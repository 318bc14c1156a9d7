#pragma once

#include <QStringList>

// Sorts port names case-insensitively in the user's locale without number
// awareness ("COM10" before "COM2"), the order the port list has always had.
// Names equal but for case keep a fixed order, so that the probe order does
// not change from one Read to the next.
void SortPortNames(QStringList &Names);
