#pragma once
// The bass pitch class of every decoded frame: a 12-state Viterbi pass over
// the bass chroma of the joint features, in which the decoded chord path
// decides how easily the bass may move. Within a held chord the bass stays
// unless the bar position invites a change (the downbeat most, the half
// bar less, the other beats hardly); where the chord changes, any bass is
// as likely as staying.

#include <cstdint>
#include <vector>

#include "FrameFeatureExtractor.h"

namespace kelo {

class KeloHmm;

// Weight of staying on the same bass within a held chord at a beat position
// of the bar; 1 - weight goes to each other bass.
float bassStayWeight(std::uint32_t beatPosition);

// One bass per frame for the full model states `states` (as the decoder
// reports them) and the joint feature rows `rows` (the first 12 values are
// the bass chroma). Uses the first min(rows, states) frames. Ties go to the
// lower pitch class.
std::vector<std::int32_t> trackBass(const KeloHmm& model, const std::vector<std::int32_t>& states,
                                    const std::vector<FeatureVector>& rows);

}  // namespace kelo
