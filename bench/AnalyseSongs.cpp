// bench-deps: rubeato PkgConfig::SNDFILE
// Measuring program for the song analysis, not part of the program:
//
//   AnalyseSongs DIR OUTDIR
//
// analyses every WAV/AIFF file under DIR (recursively) and writes, per song
// NAME, the estimate files of the test-song kit into OUTDIR: NAME.beats.txt
// (one beat time in seconds per line) and NAME.tempo.txt (one BPM). One
// timing line per song goes to the standard output and to OUTDIR/timing.txt:
// name, seconds of audio, seconds of analysis, times faster than real time.
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
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <list>
#include <string>
#include <vector>

#include "CBeatDetect.h"

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

bool isAudio(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".wav" || ext == ".aif" || ext == ".aiff";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: AnalyseSongs DIR OUTDIR\n";
    return 2;
  }
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

  std::ofstream timing(out / "timing.txt");
  double totalAudio = 0.0;
  double totalAnalysis = 0.0;
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

    std::ofstream beats(out / (name + ".beats.txt"));
    char line[64];
    for (double t : estimate.beats) {
      std::snprintf(line, sizeof line, "%.4f\n", t);
      beats << line;
    }
    std::ofstream(out / (name + ".tempo.txt")) << estimate.bpm << "\n";

    char report[256];
    std::snprintf(report, sizeof report, "%s %.2f %.3f %.1fx", name.c_str(), seconds, used,
                  used > 0.0 ? seconds / used : 0.0);
    std::cout << report << "\n";
    timing << report << "\n";
    totalAudio += seconds;
    totalAnalysis += used;
  }
  char summary[128];
  std::snprintf(summary, sizeof summary, "total %.2f %.3f %.1fx", totalAudio, totalAnalysis,
                totalAnalysis > 0.0 ? totalAudio / totalAnalysis : 0.0);
  std::cout << summary << "\n";
  timing << summary << "\n";
  return failures == 0 ? 0 : 1;
}
