#pragma once

#include "Controls.h"
#include "ControlTable.h"
#include "Frame.h"
#include "ParameterSet.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The parameter set, written and read in a compact notation for table rows.
class TFakeControls : public TParameterSet
{
public:
    using TParameterSet::Enabled;
    bool Enabled(TEnableSwitch s) const { return Enabled(SwitchedControls(s).front()); }

    // "name=value; name=value": a combo by item text or "<none>", an edit by
    // text, a check box or radio button "on"/"off", a panel "shown"/"hidden",
    // "@Switch" the Enabled state of an enabling switch ("on"/"off"). Describe
    // gives one name's value in the same notation.
    void Apply(std::string_view Notation);
    std::string Describe(std::string_view Name) const;
};

Ctl ControlByName(std::string_view Name);

// "offset: hh hh ...; offset*count: hh" — decimal offsets, hexadecimal bytes;
// "*count" repeats one byte.
void PatchBytes(TFrameBuffer &Buf, std::string_view Notation);
// The bytes of Buf that Notation names, differing ones listed; empty when all agree.
std::string CompareBytes(const TFrameBuffer &Buf, std::string_view Notation);

// A parameter record with every byte zero except the frame bytes.
TFrameBuffer BlankRecord();
// Puts a sound check byte and end byte on a frame.
void SealFrame(TFrameBuffer &Buf);
