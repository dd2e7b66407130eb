#include "CAudioStyleDecorator.h"

#include "FileHelpers.h"

namespace {

const std::string kAasmSuffix = ".aasm";
const std::string kAfilSuffix = ".afil";

const CAudioWaveForm* WaveFormOf(const CAudioFile* file) { return file ? file->GetWaveForm() : nullptr; }

}  // namespace

ResultCode CAudioStyleDecorator::WriteAudioChunks(CAudioInfo* model, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!model) return Result::fail(1);
  // Both chunks straight into `out`; a failure leaves it empty.
  ResultCode rc = WriteAasmChunk(out, model->GetSectionList());
  if (Result::failed(rc)) {
    out.clear();
    return Result::nest(2, rc);
  }
  if (Result::failed(rc = WriteAfilChunk(out, model->GetFileList()))) {
    out.clear();
    return Result::nest(3, rc);
  }
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::Parse(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return Result::fail(1);
  const ResultCode rc = CAudioStyle::Parse(bytes.data(), bytes.size());
  return Result::failed(rc) ? Result::nest(2, Result::nest(1, rc)) : Result::kOk;
}

ResultCode CAudioStyleDecorator::ParseBuffer(const std::uint8_t* buffer, std::uint64_t length) {
  const ResultCode rc = CAudioStyle::Parse(buffer, length);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}

ResultCode CAudioStyleDecorator::ParseAudioChunk(const std::uint8_t* buffer, std::uint64_t length, bool sections) {
  if (!buffer || length == 0) return Result::fail(1);
  ResultCode rc = sections ? audioInfo_.ClearSections() : audioInfo_.ClearFiles();
  if (Result::failed(rc)) return Result::nest(2, rc);
  std::uint64_t pos = 0;
  std::uint8_t code = ChunkCode::kNone;
  if (Result::failed(rc = ReadChunkId(buffer, length, pos, code))) return Result::nest(3, rc);
  if (code != (sections ? ChunkCode::kAASM : ChunkCode::kAFil)) return Result::fail(5);
  rc = sections ? ReadAasmChunk(buffer, length, pos, audioInfo_.GetSectionList())
                : ReadAfilChunk(buffer, length, pos, audioInfo_.GetFileList());
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CAudioStyleDecorator::ParseAasm(const std::uint8_t* buffer, std::uint64_t length) {
  return ParseAudioChunk(buffer, length, true);
}

ResultCode CAudioStyleDecorator::ParseAfil(const std::uint8_t* buffer, std::uint64_t length) {
  return ParseAudioChunk(buffer, length, false);
}

ResultCode CAudioStyleDecorator::SaveParts(std::vector<std::uint8_t>& style, std::vector<std::uint8_t>& aasm,
                                           std::vector<std::uint8_t>& afil) {
  style.clear();
  aasm.clear();
  afil.clear();
  ResultCode rc = Save(style);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (Result::failed(rc = WriteAasmChunk(aasm, audioInfo_.GetSectionList()))) return Result::nest(2, rc);
  if (Result::failed(rc = WriteAfilChunk(afil, audioInfo_.GetFileList()))) return Result::nest(3, rc);
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::WriteChunkTempFile(CAudioInfo* model, std::string& path, bool sections) {
  if (!model) return Result::fail(1);
  if (!path.empty()) RemoveFile(path);
  path.clear();
  std::vector<std::uint8_t> chunk;
  ResultCode rc = sections ? WriteAasmChunk(chunk, model->GetSectionList())
                           : WriteAfilChunk(chunk, model->GetFileList());
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (chunk.empty()) return Result::kOk;
  std::string newPath;
  if (Result::failed(MakeUniqueTempFilePath(sections ? &kAasmSuffix : &kAfilSuffix, &newPath)) || newPath.empty()) {
    return Result::fail(3);
  }
  if (Result::failed(rc = WriteWholeFile(newPath, chunk.data(), chunk.size()))) {
    RemoveFile(newPath);
    return Result::nest(4, rc);
  }
  path = newPath;
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::WriteAasmTempFile(CAudioInfo* model, std::string& path) {
  return WriteChunkTempFile(model, path, true);
}

ResultCode CAudioStyleDecorator::WriteAfilTempFile(CAudioInfo* model, std::string& path) {
  return WriteChunkTempFile(model, path, false);
}

ResultCode CAudioStyleDecorator::SaveAasmTempFile(std::string& path) {
  const ResultCode rc = WriteAasmTempFile(&audioInfo_, path);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}

ResultCode CAudioStyleDecorator::SaveAfilTempFile(std::string& path) {
  const ResultCode rc = WriteAfilTempFile(&audioInfo_, path);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}

ResultCode CAudioStyleDecorator::SaveWithTempFiles(std::vector<std::uint8_t>& style, std::string& aasmPath,
                                                   std::string& afilPath) {
  if (!afilPath.empty()) RemoveFile(afilPath);
  afilPath.clear();
  style.clear();
  ResultCode rc = Save(style);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (Result::failed(rc = WriteAasmTempFile(&audioInfo_, aasmPath))) return Result::nest(2, Result::nest(1, rc));
  if (Result::failed(rc = WriteAfilTempFile(&audioInfo_, afilPath))) return Result::nest(2, Result::nest(1, rc));
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::SaveAndCopyAudio(std::vector<std::uint8_t>& style, CAudioInfo* copy) {
  if (!copy) return Result::fail(1);
  style.clear();
  ResultCode rc = Save(style);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (Result::failed(rc = copy->CopyFrom(audioInfo_))) return Result::nest(3, rc);
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::WriteAudioTempFileSteps(std::string& path) {
  std::vector<std::uint8_t> bytes;
  ResultCode rc = WriteAudioChunks(&audioInfo_, bytes);
  if (Result::failed(rc)) return Result::nest(1, rc);
  std::string newPath;
  if (Result::failed(MakeUniqueTempFilePath(&kAfilSuffix, &newPath)) || newPath.empty()) return Result::fail(2);
  if (!bytes.empty() && Result::failed(rc = WriteWholeFile(newPath, bytes.data(), bytes.size()))) {
    RemoveFile(newPath);
    return Result::nest(3, rc);
  }
  path = newPath;
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::WriteAudioTempFile(std::string& path) {
  const ResultCode rc = WriteAudioTempFileSteps(path);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}

ResultCode CAudioStyleDecorator::GetAmixBytes(CAudioSection* section, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!section) return Result::fail(1);
  if (!section->GetMixData()) return Result::fail(2);
  const ResultCode rc = WriteAmixChunk(out, section->GetMixData(), section);
  return Result::failed(rc) ? Result::nest(3, rc) : Result::kOk;
}

ResultCode CAudioStyleDecorator::GetNameRecordBytes(const CAudioFile* file, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!file) return Result::fail(1);
  out.assign(CAudioFile::kNameRecordSize, 0);
  std::uint64_t n = out.size();
  const ResultCode rc = file->GetNameRecord(out.data(), n);
  if (Result::failed(rc)) {
    out.clear();
    return Result::nest(2, rc);
  }
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::GetAfmtBytes(const CAudioFile* file, std::vector<std::uint8_t>& out) {
  out.clear();
  const CAudioWaveForm* wave = WaveFormOf(file);
  if (!wave) return Result::fail(1);
  if (!wave->GetWaveFormat()) return Result::fail(2);
  for (unsigned f = 0; f < 6; ++f) {
    const ResultCode rc = WriteAfmtField(out, wave->GetWaveFormat(), f);
    if (Result::failed(rc)) return Result::nest(3, Result::nest(2 + f, rc));
  }
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::GetSfmtBytes(const CAudioFile* file, std::vector<std::uint8_t>& out) {
  out.clear();
  const CAudioWaveForm* wave = WaveFormOf(file);
  if (!wave) return Result::fail(1);
  if (!wave->GetStyleWaveFormat()) return Result::fail(2);
  for (unsigned f = 0; f < 11; ++f) {
    const ResultCode rc = WriteSfmtField(out, wave->GetStyleWaveFormat(), f);
    if (Result::failed(rc)) return Result::nest(3, Result::nest(2 + f, rc));
  }
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::GetWaveBytes(const CAudioFile* file, std::vector<std::uint8_t>& out) {
  out.clear();
  waveReadFailed_ = false;
  unreadableWavePath_.clear();
  const CAudioWaveForm* wave = WaveFormOf(file);
  if (!wave) return Result::fail(1);
  if (!wave->GetWaveData()) return Result::fail(2);
  ResultCode rc = 0;
  try {
    rc = CollectWaveBytes(wave->GetWaveData(), out);
  } catch (const std::bad_alloc&) {
    rc = Result::fail(3);
  }
  if (Result::succeeded(rc)) return Result::kOk;
  out.clear();
  switch (rc & 0xF) {
    case 3: return Result::fail(6);
    case 4: return Result::fail(3);
    case 5: return Result::fail(4);
    default: return Result::fail(5);
  }
}

ResultCode CAudioStyleDecorator::GetSyncroPointBytes(const CAudioFile* file, std::vector<std::uint8_t>& out) {
  out.clear();
  const CAudioWaveForm* wave = WaveFormOf(file);
  if (!wave) return Result::fail(1);
  const CAudioStyleWaveFormat* format = wave->GetStyleWaveFormat();
  if (!format) return Result::fail(2);
  for (const CSyncroPoint* p : format->GetSyncroPointList()) {
    if (!p) return Result::fail(3);
    const ResultCode rc = WriteSyncroPointRecord(out, p);
    if (Result::failed(rc)) return Result::nest(4, rc);
  }
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::GetPointBytes(const CAudioFile* file,
                                               const AudioPointList& (CAudioWaveInfo::*list)() const,
                                               std::vector<std::uint8_t>& out) {
  out.clear();
  const CAudioWaveForm* wave = WaveFormOf(file);
  if (!wave) return Result::fail(1);
  const CAudioWaveInfo* info = wave->GetWaveInfo();
  if (!info) return Result::fail(2);
  for (const CAudioPoint* p : (info->*list)()) {
    const ResultCode rc = WriteAudioPointRecord(out, p);
    if (Result::failed(rc)) return Result::nest(4, rc);
  }
  return Result::kOk;
}

ResultCode CAudioStyleDecorator::GetBeatPointBytes(const CAudioFile* file, std::vector<std::uint8_t>& out) {
  return GetPointBytes(file, &CAudioWaveInfo::GetBeatPointList, out);
}

ResultCode CAudioStyleDecorator::GetOnsetPointBytes(const CAudioFile* file, std::vector<std::uint8_t>& out) {
  return GetPointBytes(file, &CAudioWaveInfo::GetOnsetPointList, out);
}

ResultCode CAudioStyleDecorator::GetAttackPointBytes(const CAudioFile* file, std::vector<std::uint8_t>& out) {
  return GetPointBytes(file, &CAudioWaveInfo::GetAttackPointList, out);
}

ResultCode CAudioStyleDecorator::GetTempoBytes(const CAudioFile* file, std::vector<std::uint8_t>& out) {
  out.clear();
  const CAudioWaveForm* wave = WaveFormOf(file);
  if (!wave) return Result::fail(1);
  const CAudioWaveInfo* info = wave->GetWaveInfo();
  if (!info) return Result::fail(2);
  for (const CAudioTempo* t : info->GetTempoList()) {
    const ResultCode rc = WriteTempoRecord(out, t);
    if (Result::failed(rc)) return Result::nest(4, rc);
  }
  return Result::kOk;
}
