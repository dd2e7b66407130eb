#pragma once
// The analysis text the core hands to the style manager with every section's
// working wave. It is the same for every section and project: the values
// that describe a section (bars, tempo, time signature, points) are set on
// the audio model afterwards.

#include <string>

namespace DefaultAnalysisInfoText {

// The twelve key lines, each ending in one line feed, no terminating zero.
// May throw std::bad_alloc.
std::string text();

}  // namespace DefaultAnalysisInfoText
