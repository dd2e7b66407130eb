#pragma once
// The producer of an output device's sound.

#include <cstdint>

namespace FusionStyle {

class CaudioOutCallbackIF {
 public:
  virtual ~CaudioOutCallbackIF() = default;
  // True while the callback can produce sound.
  virtual bool ready() = 0;
  // Fills `frames` samples of each channel; called once per hardware cycle on
  // the device's I/O thread. Returns the number of frames produced (at most
  // `frames`).
  virtual std::uint32_t render(std::int16_t* left, std::int16_t* right, std::uint32_t frames) = 0;
};

}  // namespace FusionStyle
