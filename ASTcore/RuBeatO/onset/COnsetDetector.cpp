#include "COnsetDetector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <stdexcept>

#include "OnsetGridAlignment.h"
#include "OnsetSignalChain.h"

namespace {

// The longest recording a work area is made for (about 290 days at 44100 Hz);
// keeps every frame and buffer size far from overflow.
constexpr std::int64_t kMostSamples = std::int64_t{1} << 40;
constexpr double kFramesPerSecondDivisor = 344.0;
constexpr double kHighestSampleRate = 10.0e6;

constexpr std::int16_t kPeakThreshold = 26;
constexpr std::int16_t kGridThreshold = 5;

// Grid points per beat, by grid index.
constexpr std::int32_t kGridDivisions[] = {1, 3, 2, 6, 4, 12, 8};
constexpr std::size_t kLastGridIndex = std::size(kGridDivisions) - 1;

// Preset records; only field 7, the search tolerance divisor, is used.
constexpr std::int32_t kPresets[8][11] = {
    {128, 6, 1, -1, 90, 16, 16, 12, 150, 100, 20},
    {128, 6, 1, -1, 90, 2, 16, 12, 150, 100, 10},
    {3, 128, 1, -1, 90, 16, 16, 6, 150, 100, 20},
    {0, 128, 1, -1, 250, 500, 150, 7, 150, 100, 250},
    {0, 128, 1, -1, 90, 80, 80, 7, 150, 100, 80},
    {0, 128, 1, -1, 90, 20, 20, 12, 150, 100, 20},
    {0, 128, 1, 1, 0, 80, 80, 12, 150, 100, 80},
    {128, 0, 0, 1, 0, 2, 80, 0, 100, 100, 0},
};
constexpr std::size_t kLastPreset = std::size(kPresets) - 1;
constexpr std::size_t kToleranceField = 7;

// Rate, hop, frame counts and lengths of a recording; throws -1 for records
// no work area can be made for.
struct Geometry {
  double sampleRate;
  std::int64_t hop;
  std::int64_t frameCount;
  std::int64_t totalLength;
  std::int64_t sampleCount;
  std::int64_t analysisFrames;
};

Geometry geometryOf(const OnsetAudioInfo& audio) {
  const std::int64_t samples = audio.sampleCount;
  const double rate = static_cast<double>(audio.sampleRate);
  if (samples < 0 || samples > kMostSamples || !(rate >= kFramesPerSecondDivisor) ||
      rate > kHighestSampleRate) {
    throw -1;
  }
  Geometry g{};
  g.sampleRate = rate;
  g.hop = static_cast<std::int64_t>(rate / kFramesPerSecondDivisor);
  g.frameCount = static_cast<std::int64_t>(std::floor(static_cast<double>(samples) / g.hop + 0.5));
  g.totalLength = samples + COnsetDetector::kLeadIn;
  g.sampleCount = samples;
  // The lead-in shifts the recording by kLeadIn samples: the frames that
  // hold its end lie past frameCount.
  g.analysisFrames = (g.totalLength + g.hop - 1) / g.hop;
  return g;
}

void applyGeometry(OnsetWork& work, const Geometry& g) {
  work.sampleRate = g.sampleRate;
  work.hop = g.hop;
  work.frameCount = g.frameCount;
  work.totalLength = g.totalLength;
  work.sampleCount = g.sampleCount;
  work.analysisFrames = g.analysisFrames;
}

std::int32_t sensitivity(std::uint16_t setting) { return setting == 0 ? 128 : 100 - std::int32_t{setting}; }

void storeSettings(OnsetWork& work, const OnsetTempoInfo& tempo, const OnsetSettings& settings) {
  work.sensitivityGrid = sensitivity(settings.gridSensitivity);
  work.sensitivityAll = sensitivity(settings.allSensitivity);
  work.spanBeats = tempo.lengthInBeats();
  work.divisions = kGridDivisions[std::min<std::size_t>(settings.gridIndex, kLastGridIndex)];
  work.toleranceDivisor = kPresets[std::min<std::size_t>(settings.presetIndex, kLastPreset)][kToleranceField];
}

std::int64_t roundedFrame(std::int64_t position, std::int64_t hop, std::int64_t frames) {
  const auto f = static_cast<std::int64_t>(std::floor(static_cast<double>(position) / hop + 0.5));
  return std::clamp<std::int64_t>(f, 0, frames);
}

template <typename Member, std::size_t N>
Member fieldAt(const Member (&fields)[N], std::size_t index) {
  if (index >= N) throw std::domain_error("Onset record index out of range");
  return fields[index];
}

using AudioField = std::int64_t OnsetAudioInfo::*;
constexpr AudioField kAudioFields[] = {
    &OnsetAudioInfo::reserved0,     &OnsetAudioInfo::reserved1, &OnsetAudioInfo::sampleCount,
    &OnsetAudioInfo::sampleRate,    &OnsetAudioInfo::bitsPerSample, &OnsetAudioInfo::reserved5,
    &OnsetAudioInfo::sampleCountCopy};

using TempoField = std::int64_t OnsetTempoInfo::*;
constexpr TempoField kTempoFields[] = {
    &OnsetTempoInfo::startPosition, &OnsetTempoInfo::endPosition, &OnsetTempoInfo::endPositionCopy,
    &OnsetTempoInfo::beatsPerBar,   &OnsetTempoInfo::beats,       &OnsetTempoInfo::ticks,
    &OnsetTempoInfo::bars};

using SettingField = std::uint16_t OnsetSettings::*;
constexpr SettingField kSettingFields[] = {
    &OnsetSettings::presetIndex, &OnsetSettings::gridSensitivity, &OnsetSettings::gridIndex,
    &OnsetSettings::unused3,     &OnsetSettings::unused4,         &OnsetSettings::allSensitivity,
    &OnsetSettings::unused6,     &OnsetSettings::unused7};

}  // namespace

std::int64_t& OnsetAudioInfo::operator[](std::size_t index) { return this->*fieldAt(kAudioFields, index); }
const std::int64_t& OnsetAudioInfo::operator[](std::size_t index) const {
  return this->*fieldAt(kAudioFields, index);
}

std::int64_t& OnsetTempoInfo::operator[](std::size_t index) { return this->*fieldAt(kTempoFields, index); }
const std::int64_t& OnsetTempoInfo::operator[](std::size_t index) const {
  return this->*fieldAt(kTempoFields, index);
}

double OnsetTempoInfo::lengthInBeats() const {
  return static_cast<double>(ticks) / 960.0 + static_cast<double>(bars) * static_cast<double>(beatsPerBar) +
         static_cast<double>(beats);
}

std::uint16_t& OnsetSettings::operator[](std::size_t index) { return this->*fieldAt(kSettingFields, index); }
const std::uint16_t& OnsetSettings::operator[](std::size_t index) const {
  return this->*fieldAt(kSettingFields, index);
}

void COnsetDetector::Init(OnsetWork& work, const OnsetAudioInfo& audio) {
  Release(work);
  work.peakThreshold = kPeakThreshold;
  work.gridThreshold = kGridThreshold;
  work.state = 0;
  work.curveCapacity = 0;
  work.frameCapacity = 0;
  work.peakCount = 0;
  work.firstOnsetFrame = 0;

  const Geometry g = geometryOf(audio);
  applyGeometry(work, g);
  const std::int64_t curveEntries = g.analysisFrames + onset::kChainDelayFrames;
  work.curve = static_cast<std::int64_t*>(std::calloc(static_cast<std::size_t>(curveEntries), sizeof(std::int64_t)));
  work.strength = static_cast<std::int16_t*>(
      std::calloc(static_cast<std::size_t>(g.analysisFrames) + 1, sizeof(std::int16_t)));
  work.marked = static_cast<std::int16_t*>(
      std::calloc(static_cast<std::size_t>(g.analysisFrames) + 1, sizeof(std::int16_t)));
  if (work.curve == nullptr || work.strength == nullptr || work.marked == nullptr) {
    Release(work);
    throw -1;
  }
  work.curveCapacity = curveEntries;
  work.frameCapacity = g.analysisFrames;
}

void COnsetDetector::Release(OnsetWork& work) {
  std::free(work.curve);
  std::free(work.strength);
  std::free(work.marked);
  work.curve = nullptr;
  work.strength = nullptr;
  work.marked = nullptr;
  work.curveCapacity = 0;
  work.frameCapacity = 0;
  work.totalLength = 0;
}

void COnsetDetector::Reset(OnsetWork& work, const OnsetAudioInfo& audio) {
  applyGeometry(work, geometryOf(audio));
}

bool COnsetDetector::ApplySettings(OnsetWork& work, const OnsetTempoInfo& tempo,
                                   const OnsetSettings& settings) {
  storeSettings(work, tempo, settings);
  work.spanStart = tempo.startPosition;
  work.spanEnd = tempo.endPosition;
  const bool chainPending = work.state == 0;
  work.state = 1;
  return chainPending;
}

void COnsetDetector::Analyze(ISeekable<float>& source, OnsetWork& work, const OnsetAudioInfo& audio,
                             std::vector<std::int64_t>& onsets, OnsetTempoInfo& tempo,
                             const OnsetSettings& settings) {
  const std::int64_t frames = work.analysisFrames;
  if (work.curve == nullptr || work.strength == nullptr || work.marked == nullptr || work.hop < 1 ||
      frames < 0 || frames > work.frameCapacity ||
      frames + onset::kChainDelayFrames > work.curveCapacity) {
    throw -1;
  }
  const std::int64_t hop = work.hop;

  tempo.startPosition = 0;
  tempo.endPosition = audio.sampleCount;
  tempo.endPositionCopy = audio.sampleCount;
  storeSettings(work, tempo, settings);
  work.spanStart = 0;
  work.spanEnd = audio.sampleCount;

  if (work.state == 0) {
    onset::runSignalChain(source, work);
    work.state = 1;
  }

  // The span in frames; its start moves past a rising edge, and at the very
  // start onto the lead-in's reference peak.
  work.endFrame = roundedFrame(work.spanEnd, hop, frames);
  work.startFrame = roundedFrame(work.spanStart, hop, frames);
  while (work.startFrame < work.endFrame && work.strength[work.startFrame] == -1) ++work.startFrame;
  if (work.startFrame == 0) {
    const std::int64_t last = std::min<std::int64_t>(9, frames - 1);
    for (std::int64_t f = 0; f <= last; ++f) {
      if (work.strength[f] > 0) {
        work.startFrame = f;
        break;
      }
    }
  }
  work.framesPerBeat =
      work.spanBeats > 0.0 ? static_cast<double>(work.endFrame - work.startFrame) / work.spanBeats : 0.0;

  std::vector<std::int16_t> values(work.strength, work.strength + frames);
  onset::GridLayout layout{};
  layout.startFrame = work.startFrame;
  layout.endFrame = work.endFrame;
  layout.frameCount = work.frameCount;
  layout.framesPerBeat = work.framesPerBeat;
  layout.divisions = work.divisions;
  layout.toleranceDivisor = work.toleranceDivisor;
  layout.peakThreshold = work.peakThreshold;
  layout.gridThreshold = work.gridThreshold;
  // The grid spans the frames of the recording's rounded length and ends at
  // frameCount; the frames past it (the recording's tail, pushed there by the
  // lead-in) keep their strengths unmarked.
  onset::markGrid(values.data(), std::min(work.frameCount, frames), layout);
  onset::placeOnRisingEdges(values.data(), work.marked, frames);

  // Selection runs to the last frame that still holds recorded samples, which
  // the lead-in has pushed past endFrame.
  const std::int64_t selectEnd = std::min<std::int64_t>(
      frames, (std::clamp<std::int64_t>(work.spanEnd, 0, work.sampleCount) + kLeadIn + hop - 1) / hop);
  for (std::int64_t f = work.startFrame + 1; f < selectEnd; ++f) {
    const std::int32_t v = work.marked[f];
    const bool onGrid = v >= onset::kGridMark;
    const std::int32_t s = onGrid ? v - onset::kGridMark : v;
    if (s > work.sensitivityAll || (onGrid && s > work.sensitivityGrid)) {
      onsets.push_back(std::max<std::int64_t>(f * hop - kLeadIn, 0));
    }
  }
}
