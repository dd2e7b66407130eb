#pragma once
// The low band of a two-band run back at the full rate, summed with the top
// band in one pass: the decimated band is interpolated piece by piece, the
// filters' delay is taken off its start, and each sample is added to the
// top band's where the top band has one. The same samples as interpolating
// the whole band into an array of its own, moving it, and adding the top
// band to it, without that array and its two extra passes.

#include <cstdint>

#include "CPolyphaseMultiRateProcessing.h"
#include "CSoundFile.h"

namespace LowBandRebuild {

// Whether `top` can take the sum: it owns storage for the whole rebuilt
// low band (`factor` times the low band's length).
bool FitsInTop(const CSoundFile& low, const CSoundFile& top, int factor);

// Interpolates `low` (its `length` samples) by the factor of `up`, drops
// the first 2 x up.GetDelay() samples made and ends the band with as many
// zeros; sample i of the result is then added to top sample i where i <
// top.length (in place in top's storage) and written alone elsewhere.
// Afterwards `low` holds the sum (top's storage and capacity, the rebuilt
// length, the add cursor at -1) and `top` the low band's old storage,
// empty. Needs FitsInTop; throws -1 when its work array cannot be had.
void AddToTop(CSoundFile& low, CSoundFile& top, CPolyphaseMultiRateProcessing& up);

}  // namespace LowBandRebuild
