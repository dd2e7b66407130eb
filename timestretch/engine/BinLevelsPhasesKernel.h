// The loop over bins behind BinLevelsPhases, included once by each copy.
// No include guard and nothing but this loop: a file includes it after
// every header the loop uses, so that no inline function is first compiled
// under another target. BIN_LEVELS_PHASES_LOOP names the function.

// `Packed` is float or double; a double sum is first rounded to float, as
// a float transform hands it out.
template <typename Packed>
static void BIN_LEVELS_PHASES_LOOP(const Packed* packed, std::int64_t first, std::int64_t end, float* levels,
                                   float* phases) {
  for (std::int64_t b = first; b < end; ++b) {
    const double re = static_cast<float>(packed[2 * b]);
    const double im = -static_cast<double>(static_cast<float>(packed[2 * b + 1]));
    levels[b] = BinLevelsPhases::LevelOfPower(re * re + im * im);
    phases[b] = static_cast<float>(PhaseMath::Atan2(im, re));
  }
}
