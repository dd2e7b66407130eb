#pragma once
// A second way of locking the bins around a spectral peak to the peak's
// output phase: walking outward from the peak's centre bin, each bin keeps
// the analysed phase difference to its neighbour nearer the centre, so the
// shape of the analysed phase around the peak is preserved.

#include <cstdint>

#include "SMSFrame.h"

// Spreads the output phase at the centre bin of frequency `f` over the bins
// within `lowerExtent` below and `upperExtent` above it (Hz). `in` holds the
// analysed phases, `out` the output phase at the centre bin already. The
// band is 0 when band 0's upper edge (edges[0]) lies above f or there is one
// band, else 1. With both keep flags set the bins above the centre take the
// analysed phases unchanged. Returns 0.
int SpreadPeakPhase(int bandCount, int keepA, const SMSFrame& in, SMSFrame& out, const float* nyquist, int keepB,
                    const double* edges, double f, double lowerExtent, double upperExtent);
