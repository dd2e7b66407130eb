#pragma once
// A generated recording with an analysed-wave file beside it, so that
// importing it needs no analysis run.

#include <gtest/gtest.h>

#include <QString>

#include "AnalysedWaveName.h"
#include "CASTcore.h"
#include "TempDir.h"
#include "TestAudio.h"

// A 9 s click-track recording named `name` in the test's folder, with its
// analysis written by the core: half-beat grid entries every 0.25 s,
// "Main A" over 4 bars and a tempo of 97.
inline QString recordingWithAnalysis(const QString& name) {
  const QString audio = TestEnv::tempPath(name);
  EXPECT_TRUE(TestAudio::writeWav(audio, TestAudio::clickTrack(9.0, 0.5, 0.0, 4)));
  CASTcore writer;
  auto* wave = new WavInfo;
  wave->fileName = audio.toStdWString();
  for (int k = 0; k < 2 * 16; ++k) wave->beatTime.push_back(0.25f * k);
  wave->onsetTime = {0.0f, 0.5f, 1.0f, 8.0f, 9.0f};  // the analysis ends at the recording's end
  wave->beatDiv = 1;
  EXPECT_EQ(writer.addWavList(wave), 0u);
  SecInfo mainA;
  mainA.used = 1;
  mainA.wavNo = 0;
  mainA.startAdrs = 0;
  mainA.endAdrs = 8 * 44100;
  EXPECT_EQ(writer.updateSecInfo(3, mainA), 0u);
  EXPECT_EQ(writer.updateTempo(97), 0u);
  EXPECT_EQ(writer.saveAwi(AnalysedWaveName::pathFor(audio).toStdWString(), 0), 0u);
  return audio;
}
