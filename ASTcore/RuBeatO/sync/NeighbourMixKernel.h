// The loop behind mixNeighbours, included once by each copy. No include
// guard and nothing but this loop: a file includes it after every header
// the loop uses, so that no inline function is first compiled under
// another target. NEIGHBOUR_MIX_LOOP names the function.
//
// Bins 1 .. bins-1, a real and an imaginary part per bin: each pair of
// neighbours is turned by its table's cos and sin, the tables holding each
// bin's cos twice and its sin once with each sign, so that both parts take
// the same steps.

static void NEIGHBOUR_MIX_LOOP(const NeighbourSpectra& in, const NeighbourTurns& turns, int bins,
                               float* __restrict out) {
  const float* __restrict far0 = in.spectra[0];
  const float* __restrict near0 = in.spectra[1];
  const float* __restrict near1 = in.spectra[2];
  const float* __restrict far1 = in.spectra[3];
  const float* __restrict cos1 = turns.cos1;
  const float* __restrict sin1 = turns.sin1;
  const float* __restrict cos3 = turns.cos3;
  const float* __restrict sin3 = turns.sin3;
  const float wNear = in.nearWeight;
  const float wFar = in.farWeight;
  for (int j = 2; j < 2 * bins; j += 2) {
    const float ar = near0[j], ai = near0[j + 1], br = near1[j], bi = near1[j + 1];
    const float cr = far0[j], ci = far0[j + 1], dr = far1[j], di = far1[j + 1];
    out[j] = wNear * ((ar + br) * cos1[j] + (ai - bi) * sin1[j]) + wFar * ((cr + dr) * cos3[j] + (ci - di) * sin3[j]);
    out[j + 1] = wNear * ((ai + bi) * cos1[j + 1] + (ar - br) * sin1[j + 1]) +
                 wFar * ((ci + di) * cos3[j + 1] + (cr - dr) * sin3[j + 1]);
  }
}
