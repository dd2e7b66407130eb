// The loop behind cutFrame, included once by each copy. No include guard and
// nothing but this loop: a file includes it after every header the loop
// uses, so that no inline function is first compiled under another target.
// FRAME_CUT_LOOP names the function.

static void FRAME_CUT_LOOP(const std::int16_t* __restrict samples, const float* __restrict window, int length,
                           float* __restrict out) {
  for (int i = 0; i < length; ++i) out[i] = samples[i] * window[i];
}
