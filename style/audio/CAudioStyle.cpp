// The audio style as a whole: clearing, parsing and writing the file.

#include "CAudioStyle.h"

#include <QCoreApplication>
#include <QString>

CAudioStyle::~CAudioStyle() {
  audioInfo_.ClearSections();
  audioInfo_.ClearFiles();
}

ResultCode CAudioStyle::Clear() {
  ResultCode rc = CSmfStyleDecorator::Clear();
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (Result::failed(rc = audioInfo_.ClearSections())) return Result::nest(2, Result::nest(1, rc));
  if (Result::failed(rc = audioInfo_.ClearFiles())) return Result::nest(2, Result::nest(2, rc));
  return Result::kOk;
}

ResultCode CAudioStyle::ClearAudio() {
  ResultCode rc = audioInfo_.ClearSections();
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (Result::failed(rc = audioInfo_.ClearFiles())) return Result::nest(2, rc);
  return Result::kOk;
}

ResultCode CAudioStyle::Load(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return Result::fail(1);
  ResultCode rc = Parse(bytes.data(), bytes.size());
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (sections_.empty()) return Result::kOk;
  if (Result::failed(rc = ReadFormatVersion())) return Result::nest(2, rc);
  if (Result::failed(rc = ConvertSections())) return Result::nest(3, rc);
  return Result::kOk;
}

ResultCode CAudioStyle::Parse(const std::uint8_t* buffer, std::uint64_t length) {
  if (!buffer || length == 0) return Result::fail(1);
  ResultCode rc = ClearTracks(tracks_);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (Result::failed(rc = ClearSections(sections_))) return Result::nest(3, rc);
  if (Result::failed(rc = audioInfo_.ClearSections())) return Result::nest(4, Result::nest(1, rc));
  if (Result::failed(rc = audioInfo_.ClearFiles())) return Result::nest(4, Result::nest(2, rc));
  std::uint64_t pos = 0;
  while (pos < length) {
    std::uint8_t code = ChunkCode::kNone;
    rc = ReadChunkId(buffer, length, pos, code);
    if (Result::failed(rc)) return Result::nest(6, rc);
    switch (code) {
      case ChunkCode::kMThd:
        if (Result::failed(rc = ReadMThd(buffer, length, pos, header_))) return Result::nest(7, rc);
        break;
      case ChunkCode::kMTrk:
        if (Result::failed(rc = ReadMTrk(buffer, length, pos, tracks_))) return Result::nest(8, rc);
        break;
      case ChunkCode::kCASM:
        if (Result::failed(rc = ReadCasmChunk(buffer, length, pos, sections_))) return Result::nest(9, rc);
        break;
      case ChunkCode::kAASM:
        rc = ReadAasmChunk(buffer, length, pos, audioInfo_.GetSectionList());
        if (Result::failed(rc)) return Result::nest(10, rc);
        break;
      case ChunkCode::kAFil:
        rc = ReadAfilChunk(buffer, length, pos, audioInfo_.GetFileList());
        if (Result::failed(rc)) return Result::nest(11, rc);
        break;
      default:
        if (Result::failed(rc = SkipChunk(buffer, length, pos))) return Result::nest(13, rc);
        break;
    }
  }
  return Result::kOk;
}

ResultCode CAudioStyle::Write(std::vector<std::uint8_t>& out) {
  out.clear();
  std::vector<std::uint8_t> mthd, mtrk, casm, aasm, afil;
  ResultCode rc = WriteMThd(mthd, HeaderToWrite());
  if (Result::failed(rc)) return Result::nest(4, rc);
  if (Result::failed(rc = WriteMTrk(mtrk, tracks_))) return Result::nest(5, rc);
  if (Result::failed(rc = WriteCasmChunk(casm, sections_))) return Result::nest(6, rc);
  if (Result::failed(rc = WriteAasmChunk(aasm, audioInfo_.GetSectionList()))) return Result::nest(7, rc);
  if (Result::failed(rc = WriteAfilChunk(afil, audioInfo_.GetFileList()))) return Result::nest(8, rc);
  for (const auto* part : {&mthd, &mtrk, &casm, &aasm, &afil}) out.insert(out.end(), part->begin(), part->end());
  return Result::kOk;
}

std::string CAudioStyle::GetWaveReadErrorText() const {
  if (!waveReadFailed_) return std::string();
  // Shown to the user, so it goes through the program's global messages
  // for translation.
  const QString text = QCoreApplication::translate("BrevanGlobalMessage", "wave file read error!\r\n");
  return text.toStdString() + unreadableWavePath_;
}
