#include "IKeloPlainTextStreamReader.h"

namespace kelo {

std::string transitionKey(std::int32_t mode, std::int32_t position, std::int32_t beatsPerBar) {
  return std::string("transition.") + (mode != 0 ? "minor" : "major") + "." +
         std::to_string(beatsPerBar) + "." + std::to_string(position);
}

}  // namespace kelo
