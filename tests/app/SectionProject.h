#pragma once
// A project written through the core for the main-window tests: a 4 s
// recording of constant level 0.25 with a beat every 0.25 s, "Main A"
// holding its first two seconds as two bars of 4/4 at tempo 240 (a stretch
// ratio of 1), and any further sections the test adds.

#include <QString>

#include <functional>

#include "CASTcore.h"
#include "TempDir.h"
#include "TestAudio.h"

namespace SectionProject {

constexpr std::int64_t kBeat = 11025;  // 0.25 s
constexpr std::int16_t kLevel16 = 8192;

inline SecInfo section(std::int64_t start, std::int64_t end, std::uint16_t bars) {
  SecInfo sec;
  sec.used = 1;
  sec.wavNo = 0;
  sec.startAdrs = static_cast<std::uint64_t>(start);
  sec.endAdrs = static_cast<std::uint64_t>(end);
  sec.barNum = bars;
  return sec;
}

// Writes the recording and the project; `more` may add sections.
inline QString write(const QString& recording, const QString& projectName,
                     const std::function<void(CASTcore&)>& more = {}) {
  if (!TestAudio::writeWav(recording, TestAudio::Stereo16(4 * 44100 * 2, kLevel16))) return QString();
  CASTcore core;
  if (core.newProject() != 0) return QString();
  auto* wave = new WavInfo;
  wave->fileName = recording.toStdWString();
  wave->beatDiv = 1;
  for (int k = 0; k < 32; ++k) wave->beatTime.push_back(0.125f * k);
  wave->onsetTime = {0.0f, 4.0f};
  if (core.addWavList(wave) != 0) return QString();
  if (core.updateSecInfo(3, section(0, 8 * kBeat, 2)) != 0) return QString();
  if (core.updateTempo(240) != 0) return QString();
  if (more) more(core);
  const QString path = TestEnv::tempPath(projectName);
  return core.saveProject(path.toStdWString()) == 0 ? path : QString();
}

}  // namespace SectionProject
