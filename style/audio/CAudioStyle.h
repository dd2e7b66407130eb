#pragma once
// A whole audio style in memory and on file: the MIDI style of
// CSmfStyleDecorator (MThd, MTrk tracks, CASM sections, format version)
// plus the audio part, a CAudioInfo with the audio sections (AASM) and the
// recordings (AFil). File layout: MThd, the MTrk chunks, CASM, AASM, AFil,
// each left out when it has nothing to hold, no bytes between them.
//
// Chunk readers take (buffer, size, position, target) with the position
// just after the chunk's id and leave it after the chunk. Every reader
// first checks that its chunk lies within `size` and hands the chunk's own
// end to the readers of its fields and children, so no field of one chunk
// is ever read from the bytes of the next. What was read before a failure
// stays in the model. Writers take an empty vector and append one whole
// chunk; every file written here reads back.
//
// Integers inside the audio chunks are big-endian; positions and the 64-bit
// fields of the model are written as their low 32 bits.
//
// Reading the sample bytes of a recording from its WAV file never opens a
// dialog (the export runs on a worker thread): a failure is returned as a
// code and the path that could not be read is kept for the caller's error
// text (GetWaveReadErrorText).

#include <cstdint>
#include <string>
#include <vector>

#include "CAudioInfo.h"
#include "CSmfStyleDecorator.h"
#include "ResultCode.h"

class CAudioStyle : public CSmfStyleDecorator {
 public:
  // Adat bodies longer than this go to a ".dat" file when read.
  static constexpr std::uint64_t kMaxInMemoryWaveBytes = 0xFFFFF;

  // Format version 2, no tracks, no sections, no audio.
  CAudioStyle() = default;
  ~CAudioStyle() override;

  // Deletes the sections (1 + c), then the audio sections and recordings
  // (2 + (1 + c), 2 + (2 + c)).
  ResultCode Clear() override;
  // Deletes the audio sections (1 + c) and recordings (2 + c).
  ResultCode ClearAudio();

  CAudioInfo& GetAudioInfo() { return audioInfo_; }
  const CAudioInfo& GetAudioInfo() const { return audioInfo_; }

  // Parse of the whole vector; when the style has sections, its format
  // version is read and first-version tables are converted. 1 empty vector;
  // 2 + c the parse or the version; 3 + c the conversion.
  ResultCode Load(const std::vector<std::uint8_t>& bytes);
  // Empties tracks, sections and audio, then reads chunk after chunk to the
  // end: MThd, MTrk, CASM, AASM, AFil, stepping over other known chunks.
  // 1 null or length 0; 2..4 + c clearing; 6 + c an id that cannot be read
  // or is unknown; 7 + c MThd; 8 + c MTrk; 9 + c CASM; 10 + c AASM;
  // 11 + c AFil; 13 + c stepping over.
  ResultCode Parse(const std::uint8_t* buffer, std::uint64_t length);
  // Empties `out`; MThd (4 + c), MTrk (5 + c, also for no tracks), CASM
  // (6 + c), AASM (7 + c) and AFil (8 + c) of the own audio are built apart
  // and appended only when all succeed.
  ResultCode Write(std::vector<std::uint8_t>& out);

  // --- AASM chunk tree ---
  ResultCode ReadAasmChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                           AudioSectionList& sections);
  ResultCode ReadAsegChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                           AudioSectionList& sections);
  ResultCode ReadAdecChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAudioSection* section);
  ResultCode ReadAtabChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAudioSection* section);
  // A later AMix of the same section replaces (and deletes) the earlier one.
  ResultCode ReadAmixChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAudioSection* section);
  // Nothing for an empty list; sections without names get no ASEG.
  ResultCode WriteAasmChunk(std::vector<std::uint8_t>& out, const AudioSectionList& sections);
  ResultCode WriteAsegChunk(std::vector<std::uint8_t>& out, CAudioSection* section);
  ResultCode WriteAdecChunk(std::vector<std::uint8_t>& out, const CAudioSection* section);
  ResultCode WriteAtabChunk(std::vector<std::uint8_t>& out, const CAtabData* table);
  // Adds an end of track to the mix track when it has none (it stays there).
  ResultCode WriteAmixChunk(std::vector<std::uint8_t>& out, CAMixData* mix, const CAudioSection* section);

  // Single Atab fields beyond those of the channel table (which CSmfStyle's
  // table field readers and writers handle through CAtabData::GetTable):
  // the 50-byte name record. Reader: 1 null, 2 out of room, 3 + c setter;
  // writer: 1 null, 2 + c getter.
  static ResultCode ReadAtabNameRecord(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                       CAtabData* table);
  static ResultCode WriteAtabNameRecord(std::vector<std::uint8_t>& out, const CAtabData* table);
  // The u16 resolution at the start of an AMix body; codes as above.
  static ResultCode ReadAmixResolution(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                       CAudioSection* section);
  static ResultCode WriteAmixResolution(std::vector<std::uint8_t>& out, const CAudioSection* section);

  // --- AFil chunk tree ---
  ResultCode ReadAfilChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, AudioFileList& files);
  ResultCode ReadAdsgChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, AudioFileList& files);
  ResultCode ReadAndcChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAudioFile* file);
  ResultCode ReadAwavChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAudioFile* file);
  // Exactly 16 body bytes are format fields; a longer body is stepped over.
  ResultCode ReadAfmtChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAudioWaveForm* wave);
  ResultCode ReadSfmtChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAudioWaveForm* wave);
  // Bodies above kMaxInMemoryWaveBytes go to a ".dat" file, others to memory.
  ResultCode ReadAdatChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAudioWaveForm* wave);
  ResultCode ReadAinfChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAudioWaveForm* wave);
  ResultCode ReadSpntChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                           CAudioStyleWaveFormat* format);
  // `kind` is the chunk code of BPnt, OPnt, APnt or APt2.
  ResultCode ReadPointListChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                CAudioWaveInfo* info, std::uint8_t kind);
  ResultCode ReadTempoListChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                CAudioWaveInfo* info);
  // Nothing for an empty list. Forgets an earlier WAV read error first.
  ResultCode WriteAfilChunk(std::vector<std::uint8_t>& out, const AudioFileList& files);
  // Takes the format fields from the recording's WAV file first when it can
  // be read (RefreshWaveFormat), else keeps the model's.
  ResultCode WriteAdsgChunk(std::vector<std::uint8_t>& out, CAudioFile* file);
  ResultCode WriteAndcChunk(std::vector<std::uint8_t>& out, const CAudioFile* file);
  ResultCode WriteAwavChunk(std::vector<std::uint8_t>& out, const CAudioWaveForm* wave);
  ResultCode WriteAfmtChunk(std::vector<std::uint8_t>& out, const CAudioWaveFormat* format);
  // The Sdec chunk is left out when the recording has no section names: the
  // reader refuses an empty Sdec.
  ResultCode WriteSfmtChunk(std::vector<std::uint8_t>& out, const CAudioStyleWaveFormat* format);
  // The bytes from memory, else from the ".dat" file, else from the source
  // WAV file (6 + c when it cannot be read; its path is kept).
  ResultCode WriteAdatChunk(std::vector<std::uint8_t>& out, const CAudioWaveData* data);
  // APt2 only at format version 4.
  ResultCode WriteAinfChunk(std::vector<std::uint8_t>& out, const CAudioWaveInfo* info);
  ResultCode WriteSpntChunk(std::vector<std::uint8_t>& out, const SyncroPointList& points);
  ResultCode WritePointListChunk(std::vector<std::uint8_t>& out, const AudioPointList& points, std::uint8_t kind);
  ResultCode WriteTempoListChunk(std::vector<std::uint8_t>& out, const AudioTempoList& tempos);

  // Single fields of the AFil records, by field number in body order
  // (Afmt 0..5, Sfmt fixed part 0..10, SPnt 0..4, point 0..2, tempo 0..1).
  // Readers: 1 null or no such field, 2 out of room, 3 + c setter. Writers
  // append exactly the field: 1 null or no such field, 2 + c getter. Record
  // writers: field n fails with 1 + n + c.
  static ResultCode ReadAfmtField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                  CAudioWaveFormat* format, unsigned field);
  static ResultCode WriteAfmtField(std::vector<std::uint8_t>& out, const CAudioWaveFormat* format, unsigned field);
  static ResultCode ReadSfmtField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                  CAudioStyleWaveFormat* format, unsigned field);
  static ResultCode WriteSfmtField(std::vector<std::uint8_t>& out, const CAudioStyleWaveFormat* format,
                                   unsigned field);
  static ResultCode ReadSyncroPointField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                         CSyncroPoint* point, unsigned field);
  static ResultCode WriteSyncroPointField(std::vector<std::uint8_t>& out, const CSyncroPoint* point, unsigned field);
  static ResultCode WriteSyncroPointRecord(std::vector<std::uint8_t>& out, const CSyncroPoint* point);
  static ResultCode ReadAudioPointField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                        CAudioPoint* point, unsigned field);
  static ResultCode WriteAudioPointField(std::vector<std::uint8_t>& out, const CAudioPoint* point, unsigned field);
  static ResultCode WriteAudioPointRecord(std::vector<std::uint8_t>& out, const CAudioPoint* point);
  static ResultCode ReadTempoField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                   CAudioTempo* tempo, unsigned field);
  static ResultCode WriteTempoField(std::vector<std::uint8_t>& out, const CAudioTempo* tempo, unsigned field);
  static ResultCode WriteTempoRecord(std::vector<std::uint8_t>& out, const CAudioTempo* tempo);

  // --- the recordings' WAV files ---
  // Appends the sample bytes of a WAV file's data chunk (WavFileReader).
  // A failure is also kept as the read error below, with the path.
  ResultCode ReadWaveFile(std::vector<std::uint8_t>& out, const std::string& path);
  // Sets the six format fields from a WAV file's "fmt " chunk, each as soon
  // as it is read. 1 null format; 2 cannot be opened, no "RIFF" (2 + c when
  // the id cannot be read); 3 (+ c) RIFF size; 4 no "WAVE"; 5 (+ c) no
  // "fmt "; 6 (+ c) its size; 7..12 a field beyond the body.
  ResultCode ReadWaveFormat(CAudioWaveFormat* format, const std::string& path);
  // ReadWaveFormat of the wave form's format from its data's source path.
  // 1 null; 2 no data; 3 + c the path; 4 + c reading.
  ResultCode RefreshWaveFormat(CAudioWaveForm* wave);

  // Whether the last AFil write, GetWaveBytes or ReadWaveFile since then
  // failed to read a recording's source WAV, the path it could not read,
  // and the error text naming it ("wave file read error!" and the path;
  // empty when none).
  bool HasWaveReadError() const { return waveReadFailed_; }
  const std::string& GetUnreadableWavePath() const { return unreadableWavePath_; }
  std::string GetWaveReadErrorText() const;

 protected:
  // Appends the bytes an Adat body carries to `bytes` (nothing on failure):
  // 3 + c memory; 4 + c ".dat" file; 5 no source path; 6 + c the WAV file
  // (its path kept).
  ResultCode CollectWaveBytes(const CAudioWaveData* data, std::vector<std::uint8_t>& bytes);

  CAudioInfo audioInfo_;
  bool waveReadFailed_ = false;
  std::string unreadableWavePath_;
};
