// Waltzes imported the whole way (the analysis worker writes the ".awi",
// read back into a project): with the window's default options the grid
// holds the song's own beats at its tempo, and with the meter left to the
// analysis the time signature is 3/4 at that tempo.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

#include "AccordionWaltz.h"
#include "ArpeggioWaltz.h"
#include "EmptySecondBeatWaltz.h"
#include "JazzWaltz.h"
#include "MelodyWaltz.h"
#include "AnalysedWaveName.h"
#include "AnalysisOptions.h"
#include "CASTcore.h"
#include "SynthWaltz.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "WavInfo.h"
#include "anaThreadObj.h"
#include "audioFileMngr.h"

namespace {

using SynthWaltz::Accompaniment;

// Synthesised, or rendered by fluidsynth.
enum class Source { Synth, Accordion, AccordionWithATune, Jazz, TuneInE, HalfAndQuarter, Arpeggio };

struct Case {
  const char* name;
  double bpm;
  Accompaniment style;
  bool freeMeter;
  Source source = Source::Synth;
  double seconds = 20.0;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"oom-pah at 104, default options", 104.0, Accompaniment::OomPah, false},
    {"oom-pah at 104, meter left open", 104.0, Accompaniment::OomPah, true},
    {"melody on every beat at 132, meter left open", 132.0, Accompaniment::MelodyOnEveryBeat, true},
    // Nothing sounds between the beats: the tracker's pulses are the beats.
    {"oom-pah at 164, default options", 164.0, Accompaniment::OomPah, false},
    {"oom-pah at 164, meter left open", 164.0, Accompaniment::OomPah, true},
    {"melody on every beat at 172, meter left open", 172.0, Accompaniment::MelodyOnEveryBeat, true},
    // Chords that swell in: the tracker's beat is one and a half beats.
    {"accordion oom-pah at 92, default options", 92.0, Accompaniment::OomPah, false, Source::Accordion},
    {"accordion oom-pah at 112, meter left open", 112.0, Accompaniment::OomPah, true, Source::Accordion},
    // A tune on the downbeats: the chords of two and three bring little
    // new sound beside it, and the bass once a bar shows the beats.
    {"accordion oom-pah with a tune at 138, default options", 138.0, Accompaniment::OomPah, false,
     Source::AccordionWithATune},
    {"accordion oom-pah with a tune at 156, meter left open", 156.0, Accompaniment::OomPah, true,
     Source::AccordionWithATune},
    // Comping on two's swung upbeat accents the eighths every third, as a
    // 6/8 bar's dotted beats or a fast waltz's bars would; the walking bass
    // shows the beats.
    {"jazz waltz at 92, default options", 92.0, Accompaniment::OomPah, false, Source::Jazz},
    {"jazz waltz at 108, default options", 108.0, Accompaniment::OomPah, false, Source::Jazz},
    {"jazz waltz at 116, meter left open", 116.0, Accompaniment::OomPah, true, Source::Jazz},
    // A tune and a bass on every beat: the periodicity of 40 s of it hears
    // its four-bar phrases as bars of four; the downbeats show three.
    {"tune on every beat at 110, meter left open", 110.0, Accompaniment::OomPah, true, Source::TuneInE, 40.0},
    // Beat two left empty: the long-short of a slow 12/8 bar's eighths; the
    // bass on three and the chords turning every bar show the beats.
    {"half note and quarter at 150, default options", 150.0, Accompaniment::OomPah, false, Source::HalfAndQuarter,
     36.0},
    {"half note and quarter at 132, meter left open", 132.0, Accompaniment::OomPah, true, Source::HalfAndQuarter,
     36.0},
    // A piano arpeggio on every eighth: the tracker takes the eighths, as
    // fast as a quick song's beats, for its beats; the bass and the tune on
    // every second of them show they are half beats.
    {"piano arpeggio at 98, default options", 98.0, Accompaniment::OomPah, false, Source::Arpeggio, 30.0},
    {"piano arpeggio at 98, meter left open", 98.0, Accompaniment::OomPah, true, Source::Arpeggio, 30.0},
    // Fast enough that the tracker hears only the bars, one of its beats
    // each; the chords after the bass alone on one, and turning every bar,
    // show the beats.
    {"accordion oom-pah at 180, default options", 180.0, Accompaniment::OomPah, false, Source::Accordion, 30.0},
    {"accordion oom-pah at 186, meter left open", 186.0, Accompaniment::OomPah, true, Source::Accordion, 30.0},
};

// The rendered song's samples (empty without fluidsynth or its sound font,
// and for the synthesised songs).
std::vector<std::int16_t> renderedSong(Source source, int bpm, double seconds) {
  switch (source) {
    case Source::Synth:
      break;
    case Source::Jazz:
      return JazzWaltz::stereo(bpm, seconds, TestEnv::tempDir());
    case Source::TuneInE:
      return MelodyWaltz::stereo(bpm, seconds, TestEnv::tempDir(), {4, false});
    case Source::Arpeggio:
      return ArpeggioWaltz::stereo(bpm, seconds, TestEnv::tempDir());
    case Source::HalfAndQuarter:
      return EmptySecondBeatWaltz::stereo(EmptySecondBeatWaltz::Style::HalfAndQuarter, bpm, seconds, TestEnv::tempDir());
    case Source::AccordionWithATune:
      return AccordionWaltz::stereo(bpm, seconds, TestEnv::tempDir(), AccordionWaltz::Tune::OnTheDownbeats);
    case Source::Accordion:
      return AccordionWaltz::stereo(bpm, seconds, TestEnv::tempDir(), AccordionWaltz::Tune::None);
  }
  return {};
}

QString writeWaltz(const Case& c, double seconds) {
  const QString path = TestEnv::tempPath("waltz.wav");
  if (c.source != Source::Synth) {
    const std::vector<std::int16_t> rendered = renderedSong(c.source, static_cast<int>(c.bpm), seconds);
    if (rendered.empty()) return {};
    EXPECT_TRUE(TestAudio::writeWav(path, rendered));
    return path;
  }
  const std::vector<float> mono = SynthWaltz::song(c.bpm, seconds, c.style);
  TestAudio::Stereo16 frames;
  frames.reserve(2 * mono.size());
  for (float v : mono) {
    const auto s = static_cast<std::int16_t>(std::clamp(0.5f * v, -1.0f, 1.0f) * 32767.0f);
    frames.insert(frames.end(), {s, s});
  }
  EXPECT_TRUE(TestAudio::writeWav(path, frames));
  return path;
}

class WaltzImport : public ::testing::TestWithParam<Case> {};

TEST_P(WaltzImport, TheGridHoldsTheWaltzsBeatsAtItsTempo) {
  const Case c = GetParam();
  const double seconds = c.seconds;
  const QString audio = writeWaltz(c, seconds);
  if (audio.isEmpty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";

  anaThreadObj worker(audioFileMngr::create());
  AnalysisOptions options;  // the main window's
  if (c.freeMeter) options.fixedMeter = 0;
  worker.setOptions(options.pack());
  ASSERT_EQ(worker.analyzeProcTh({}, {audio}), 0u) << worker.errorString().toStdString();
  const QString awi = AnalysedWaveName::pathFor(audio);
  ASSERT_TRUE(QFileInfo::exists(awi));

  CASTcore project;
  ASSERT_EQ(project.addAnalyzedFile(new WavInfo, awi, static_cast<std::uint64_t>(seconds * 44100)), 0u)
      << project.lastError.toStdString();
  const ComnInfo common = project.getCommonInfo();
  EXPECT_NEAR(static_cast<double>(common.tempo), c.bpm, 0.04 * c.bpm);
  if (c.freeMeter) {
    EXPECT_EQ(common.timeSigNum, 3);
    EXPECT_EQ(common.timeSigDen, 4);
  }

  // Every beat of the grid (two entries per beat division, the last entry
  // closing the grid) lies on a beat of the song.
  WavInfo* wave = nullptr;
  ASSERT_EQ(project.getWaveInfo(0, &wave), 0u);
  const std::size_t step = 2u * std::max<std::uint16_t>(wave->beatDiv, 1);
  const double beat = 60.0 / c.bpm;
  int beats = 0, onBeat = 0;
  for (std::size_t i = 0; i + 1 < wave->beatTime.size(); i += step) {
    ++beats;
    if (std::abs(std::remainder(wave->beatTime[i], beat)) < 0.07) ++onBeat;
  }
  EXPECT_GE(beats, static_cast<int>(0.9 * seconds / beat));
  EXPECT_GE(onBeat, beats - 2) << "of " << beats << " grid beats";
}

INSTANTIATE_TEST_SUITE_P(Songs, WaltzImport, ::testing::ValuesIn(kCases));

}  // namespace
