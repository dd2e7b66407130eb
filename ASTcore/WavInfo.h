#pragma once
// One analysed recording: its file, beat grid, onsets and segment labels.

#include <cstdint>
#include <string>
#include <vector>

struct SegLabel {
  float start = 0.0f;       // seconds
  std::uint16_t label = 0;  // structure class; equal labels recur

  bool operator==(const SegLabel& o) const { return start == o.start && label == o.label; }
};

struct WavInfo {
  std::wstring fileName;
  // Beat grid in seconds: 2 * beatDiv entries per beat.
  std::vector<float> beatTime;
  // Onset times in seconds; the analysis makes the first 0.0 and the last
  // the end of the audio.
  std::vector<float> onsetTime;
  float barLen = 0.0f;
  std::uint16_t beatDiv = 1;  // grid entries per half beat; never 0
  std::vector<SegLabel> segLblOrg;
  std::vector<SegLabel> segLbl;
  std::vector<std::uint64_t> extList;  // not stored in files
  std::uint64_t tempo = 120;

  // Takes the analysis results of another record (grid, onsets, division,
  // segment lists); name, bar length, extra list and tempo stay.
  void copyAnalysis(const WavInfo& other);

  bool operator==(const WavInfo& o) const;
  bool operator!=(const WavInfo& o) const { return !(*this == o); }
};
