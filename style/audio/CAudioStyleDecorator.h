#pragma once
// The operations the rest of the system uses on an audio style: writing the
// audio chunks of a model for an export, parsing and saving parts of a
// style through buffers and temporary files, and the bytes of single
// records. It adds no data to CAudioStyle.
//
// Output vectors are emptied first. Temporary files get unique names in the
// system's temporary folder.

#include <cstdint>
#include <string>
#include <vector>

#include "CAudioStyle.h"
#include "ResultCode.h"

class CAudioStyleDecorator : public CAudioStyle {
 public:
  CAudioStyleDecorator() = default;
  ~CAudioStyleDecorator() override = default;

  // AASM of the model's sections, then AFil of its recordings, appended to
  // `out` only when both were written; `out` stays empty otherwise, and for
  // a model without sections and recordings. When a recording's source WAV
  // cannot be read, GetWaveReadErrorText names it. 1 null model; 2 + c
  // AASM; 3 + c AFil.
  ResultCode WriteAudioChunks(CAudioInfo* model, std::vector<std::uint8_t>& out);

  using CAudioStyle::Parse;
  // CAudioStyle::Parse of the vector. 1 empty; 2 + (1 + c).
  ResultCode Parse(const std::vector<std::uint8_t>& bytes);
  // CAudioStyle::Parse; 1 + c.
  ResultCode ParseBuffer(const std::uint8_t* buffer, std::uint64_t length);
  // Empties the own audio sections (recordings), then reads the AASM (AFil)
  // chunk the buffer must begin with; later bytes are not looked at. 1 null
  // or length 0; 2 + c clearing; 3 + c the id; 5 another chunk first;
  // 4 + c reading.
  ResultCode ParseAasm(const std::uint8_t* buffer, std::uint64_t length);
  ResultCode ParseAfil(const std::uint8_t* buffer, std::uint64_t length);

  // The MIDI style (CSmfStyleDecorator::Save), the AASM and the AFil of the
  // own audio, each into its vector. 1..3 + c.
  ResultCode SaveParts(std::vector<std::uint8_t>& style, std::vector<std::uint8_t>& aasm,
                       std::vector<std::uint8_t>& afil);
  // Removes the file `path` names and empties it; writes the model's AASM
  // (AFil) into a new ".aasm" (".afil") temporary file whose path goes into
  // `path`, unless the chunk is empty. 1 null model; 2 + c the chunk; 3 no
  // path could be made; 4 + c writing the file.
  ResultCode WriteAasmTempFile(CAudioInfo* model, std::string& path);
  ResultCode WriteAfilTempFile(CAudioInfo* model, std::string& path);
  // The same for the own audio; 1 + c.
  ResultCode SaveAasmTempFile(std::string& path);
  ResultCode SaveAfilTempFile(std::string& path);
  // Removes the file `afilPath` names; the MIDI style into `style` (1 + c);
  // the own AASM and AFil into temporary files (2 + (1 + c)).
  ResultCode SaveWithTempFiles(std::vector<std::uint8_t>& style, std::string& aasmPath, std::string& afilPath);
  // The MIDI style into `style`, and a copy of the own audio into `copy`.
  // 1 null copy; 2 + c saving; 3 + c copying.
  ResultCode SaveAndCopyAudio(std::vector<std::uint8_t>& style, CAudioInfo* copy);
  // WriteAudioChunks of the own audio into a new ".afil" temporary file
  // (written only when there are bytes); the path is stored either way.
  // 1 + c, where c is 1 + c' the chunks, 2 no path, 3 + c' writing.
  ResultCode WriteAudioTempFile(std::string& path);

  // The whole AMix chunk of a section. 1 null; 2 no mix; 3 + c.
  ResultCode GetAmixBytes(CAudioSection* section, std::vector<std::uint8_t>& out);
  // The 50 name-record bytes. 1 null; 2 + c.
  ResultCode GetNameRecordBytes(const CAudioFile* file, std::vector<std::uint8_t>& out);
  // The 16 Afmt body bytes / the 35 fixed Sfmt bytes, without chunk header.
  // 1 null file or no wave form; 2 no format; 3 + c the fields.
  ResultCode GetAfmtBytes(const CAudioFile* file, std::vector<std::uint8_t>& out);
  ResultCode GetSfmtBytes(const CAudioFile* file, std::vector<std::uint8_t>& out);
  // What an Adat body would carry: in-memory bytes, else the ".dat" file,
  // else the source WAV (its path kept when unreadable). 1 null file or no
  // wave form; 2 no wave data; 3 ".dat" read; 4 no source path; 5 WAV read;
  // 6 in-memory copy.
  ResultCode GetWaveBytes(const CAudioFile* file, std::vector<std::uint8_t>& out);
  // The records of a list, concatenated, without chunk header. 1 null file
  // or no wave form; 2 no style format / wave info; 3 a null sync point;
  // 4 + c a record (or a null point).
  ResultCode GetSyncroPointBytes(const CAudioFile* file, std::vector<std::uint8_t>& out);
  ResultCode GetBeatPointBytes(const CAudioFile* file, std::vector<std::uint8_t>& out);
  ResultCode GetOnsetPointBytes(const CAudioFile* file, std::vector<std::uint8_t>& out);
  ResultCode GetAttackPointBytes(const CAudioFile* file, std::vector<std::uint8_t>& out);
  ResultCode GetTempoBytes(const CAudioFile* file, std::vector<std::uint8_t>& out);

 private:
  ResultCode ParseAudioChunk(const std::uint8_t* buffer, std::uint64_t length, bool sections);
  ResultCode WriteChunkTempFile(CAudioInfo* model, std::string& path, bool sections);
  ResultCode WriteAudioTempFileSteps(std::string& path);
  ResultCode GetPointBytes(const CAudioFile* file, const AudioPointList& (CAudioWaveInfo::*list)() const,
                           std::vector<std::uint8_t>& out);
};
