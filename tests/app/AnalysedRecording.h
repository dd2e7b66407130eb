#pragma once
// A generated recording with an analysed-wave file beside it, so that
// importing it needs no analysis run.

#include <gtest/gtest.h>

#include <QString>

#include <cstdint>
#include <vector>

#include "AnalysedWaveName.h"
#include "CASTcore.h"
#include "TempDir.h"
#include "TestAudio.h"

// Writes the analysis of `audio` beside it, as the core saves one: `entries`
// half-beat grid entries every 0.25 s, the onsets (the last one is where
// the analysis ends), "Main A" as given on the recording, and the project
// tempo unless it is 0.
inline void writeAnalysisBeside(const QString& audio, int entries, const std::vector<float>& onsets, SecInfo mainA,
                                std::uint64_t tempo = 0) {
  CASTcore writer;
  auto* wave = new WavInfo;
  wave->fileName = audio.toStdWString();
  for (int k = 0; k < entries; ++k) wave->beatTime.push_back(0.25f * k);
  wave->onsetTime = onsets;
  wave->beatDiv = 1;
  EXPECT_EQ(writer.addWavList(wave), 0u);
  mainA.used = 1;
  mainA.wavNo = 0;
  EXPECT_EQ(writer.updateSecInfo(3, mainA), 0u);
  if (tempo != 0) {
    EXPECT_EQ(writer.updateTempo(tempo), 0u);
  }
  EXPECT_EQ(writer.saveAwi(AnalysedWaveName::pathFor(audio).toStdWString(), 0), 0u);
}

// A 9 s click-track recording named `name` in the test's folder, with its
// analysis written by the core: half-beat grid entries every 0.25 s,
// "Main A" over 4 bars and a tempo of 97.
inline QString recordingWithAnalysis(const QString& name) {
  const QString audio = TestEnv::tempPath(name);
  EXPECT_TRUE(TestAudio::writeWav(audio, TestAudio::clickTrack(9.0, 0.5, 0.0, 4)));
  SecInfo mainA;
  mainA.startAdrs = 0;
  mainA.endAdrs = 8 * 44100;
  writeAnalysisBeside(audio, 2 * 16, {0.0f, 0.5f, 1.0f, 8.0f, 9.0f}, mainA, 97);
  return audio;
}
