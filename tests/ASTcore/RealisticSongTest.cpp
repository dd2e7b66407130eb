// A song rendered from MIDI by fluidsynth goes the whole way: import,
// analysis, proposed sections, rendering and a style file.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <memory>

#include "AnalysedWaveName.h"
#include "CASTcore.h"
#include "ExportStyle.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "anaThreadObj.h"
#include "audioFileMngr.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kDivision = 480;
constexpr int kBpm = 100;

void putVarLen(Bytes& out, std::uint32_t v) {
  std::uint8_t stack[4];
  int n = 0;
  do {
    stack[n++] = v & 0x7F;
    v >>= 7;
  } while (v);
  while (n--) out.push_back(static_cast<std::uint8_t>(stack[n] | (n ? 0x80 : 0)));
}

struct Note {
  std::uint32_t tick;
  std::uint8_t status, key, velocity;
};

// A format-0 MIDI file of 32 bars at 100 BPM: verse, chorus, verse, chorus,
// eight bars each, with drums, bass and chords that differ between verse
// and chorus.
Bytes songMidi() {
  std::vector<Note> notes;
  const int bar = 4 * kDivision;
  const int verseChords[4][3] = {{57, 60, 64}, {53, 57, 60}, {55, 59, 62}, {52, 55, 59}};
  const int chorusChords[4][3] = {{53, 57, 60}, {55, 59, 62}, {57, 60, 64}, {57, 61, 64}};
  for (int b = 0; b < 32; ++b) {
    const bool chorus = (b / 8) % 2 == 1;
    const std::uint32_t start = static_cast<std::uint32_t>(b * bar);
    for (int beat = 0; beat < 4; ++beat) {
      const std::uint32_t t = start + static_cast<std::uint32_t>(beat * kDivision);
      const std::uint8_t drum = beat % 2 == 0 ? 36 : 38;
      notes.push_back({t, 0x99, drum, static_cast<std::uint8_t>(chorus ? 120 : 95)});
      notes.push_back({t + 60, 0x89, drum, 0});
      for (int half = 0; half < (chorus ? 4 : 2); ++half) {
        const std::uint32_t h = t + static_cast<std::uint32_t>(half * kDivision / (chorus ? 4 : 2));
        notes.push_back({h, 0x99, static_cast<std::uint8_t>(chorus ? 46 : 42), 70});
        notes.push_back({h + 30, 0x89, static_cast<std::uint8_t>(chorus ? 46 : 42), 0});
      }
    }
    const int (*chords)[3] = chorus ? chorusChords : verseChords;
    const int* chord = chords[(b % 8) / 2];
    for (int k = 0; k < 3; ++k) {
      notes.push_back({start, 0x90, static_cast<std::uint8_t>(chord[k]), static_cast<std::uint8_t>(chorus ? 90 : 60)});
      notes.push_back({start + bar - 10, 0x80, static_cast<std::uint8_t>(chord[k]), 0});
    }
    for (int beat = 0; beat < 4; beat += chorus ? 1 : 2) {
      const std::uint32_t t = start + static_cast<std::uint32_t>(beat * kDivision);
      notes.push_back({t, 0x91, static_cast<std::uint8_t>(chord[0] - 24), 100});
      notes.push_back({t + kDivision - 20, 0x81, static_cast<std::uint8_t>(chord[0] - 24), 0});
    }
  }
  std::stable_sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) { return a.tick < b.tick; });

  Bytes track = {0x00, 0xFF, 0x51, 0x03};
  const std::uint32_t tempo = 60000000 / kBpm;
  track.insert(track.end(), {static_cast<std::uint8_t>(tempo >> 16), static_cast<std::uint8_t>(tempo >> 8),
                             static_cast<std::uint8_t>(tempo)});
  track.insert(track.end(), {0x00, 0xC0, 0x00, 0x00, 0xC1, 0x21});  // piano, fingered bass
  std::uint32_t now = 0;
  for (const Note& n : notes) {
    putVarLen(track, n.tick - now);
    now = n.tick;
    track.insert(track.end(), {n.status, n.key, n.velocity});
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

  Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kDivision >> 8, kDivision & 0xFF, 'M', 'T', 'r', 'k'};
  const auto size = static_cast<std::uint32_t>(track.size());
  file.insert(file.end(), {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                           static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

// Renders the song with fluidsynth; empty when it is not installed.
QString renderSong() {
  const QString soundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
  if (QStandardPaths::findExecutable("fluidsynth").isEmpty() || !QFileInfo::exists(soundFont)) return {};
  const QString midi = TestEnv::tempPath("song.mid");
  const QString wav = TestEnv::tempPath("song.wav");
  QFile f(midi);
  if (!f.open(QIODevice::WriteOnly)) return {};
  const Bytes bytes = songMidi();
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  f.close();
  QProcess synth;
  synth.start("fluidsynth", {"-ni", "-q", "-g", "0.8", "-r", "44100", "-T", "wav", "-O", "s16", "-F", wav,
                             soundFont, midi});
  if (!synth.waitForFinished(120000) || synth.exitCode() != 0) return {};
  return QFileInfo::exists(wav) ? wav : QString();
}

}  // namespace

TEST(RealisticSong, ImportsProposesSectionsAndExports) {
  const QString audio = renderSong();
  if (audio.isEmpty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";

  anaThreadObj worker;
  ASSERT_EQ(worker.analyzeProcTh({}, {audio}), 0u) << worker.errorString().toStdString();
  const QString awi = AnalysedWaveName::pathFor(audio);
  ASSERT_TRUE(QFileInfo::exists(awi));

  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  std::uint64_t frames = 0;
  ASSERT_EQ(files->checkFile(audio.toStdWString(), frames), 0u);
  CASTcore project;
  ASSERT_EQ(project.addAnalyzedFile(new WavInfo, awi, frames), 0u) << project.lastError.toStdString();
  const std::uint64_t tempo = project.getCommonInfo().tempo;
  EXPECT_NEAR(static_cast<double>(tempo), kBpm, 3.0) << "the proposed tempo is the song's";
  bool mainA = false;
  project.getAllInfo().isSecUsed(3, &mainA);
  EXPECT_TRUE(mainA);

  // The audition layer's work copy, then every used section rendered.
  ASSERT_EQ(files->copyFile(audio.toStdWString(), TempWaveFiles::sourcePath(TestEnv::tempDir())), 0u);
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    bool used = false;
    project.getAllInfo().isSecUsed(slot, &used);
    if (!used) continue;
    std::uint8_t ratio = 0;
    ASSERT_EQ(project.renderAudition(slot, &ratio), 0u) << project.lastError.toStdString();
    EXPECT_EQ(ratio, 0);
  }
  const QString style = TestEnv::tempPath("song.aus");
  ExportStyle exporter([] { return std::uint64_t{0}; }, &project, style, nullptr);
  bool done = false;
  QObject::connect(&exporter, &ExportStyle::done, [&](unsigned long code) { done = code == 0; });
  project.setStyleParam1(256);
  exporter.doExport();
  EXPECT_TRUE(done) << project.lastError.toStdString();
  EXPECT_EQ(exporter.written(), static_cast<std::uint64_t>(QFileInfo(style).size()));
}
