#pragma once
// One analysis frame of the spectral engine: its centre time, a content mask
// and the arrays the mask names (spectral levels in dB, phases in radians,
// and the 80-float band block of the attack detector). Records are filled in
// the analysis delay line, then owned by the region they are filed in.
//
// The arrays are plain owned float arrays so the per-frame loops can index
// them directly; a record keeps them when emptied with keepStorage, so the
// delay line reuses its storage frame after frame.

#include <cstdint>

struct SMSFrame {
  // Content flags.
  static constexpr std::uint64_t kMagnitudes = 0x10;
  static constexpr std::uint64_t kPhases = 0x20;
  // Accepted in copy masks; carries no storage.
  static constexpr std::uint64_t kCopyMarker = 0x800;
  static constexpr std::uint64_t kBandBlock = 0x2000;
  // Qualifies the spectral arrays; travels with them when they are copied.
  static constexpr std::uint64_t kSpectralQualifier = 0x10000000;
  // Every content; used when a record is emptied.
  static constexpr std::uint64_t kAllContents = 0xfffff7;

  static constexpr int kBandBlockSize = 80;
  // The time of an empty record.
  static constexpr double kEmptyTime = -1.0;

  SMSFrame() = default;
  ~SMSFrame();
  SMSFrame(const SMSFrame&) = delete;
  SMSFrame& operator=(const SMSFrame&) = delete;

  // Clears each of kMagnitudes, kPhases and kBandBlock set in both `mask`
  // and `flags`, freeing its array unless keepStorage. Without keepStorage
  // binCount drops to 0 once neither spectral array is valid. Returns 0.
  int Release(std::uint64_t mask, bool keepStorage);

  // Makes sure the record holds the arrays named by `mask` with `count`
  // entries each (zero-filled when zeroFill), reusing attached storage that
  // is large enough; binCount becomes `count` and spectral arrays already
  // held are enlarged with it (their contents kept). Sets the requested
  // flags. Returns 0, or 1 when an allocation failed (nothing thrown).
  int Allocate(std::uint64_t mask, std::int64_t count, bool zeroFill);

  // Copies the contents named by mask & source.flags into `destination`
  // (allocated zero-filled at the source's binCount), the qualifier flag
  // along with any spectral content, and the time when copyTime. Returns 0;
  // throws -1 when an allocation fails.
  static int CopyFrom(const SMSFrame& source, SMSFrame& destination, std::uint64_t mask, bool copyTime);

  // Like CopyFrom without the time and without zero-filling; the qualifier
  // is only ever set in the destination, never cleared. Returns 5 for a null
  // destination (or source), else 0; throws -1 when an allocation fails.
  static int CopyContent(const SMSFrame* source, SMSFrame* destination, std::uint64_t mask);

  // Gives the record a zeroed band block (the one it holds, cleared, or a
  // new one) and sets kBandBlock; throws -1 when the allocation fails.
  void AttachBandBlock();

  bool Has(std::uint64_t flag) const { return (flags & flag) != 0; }

  double time = 0.0;
  std::uint64_t flags = 0;
  std::int64_t binCount = 0;
  float* magnitudes = nullptr;
  float* phases = nullptr;
  float* bandBlock = nullptr;

 private:
  static constexpr std::uint64_t kContentBits = kMagnitudes | kPhases | kCopyMarker | kBandBlock;

  // Storage behind magnitudes and phases (entries allocated).
  std::int64_t magnitudeCapacity_ = 0;
  std::int64_t phaseCapacity_ = 0;
};
