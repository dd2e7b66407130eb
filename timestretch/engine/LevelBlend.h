#pragma once
// The levels of an output frame that stands between two analysed frames:
// `out` holds the later one's, moved by `weight` (0..1) towards the earlier
// one's, in dB. Held at the later frame instead, a slowly read input would
// step its levels every few output frames, a flutter that sounds as extra
// attacks in noisy decays. Bins without energy on either side stay.

#include "SMSFrame.h"

namespace LevelBlend {

// `out` (levels in dB) moved by `weight`, clamped to 0..1, towards
// `earlier`; nothing when either has no levels or their bin counts differ.
void Blend(const SMSFrame& earlier, SMSFrame& out, double weight);

// `out` made what SMSFrame::CopyFrom(later, out, levels and phases, with
// the time) and then Blend(earlier, out, weight) make of it, the same bits,
// with the levels blended as they are copied: one pass over them, not two.
// Throws -1 when an allocation fails.
void CopyBlended(const SMSFrame& earlier, const SMSFrame& later, SMSFrame& out, double weight);

}  // namespace LevelBlend
