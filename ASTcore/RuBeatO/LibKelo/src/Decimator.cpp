#include "Decimator.h"

namespace kelo {

void Decimator::process(float* out, const float* in, int count, Decimator& state, int /*step*/) {
  state.run(out, in, count);
}

}  // namespace kelo
