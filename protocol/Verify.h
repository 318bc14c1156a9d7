#pragma once

#include "Frame.h"
#include "Settings.h"

// What a write changed is judged on the settings as a read shows them: the
// write frame is turned into the record a logger that stored it would answer
// with, both that and the record read back are decoded as the window decodes
// a record, and the two are compared setting by setting. Texts that differ
// only in form ("25.3" and "25.30") thus compare equal, and a setting the
// frame does not carry cannot show a difference.

// The record a logger answers with once it has stored WriteFrame: the shared
// fields at their offsets, the trip information moved to where the record
// holds it; the rest as in Before, the record read before the write.
TFrameBuffer StoredRecord(const TFrameBuffer &WriteFrame, const TFrameBuffer &Before);

// The settings of a record, as a read into a window that was just shown
// would show them.
TSettingValues RecordSettings(const TFrameBuffer &Record);
