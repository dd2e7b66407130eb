#pragma once
// A recording the project holds was analysed again (another take saved
// under its name): the project takes the new analysis in place of the old.

#include <QString>

#include "CASTcore.h"
#include "ResultCode.h"

namespace WaveReanalysis {

// Reads the wave of the analysed-wave file `awiPath` into `out`;
// 0x80000001 | inner << 4 when it cannot be read.
ResultCode load(const QString& awiPath, WavInfo& out);

// True when both analyses are of the same audio: their onsets, which end
// at the audio's end and which no edit of the project changes, are equal.
// A beat grid the user re-divided or shifted does not count as a change.
bool sameAudio(const WavInfo& a, const WavInfo& b);

// Wave `wavNo` of `core` takes the grid, onsets (and so the length),
// division and segments of `analysis`, as one undo step. Each used section
// on the wave keeps its range with its edges moved to the nearest beats of
// the new grid and its bars counted anew; a section that no longer lies
// inside the audio, or whose bars no longer fit, is reset (kept on the
// wave, not in use). Every rendering is dropped. 0x80000001 .. 0x80000005
// with the callee's code; on failure the project is unchanged.
ResultCode replace(CASTcore& core, std::uint8_t wavNo, const WavInfo& analysis);

}  // namespace WaveReanalysis
