// The style file: the template adapted to the project, then the audio
// chunks, written to a temporary file beside the target and renamed over it
// only when everything was written.

#include <QFile>
#include <QSaveFile>

#include "CAudioInfoDecorator.h"
#include "CAudioStyleDecorator.h"
#include "CSmfStyleDecorator.h"
#include "CSmfStyleDecoratorForASFF.h"
#include "RegularFile.h"
#include "WholeWrite.h"
#include "styMngr.h"

namespace {

// The standard-MIDI part of a style must fit this buffer.
constexpr std::size_t kSmfBufferSize = 16 * 1024 * 1024;

}  // namespace

ResultCode styMngr::buildTemplateSmf(std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (templatePath.isEmpty()) return Result::fail(1);
  QFile file(templatePath);
  if (!file.open(QIODevice::ReadOnly)) return Result::fail(2);
  if (file.size() <= 0) return Result::fail(3);
  if (file.size() > static_cast<qint64>(kSmfBufferSize)) return Result::fail(3);
  const QByteArray data = file.readAll();
  if (data.isEmpty()) return Result::fail(4);

  CSmfStyleDecoratorForASFF style;
  ResultCode rc = style.Load(std::vector<std::uint8_t>(data.begin(), data.end()));
  if (Result::failed(rc)) return Result::nest(5, rc);
  if (tempo == 0) return Result::fail(6);
  rc = style.SetTempo(60000000 / tempo);
  if (Result::failed(rc)) return Result::nest(6, rc);
  if (denominator != 1 && denominator != 2 && denominator != 4 && denominator != 8 && denominator != 16) {
    return Result::fail(7);
  }
  std::uint32_t payload = 0;
  rc = getFirstTimeSignature(payload);
  if (Result::failed(rc)) return Result::nest(8, rc);
  rc = style.SetTimeSignature(payload);
  if (Result::failed(rc)) return Result::nest(9, rc);

  const std::uint64_t ticksPerBar = static_cast<std::uint64_t>(3840 / denominator) * numerator;
  std::uint64_t position = ticksPerBar;  // the first bar of the track stays free
  for (std::uint8_t id : kMarkerOrder) {
    std::uint16_t count = 0;
    rc = getBarsForStyleId(id, count);
    if (Result::failed(rc)) return Result::nest(10, rc);
    if (count > 0) {
      rc = style.MoveSectionMarker(id, position);
      if (Result::failed(rc)) return Result::nest(11, rc);
    } else {
      rc = style.RemoveSectionMarker(id);
      if (Result::failed(rc)) return Result::nest(12, rc);
    }
    position += count * ticksPerBar;
  }
  rc = style.SetEndOfTrackTime(position);
  if (Result::failed(rc)) return Result::nest(13, rc);
  rc = style.Save(bytes);
  if (Result::failed(rc)) return Result::nest(14, rc);
  return Result::kOk;
}

ResultCode styMngr::buildAudioChunks(std::vector<std::uint8_t>& bytes) {
  if (!model) return Result::fail(1);
  CAudioStyleDecorator writer;
  writer.WriteAudioChunks(model.get(), bytes);
  if (bytes.empty()) {
    // The export thread shows no dialog: the unreadable recording is named
    // in the error text for the caller.
    if (writer.HasWaveReadError() && errorText.isEmpty()) {
      errorText = QString::fromStdString(writer.GetWaveReadErrorText());
    }
    return Result::fail(2);
  }
  return Result::kOk;
}

ResultCode styMngr::writeStyleFile(const std::wstring& path, std::uint64_t* written, std::uint16_t* attackMask,
                                   std::uint16_t* beatMask, std::uint16_t* syncMask) {
  if (written) *written = 0;
  if (path.empty() || !model) return Result::fail(1);
  ResultCode rc = buildPointLists(attackMask, beatMask, syncMask);
  if (Result::failed(rc)) return Result::nest(2, rc);

  std::vector<std::uint8_t> adapted;
  rc = buildTemplateSmf(adapted);
  if (Result::failed(rc)) return Result::nest(3, rc);
  if (adapted.empty() || adapted.size() > kSmfBufferSize) return Result::fail(3);

  CSmfStyleDecorator style;
  rc = style.Load(adapted);
  if (Result::failed(rc)) return Result::nest(4, rc);
  rc = style.RemoveSectionsNotInMask(0xFFFFFFFF);
  if (Result::failed(rc)) return Result::nest(5, rc);
  std::vector<std::uint8_t> smf;
  rc = style.Save(smf);
  if (Result::failed(rc)) return Result::nest(6, rc);

  std::vector<std::uint8_t> audio;
  rc = buildAudioChunks(audio);
  if (Result::failed(rc)) return Result::nest(8, rc);

  const QString target = QString::fromStdWString(path);
  const QString refused = RegularFile::cannotReplace(target);
  if (!refused.isEmpty()) {
    errorText = refused;
    return Result::fail(7);
  }
  QSaveFile file(target);
  // Unbuffered so that a failing write is reported by write() itself.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    errorText = WholeWrite::cannotCreate(target, WholeWrite::reason(file));
    return Result::fail(7);
  }
  const auto smfSize = static_cast<qint64>(smf.size());
  if (!WholeWrite::writeAll(file, reinterpret_cast<const char*>(smf.data()), smfSize)) {
    errorText = WholeWrite::cannotWrite(target, WholeWrite::reason(file));
    file.cancelWriting();
    return Result::fail(7);
  }
  const auto audioSize = static_cast<qint64>(audio.size());
  if (!WholeWrite::writeAll(file, reinterpret_cast<const char*>(audio.data()), audioSize) || !file.flush() ||
      !file.commit()) {
    errorText = WholeWrite::cannotWrite(target, WholeWrite::reason(file));
    file.cancelWriting();
    return Result::nest(8, Result::fail(3));
  }
  if (written) *written = smf.size() + audio.size();
  return Result::kOk;
}
