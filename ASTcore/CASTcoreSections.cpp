// Section editing, validation and the section address queries.

#include "CASTcore.h"

ResultCode CASTcore::calcSecTempo(std::uint8_t slot, std::uint64_t& tempo) {
  (void)slot;
  tempo = 0;
  return Result::fail(1);
}
