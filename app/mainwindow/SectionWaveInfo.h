#pragma once
// One section's bars, tempo, time signature, range and manual-bars flag,
// gathered from the project core in one record for the status text, the
// export checks and the time-stretch worker.

#include <cstdint>

class CASTcore;

class SectionWaveInfo {
 public:
  // Fills the record for section slot `section`; when the section, its wave
  // or the time signature cannot be read, sectionIndex is -1 and every other
  // field keeps its default.
  SectionWaveInfo(CASTcore* core, std::uint32_t section);
  virtual ~SectionWaveInfo() = default;

  CASTcore* core = nullptr;
  int sectionIndex = -1;
  int bars = 0;
  double tempo = 0.0;
  int numerator = 4;
  int denominator = 4;
  int startSample = 0;
  int secondStart = 0;
  double startSeconds = 0.0;
  double secondSeconds = 0.0;
  bool manualBars = false;
};

// True when the record has more bars than its slot allows: one for the
// fill-ins and the break, 32 for the others, one for a record that could not
// be filled.
bool sectionBarsExceedLimit(const SectionWaveInfo& record);
