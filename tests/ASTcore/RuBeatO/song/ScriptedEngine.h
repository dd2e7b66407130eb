#pragma once
// A stand-in for the chord/key engine: counts the samples it is given and,
// at finish, reports a tatum every `period` samples, a beat on each and a
// bar line every `beatsPerBar` tatums from `firstBar` on, then the end of
// the analysis; init starts a new recording. Its results and its
// refusals are set by the test.

#include <string>
#include <vector>

#include "IKelo.h"

class ScriptedEngine : public kelo::IKelo {
 public:
  int init(int, std::string, int blockSize, int beatsPerBar, double) override {
    received.clear();
    initBeatsPerBar = beatsPerBar;
    this->blockSize = blockSize;
    return initResult;
  }
  int setMeter(int level, int phase, int code) override {
    meterArgs = {level, phase, code};
    return meterResult;
  }
  int process(const float* samples, int count) override {
    for (int i = 0; i < count; ++i) received.push_back(samples[i]);
    return 0;
  }
  int finish() override {
    if (finishResult != 0) return finishResult;
    const int tatums = period > 0 ? static_cast<int>(received.size()) / period : 0;
    for (int k = 0; k < tatums; ++k) {
      reportTatum({k * period, k});
      reportBeat({k, k});
      if (k >= firstBar && (k - firstBar) % beatsPerBar == 0)
        reportBarline({k, (k - firstBar) / beatsPerBar, numerator, denominator});
    }
    reportDoneAnalysis();
    return 0;
  }

  int period = 22050;
  int firstBar = 0;
  int beatsPerBar = 4;
  int numerator = 4;
  int denominator = 4;
  int initResult = 0;
  int meterResult = 0;
  int finishResult = 0;

  std::vector<float> received;
  int initBeatsPerBar = 0;
  int blockSize = 0;
  std::vector<int> meterArgs;
};
