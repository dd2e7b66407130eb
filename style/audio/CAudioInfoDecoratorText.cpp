// Reading an analysis info text into the audio style model.

#include <QString>

#include <cstring>

#include "CAudioInfoDecorator.h"
#include "NoThrowAlloc.h"

const InfoKey InfoKeyTable[kInfoKeyCount] = {
    {"$SFormatTag$", InfoKeyId::kSFormatTag},
    {"$OriginalTempo$", InfoKeyId::kOriginalTempo},
    {"$OriginalTimeSignature$", InfoKeyId::kOriginalTimeSignature},
    {"$PPQ$", InfoKeyId::kPpq},
    {"$SampleSize$", InfoKeyId::kSampleSize},
    {"$NumberOfBars$", InfoKeyId::kNumberOfBars},
    {"$SyncroPoint$", InfoKeyId::kSyncroPoint},
    {"$BeatPoint$", InfoKeyId::kBeatPoint},
    {"$OnsetPoint$", InfoKeyId::kOnsetPoint},
    {"$AttackPoint$", InfoKeyId::kAttackPoint},
    {"$TempoInfo$", InfoKeyId::kTempoInfo},
    {"$Volume$", InfoKeyId::kVolume},
};

namespace {

using Text = const std::uint8_t*;
constexpr char kLineFeed = 0x0A;
constexpr char kTab = 0x09;

// 120000 and 12000000 microseconds per quarter note, stored with every
// original tempo.
const std::uint8_t kTempo2[3] = {0x01, 0xD4, 0xC0};
const std::uint8_t kTempo3[3] = {0xB7, 0x1B, 0x00};

// The key of a fixed entry: 3 + 2 cursor at the end, 3 + 3 no '$', 4 a
// missing, unknown or other key.
ResultCode ReadFixedKey(Text text, std::uint64_t length, std::uint64_t& cursor, std::uint8_t expected) {
  std::uint8_t id = InfoKeyId::kUnknown;
  const ResultCode rc = CAudioInfoDecorator::ReadKeyId(text, length, cursor, id);
  if (Result::failed(rc)) return Result::nest(3, rc);
  if (id != expected) return Result::fail(4);
  return Result::kOk;
}

// The line end of an entry as the handler's step `step`.
ResultCode LineEnd(Text text, std::uint64_t length, std::uint64_t& cursor, unsigned step) {
  const ResultCode rc = CAudioInfoDecorator::SkipLine(text, length, cursor);
  return Result::failed(rc) ? Result::nest(step, rc) : Result::kOk;
}

ResultCode Decimal(Text text, std::uint64_t length, std::uint64_t& cursor, std::uint64_t& value, unsigned step) {
  const ResultCode rc = CAudioInfoDecorator::ParseDecimalField(text, length, cursor, value);
  return Result::failed(rc) ? Result::nest(step, rc) : Result::kOk;
}

ResultCode Stored(ResultCode rc, unsigned step) { return Result::failed(rc) ? Result::nest(step, rc) : Result::kOk; }

ResultCode HandleFormatTag(Text text, std::uint64_t length, std::uint64_t& cursor, CAudioStyleWaveFormat* target) {
  if (!text) return Result::fail(1);
  if (!target) return Result::fail(2);
  ResultCode rc = ReadFixedKey(text, length, cursor, InfoKeyId::kSFormatTag);
  if (Result::failed(rc)) return rc;
  std::uint64_t value = 0;
  rc = CAudioInfoDecorator::ParseHexField(text, length, cursor, value);
  if (Result::failed(rc)) return Result::nest(5, rc);
  if (Result::failed(rc = Stored(target->SetFormatTag(static_cast<std::uint16_t>(value)), 6))) return rc;
  return LineEnd(text, length, cursor, 7);
}

ResultCode HandleOriginalTempo(Text text, std::uint64_t length, std::uint64_t& cursor,
                               CAudioStyleWaveFormat* target) {
  if (!text) return Result::fail(1);
  if (!target) return Result::fail(2);
  ResultCode rc = ReadFixedKey(text, length, cursor, InfoKeyId::kOriginalTempo);
  if (Result::failed(rc)) return rc;
  std::uint64_t value = 0;
  if (Result::failed(rc = Decimal(text, length, cursor, value, 5))) return rc;
  const std::uint8_t tempo[3] = {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                                 static_cast<std::uint8_t>(value)};
  if (Result::failed(rc = Stored(target->SetOriginalTempo(tempo, 3), 6))) return rc;
  if (Result::failed(rc = Stored(target->SetTempo2(kTempo2, 3), 7))) return rc;
  if (Result::failed(rc = Stored(target->SetTempo3(kTempo3, 3), 8))) return rc;
  return LineEnd(text, length, cursor, 9);
}

ResultCode HandleTimeSignature(Text text, std::uint64_t length, std::uint64_t& cursor,
                               CAudioStyleWaveFormat* target, CAMixData* mix) {
  if (!text) return Result::fail(1);
  if (!target || !mix) return Result::fail(2);
  ResultCode rc = ReadFixedKey(text, length, cursor, InfoKeyId::kOriginalTimeSignature);
  if (Result::failed(rc)) return rc;
  std::uint8_t bytes[4];
  for (std::uint8_t& b : bytes) {
    std::uint64_t value = 0;
    if (Result::failed(rc = Decimal(text, length, cursor, value, 5))) return rc;
    b = static_cast<std::uint8_t>(value);
  }
  if (Result::failed(rc = Stored(mix->SetTimeSignature(bytes, 4), 6))) return rc;
  if (Result::failed(rc = Stored(target->SetOriginalTimeSignature(bytes, 4), 7))) return rc;
  return LineEnd(text, length, cursor, 9);
}

ResultCode HandlePpq(Text text, std::uint64_t length, std::uint64_t& cursor, CAudioSection* target) {
  if (!text) return Result::fail(1);
  if (!target) return Result::fail(2);
  ResultCode rc = ReadFixedKey(text, length, cursor, InfoKeyId::kPpq);
  if (Result::failed(rc)) return rc;
  std::uint64_t value = 0;
  if (Result::failed(rc = Decimal(text, length, cursor, value, 5))) return rc;
  if (Result::failed(rc = Stored(target->SetResolution(static_cast<std::uint16_t>(value)), 6))) return rc;
  return LineEnd(text, length, cursor, 9);
}

ResultCode HandleSampleSize(Text text, std::uint64_t length, std::uint64_t& cursor, CAudioStyleWaveFormat* target) {
  if (!text) return Result::fail(1);
  if (!target) return Result::fail(2);
  ResultCode rc = ReadFixedKey(text, length, cursor, InfoKeyId::kSampleSize);
  if (Result::failed(rc)) return rc;
  std::uint64_t value = 0;
  if (Result::failed(rc = Decimal(text, length, cursor, value, 5))) return rc;
  if (Result::failed(rc = Stored(target->SetField10(value), 6))) return rc;
  if (Result::failed(rc = Stored(target->SetField11(value), 7))) return rc;
  return LineEnd(text, length, cursor, 8);
}

ResultCode HandleNumberOfBars(Text text, std::uint64_t length, std::uint64_t& cursor,
                              CAudioStyleWaveFormat* target) {
  if (!text) return Result::fail(1);
  if (!target) return Result::fail(2);
  ResultCode rc = ReadFixedKey(text, length, cursor, InfoKeyId::kNumberOfBars);
  if (Result::failed(rc)) return rc;
  std::uint64_t value = 0;
  if (Result::failed(rc = Decimal(text, length, cursor, value, 5))) return rc;
  if (Result::failed(rc = Stored(target->SetNumberOfBars(static_cast<std::uint16_t>(value)), 6))) return rc;
  return LineEnd(text, length, cursor, 7);
}

// The count line of a list entry: key, count, line end.
ResultCode ListHead(Text text, std::uint64_t length, std::uint64_t& cursor, std::uint8_t key, std::uint64_t& count) {
  ResultCode rc = ReadFixedKey(text, length, cursor, key);
  if (Result::failed(rc)) return rc;
  if (Result::failed(rc = Decimal(text, length, cursor, count, 5))) return rc;
  return LineEnd(text, length, cursor, 6);
}

ResultCode HandleSyncroPoints(Text text, std::uint64_t length, std::uint64_t& cursor,
                              CAudioStyleWaveFormat* target) {
  if (!text) return Result::fail(1);
  if (!target) return Result::fail(2);
  std::uint64_t count = 0;
  ResultCode rc = ListHead(text, length, cursor, InfoKeyId::kSyncroPoint, count);
  if (Result::failed(rc)) return rc;
  if (Result::failed(rc = Stored(target->ClearSyncroPoints(), 7))) return rc;
  return Stored(CAudioInfoDecorator::ParseSyncroPointLines(text, length, cursor, count, target->GetSyncroPointList()),
                8);
}

ResultCode HandlePoints(Text text, std::uint64_t length, std::uint64_t& cursor, std::uint8_t key,
                        AudioPointList* target) {
  if (!text) return Result::fail(1);
  if (!target) return Result::fail(2);
  std::uint64_t count = 0;
  ResultCode rc = ListHead(text, length, cursor, key, count);
  if (Result::failed(rc)) return rc;
  if (Result::failed(rc = Stored(CAudioWaveInfo::ClearPointList(*target), 7))) return rc;
  return Stored(CAudioInfoDecorator::ParsePointLines(text, length, cursor, count, *target), 8);
}

ResultCode HandleTempos(Text text, std::uint64_t length, std::uint64_t& cursor, CAudioWaveInfo* target) {
  if (!text) return Result::fail(1);
  if (!target) return Result::fail(2);
  std::uint64_t count = 0;
  ResultCode rc = ListHead(text, length, cursor, InfoKeyId::kTempoInfo, count);
  if (Result::failed(rc)) return rc;
  if (Result::failed(rc = Stored(target->ClearTempos(), 7))) return rc;
  return Stored(CAudioInfoDecorator::ParseTempoLines(text, length, cursor, count, target->GetTempoList()), 8);
}

// The optional last entry; anything but a "$Volume$" key leaves volume 80.
ResultCode HandleVolume(Text text, std::uint64_t length, std::uint64_t& cursor, CAudioWaveInfo* target) {
  if (!text) return Result::fail(1);
  if (!target) return Result::fail(2);
  if (cursor >= length) return target->SetVolume(CAudioWaveInfo::kDefaultVolume);
  if (text[cursor] != '$') return Result::nest(3, Result::fail(3));
  std::uint8_t id = InfoKeyId::kUnknown;
  CAudioInfoDecorator::ReadKeyId(text, length, cursor, id);
  if (id != InfoKeyId::kVolume) return target->SetVolume(CAudioWaveInfo::kDefaultVolume);
  std::uint64_t value = 0;
  ResultCode rc = CAudioInfoDecorator::ParseDecimalField(text, length, cursor, value);
  if (Result::failed(rc)) return Result::nest(4, rc);
  if (Result::failed(rc = LineEnd(text, length, cursor, 5))) return rc;
  return target->SetVolume(static_cast<std::uint8_t>(value));
}

// The field text between the comma at the cursor and the next comma; the
// cursor is left on that comma. `closed` is false when the text ends first.
ResultCode FieldText(Text text, std::uint64_t length, std::uint64_t& cursor, QString& field, bool& closed) {
  field.clear();
  closed = false;
  if (!text) return Result::fail(1);
  if (cursor >= length) return Result::fail(2);
  if (text[cursor] != ',') return Result::fail(3);
  const std::uint64_t start = cursor + 1;
  const void* comma = std::memchr(text + start, ',', static_cast<std::size_t>(length - start));
  if (!comma) {
    cursor = length;
    return Result::kOk;
  }
  const std::uint64_t end = static_cast<std::uint64_t>(static_cast<Text>(comma) - text);
  field = QString::fromLatin1(reinterpret_cast<const char*>(text + start), static_cast<int>(end - start));
  cursor = end;
  closed = true;
  return Result::kOk;
}

// One line of `fields` decimal values after any TABs; field k fails with
// firstStep + 2k, its setter with firstStep + 2k + 1 (the setter takes the
// values read so far).
template <typename Record, typename Setter>
ResultCode ParseLine(Text text, std::uint64_t length, std::uint64_t& cursor, Record* record, int fields,
                     unsigned firstStep, Setter set) {
  CAudioInfoDecorator::SkipTabs(text, length, cursor);
  for (int k = 0; k < fields; ++k) {
    std::uint64_t value = 0;
    ResultCode rc = CAudioInfoDecorator::ParseDecimalField(text, length, cursor, value);
    if (Result::failed(rc)) return Result::nest(firstStep + 2 * k, rc);
    rc = set(record, k, value);
    if (Result::failed(rc)) return Result::nest(firstStep + 2 * k + 1, rc);
  }
  return Result::kOk;
}

// The list-line loop shared by the three list parsers.
template <typename Record, typename Setter>
ResultCode ParseLines(Text text, std::uint64_t length, std::uint64_t& cursor, std::uint64_t count,
                      std::vector<Record*>& list, int fields, unsigned noMemoryStep, unsigned lineEndStep,
                      Setter set) {
  if (!text) return Result::fail(1);
  for (Record* r : list) delete r;
  list.clear();
  for (std::uint64_t i = 0; i < count; ++i) {
    Record* record = NoThrowAlloc::TryNew<Record>();
    if (!record) return Result::fail(noMemoryStep);
    ResultCode rc = ParseLine(text, length, cursor, record, fields, 4, set);
    if (Result::succeeded(rc) && cursor >= length) rc = Result::nest(lineEndStep, Result::fail(2));
    if (Result::failed(rc)) {
      delete record;
      return rc;
    }
    CAudioInfoDecorator::SkipLine(text, length, cursor);
    list.push_back(record);
  }
  return Result::kOk;
}

}  // namespace

// ------------------------------------------------------------------ scanning

ResultCode CAudioInfoDecorator::ReadKeyId(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                                          std::uint8_t& id) {
  id = InfoKeyId::kUnknown;
  if (!text) return Result::fail(1);
  if (cursor >= length) return Result::fail(2);
  if (text[cursor] != '$') return Result::fail(3);
  const void* close = std::memchr(text + cursor + 1, '$', static_cast<std::size_t>(length - cursor - 1));
  if (!close) {
    cursor = length;
    return Result::kOk;
  }
  const std::uint64_t end = static_cast<std::uint64_t>(static_cast<Text>(close) - text) + 1;
  const std::uint64_t keyLength = end - cursor;
  for (const InfoKey& key : InfoKeyTable) {
    if (std::strlen(key.text) == keyLength && std::memcmp(key.text, text + cursor, keyLength) == 0) {
      id = key.id;
      break;
    }
  }
  cursor = end;
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::ParseDecimalField(const std::uint8_t* text, std::uint64_t length,
                                                  std::uint64_t& cursor, std::uint64_t& value) {
  value = 0;
  QString field;
  bool closed = false;
  const ResultCode rc = FieldText(text, length, cursor, field, closed);
  if (Result::failed(rc) || !closed || field.isEmpty()) return rc;
  bool ok = false;
  const unsigned long v = field.toULong(&ok, 10);
  if (!ok) return Result::fail(4);
  value = v;
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::ParseHexField(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                                              std::uint64_t& value) {
  value = 0;
  QString field;
  bool closed = false;
  const ResultCode rc = FieldText(text, length, cursor, field, closed);
  if (Result::failed(rc) || !closed || field.size() < 3 || !field.startsWith(QLatin1String("0x"))) return rc;
  bool ok = false;
  const unsigned long v = field.mid(2).toULong(&ok, 16);
  if (!ok) return Result::fail(4);
  value = v;
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::SkipLine(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor) {
  if (!text) return Result::fail(1);
  if (cursor >= length) return Result::fail(2);
  const void* lineFeed = std::memchr(text + cursor, kLineFeed, static_cast<std::size_t>(length - cursor));
  cursor = lineFeed ? static_cast<std::uint64_t>(static_cast<Text>(lineFeed) - text) + 1 : length;
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::SkipTabs(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor) {
  if (!text) return Result::fail(1);
  while (cursor < length && text[cursor] == kTab) ++cursor;
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::ParseSyncroPointLines(const std::uint8_t* text, std::uint64_t length,
                                                      std::uint64_t& cursor, std::uint64_t count,
                                                      SyncroPointList& list) {
  return ParseLines(text, length, cursor, count, list, 3, 11, 10, [](CSyncroPoint* p, int k, std::uint64_t v) {
    if (k == 0) return p->SetPosition(v);
    if (k == 1) return p->SetIndex(static_cast<std::uint16_t>(v));
    return p->SetPackedTime(static_cast<std::uint32_t>(v));
  });
}

ResultCode CAudioInfoDecorator::ParsePointLines(const std::uint8_t* text, std::uint64_t length,
                                                std::uint64_t& cursor, std::uint64_t count, AudioPointList& list) {
  return ParseLines(text, length, cursor, count, list, 3, 11, 10, [](CAudioPoint* p, int k, std::uint64_t v) {
    if (k == 0) return p->SetPosition(v);
    if (k == 1) return p->SetBeatIndex(static_cast<std::uint16_t>(v));
    return p->SetTickOffset(static_cast<std::uint16_t>(v));
  });
}

ResultCode CAudioInfoDecorator::ParseTempoLines(const std::uint8_t* text, std::uint64_t length,
                                                std::uint64_t& cursor, std::uint64_t count, AudioTempoList& list) {
  return ParseLines(text, length, cursor, count, list, 2, 9, 8, [](CAudioTempo* t, int k, std::uint64_t v) {
    if (k == 0) return t->SetPosition(v);
    const std::uint8_t tempo[3] = {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v)};
    return t->SetTempo(tempo, 3);
  });
}

ResultCode CAudioInfoDecorator::SkipListLines(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                                              std::uint64_t count) {
  if (!text) return Result::fail(1);
  for (std::uint64_t i = 0; i < count; ++i) {
    SkipTabs(text, length, cursor);
    for (unsigned k = 0; k < 3; ++k) {
      std::uint64_t value = 0;
      const ResultCode rc = ParseDecimalField(text, length, cursor, value);
      if (Result::failed(rc)) return Result::nest(3 + k, rc);
    }
    if (cursor >= length) return Result::nest(6, Result::fail(2));
    SkipLine(text, length, cursor);
  }
  return Result::kOk;
}

// ------------------------------------------------------------------ entries

ResultCode CAudioInfoDecorator::ParseInfoText(const std::uint8_t* text, std::uint64_t length,
                                              CAudioSection* section, CAudioFile* file, std::uint8_t* volume,
                                              std::uint8_t pan, std::uint8_t effectDepth) {
  if (!text || length == 0) return Result::fail(1);
  if (!section || !file) return Result::fail(2);
  CAMixData* mix = section->GetMixData();
  CAudioWaveForm* waveForm = file->GetWaveForm();
  CAudioStyleWaveFormat* styleFormat = waveForm ? waveForm->GetStyleWaveFormat() : nullptr;
  CAudioWaveInfo* info = waveForm ? waveForm->GetWaveInfo() : nullptr;

  std::uint64_t cursor = 0;
  ResultCode rc = 0;
  if (Result::failed(rc = HandleFormatTag(text, length, cursor, styleFormat))) return Result::nest(3, rc);
  if (Result::failed(rc = HandleOriginalTempo(text, length, cursor, styleFormat))) return Result::nest(4, rc);
  if (Result::failed(rc = HandleTimeSignature(text, length, cursor, styleFormat, mix))) return Result::nest(5, rc);
  if (Result::failed(rc = HandlePpq(text, length, cursor, section))) return Result::nest(6, rc);
  if (Result::failed(rc = HandleSampleSize(text, length, cursor, styleFormat))) return Result::nest(7, rc);
  if (Result::failed(rc = HandleNumberOfBars(text, length, cursor, styleFormat))) return Result::nest(8, rc);
  if (Result::failed(rc = HandleSyncroPoints(text, length, cursor, styleFormat))) return Result::nest(9, rc);
  rc = HandlePoints(text, length, cursor, InfoKeyId::kBeatPoint, info ? &info->GetBeatPointList() : nullptr);
  if (Result::failed(rc)) return Result::nest(10, rc);
  rc = HandlePoints(text, length, cursor, InfoKeyId::kOnsetPoint, info ? &info->GetOnsetPointList() : nullptr);
  if (Result::failed(rc)) return Result::nest(11, rc);
  rc = HandlePoints(text, length, cursor, InfoKeyId::kAttackPoint, info ? &info->GetAttackPointList() : nullptr);
  if (Result::failed(rc)) return Result::nest(12, rc);
  if (Result::failed(rc = HandleTempos(text, length, cursor, info))) return Result::nest(13, rc);
  if (Result::failed(rc = HandleVolume(text, length, cursor, info))) return Result::nest(14, rc);

  std::uint8_t readVolume = CAudioWaveInfo::kDefaultVolume;
  info->GetVolume(readVolume);
  if (volume) *volume = readVolume;
  if (!mix) return Result::nest(15, Result::fail(1));
  if (Result::failed(rc = ApplyMix(mix, readVolume, pan, effectDepth))) return Result::nest(15, rc);
  if (Result::failed(rc = mix->EnsureEndOfTrack())) return Result::nest(15, rc);
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::UpdatePoints2(const std::uint8_t* text, std::uint64_t length,
                                              const std::uint64_t* a, const std::uint64_t* b,
                                              std::int64_t number) {
  if (!text || length == 0) return Result::fail(1);
  if (!a || !b || *a == 0 || *b == 0) return Result::fail(2);
  if (number < 0) return Result::fail(3);
  CAudioFile* file = FindFileBySection(number);
  if (!file) return Result::fail(4);
  const ResultCode rc = ReadPoints2(text, length, file);
  return Result::failed(rc) ? Result::nest(5, rc) : Result::kOk;
}

namespace {

// Any key: 2 + 2 cursor at the end, 2 + 3 no '$'.
ResultCode SkipAnyKey(Text text, std::uint64_t length, std::uint64_t& cursor) {
  std::uint8_t id = InfoKeyId::kUnknown;
  const ResultCode rc = CAudioInfoDecorator::ReadKeyId(text, length, cursor, id);
  return Result::failed(rc) ? Result::nest(2, rc) : Result::kOk;
}

// Any key, one hexadecimal field, the line end.
ResultCode SkipKeyLine(Text text, std::uint64_t length, std::uint64_t& cursor) {
  ResultCode rc = SkipAnyKey(text, length, cursor);
  if (Result::failed(rc)) return rc;
  std::uint64_t value = 0;
  if (Result::failed(rc = CAudioInfoDecorator::ParseHexField(text, length, cursor, value))) {
    return Result::nest(3, rc);
  }
  return LineEnd(text, length, cursor, 4);
}

// Any key, a count, the line end and that many list lines.
ResultCode SkipListEntry(Text text, std::uint64_t length, std::uint64_t& cursor) {
  ResultCode rc = SkipAnyKey(text, length, cursor);
  if (Result::failed(rc)) return rc;
  std::uint64_t count = 0;
  if (Result::failed(rc = Decimal(text, length, cursor, count, 3))) return rc;
  if (Result::failed(rc = LineEnd(text, length, cursor, 4))) return rc;
  return Stored(CAudioInfoDecorator::SkipListLines(text, length, cursor, count), 5);
}

}  // namespace

ResultCode CAudioInfoDecorator::ReadPoints2(const std::uint8_t* text, std::uint64_t length, CAudioFile* file) {
  if (!text || length == 0) return Result::fail(1);
  if (!file) return Result::fail(2);
  std::uint64_t cursor = 0;
  ResultCode rc = 0;
  for (unsigned line = 0; line < 6; ++line) {
    if (Result::failed(rc = SkipKeyLine(text, length, cursor))) return Result::nest(3 + line, rc);
  }
  for (unsigned entry = 0; entry < 2; ++entry) {
    if (Result::failed(rc = SkipListEntry(text, length, cursor))) return Result::nest(9 + entry, rc);
  }
  CAudioWaveForm* waveForm = file->GetWaveForm();
  CAudioWaveInfo* info = waveForm ? waveForm->GetWaveInfo() : nullptr;
  rc = HandlePoints(text, length, cursor, InfoKeyId::kOnsetPoint, info ? &info->GetPoints2List() : nullptr);
  return Result::failed(rc) ? Result::nest(12, rc) : Result::kOk;
}
