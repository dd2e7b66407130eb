// bench-deps: qmaudio astcore kelo rubeato mzcommon PkgConfig::SNDFILE Qt5::Core
// Measuring program for the song analysis, not part of the program:
//
//   AnalyseSongs DIR OUTDIR                 the program's own import
//   AnalyseSongs DIR OUTDIR --free-meter    the same, the meter left to the analysis
//   AnalyseSongs DIR OUTDIR --engine        the beat detector and the engine alone
//
// The import: every WAV/AIFF file under DIR (recursively) is copied into
// OUTDIR/import and imported as the program does (the analysis worker,
// which writes the ".awi"), the ".awi" is read back into a project core, and
// per song NAME the estimate files of the test-song kit are written into
// OUTDIR from what the program keeps: NAME.beats.txt (beats with their
// position in the bar, counted from the first segment's bar line),
// NAME.downbeats.txt, NAME.meter.txt, NAME.tempo.txt, NAME.onsets.txt and
// NAME.segments.txt ("start end label"); chords and key are not kept by an
// import, so NAME.chords.txt and NAME.key.txt come from a run of the engine
// as below. A file the import refuses gets no estimates. The import runs
// with the main window's default options (bars of a fixed 4/4 after the
// analysis), or with --free-meter keeps the meter the analysis found. One
// timing line per song: name, seconds of audio, seconds of the import,
// times faster than real time.
//
// With --engine, per song NAME: NAME.tempo.txt
// (one BPM) from the beat detector, and from the chord and key engine, fed
// as the program feeds it (180-sample blocks, partial decodes on the
// program's schedule): NAME.beats.txt (beat time in seconds and position in
// the bar, 1 = downbeat), NAME.downbeats.txt, NAME.meter.txt (beats per
// bar), NAME.chords.txt ("start end label", labels as root:chord-type name)
// and NAME.key.txt (the key that holds longest). Songs the engine cannot
// take (rates other than 44100 Hz) get the beat detector's beats instead.
// One timing line per song goes to the standard output and to
// OUTDIR/timing.txt: name, seconds of audio, seconds of beat detection,
// times faster than real time, seconds in the engine, times faster than
// real time.
//
// Files are decoded with libsndfile and mixed to mono by averaging the
// channels, whatever their sample format. The beat detector runs at the
// file's own rate: at rates other than 44100 Hz the hop is scaled so that
// the detector keeps about 245 frames per second (its tempo range and
// windows are set in frames), instead of resampling. Unreadable files are
// skipped with a message on the standard error stream.

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <list>
#include <stdexcept>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include "AnalysedWaveName.h"
#include "AnalysisOptions.h"
#include "CASTcore.h"
#include "CBeatDetect.h"
#include "ChordVocabulary.h"
#include "KeloSemiOffline.h"
#include "TempWaveFiles.h"
#include "WavInfo.h"
#include "anaThreadObj.h"
#include "audioFileMngr.h"

namespace fs = std::filesystem;

namespace {

// The detector as the chord engine builds it: 1024-sample windows on
// 180-sample hops at 44100 Hz, decimation 3, 60 to 200 BPM.
constexpr int kFramelen = 1024;
constexpr int kHop44k = 180;
constexpr int kDecimation = 3;
constexpr float kBpmMin = 60.0f;
constexpr float kBpmMax = 200.0f;

struct Song {
  std::vector<float> mono;
  int rate = 0;
  int channels = 0;
};

bool decode(const fs::path& path, Song& song, std::string& why) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    why = sf_strerror(nullptr);
    return false;
  }
  if (info.channels < 1 || info.samplerate < 8000 || info.frames < 0) {
    sf_close(file);
    why = "unusable channel count or sample rate";
    return false;
  }
  song.rate = info.samplerate;
  song.channels = info.channels;
  song.mono.clear();
  // The header's frame count is not trusted with an allocation: a frame
  // takes at least one byte per channel of the file.
  std::error_code ec;
  const auto bytes = static_cast<sf_count_t>(fs::file_size(path, ec));
  song.mono.reserve(static_cast<size_t>(std::min(info.frames, ec ? 0 : bytes / info.channels)));
  std::vector<float> block(static_cast<size_t>(4096) * info.channels);
  for (;;) {
    const sf_count_t got = sf_readf_float(file, block.data(), 4096);
    if (got <= 0) break;
    for (sf_count_t f = 0; f < got; ++f) {
      float sum = 0.0f;
      for (int c = 0; c < info.channels; ++c) sum += block[static_cast<size_t>(f) * info.channels + c];
      song.mono.push_back(sum / static_cast<float>(info.channels));
    }
  }
  sf_close(file);
  return true;
}

// Even hop (whole half-rate pairs) giving about the frame rate of 180
// samples at 44100 Hz.
int hopFor(int rate) {
  const int hop = 2 * static_cast<int>(std::lround(rate * (kHop44k / 2.0) / 44100.0));
  return std::max(2, std::min(hop, kFramelen));
}

struct BeatEstimate {
  std::vector<double> beats;  // seconds
  float bpm = 0.0f;
};

BeatEstimate analyse(const Song& song) {
  const int hop = hopFor(song.rate);
  RuBeatO::CBeatDetect detect(kFramelen, hop, kDecimation, false, static_cast<float>(song.rate),
                              kBpmMin, kBpmMax);
  const size_t whole = song.mono.size() / hop * hop;
  for (size_t i = 0; i < whole; i += hop) detect.addData(song.mono.data() + i, hop);
  const int rest = static_cast<int>(song.mono.size() - whole) / 2 * 2;
  if (rest > 0) detect.addData(song.mono.data() + whole, rest);
  detect.infer();

  BeatEstimate estimate;
  std::list<int> frames;
  detect.getBeatFrames(frames, 1, 0);
  // Frame i is analysed once its hop is complete, over the window that ends
  // there; the detector's anchors count framelen / hop frames of latency
  // from an onset to the frame that shows it.
  const int latency = kFramelen / hop;
  for (int f : frames) {
    const double t = static_cast<double>(f + 1 - latency) * hop / song.rate;
    if (t >= 0.0) estimate.beats.push_back(t);
  }
  bool valid = false;
  detect.getTempo(&estimate.bpm, &valid);
  if (!valid) estimate.bpm = 0.0f;
  return estimate;
}

// ---- the chord and key engine

struct EngineEstimate {
  std::vector<std::int64_t> tatumSamples;  // by tatum index
  std::vector<kelo::t_barline> barlines;
  std::vector<kelo::t_keysig> keys;
  std::vector<kelo::t_chord> chords;
  int done = 0;
};

void holdTatum(std::vector<std::int64_t>& v, int index, std::int64_t position) {
  if (index < 0) return;
  if (static_cast<size_t>(index) >= v.size()) v.resize(static_cast<size_t>(index) + 1, -1);
  v[static_cast<size_t>(index)] = position;
}

int onTatum(kelo::t_tatum t, void* user) {
  holdTatum(static_cast<EngineEstimate*>(user)->tatumSamples, t.index, t.samplePosition);
  return 0;
}
int onBarline(kelo::t_barline b, double, void* user) {
  static_cast<EngineEstimate*>(user)->barlines.push_back(b);
  return 0;
}
int onKeysig(kelo::t_keysig k, double, void* user) {
  static_cast<EngineEstimate*>(user)->keys.push_back(k);
  return 0;
}
int onChord(kelo::t_chord c, double, void* user) {
  static_cast<EngineEstimate*>(user)->chords.push_back(c);
  return 0;
}
int onDone(int, void* user) {
  ++static_cast<EngineEstimate*>(user)->done;
  return 0;
}

// The engine, set up and fed as the song analysis of an import does.
EngineEstimate runEngine(const Song& song) {
  EngineEstimate estimate;
  kelo::KeloSemiOffline engine;
  if (engine.init(0, "", kelo::KeloSemiOffline::kBlock, kelo::BeatsPerBarNotGiven, 0.0) != 0)
    throw std::runtime_error("KELO Cannot be initialized");
  engine.setLag(15);
  if (engine.setMeter(0, -1, kelo::MeterNotGiven) != 0)
    throw std::runtime_error("KELO Cannot be initialized");
  engine.onTatum = &onTatum;
  engine.onBarline = &onBarline;
  engine.onKeysig = &onKeysig;
  engine.onChord = &onChord;
  engine.onDoneAnalysis = &onDone;
  engine.userTatum = engine.userBarline = engine.userKeysig = engine.userChord = &estimate;
  engine.userDoneAnalysis = &estimate;
  const int block = kelo::KeloSemiOffline::kBlock;
  for (size_t at = 0; at + block <= song.mono.size(); at += block)
    engine.process(song.mono.data() + at, block);
  if (engine.finish() != 0) throw std::runtime_error("Cannot load KELO");
  return estimate;
}

// Beats per bar of a reported time signature: eighths come in threes.
int beatsPerBar(const kelo::t_barline& b) {
  return b.denominator == 8 && b.numerator % 3 == 0 ? b.numerator / 3 : b.numerator;
}

// Seconds of a tatum, or -1 for one never reported.
double tatumTime(const EngineEstimate& e, int tatum) {
  // Tatum positions are detector frames; a frame shows an onset framelen / hop
  // frames late (the same correction as the beat detector's listing).
  const double shift = static_cast<double>(1 - kFramelen / kHop44k) * kHop44k;
  if (tatum < 0 || static_cast<size_t>(tatum) >= e.tatumSamples.size()) return -1.0;
  const std::int64_t p = e.tatumSamples[static_cast<size_t>(tatum)];
  return p < 0 ? -1.0 : std::max(0.0, (static_cast<double>(p) + shift) / 44100.0);
}

void writeHarmony(const fs::path& out, const std::string& name, const EngineEstimate& e, double seconds);

void writeEngineEstimate(const fs::path& out, const std::string& name, const EngineEstimate& e,
                         double seconds) {
  auto timeOf = [&](int tatum) { return tatumTime(e, tatum); };
  char line[128];

  const int perBar = e.barlines.empty() ? 4 : beatsPerBar(e.barlines.back());
  std::ofstream beats(out / (name + ".beats.txt"));
  size_t nextBar = 0;
  int lastBar = e.barlines.empty() ? 0 : e.barlines.front().tatum - perBar;
  for (size_t i = 0; i < e.tatumSamples.size(); ++i) {
    while (nextBar < e.barlines.size() && e.barlines[nextBar].tatum <= static_cast<int>(i))
      lastBar = e.barlines[nextBar++].tatum;
    const int since = static_cast<int>(i) - lastBar;
    const int position = ((since % perBar) + perBar) % perBar + 1;
    const double t = timeOf(static_cast<int>(i));
    if (t < 0.0) continue;
    std::snprintf(line, sizeof line, "%.4f %d\n", t, position);
    beats << line;
  }
  std::ofstream downbeats(out / (name + ".downbeats.txt"));
  for (const auto& b : e.barlines) {
    const double t = timeOf(b.tatum);
    if (t < 0.0) continue;
    std::snprintf(line, sizeof line, "%.4f\n", t);
    downbeats << line;
  }
  std::ofstream(out / (name + ".meter.txt")) << perBar << "\n";
  writeHarmony(out, name, e, seconds);
}

// NAME.chords.txt and NAME.key.txt from the engine's reports.
void writeHarmony(const fs::path& out, const std::string& name, const EngineEstimate& e, double seconds) {
  auto timeOf = [&](int tatum) { return tatumTime(e, tatum); };
  char line[128];
  std::ofstream chords(out / (name + ".chords.txt"));
  for (size_t i = 0; i < e.chords.size(); ++i) {
    const auto& c = e.chords[i];
    const double start = timeOf(c.tatum);
    const double end = i + 1 < e.chords.size() ? timeOf(e.chords[i + 1].tatum) : seconds;
    if (start < 0.0 || end <= start || c.root < 0 || c.root > 11 || c.chordType < 0 ||
        c.chordType >= kelo::ChordTypeCount)
      continue;
    std::snprintf(line, sizeof line, "%.4f %.4f %s:%s\n", start, end,
                  kelo::PitchNames[static_cast<size_t>(c.root)].c_str(),
                  kelo::ChordTypeNames[static_cast<size_t>(c.chordType)].c_str());
    chords << line;
  }

  // The song's key: the one that holds longest.
  std::vector<double> held(24, 0.0);
  for (size_t i = 0; i < e.keys.size(); ++i) {
    const auto& k = e.keys[i];
    const double start = timeOf(k.tatum);
    const double end = i + 1 < e.keys.size() ? timeOf(e.keys[i + 1].tatum) : seconds;
    if (start >= 0.0 && end > start && k.tonic >= 0 && k.tonic < 12 && (k.mode == 0 || k.mode == 1))
      held[static_cast<size_t>(k.tonic + 12 * k.mode)] += end - start;
  }
  const auto best = std::max_element(held.begin(), held.end()) - held.begin();
  if (held[static_cast<size_t>(best)] > 0.0)
    std::ofstream(out / (name + ".key.txt"))
        << kelo::PitchNames[static_cast<size_t>(best % 12)] << (best >= 12 ? " minor" : " major") << "\n";
}

// ---- the program's import

struct ImportEstimate {
  std::vector<double> beats;   // seconds
  std::vector<int> positions;  // 1 = downbeat, 0 when no bar is known
  int meter = 4;               // beats per bar
  std::uint64_t tempo = 0;
  std::vector<double> onsets;
  struct Segment {
    double start, end;
    int label;
  };
  std::vector<Segment> segments;
};

std::int64_t framesOf(const fs::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return -1;
  sf_close(file);
  return info.frames;
}

// Imports `audio` as the program does and reads the ".awi" back. Returns
// false with `why` when the import refuses the file or fails.
bool runImport(const fs::path& audio, const fs::path& work, bool freeMeter, ImportEstimate& r, std::string& why) {
  std::error_code ec;
  fs::create_directories(work, ec);
  const fs::path copy = work / audio.filename();
  fs::copy_file(audio, copy, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    why = "cannot copy: " + ec.message();
    return false;
  }
  const QString copyPath = QString::fromStdString(copy.string());
  const QString awi = AnalysedWaveName::pathFor(copyPath);
  fs::remove(awi.toStdString(), ec);

  anaThreadObj worker(audioFileMngr::create());
  AnalysisOptions options;  // the main window's defaults
  if (freeMeter) options.fixedMeter = 0;
  worker.setOptions(options.pack());
  worker.analyzeProcTh({}, {copyPath});
  if (!fs::exists(awi.toStdString())) {
    why = "refused: " + worker.errorString().toStdString();
    return false;
  }
  const std::int64_t frames = framesOf(copy);
  CASTcore project;
  auto* record = new WavInfo;
  if (project.addAnalyzedFile(record, awi, static_cast<std::uint64_t>(std::max<std::int64_t>(frames, 0))) != 0) {
    delete record;
    why = "the .awi does not read back: " + project.lastError.toStdString();
    return false;
  }
  WavInfo* wave = nullptr;
  project.getWaveInfo(0, &wave);
  if (wave == nullptr) {
    why = "no wave after reading the .awi";
    return false;
  }
  const ComnInfo common = project.getCommonInfo();
  r.tempo = common.tempo;
  r.meter = common.timeSigDen == 8 && common.timeSigNum % 3 == 0 ? common.timeSigNum / 3 : common.timeSigNum;
  if (r.meter < 1) r.meter = 4;
  const double seconds = static_cast<double>(frames) / 44100.0;

  // Two grid entries per beat division; the grid's last entry closes it at
  // the end of the recording and is no beat. A grid whose first beat lies
  // more than a third of a beat after the start (a recording whose silent
  // opening bars the analysis dropped) opens with a lead-in point half a
  // beat ahead of it, and the beats are the entries after that one.
  const std::size_t step = 2u * std::max<std::uint16_t>(wave->beatDiv, 1);
  const std::vector<SegLabel>& labels = wave->segLblOrg.empty() ? wave->segLbl : wave->segLblOrg;
  const std::vector<float>& grid = wave->beatTime;
  const bool leadIn = grid.size() > step && grid[0] > (grid[step] - grid[0]) / 3.0f;
  const std::size_t phase = leadIn ? 1 : 0;
  for (std::size_t i = phase; i < wave->beatTime.size(); i += step) {
    const double t = wave->beatTime[i];
    if (std::abs(t - seconds) < 0.01) continue;
    r.beats.push_back(t);
  }
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const double end = i + 1 < labels.size() ? labels[i + 1].start : seconds;
    r.segments.push_back({labels[i].start, end, labels[i].label});
  }
  // Bars are counted from the beat nearest the first segment's start, the
  // first bar line of the analysis.
  std::ptrdiff_t first = -1;
  if (!labels.empty() && !r.beats.empty()) {
    double best = 1e9;
    for (std::size_t k = 0; k < r.beats.size(); ++k)
      if (std::abs(r.beats[k] - labels[0].start) < best) {
        best = std::abs(r.beats[k] - labels[0].start);
        first = static_cast<std::ptrdiff_t>(k);
      }
  }
  for (std::size_t k = 0; k < r.beats.size(); ++k) {
    if (first < 0) {
      r.positions.push_back(0);
      continue;
    }
    const std::ptrdiff_t since = static_cast<std::ptrdiff_t>(k) - first;
    r.positions.push_back(static_cast<int>(((since % r.meter) + r.meter) % r.meter) + 1);
  }
  for (std::size_t i = 0; i < wave->onsetTime.size(); ++i) {
    // The worker closes the onset list with 0 and the end of the audio.
    const double t = wave->onsetTime[i];
    if ((i == 0 && t == 0.0) || (i + 1 == wave->onsetTime.size() && std::abs(t - seconds) < 0.01)) continue;
    r.onsets.push_back(t);
  }
  return true;
}

void writeImportEstimate(const fs::path& out, const std::string& name, const ImportEstimate& r) {
  char line[128];
  std::ofstream beats(out / (name + ".beats.txt"));
  std::ofstream downbeats(out / (name + ".downbeats.txt"));
  for (std::size_t k = 0; k < r.beats.size(); ++k) {
    if (r.positions[k] > 0)
      std::snprintf(line, sizeof line, "%.4f %d\n", r.beats[k], r.positions[k]);
    else
      std::snprintf(line, sizeof line, "%.4f\n", r.beats[k]);
    beats << line;
    if (r.positions[k] == 1) {
      std::snprintf(line, sizeof line, "%.4f\n", r.beats[k]);
      downbeats << line;
    }
  }
  std::ofstream(out / (name + ".meter.txt")) << r.meter << "\n";
  std::ofstream(out / (name + ".tempo.txt")) << r.tempo << "\n";
  std::ofstream onsets(out / (name + ".onsets.txt"));
  for (double t : r.onsets) {
    std::snprintf(line, sizeof line, "%.4f\n", t);
    onsets << line;
  }
  std::ofstream segments(out / (name + ".segments.txt"));
  for (const auto& s : r.segments) {
    std::snprintf(line, sizeof line, "%.4f %.4f %d\n", s.start, s.end, s.label);
    segments << line;
  }
}

// The import of every file, with chords and key from the engine.
int importAll(const std::vector<fs::path>& files, const fs::path& out, bool freeMeter) {
  std::ofstream timing(out / "timing.txt");
  double totalAudio = 0.0, totalImport = 0.0;
  int failures = 0;
  for (const fs::path& path : files) {
    const std::string name = path.stem().string();
    ImportEstimate estimate;
    std::string why;
    const auto start = std::chrono::steady_clock::now();
    const bool imported = runImport(path, out / "import", freeMeter, estimate, why);
    const double used = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!imported) {
      std::cerr << name << ": " << why << "\n";
      ++failures;
      continue;
    }
    writeImportEstimate(out, name, estimate);
    Song song;
    if (decode(path, song, why) && song.rate == 44100) {
      try {
        writeHarmony(out, name, runEngine(song), static_cast<double>(song.mono.size()) / song.rate);
      } catch (const std::exception& e) {
        std::cerr << name << ": chord engine failed, " << e.what() << "\n";
      }
    }
    const double seconds = static_cast<double>(std::max<std::int64_t>(framesOf(path), 0)) /
                           std::max(1, song.rate);
    char report[256];
    std::snprintf(report, sizeof report, "%s %.2f %.3f %.1fx", name.c_str(), seconds, used,
                  used > 0.0 ? seconds / used : 0.0);
    std::cout << report << "\n";
    timing << report << "\n";
    totalAudio += seconds;
    totalImport += used;
  }
  char summary[160];
  std::snprintf(summary, sizeof summary, "total %.2f %.3f %.1fx", totalAudio, totalImport,
                totalImport > 0.0 ? totalAudio / totalImport : 0.0);
  std::cout << summary << "\n";
  timing << summary << "\n";
  return failures == 0 ? 0 : 1;
}

bool isAudio(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".wav" || ext == ".aif" || ext == ".aiff";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[3] : "";
  const bool engineOnly = mode == "--engine";
  const bool freeMeter = mode == "--free-meter";
  if (argc != 3 && !engineOnly && !freeMeter) {
    std::cerr << "usage: AnalyseSongs DIR OUTDIR [--free-meter | --engine]\n";
    return 2;
  }
  QCoreApplication app(argc, argv);
  // The core's trace lines would drown the timing lines.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && type != QtInfoMsg) std::cerr << text.toStdString() << "\n";
  });
  const fs::path in = argv[1];
  const fs::path out = argv[2];
  std::error_code ec;
  fs::create_directories(out, ec);
  if (!fs::is_directory(in) || !fs::is_directory(out)) {
    std::cerr << "AnalyseSongs: " << in << " or " << out << " is not a folder\n";
    return 2;
  }

  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(in))
    if (entry.is_regular_file() && isAudio(entry.path())) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  if (!engineOnly) {
    const int result = importAll(files, out, freeMeter);
    // Only the program removes its work folder when it quits; a measuring
    // run of hundreds of songs would leave a copy of its last one behind.
    TempWaveFiles::removeWorkFolder();
    return result;
  }

  std::ofstream timing(out / "timing.txt");
  double totalAudio = 0.0;
  double totalAnalysis = 0.0;
  double engineAudio = 0.0;
  double totalEngine = 0.0;
  int failures = 0;
  for (const fs::path& path : files) {
    const std::string name = path.stem().string();
    Song song;
    std::string why;
    if (!decode(path, song, why)) {
      std::cerr << name << ": skipped, " << why << "\n";
      ++failures;
      continue;
    }
    const double seconds = static_cast<double>(song.mono.size()) / song.rate;
    BeatEstimate estimate;
    const auto start = std::chrono::steady_clock::now();
    try {
      estimate = analyse(song);
    } catch (const std::exception& e) {
      std::cerr << name << ": analysis failed, " << e.what() << "\n";
      ++failures;
      continue;
    }
    const double used =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ofstream(out / (name + ".tempo.txt")) << estimate.bpm << "\n";

    double engineUsed = 0.0;
    bool engineDone = false;
    if (song.rate == 44100) {
      const auto engineStart = std::chrono::steady_clock::now();
      try {
        const EngineEstimate engine = runEngine(song);
        engineUsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - engineStart).count();
        writeEngineEstimate(out, name, engine, seconds);
        engineDone = true;
      } catch (const std::exception& e) {
        std::cerr << name << ": chord engine failed, " << e.what() << "\n";
        ++failures;
      }
    }
    if (!engineDone) {
      std::ofstream beats(out / (name + ".beats.txt"));
      char line[64];
      for (double t : estimate.beats) {
        std::snprintf(line, sizeof line, "%.4f\n", t);
        beats << line;
      }
    }

    char report[256];
    std::snprintf(report, sizeof report, "%s %.2f %.3f %.1fx %.3f %.1fx", name.c_str(), seconds,
                  used, used > 0.0 ? seconds / used : 0.0, engineUsed,
                  engineUsed > 0.0 ? seconds / engineUsed : 0.0);
    std::cout << report << "\n";
    timing << report << "\n";
    totalAudio += seconds;
    totalAnalysis += used;
    if (engineDone) {
      engineAudio += seconds;
      totalEngine += engineUsed;
    }
  }
  char summary[160];
  std::snprintf(summary, sizeof summary, "total %.2f %.3f %.1fx engine %.2f %.3f %.1fx", totalAudio,
                totalAnalysis, totalAnalysis > 0.0 ? totalAudio / totalAnalysis : 0.0, engineAudio,
                totalEngine, totalEngine > 0.0 ? engineAudio / totalEngine : 0.0);
  std::cout << summary << "\n";
  timing << summary << "\n";
  return failures == 0 ? 0 : 1;
}
