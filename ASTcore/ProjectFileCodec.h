#pragma once
// Byte layout of the project file (".qmproj", kind "ASTP") and of the
// analysed-wave file (".awi", kind "AWI "): a 32-byte big-endian header and
// three blocks (wave list, sections, common record).
//
// Everything here works on bytes only; prjMngr moves them between files and
// the core. Parsing checks every size and count against the bytes really
// present and every value against its range before anything is allocated or
// stored, so a damaged file is refused as a whole.

#include <array>
#include <cstdint>
#include <vector>

#include "AllInfo.h"
#include "ResultCode.h"

namespace ProjectFileCodec {

using Bytes = std::vector<std::uint8_t>;

enum class Kind { Project, AnalysedWave };

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kCommonBlockSize = 11;
constexpr std::size_t kSectionTableSize = 1 + 8 * AllInfo::kSectionCount;  // 121

// What a file holds. A block stored with size 0 is absent and leaves that
// part of the model as it is.
struct Content {
  bool hasWaves = false;
  bool hasSections = false;
  bool hasCommon = false;
  std::vector<WavInfo> waves;  // one for an analysed-wave file
  std::array<SecInfo, AllInfo::kSectionCount> sections;
  ComnInfo common;
};

// --- Writing ---
// A wave record; `nameOnly` keeps only the file-name part of the path.
Bytes waveRecord(const WavInfo& wave, bool nameOnly);
// A section record; `forAwi` stores every wave number below 255 as 0.
Bytes sectionRecord(const SecInfo& section, bool forAwi);
Bytes commonBlock(const ComnInfo& common);
Bytes projectWaveBlock(const std::vector<const WavInfo*>& waves);
// The wave block of an analysed-wave file: exactly one record at offset 9.
Bytes awiWaveBlock(const WavInfo& wave);
Bytes sectionsBlock(const std::array<const SecInfo*, AllInfo::kSectionCount>& sections, bool forAwi);
// Header plus the three blocks, ready to be written in one go.
Bytes assembleFile(Kind kind, const Bytes& waveBlock, const Bytes& sectionsBlock, const Bytes& commonBlock);

// --- Reading ---
// The file size the 32-byte header declares (header plus the three block
// sizes); 0 when `size` is below 32 bytes. Lets a reader fetch no more than
// the file says it holds.
std::uint64_t declaredFileSize(const std::uint8_t* header, std::size_t size);

// Parses a whole file. Codes: 0x80000002 wrong kind, 0x80000003 wrong
// version, 0x80000004 the file is shorter than its header says,
// 0x80000005 bad header size, 0x80000007 / 0x80000009 / 0x8000000B with the
// block parser's code for the wave, sections and common block.
ResultCode parseFile(const std::uint8_t* data, std::size_t size, Kind kind, Content& content);

ResultCode parseWaveRecord(const std::uint8_t* data, std::size_t size, WavInfo& wave);
// Parses over `section`, which keeps the fields files do not store.
ResultCode parseSectionRecord(const std::uint8_t* data, std::size_t size, SecInfo& section);
ResultCode parseCommonBlock(const std::uint8_t* data, std::size_t size, ComnInfo& common);
ResultCode parseProjectWaveBlock(const std::uint8_t* data, std::size_t size, std::vector<WavInfo>& waves);
ResultCode parseAwiWaveBlock(const std::uint8_t* data, std::size_t size, WavInfo& wave);
ResultCode parseSectionsBlock(const std::uint8_t* data, std::size_t size,
                              std::array<SecInfo, AllInfo::kSectionCount>& sections);

}  // namespace ProjectFileCodec
