#pragma once
// A song-analysis listener that records every call in order; a hook on
// progress lets a test act in the middle of a run.

#include <functional>
#include <string>
#include <vector>

#include "IProgress.h"

class RecordingListener : public MzMir::IProgress {
 public:
  void done() override {
    ++doneCalls;
    calls.push_back("done");
  }
  void progress(int percent) override {
    progressValues.push_back(percent);
    calls.push_back("progress");
    if (onProgress) onProgress(percent);
  }
  void onChord(const kelo::t_chord*) override { calls.push_back("chord"); }
  void onBarline(const kelo::t_barline* b) override {
    barlines.push_back(*b);
    calls.push_back("barline");
  }
  void onTatum(const kelo::t_tatum* t) override {
    tatums.push_back(*t);
    calls.push_back("tatum");
  }
  void onBeat(const kelo::t_beat* b) override {
    beats.push_back(*b);
    calls.push_back("beat");
  }
  void onKeysig(const kelo::t_keysig*) override { calls.push_back("keysig"); }
  void onSegment(const SongSegment* s) override {
    segments.push_back(*s);
    calls.push_back("segment");
  }

  std::vector<std::string> calls;
  std::vector<int> progressValues;
  std::vector<kelo::t_barline> barlines;
  std::vector<kelo::t_tatum> tatums;
  std::vector<kelo::t_beat> beats;
  std::vector<SongSegment> segments;
  int doneCalls = 0;
  std::function<void(int)> onProgress;
};
