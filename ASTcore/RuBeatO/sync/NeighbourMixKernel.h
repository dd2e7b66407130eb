// The loop behind mixNeighbours, included once by each copy. No include
// guard and nothing but this loop: a file includes it after every header
// the loop uses, so that no inline function is first compiled under
// another target. NEIGHBOUR_MIX_LOOP names the function.
//
// A real and an imaginary part per bin: each pair of neighbours is turned
// by its table's weighted cos and sin, the tables holding each bin's cos
// twice and its sin once with each sign, so that both parts take the same
// steps. The turns repeat every `period` values, so the tables stay that
// short and the loop runs over the spectrum a period at a time.

static void NEIGHBOUR_MIX_LOOP(const NeighbourSpectra& in, const NeighbourTurns& turns, int bins,
                               float* __restrict out) {
  const float* __restrict cos1 = turns.cos1;
  const float* __restrict sin1 = turns.sin1;
  const float* __restrict cos3 = turns.cos3;
  const float* __restrict sin3 = turns.sin3;
  for (int start = 0; start < 2 * bins; start += turns.period) {
    const int count = std::min(turns.period, 2 * bins - start);
    const float* __restrict far0 = in.spectra[0] + start;
    const float* __restrict near0 = in.spectra[1] + start;
    const float* __restrict near1 = in.spectra[2] + start;
    const float* __restrict far1 = in.spectra[3] + start;
    float* __restrict to = out + start;
    for (int j = 0; j < count; j += 2) {
      const float ar = near0[j], ai = near0[j + 1], br = near1[j], bi = near1[j + 1];
      const float cr = far0[j], ci = far0[j + 1], dr = far1[j], di = far1[j + 1];
      to[j] = ((ar + br) * cos1[j] + (ai - bi) * sin1[j]) + ((cr + dr) * cos3[j] + (ci - di) * sin3[j]);
      to[j + 1] = ((ai + bi) * cos1[j + 1] + (ar - br) * sin1[j + 1]) +
                  ((ci + di) * cos3[j + 1] + (cr - dr) * sin3[j + 1]);
    }
  }
}
