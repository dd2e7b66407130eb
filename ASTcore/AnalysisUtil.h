#pragma once
// Small routines shared by the core, the analysis worker and the section
// rendering: conversions between frame addresses and seconds at the fixed
// rate of 44100 Hz, beat-grid look-ups, closing a beat grid at the end of the
// audio, the program's own reading and writing of 16-bit stereo 44100 Hz WAV
// files, and in-place passes over buffers of 16-bit stereo frames.
//
// AnalysisUtil holds no state; make one on the stack where it is needed.
//
// WAV files are read and written with a fixed 44-byte header: "RIFF", RIFF
// size (data size + 36), "WAVE", "fmt ", 16, PCM (1), 2 channels, 44100,
// 176400, 4, 16, "data", data size, then the interleaved little-endian
// samples, left first. Header checks and their codes, in file order:
//   0x80000001 "RIFF"            0x80000002 RIFF size missing
//   0x80000003 "WAVE"            0x80000004 "fmt "
//   0x80000005 fmt size 16       0x80000006 PCM
//   0x80000007 2 channels        0x80000008 44100 Hz
//   0x80000009 176400 bytes/s    0x8000000A 4 bytes per frame
//   0x8000000B 16 bits           0x8000000C "data" straight after "fmt "
//   0x8000000D data size missing, or RIFF size below data size + 36
// A field that cannot be read in full fails like a wrong value of it.

#include <cstdint>
#include <string>
#include <vector>

#include <QString>

#include "ResultCode.h"
#include "SegItem.h"
#include "WavInfo.h"

class QDataStream;
class QIODevice;

class AnalysisUtil {
 public:
  static constexpr double kSampleRate = 44100.0;
  static constexpr std::uint32_t kBytesPerFrame = 4;
  static constexpr std::uint32_t kWavHeaderBytes = 44;

  AnalysisUtil();
  ~AnalysisUtil();

  // frames / 44100.
  float samplesToSeconds(std::uint64_t samples) const;
  // ceil(seconds * 44100) in double precision; 0 for negative or NaN input.
  std::uint64_t secondsToSamples(float seconds) const;

  // Where `address` lies on the wave's beat grid. 0 when it is 0 or the
  // address of a beat entry (halfBeat 0) or of a half-beat entry (halfBeat
  // 1); 0x80000002 when it is the address of another grid entry; 0x80000003
  // when it falls between entries; 0x80000004 for an empty grid or an address
  // past it; 0x80000005 for a beatDiv of 0.
  ResultCode checkBeatAt(std::uint64_t address, const WavInfo& wave, std::uint8_t& halfBeat) const;

  // Proposes which segments become which sections: writes a slot number
  // into chosen segments of `items` and returns copies of them in `chosen`,
  // sorted by start. Up to four segments become "Main A".."Main D"; five
  // and six add "Intro 2" (and "Ending 2"); from seven on the first and last
  // segment are "Intro 2" and "Ending 2" and the mains are picked by label.
  ResultCode editBeatList(std::vector<SegItem>& chosen, std::vector<SegItem>& items,
                          std::uint8_t& exceptFlag) const;

  // Parity of the step index of the entry list[k * step] nearest to
  // address / 44100 (ties go to the earlier entry): 1 when the nearest grid
  // point is a half-beat point. 0x80000001 for an empty list, 0x80000002 for
  // a step of 0.
  ResultCode getBeatParity(const std::vector<float>& list, std::uint64_t address,
                           std::uint8_t step, std::uint8_t& parity) const;

  // Closes the beat grid at the end of the audio (the last onset time) when
  // that end lies about one beat interval after the last grid entry: within
  // `tolerance` (relative) of the mean of the last three intervals, or always
  // for grids of fewer than five entries. Always 0.
  ResultCode appendCurvePoint(WavInfo& wave, double tolerance) const;

  // Reads the 44-byte header from a little-endian stream and leaves the
  // stream at the first frame. frames = data size / 4 (0 on failure).
  ResultCode parseWavHeader(QDataStream& stream, std::uint64_t& frames) const;

  // Opens `device` read-only (0x80000001) and attaches `stream` to it,
  // little-endian, then parses the header (0x80000002 | code << 4). After a
  // failed parse the device stays open; the caller closes it.
  ResultCode openWav(QIODevice& device, QDataStream& stream, std::uint64_t& frames,
                     std::uint8_t& exceptFlag) const;

  // The frame count of a WAV file without reading its samples; the device
  // is closed again. 0x880000011 when it cannot be opened, 0x880000021 |
  // code << 8 for a bad header.
  ResultCode probeWav(QIODevice& device, std::uint64_t& frames) const;

  // Reads up to `frames` stereo frames from the stream into `buffer`
  // (2 * frames floats, left then right, sample / 32768) and zeroes the rest
  // of the buffer. framesRead counts whole frames. The samples are read and
  // converted a block at a time through a fixed buffer, so nothing is
  // allocated and the playback thread may call it; 0 always (the exception
  // flag is left as it is).
  ResultCode readWavSamples(QDataStream& stream, std::uint64_t frames, float* buffer,
                            std::uint64_t& framesRead, std::uint8_t& exceptFlag) const;

  // Reads the whole data chunk of a WAV file into `data`; `size` is its
  // length in bytes (whole frames). 0x80000001 cannot open, 0x80000002 |
  // code << 4 bad header, 0x80000003 out of memory (exceptFlag set),
  // 0x80000004 the file holds fewer bytes than its header declares (checked
  // before anything is allocated).
  ResultCode readWavFile(const std::wstring& path, std::vector<std::uint8_t>& data,
                         std::uint32_t& size, std::uint8_t& exceptFlag) const;

  // Writes `size` bytes of 16-bit stereo frames as a 44100 Hz WAV file,
  // replacing any file at `path`. 0x80000001 cannot open; 0x80000002 a write
  // fell short; 0x80000003 the flush or close failed (disk full); 0x80000004
  // a size too large for a RIFF header or missing bytes (nothing is
  // written). After a failure the file is incomplete and `reason`, when
  // given, holds the system's words for it ("No space left on device").
  ResultCode writeWavFile(const std::wstring& path, const std::uint8_t* bytes,
                          std::uint32_t size, QString* reason = nullptr) const;

  // In place on `byteCount` bytes of 16-bit stereo frames. For frames 100 to
  // count - 51, the left sample becomes the mid value (left + right) / 2 and
  // the right sample the mean of the mid values of the 100 frames centred on
  // it (frames i - 50 to i + 49). Other frames, and buffers under 151
  // frames, are left as they are.
  void smoothStereo16(std::uint8_t* bytes, std::uint64_t byteCount) const;

  // Clears `out`, then records the sign changes of the right samples of
  // frames 50 to count - 51 as frame indices, with SignChangeSegmenter's
  // rules for `mode`. Buffers under 101 frames give no entries.
  void scanZeroCross16(const std::uint8_t* bytes, std::uint64_t byteCount,
                       std::vector<std::uint64_t>& out, std::uint8_t mode) const;

  // Sets the right sample of every listed frame to 0; indices past the
  // buffer are ignored.
  void markFrames16(std::uint8_t* bytes, std::uint64_t byteCount,
                    const std::vector<std::uint64_t>& frames) const;
};
