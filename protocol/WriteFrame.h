#pragma once

#include "Controls.h"
#include "Frame.h"

#include <string>

// Encodes every parameter control into the write frame. Bytes that the current
// settings do not select keep what SendBuf held, so a value saved earlier in the
// run survives a save that leaves it out. Throws EConvertError for a text that
// does not convert; SendBuf is then left exactly as it was.
void EncodeWriteFrame(TFrameBuffer &SendBuf, const TControlValues &C, const std::string &DecimalSeparator);
