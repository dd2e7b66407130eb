#include "ProjectFileCodec.h"

#include <QFileInfo>
#include <QString>

#include "BigEndianBytes.h"

namespace ProjectFileCodec {

namespace {

constexpr char kVersion[] = "T012";

const char* kindTag(Kind kind) { return kind == Kind::Project ? "ASTP" : "AWI "; }

void writeSegments(BigEndianWriter& w, const std::vector<SegLabel>& list) {
  w.u32(static_cast<std::uint32_t>(list.size()));
  for (const SegLabel& s : list) {
    w.f32(s.start);
    w.u16(s.label);
  }
}

// A segment list: count, then 6-byte entries that must all be present.
bool readSegments(BigEndianReader& r, std::vector<SegLabel>& list) {
  std::uint32_t count = 0;
  if (!r.u32(count) || r.remaining() / 6 < count) return false;
  list.resize(count);
  for (SegLabel& s : list) {
    r.f32(s.start);
    r.u16(s.label);
  }
  return true;
}

bool readFloats(BigEndianReader& r, std::uint32_t count, std::vector<float>& out) {
  if (r.remaining() / 4 < count) return false;
  out.resize(count);
  for (float& v : out) r.f32(v);
  return true;
}

std::int64_t signExtend(std::uint32_t v) { return static_cast<std::int32_t>(v); }

// A block of records: their count, a table of each one's offset from the
// block's start (the first at `firstOffset`, just past the table) and size,
// then the records themselves.
Bytes recordTable(std::uint8_t count, std::uint32_t firstOffset, const std::vector<Bytes>& records) {
  Bytes out;
  BigEndianWriter w(out);
  w.u8(count);
  std::uint32_t offset = firstOffset;
  for (const Bytes& r : records) {
    w.u32(offset);
    w.u32(static_cast<std::uint32_t>(r.size()));
    offset += static_cast<std::uint32_t>(r.size());
  }
  for (const Bytes& r : records) w.bytes(r);
  return out;
}

}  // namespace

Bytes waveRecord(const WavInfo& wave, bool nameOnly) {
  QString name = QString::fromStdWString(wave.fileName);
  if (nameOnly) name = QFileInfo(name).fileName();
  const QByteArray utf8 = name.toUtf8();
  Bytes out;
  out.reserve(26 + utf8.size() + 4 * (wave.beatTime.size() + wave.onsetTime.size()) +
              6 * (wave.segLblOrg.size() + wave.segLbl.size()));
  BigEndianWriter w(out);
  w.u32(static_cast<std::uint32_t>(utf8.size()));
  w.bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  w.u32(static_cast<std::uint32_t>(wave.beatTime.size()));
  for (float t : wave.beatTime) w.f32(t);
  w.u32(static_cast<std::uint32_t>(wave.onsetTime.size()));
  for (float t : wave.onsetTime) w.f32(t);
  w.f32(wave.barLen);
  w.u16(wave.beatDiv);
  writeSegments(w, wave.segLblOrg);
  writeSegments(w, wave.segLbl);
  return out;
}

Bytes sectionRecord(const SecInfo& s, bool forAwi) {
  Bytes out;
  BigEndianWriter w(out);
  w.u8(s.used);
  w.u8(forAwi && s.wavNo != SecInfo::kNoWave ? 0 : s.wavNo);
  w.u32(static_cast<std::uint32_t>(s.startAdrs));
  w.u32(static_cast<std::uint32_t>(s.startOfs));
  w.u32(static_cast<std::uint32_t>(s.endAdrs));
  w.u32(static_cast<std::uint32_t>(s.endOfs));
  w.u16(s.barNum);
  w.u8(s.barFit);
  w.u8(s.manualBar);
  w.u8(s.fadeSw);
  w.u8(s.pickupSw);
  w.u8(s.pickupNum);
  w.u32(static_cast<std::uint32_t>(s.pickupOfs));
  for (int k = 0; k + 1 < s.barNum; ++k) {
    w.u32(static_cast<std::uint32_t>(s.barAddress(k)));
    w.u32(static_cast<std::uint32_t>(s.barOffset(k)));
  }
  w.u8(s.halfBeat);
  return out;
}

Bytes commonBlock(const ComnInfo& c) {
  Bytes out;
  BigEndianWriter w(out);
  w.u8(c.volume);
  w.u8(c.pan);
  w.u8(c.revSend);
  w.u32(static_cast<std::uint32_t>(c.tempo));
  w.u8(c.timeSigNum);
  w.u8(c.timeSigDen);
  w.u8(c.normDepth);
  w.u8(c.normSw);
  return out;
}

Bytes projectWaveBlock(const std::vector<const WavInfo*>& waves) {
  std::vector<Bytes> records;
  records.reserve(waves.size());
  for (const WavInfo* wave : waves) records.push_back(waveRecord(*wave, false));
  return recordTable(static_cast<std::uint8_t>(records.size()), static_cast<std::uint32_t>(1 + 8 * records.size()),
                     records);
}

Bytes awiWaveBlock(const WavInfo& wave) { return recordTable(1, 9, {waveRecord(wave, true)}); }

Bytes sectionsBlock(const std::array<const SecInfo*, AllInfo::kSectionCount>& sections, bool forAwi) {
  std::vector<Bytes> records;
  for (const SecInfo* s : sections) records.push_back(sectionRecord(*s, forAwi));
  return recordTable(AllInfo::kSectionCount, kSectionTableSize, records);
}

Bytes assembleFile(Kind kind, const Bytes& waves, const Bytes& sections, const Bytes& common) {
  Bytes out;
  out.reserve(kHeaderSize + waves.size() + sections.size() + common.size());
  BigEndianWriter w(out);
  w.text(kindTag(kind));
  w.text(kVersion);
  const auto waveSize = static_cast<std::uint32_t>(waves.size());
  const auto secSize = static_cast<std::uint32_t>(sections.size());
  w.u32(kHeaderSize);
  w.u32(waveSize);
  w.u32(kHeaderSize + waveSize);
  w.u32(secSize);
  w.u32(kHeaderSize + waveSize + secSize);
  w.u32(static_cast<std::uint32_t>(common.size()));
  w.bytes(waves);
  w.bytes(sections);
  w.bytes(common);
  return out;
}

ResultCode parseWaveRecord(const std::uint8_t* data, std::size_t size, WavInfo& wave) {
  BigEndianReader r(data, size);
  std::uint32_t nameLength = 0;
  if (!r.u32(nameLength)) return Result::fail(1);
  if (!r.has(nameLength)) return Result::fail(2);
  std::size_t used = 0;
  while (used < nameLength && r.here()[used] != 0) ++used;  // a zero byte ends the name
  wave.fileName = QString::fromUtf8(reinterpret_cast<const char*>(r.here()), static_cast<int>(used)).toStdWString();
  r.skip(nameLength);

  std::uint32_t count = 0;
  if (!r.u32(count)) return Result::fail(5);
  if (!readFloats(r, count, wave.beatTime)) return Result::fail(6);
  if (!r.u32(count)) return Result::fail(7);
  if (!readFloats(r, count, wave.onsetTime)) return Result::fail(8);
  if (!r.f32(wave.barLen)) return Result::fail(13);
  // A division of 0 would stall every walk over the grid.
  if (!r.u16(wave.beatDiv) || wave.beatDiv == 0) return Result::fail(14);
  if (!readSegments(r, wave.segLblOrg) || !readSegments(r, wave.segLbl)) return Result::fail(15);
  return Result::kOk;
}

ResultCode parseSectionRecord(const std::uint8_t* data, std::size_t size, SecInfo& s) {
  if (size < 30) return Result::fail(1);
  BigEndianReader peek(data + 18, 2);
  std::uint16_t bars = 0;
  peek.u16(bars);
  const std::size_t expected = bars < 2 ? 30 : 30 + 8 * static_cast<std::size_t>(bars - 1);
  if (size != expected) return Result::fail(1);

  BigEndianReader r(data, size);
  std::uint32_t v = 0;
  r.u8(s.used);
  r.u8(s.wavNo);
  r.u32(v);
  s.startAdrs = v;
  r.u32(v);
  s.startOfs = signExtend(v);
  r.u32(v);
  s.endAdrs = v;
  r.u32(v);
  s.endOfs = signExtend(v);
  r.u16(bars);
  r.u8(s.barFit);
  r.u8(s.manualBar);
  r.u8(s.fadeSw);
  r.u8(s.pickupSw);
  r.u8(s.pickupNum);
  r.u32(v);
  s.pickupOfs = signExtend(v);
  s.setAreaCount(bars);
  for (int k = 0; k + 1 < bars; ++k) {
    r.u32(v);
    s.barAdrs[k] = v;
    r.u32(v);
    s.barOfs[k] = signExtend(v);
  }
  r.u8(s.halfBeat);
  return Result::kOk;
}

ResultCode parseCommonBlock(const std::uint8_t* data, std::size_t size, ComnInfo& c) {
  if (size != kCommonBlockSize) return Result::fail(2);
  BigEndianReader r(data, size);
  ComnInfo read;
  std::uint32_t tempo = 0;
  r.u8(read.volume);
  r.u8(read.pan);
  r.u8(read.revSend);
  r.u32(tempo);
  read.tempo = tempo;
  r.u8(read.timeSigNum);
  r.u8(read.timeSigDen);
  r.u8(read.normDepth);
  r.u8(read.normSw);
  // A tempo of 0 or a denominator of 3 would reach divisions and tables later.
  if (!read.isValid()) return Result::fail(5);
  c = read;
  return Result::kOk;
}

namespace {

// Reads the (offset, size) table of a block with `count` records starting
// at `first`; each record must start where the previous ended and lie in
// the block. Codes: offset missing, size missing, offset out of place,
// record past the block.
struct RecordSpan {
  std::size_t offset;
  std::size_t size;
};

ResultCode readRecordTable(const std::uint8_t* data, std::size_t size, std::size_t count,
                           std::size_t first, unsigned missingOffset, unsigned missingSize,
                           unsigned misplaced, unsigned pastEnd, std::vector<RecordSpan>& spans) {
  BigEndianReader r(data, size);
  r.skip(1);
  std::size_t expected = first;
  spans.clear();
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t offset = 0, length = 0;
    if (!r.u32(offset)) return Result::fail(missingOffset);
    if (!r.u32(length)) return Result::fail(missingSize);
    if (offset != expected) return Result::fail(misplaced);
    if (length > size || expected > size - length) return Result::fail(pastEnd);
    spans.push_back({expected, length});
    expected += length;
  }
  return Result::kOk;
}

}  // namespace

ResultCode parseProjectWaveBlock(const std::uint8_t* data, std::size_t size, std::vector<WavInfo>& waves) {
  if (size == 0) return Result::fail(2);
  const std::size_t count = data[0];
  std::vector<RecordSpan> spans;
  ResultCode rc = readRecordTable(data, size, count, 1 + 8 * count, 3, 4, 5, 6, spans);
  if (Result::failed(rc)) return rc;
  std::vector<WavInfo> parsed(count);
  for (std::size_t i = 0; i < count; ++i) {
    rc = parseWaveRecord(data + spans[i].offset, spans[i].size, parsed[i]);
    if (Result::failed(rc)) return Result::nest(8, rc);
  }
  waves = std::move(parsed);
  return Result::kOk;
}

ResultCode parseAwiWaveBlock(const std::uint8_t* data, std::size_t size, WavInfo& wave) {
  if (size == 0) return Result::fail(2);
  if (size < 5) return Result::fail(4);
  if (size < 9) return Result::fail(5);
  BigEndianReader r(data + 5, 4);
  std::uint32_t length = 0;
  r.u32(length);
  if (length > size - 9) return Result::fail(6);
  WavInfo parsed;
  const ResultCode rc = parseWaveRecord(data + 9, length, parsed);
  if (Result::failed(rc)) return Result::nest(8, rc);
  wave = std::move(parsed);
  return Result::kOk;
}

ResultCode parseSectionsBlock(const std::uint8_t* data, std::size_t size,
                              std::array<SecInfo, AllInfo::kSectionCount>& sections) {
  if (size == 0) return Result::fail(2);
  if (data[0] != AllInfo::kSectionCount) return Result::fail(3);
  if (size < 5) return Result::fail(4);
  std::vector<RecordSpan> spans;
  ResultCode rc = readRecordTable(data, size, AllInfo::kSectionCount, kSectionTableSize, 4, 6, 8, 6, spans);
  if (Result::failed(rc)) return rc;
  std::array<SecInfo, AllInfo::kSectionCount> parsed;
  for (int i = 0; i < AllInfo::kSectionCount; ++i) {
    parsed[i] = sections[i];
    rc = parseSectionRecord(data + spans[i].offset, spans[i].size, parsed[i]);
    if (Result::failed(rc)) return Result::nest(11, rc);
  }
  for (int i = 0; i < AllInfo::kSectionCount; ++i) sections[i] = std::move(parsed[i]);
  return Result::kOk;
}

std::uint64_t declaredFileSize(const std::uint8_t* header, std::size_t size) {
  if (size < kHeaderSize) return 0;
  BigEndianReader r(header + 12, 20);
  std::uint32_t waveSize = 0, skip = 0, secSize = 0, comSize = 0;
  r.u32(waveSize);
  r.u32(skip);
  r.u32(secSize);
  r.u32(skip);
  r.u32(comSize);
  return kHeaderSize + std::uint64_t{waveSize} + secSize + comSize;
}

ResultCode parseFile(const std::uint8_t* data, std::size_t size, Kind kind, Content& content) {
  BigEndianReader r(data, size);
  if (!r.tag(kindTag(kind))) return Result::fail(2);
  if (!r.tag(kVersion)) return Result::fail(3);
  std::uint32_t header = 0, waveSize = 0, secOffset = 0, secSize = 0, comOffset = 0, comSize = 0;
  if (!r.u32(header)) return Result::fail(4);
  if (header != kHeaderSize) return Result::fail(5);
  if (!r.u32(waveSize) || !r.u32(secOffset) || !r.u32(secSize) || !r.u32(comOffset) || !r.u32(comSize)) {
    return Result::fail(4);
  }
  // Sizes come from the file: they must fit what the file really holds.
  const std::size_t body = size - kHeaderSize;
  if (waveSize > body || secSize > body - waveSize || comSize > body - waveSize - secSize) {
    return Result::fail(4);
  }
  const std::uint8_t* waveBlock = data + kHeaderSize;
  const std::uint8_t* secBlock = waveBlock + waveSize;
  const std::uint8_t* comBlock = secBlock + secSize;

  Content parsed;
  parsed.sections = content.sections;
  parsed.common = content.common;
  ResultCode rc = Result::kOk;
  if (waveSize > 0) {
    parsed.hasWaves = true;
    if (kind == Kind::Project) {
      rc = parseProjectWaveBlock(waveBlock, waveSize, parsed.waves);
    } else {
      parsed.waves.resize(1);
      rc = parseAwiWaveBlock(waveBlock, waveSize, parsed.waves[0]);
    }
    if (Result::failed(rc)) return Result::nest(7, rc);
  }
  if (secSize > 0) {
    parsed.hasSections = true;
    rc = parseSectionsBlock(secBlock, secSize, parsed.sections);
    if (Result::failed(rc)) return Result::nest(9, rc);
  }
  if (comSize > 0) {
    parsed.hasCommon = true;
    rc = parseCommonBlock(comBlock, comSize, parsed.common);
    if (Result::failed(rc)) return Result::nest(11, rc);
  }
  content = std::move(parsed);
  return Result::kOk;
}

}  // namespace ProjectFileCodec
