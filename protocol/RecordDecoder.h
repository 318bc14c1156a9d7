#pragma once

#include "Controls.h"
#include "Frame.h"

#include <string>

// The serial number as the record holds it: a character, a number of two or
// three digits, six characters.
std::string SerialNumberText(const TFrameBuffer &Rec);

// Writes every field of a parameter record into its control and applies the
// enabled and visible states that belong to the values set. The serial number
// is left to the caller, which writes it before it knows whether a read was
// asked for. DecimalSeparator separates the fraction in the decimal edits.
void DecodeParameterRecord(const TFrameBuffer &Rec, TControlValues &C, const std::string &DecimalSeparator);
