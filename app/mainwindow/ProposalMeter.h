#pragma once
// A recording's analysis proposes its sections in the meter and tempo of the
// analysis. A section taken from that proposal into a project of another
// meter would keep bars of the old one (a 4/4 bar of four beats standing as
// one bar of 2/4), so the proposal is made again in the project's meter
// before any section is taken from it.

#include "CASTcore.h"
#include "ResultCode.h"

namespace ProposalMeter {

// Gives `scratch` (a core holding the proposal of an analysed recording) the
// time signature and tempo of `project`, proposing its sections afresh when
// the meter differs. A proposal that cannot be made in the new meter leaves
// no section, rather than one counted in the old meter.
ResultCode follow(const CASTcore& project, CASTcore& scratch);

}  // namespace ProposalMeter
