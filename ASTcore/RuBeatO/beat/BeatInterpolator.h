// The tick clock of the online beat tracker: a fixed-point beat phase that
// advances every frame by the current beat period and is pulled toward the
// tracker's beat decisions by at most 1/16 of a frame's increment per
// frame, so the clock never jumps. The phase is Q15 (32768 = one beat) and
// periods are frames per beat in Q13, so every update is exact integer
// arithmetic. 24 ticks make one beat.

#pragma once

#include <cstdint>

namespace RuBeatO {

class BeatInterpolator {
 public:
  // A new period of `fpb` frames per beat from the tracker. With `force`
  // the clock heads for it; otherwise a period about half or double the
  // current target keeps the target's octave, and the octave set by
  // setOctave applies.
  void setPeriod(int32_t fpb, bool force);
  // Clamps k to -1..1 and moves the target by the octave difference.
  // Returns the octave now in force.
  int32_t setOctave(int32_t k);
  void resetFraction() { fraction = 0; }
  // Places the phase v thousandths of a beat before the next beat (in
  // Q13 units of the beat); returns the amount taken from a whole beat.
  int32_t setFraction(float v);
  int32_t framesSinceBeat() const;
  // 0..23.
  int32_t tick() const;
  float periodFrames() const;
  // The tracker has just decided a beat: the next advance corrects the
  // phase error toward it.
  void markBeat() { beatPending = true; }
  bool isOnBeat() const;
  // One frame.
  void advance();

  int32_t getFraction() const { return fraction; }
  int32_t getPeriod() const { return period; }
  int32_t getTarget() const { return target; }
  int32_t getOctave() const { return octave; }

 private:
  bool beatPending = false;
  int32_t fraction = 0;
  int32_t period = 8192;
  int32_t target = 8192;
  int32_t measured = 8192;
  int32_t error = 0;
  int32_t octave = 0;
};

}  // namespace RuBeatO
