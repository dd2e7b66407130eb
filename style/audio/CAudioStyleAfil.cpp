// The AFil chunk tree: AFil > ADSg > ANdc, AWav > Afmt, Sfmt (SPnt, Sdec),
// Adat, AInf (BPnt, OPnt, APnt, ATmp, APt2).

#include <QFileInfo>
#include <QString>

#include "CAudioStyle.h"
#include "ChunkFraming.h"
#include "NoThrowAlloc.h"

namespace {

constexpr std::uint8_t kPoints2Version = 4;

// Room reserved for an AFil chunk beyond its recordings' bytes (framing,
// formats, names, point lists), and the most reserved in advance: only a
// hint, which a file's real contents may exceed.
constexpr std::uint64_t kAfilFramingRoom = 1 << 16;
constexpr std::uint64_t kMaxReservedAfilBytes = std::uint64_t{1} << 31;

// About how many bytes a recording's Adat body will take: its bytes in
// memory or in its ".dat" file, else the size of its WAV file.
std::uint64_t ExpectedWaveBytes(const CAudioWaveData* data) {
  if (!data) return 0;
  std::uint64_t size = 0;
  if (Result::succeeded(data->GetMemorySize(size)) && size > 0) return size;
  if (Result::succeeded(data->GetTempFileSize(size)) && size > 0) return size;
  std::string path;
  if (Result::failed(data->GetFilePath(path)) || path.empty()) return 0;
  const qint64 fileSize = QFileInfo(QString::fromUtf8(path.c_str(), static_cast<int>(path.size()))).size();
  return fileSize > 0 ? static_cast<std::uint64_t>(fileSize) : 0;
}

// Reads the body length after a chunk id and checks that the body lies
// within `size`. `pastStep` is the reader's code for a body that does not.
ResultCode BodyLength(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, std::uint64_t& length,
                      unsigned pastStep) {
  const ResultCode rc = CChunkBase::ReadU32BE(buf, size, pos, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (!CChunkBase::Fits(size, pos, length)) return Result::fail(pastStep);
  return Result::kOk;
}

// The list a point chunk code stands for, or null.
AudioPointList* PointList(CAudioWaveInfo* info, std::uint8_t kind) {
  switch (kind) {
    case ChunkCode::kBPnt: return &info->GetBeatPointList();
    case ChunkCode::kOPnt: return &info->GetOnsetPointList();
    case ChunkCode::kAPnt: return &info->GetAttackPointList();
    case ChunkCode::kAPt2: return &info->GetPoints2List();
    default: return nullptr;
  }
}

// The records of a list chunk, each appended before its fields are read;
// every field is bounded by the chunk. `readRecord` returns the record
// reader's code.
template <typename Record, typename ReadRecord>
ResultCode ReadRecords(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, std::vector<Record*>& list,
                       ReadRecord readRecord) {
  std::uint64_t length = 0;
  ResultCode rc = BodyLength(buf, size, pos, length, 3);
  if (Result::failed(rc)) return rc;
  const std::uint64_t end = pos + length;
  while (pos < end) {
    Record* record = NoThrowAlloc::TryNew<Record>();
    if (!record) return Result::fail(4);
    if (Result::failed(rc = record->Reset())) {
      delete record;
      return Result::nest(5, rc);
    }
    list.push_back(record);
    if (Result::failed(rc = readRecord(buf, end, pos, record))) return Result::nest(6, rc);
  }
  return Result::kOk;
}

// A list chunk of records written with `writeRecord`.
template <typename Record, typename WriteRecord>
ResultCode WriteRecords(std::vector<std::uint8_t>& out, std::uint8_t code, const std::vector<Record*>& list,
                        WriteRecord writeRecord) {
  std::vector<std::uint8_t> chunk;
  ResultCode rc = ChunkFraming::Begin(chunk, code);
  if (Result::failed(rc)) return rc;
  for (const Record* r : list) {
    rc = r ? writeRecord(chunk, r) : Result::fail(1);
    if (Result::failed(rc)) return Result::nest(4, rc);
  }
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

}  // namespace

// ------------------------------------------------------------------ readers

ResultCode CAudioStyle::ReadAfilChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      AudioFileList& files) {
  if (!buf) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = BodyLength(buf, size, pos, length, 6);
  if (Result::failed(rc)) return rc;
  const std::uint64_t end = pos + length;
  while (pos < end) {
    std::uint8_t code = ChunkCode::kNone;
    if (Result::failed(rc = ReadChunkId(buf, end, pos, code))) return Result::nest(3, rc);
    if (code != ChunkCode::kADSg) {
      pos = end;
      return Result::fail(5);
    }
    if (Result::failed(rc = ReadAdsgChunk(buf, end, pos, files))) return Result::nest(4, rc);
  }
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAdsgChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      AudioFileList& files) {
  if (!buf) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = BodyLength(buf, size, pos, length, 10);
  if (Result::failed(rc)) return rc;
  if (length == 0) return Result::fail(3);
  const std::uint64_t end = pos + length;
  CAudioFile* file = NoThrowAlloc::TryNew<CAudioFile>();
  if (!file) return Result::fail(4);
  if (Result::failed(rc = file->Clear())) {
    delete file;
    return Result::nest(5, rc);
  }
  files.push_back(file);
  while (pos < end) {
    std::uint8_t code = ChunkCode::kNone;
    if (Result::failed(rc = ReadChunkId(buf, end, pos, code))) return Result::nest(6, rc);
    if (code == ChunkCode::kAWav) {
      if (Result::failed(rc = ReadAwavChunk(buf, end, pos, file))) return Result::nest(8, rc);
    } else if (code == ChunkCode::kANdc) {
      if (Result::failed(rc = ReadAndcChunk(buf, end, pos, file))) return Result::nest(7, rc);
    } else {
      pos = end;
      return Result::fail(9);
    }
  }
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAndcChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioFile* file) {
  if (!buf || !file) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadBodyLength(buf, size, pos, length);
  if (Result::failed(rc)) return rc;
  if (Result::failed(rc = file->SetNameRecord(buf + pos, length))) return Result::nest(5, rc);
  pos += length;
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAwavChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioFile* file) {
  if (!buf || !file) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = BodyLength(buf, size, pos, length, 13);
  if (Result::failed(rc)) return rc;
  if (length == 0) return Result::fail(3);
  const std::uint64_t end = pos + length;
  CAudioWaveForm* wave = NoThrowAlloc::TryNew<CAudioWaveForm>();
  if (!wave) return Result::fail(4);
  if (Result::failed(rc = wave->Clear())) {
    delete wave;
    return Result::nest(5, rc);
  }
  file->SetWaveForm(wave);  // deletes the wave form of an earlier AWav
  if (!Fits(end, pos, 4)) return Result::nest(6, Result::fail(2));
  if (Result::failed(rc = wave->SetType(buf + pos, 4))) return Result::nest(6, Result::nest(3, rc));
  pos += 4;
  while (pos < end) {
    std::uint8_t code = ChunkCode::kNone;
    if (Result::failed(rc = ReadChunkId(buf, end, pos, code))) return Result::nest(7, rc);
    switch (code) {
      case ChunkCode::kAfmt:
        if (Result::failed(rc = ReadAfmtChunk(buf, end, pos, wave))) return Result::nest(8, rc);
        break;
      case ChunkCode::kSfmt:
        if (Result::failed(rc = ReadSfmtChunk(buf, end, pos, wave))) return Result::nest(9, rc);
        break;
      case ChunkCode::kAdat:
        if (Result::failed(rc = ReadAdatChunk(buf, end, pos, wave))) return Result::nest(10, rc);
        break;
      case ChunkCode::kAInf:
        if (Result::failed(rc = ReadAinfChunk(buf, end, pos, wave))) return Result::nest(11, rc);
        break;
      default:
        pos = end;
        return Result::fail(12);
    }
  }
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAfmtChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioWaveForm* wave) {
  if (!buf || !wave) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadBodyLength(buf, size, pos, length);
  if (Result::failed(rc)) return rc;
  const std::uint64_t end = pos + length;
  CAudioWaveFormat* format = NoThrowAlloc::TryNew<CAudioWaveFormat>();
  if (!format) return Result::fail(5);
  if (Result::failed(rc = format->SetDefault())) {
    delete format;
    return Result::nest(6, rc);
  }
  wave->SetWaveFormat(format);
  for (unsigned f = 0; f < 6; ++f) {
    if (Result::failed(rc = ReadAfmtField(buf, end, pos, format, f))) return Result::nest(7, Result::nest(2 + f, rc));
  }
  // Bytes another producer added behind the 16 format bytes belong to
  // this chunk, not to the next one.
  pos = end;
  return Result::kOk;
}

ResultCode CAudioStyle::ReadSfmtChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioWaveForm* wave) {
  if (!buf || !wave) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = BodyLength(buf, size, pos, length, 14);
  if (Result::failed(rc)) return rc;
  if (length == 0) return Result::fail(3);
  const std::uint64_t end = pos + length;
  CAudioStyleWaveFormat* format = NoThrowAlloc::TryNew<CAudioStyleWaveFormat>();
  if (!format) return Result::fail(5);
  if (Result::failed(rc = format->Clear())) {
    delete format;
    return Result::nest(6, rc);
  }
  wave->SetStyleWaveFormat(format);
  for (unsigned f = 0; f < 11; ++f) {
    if (Result::failed(rc = ReadSfmtField(buf, end, pos, format, f))) return Result::nest(7, Result::nest(2 + f, rc));
  }
  CSection* section = NoThrowAlloc::TryNew<CSection>();
  if (!section) return Result::fail(8);
  if (Result::failed(rc = section->Clear())) {
    delete section;
    return Result::nest(9, rc);
  }
  format->SetSection(section);
  while (pos < end) {
    std::uint8_t code = ChunkCode::kNone;
    if (Result::failed(rc = ReadChunkId(buf, end, pos, code))) return Result::nest(10, rc);
    if (code == ChunkCode::kSdec) {
      if (Result::failed(rc = ReadSdecChunk(buf, end, pos, section))) return Result::nest(12, rc);
    } else if (code == ChunkCode::kSPnt) {
      if (Result::failed(rc = ReadSpntChunk(buf, end, pos, format))) return Result::nest(11, rc);
    } else {
      pos = end;
      return Result::fail(13);
    }
  }
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAdatChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioWaveForm* wave) {
  if (!buf || !wave) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = CChunkBase::ReadU32BE(buf, size, pos, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (length == 0) return Result::fail(3);
  CAudioWaveData* data = NoThrowAlloc::TryNew<CAudioWaveData>();
  if (!data) return Result::fail(5);
  if (Result::failed(rc = data->Clear())) {
    delete data;
    return Result::nest(6, rc);
  }
  wave->SetWaveData(data);
  if (!Fits(size, pos, length)) return Result::nest(7, Result::fail(2));
  if (length > kMaxInMemoryWaveBytes) {
    if (Result::failed(rc = data->SetBytesToTempFile(buf + pos, length))) {
      return Result::nest(7, Result::nest(5, rc));
    }
  } else if (Result::failed(rc = data->SetBytes(buf + pos, length))) {
    return Result::nest(7, Result::nest(4, rc));
  }
  pos += length;
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAinfChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioWaveForm* wave) {
  if (!buf || !wave) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = BodyLength(buf, size, pos, length, 10);
  if (Result::failed(rc)) return rc;
  if (length == 0) return Result::fail(3);
  const std::uint64_t end = pos + length;
  CAudioWaveInfo* info = NoThrowAlloc::TryNew<CAudioWaveInfo>();
  if (!info) return Result::fail(5);
  if (Result::failed(rc = info->Clear())) {
    delete info;
    return Result::nest(6, rc);
  }
  wave->SetWaveInfo(info);
  while (pos < end) {
    std::uint8_t code = ChunkCode::kNone;
    if (Result::failed(rc = ReadChunkId(buf, end, pos, code))) return Result::nest(7, rc);
    switch (code) {
      case ChunkCode::kBPnt:
        if (Result::failed(rc = ReadPointListChunk(buf, end, pos, info, code))) return Result::nest(8, rc);
        break;
      case ChunkCode::kOPnt:
      case ChunkCode::kAPnt:
      case ChunkCode::kAPt2:
        if (Result::failed(rc = ReadPointListChunk(buf, end, pos, info, code))) return Result::nest(9, rc);
        break;
      case ChunkCode::kATmp:
        if (Result::failed(rc = ReadTempoListChunk(buf, end, pos, info))) return Result::nest(9, rc);
        break;
      default:
        pos = end;
        return Result::fail(9);
    }
  }
  return Result::kOk;
}

ResultCode CAudioStyle::ReadSpntChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioStyleWaveFormat* format) {
  if (!buf || !format) return Result::fail(1);
  return ReadRecords(buf, size, pos, format->GetSyncroPointList(),
                     [](const std::uint8_t* b, std::uint64_t end, std::uint64_t& p, CSyncroPoint* point) {
                       for (unsigned f = 0; f < 5; ++f) {
                         const ResultCode rc = ReadSyncroPointField(b, end, p, point, f);
                         if (Result::failed(rc)) return Result::nest(2 + f, rc);
                       }
                       return Result::kOk;
                     });
}

ResultCode CAudioStyle::ReadPointListChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                           CAudioWaveInfo* info, std::uint8_t kind) {
  if (!buf || !info) return Result::fail(1);
  AudioPointList* list = PointList(info, kind);
  if (!list) return Result::fail(1);
  return ReadRecords(buf, size, pos, *list,
                     [](const std::uint8_t* b, std::uint64_t end, std::uint64_t& p, CAudioPoint* point) {
                       for (unsigned f = 0; f < 3; ++f) {
                         const ResultCode rc = ReadAudioPointField(b, end, p, point, f);
                         if (Result::failed(rc)) return Result::nest(2 + f, rc);
                       }
                       return Result::kOk;
                     });
}

ResultCode CAudioStyle::ReadTempoListChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                           CAudioWaveInfo* info) {
  if (!buf || !info) return Result::fail(1);
  return ReadRecords(buf, size, pos, info->GetTempoList(),
                     [](const std::uint8_t* b, std::uint64_t end, std::uint64_t& p, CAudioTempo* tempo) {
                       for (unsigned f = 0; f < 2; ++f) {
                         const ResultCode rc = ReadTempoField(b, end, p, tempo, f);
                         if (Result::failed(rc)) return Result::nest(2, rc);
                       }
                       return Result::kOk;
                     });
}

// ------------------------------------------------------------------ writers

ResultCode CAudioStyle::WriteAfilChunk(std::vector<std::uint8_t>& out, const AudioFileList& files) {
  waveReadFailed_ = false;
  unreadableWavePath_.clear();
  if (files.empty()) return Result::kOk;
  // The recordings make up nearly all of the chunk: room for them at once
  // spares the copies and fresh pages of a vector grown step by step.
  std::uint64_t expected = 0;
  for (const CAudioFile* f : files) {
    if (f && f->GetWaveForm()) expected += ExpectedWaveBytes(f->GetWaveForm()->GetWaveData());
  }
  if (expected > 0 && expected < kMaxReservedAfilBytes) out.reserve(out.size() + expected + kAfilFramingRoom);
  ChunkFraming::InPlace chunk(out);
  ResultCode rc = chunk.Begin(ChunkCode::kAFil);
  if (Result::failed(rc)) return rc;
  for (CAudioFile* f : files) {
    if (!f) continue;
    if (Result::failed(rc = WriteAdsgChunk(out, f))) return Result::nest(4, rc);
  }
  chunk.Finish();
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAdsgChunk(std::vector<std::uint8_t>& out, CAudioFile* file) {
  if (!file) return Result::fail(1);
  ChunkFraming::InPlace chunk(out);
  ResultCode rc = chunk.Begin(ChunkCode::kADSg);
  if (Result::failed(rc)) return rc;
  if (Result::failed(rc = WriteAndcChunk(out, file))) return Result::nest(3, rc);
  RefreshWaveFormat(file->GetWaveForm());  // an unreadable WAV keeps the model's format
  if (Result::failed(rc = WriteAwavChunk(out, file->GetWaveForm()))) return Result::nest(4, rc);
  chunk.Finish();
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAndcChunk(std::vector<std::uint8_t>& out, const CAudioFile* file) {
  if (!file) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = ChunkFraming::Begin(chunk, ChunkCode::kANdc);
  if (Result::failed(rc)) return rc;
  std::uint8_t record[CAudioFile::kNameRecordSize] = {};
  std::uint64_t n = sizeof record;
  if (Result::failed(rc = file->GetNameRecord(record, n))) return Result::nest(4, rc);
  chunk.insert(chunk.end(), record, record + sizeof record);
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAwavChunk(std::vector<std::uint8_t>& out, const CAudioWaveForm* wave) {
  if (!wave) return Result::fail(1);
  ChunkFraming::InPlace chunk(out);
  ResultCode rc = chunk.Begin(ChunkCode::kAWav);
  if (Result::failed(rc)) return rc;
  std::uint8_t type[4];
  std::uint64_t n = sizeof type;
  if (Result::failed(rc = wave->GetType(type, n)) || n != sizeof type) return Result::nest(4, rc);
  out.insert(out.end(), type, type + sizeof type);
  if (Result::failed(rc = WriteAfmtChunk(out, wave->GetWaveFormat()))) return Result::nest(5, rc);
  if (Result::failed(rc = WriteSfmtChunk(out, wave->GetStyleWaveFormat()))) return Result::nest(6, rc);
  if (Result::failed(rc = WriteAdatChunk(out, wave->GetWaveData()))) return Result::nest(7, rc);
  if (Result::failed(rc = WriteAinfChunk(out, wave->GetWaveInfo()))) return Result::nest(8, rc);
  chunk.Finish();
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAfmtChunk(std::vector<std::uint8_t>& out, const CAudioWaveFormat* format) {
  if (!format) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = ChunkFraming::Begin(chunk, ChunkCode::kAfmt);
  if (Result::failed(rc)) return rc;
  for (unsigned f = 0; f < 6; ++f) {
    if (Result::failed(rc = WriteAfmtField(chunk, format, f))) return Result::nest(4, Result::nest(2 + f, rc));
  }
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteSfmtChunk(std::vector<std::uint8_t>& out, const CAudioStyleWaveFormat* format) {
  if (!format) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = ChunkFraming::Begin(chunk, ChunkCode::kSfmt);
  if (Result::failed(rc)) return rc;
  std::vector<std::uint8_t> a, b, c;
  for (unsigned f = 0; f < 11; ++f) {
    if (Result::failed(rc = WriteSfmtField(a, format, f))) return Result::nest(4, Result::nest(2 + f, rc));
  }
  if (Result::failed(rc = WriteSpntChunk(b, format->GetSyncroPointList()))) return Result::nest(5, rc);
  const CSection* section = format->GetSection();
  std::vector<std::uint8_t> names;
  if (section && Result::failed(rc = section->GetNamesText(names))) return Result::nest(6, rc);
  // An empty Sdec would not read back; a recording without names has none.
  if (!section || !names.empty()) {
    if (Result::failed(rc = WriteSdecChunk(c, section))) return Result::nest(6, rc);
  }
  for (const auto* part : {&a, &b, &c}) ChunkFraming::Append(chunk, *part);
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

ResultCode CAudioStyle::CollectWaveBytes(const CAudioWaveData* data, std::vector<std::uint8_t>& bytes) {
  const std::size_t start = bytes.size();
  std::uint64_t size = 0;
  ResultCode rc = 0;
  data->GetMemorySize(size);
  if (size > 0) {
    bytes.resize(start + size);
    if (Result::failed(rc = data->GetMemoryBytes(bytes.data() + start, size))) {
      bytes.resize(start);
      return Result::nest(3, rc);
    }
    return Result::kOk;
  }
  if (Result::succeeded(data->GetTempFileSize(size)) && size > 0) {
    bytes.resize(start + size);
    if (Result::failed(rc = data->ReadTempFile(bytes.data() + start, size))) {
      bytes.resize(start);
      return Result::nest(4, rc);
    }
    return Result::kOk;
  }
  std::string path;
  data->GetFilePath(path);
  if (path.empty()) {
    waveReadFailed_ = true;
    unreadableWavePath_.clear();
    return Result::fail(5);
  }
  if (Result::failed(rc = ReadWaveFile(bytes, path))) return Result::nest(6, rc);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAdatChunk(std::vector<std::uint8_t>& out, const CAudioWaveData* data) {
  if (!data) return Result::fail(1);
  ChunkFraming::InPlace chunk(out);
  ResultCode rc = chunk.Begin(ChunkCode::kAdat);
  if (Result::failed(rc)) return rc;
  try {
    rc = CollectWaveBytes(data, out);
  } catch (const std::bad_alloc&) {
    rc = Result::fail(2);
  }
  if (Result::failed(rc)) return Result::nest(4, rc);
  chunk.Finish();
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAinfChunk(std::vector<std::uint8_t>& out, const CAudioWaveInfo* info) {
  if (!info) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = ChunkFraming::Begin(chunk, ChunkCode::kAInf);
  if (Result::failed(rc)) return rc;
  std::vector<std::uint8_t> beats, onsets, attacks, tempos, points2;
  if (Result::failed(rc = WritePointListChunk(beats, info->GetBeatPointList(), ChunkCode::kBPnt))) {
    return Result::nest(4, rc);
  }
  if (Result::failed(rc = WritePointListChunk(onsets, info->GetOnsetPointList(), ChunkCode::kOPnt))) {
    return Result::nest(5, rc);
  }
  if (Result::failed(rc = WritePointListChunk(attacks, info->GetAttackPointList(), ChunkCode::kAPnt))) {
    return Result::nest(6, rc);
  }
  if (Result::failed(rc = WriteTempoListChunk(tempos, info->GetTempoList()))) return Result::nest(7, rc);
  if (formatVersion_ == kPoints2Version &&
      Result::failed(rc = WritePointListChunk(points2, info->GetPoints2List(), ChunkCode::kAPt2))) {
    return Result::nest(6, rc);
  }
  for (const auto* part : {&beats, &onsets, &attacks, &tempos, &points2}) ChunkFraming::Append(chunk, *part);
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteSpntChunk(std::vector<std::uint8_t>& out, const SyncroPointList& points) {
  return WriteRecords(out, ChunkCode::kSPnt, points, &WriteSyncroPointRecord);
}

ResultCode CAudioStyle::WritePointListChunk(std::vector<std::uint8_t>& out, const AudioPointList& points,
                                            std::uint8_t kind) {
  if (kind != ChunkCode::kBPnt && kind != ChunkCode::kOPnt && kind != ChunkCode::kAPnt && kind != ChunkCode::kAPt2) {
    return Result::fail(1);
  }
  return WriteRecords(out, kind, points, &WriteAudioPointRecord);
}

ResultCode CAudioStyle::WriteTempoListChunk(std::vector<std::uint8_t>& out, const AudioTempoList& tempos) {
  return WriteRecords(out, ChunkCode::kATmp, tempos, &WriteTempoRecord);
}
