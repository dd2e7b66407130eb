// The style manager's model: recordings per style section and their format
// records.

#include "styMngr.h"

#include <new>

#include "CAudioFile.h"
#include "CAudioInfoDecorator.h"
#include "CAudioStyleWaveFormat.h"
#include "CAudioWaveForm.h"
#include "CSection.h"

namespace {

// Per style slot: the audio section number of the model and the template's
// style section id.
constexpr std::uint8_t kAudioSectionNumber[15] = {8, 9, 10, 0, 1, 2, 3, 4, 5, 6, 7, 17, 12, 13, 14};
constexpr std::uint8_t kStyleSectionId[15] = {3, 9, 15, 0, 6, 12, 18, 1, 7, 13, 19, 8, 4, 10, 16};

// Names of the style section ids as they appear in a recording's section
// names; ids without a name are null.
const char* const kStyleIdNames[20] = {"Main A",  "Fill In AA", nullptr,      "Intro A",  "Ending A",
                                       "Break A", "Main B",     "Fill In BB", "Fill In BA", "Intro B",
                                       "Ending B", nullptr,     "Main C",     "Fill In CC", nullptr,
                                       "Intro C", "Ending C",   nullptr,      "Main D",   "Fill In DD"};

}  // namespace

const std::uint8_t styMngr::kMarkerOrder[15] = {3, 1, 0, 7, 6, 13, 12, 19, 18, 8, 4, 9, 10, 15, 16};

IF_styMngr* styMngr::create() { return new styMngr(); }

styMngr::styMngr() {
  createAudioModel();
  clearError();
}

styMngr::~styMngr() {
  if (model) model->Reset();
}

ResultCode styMngr::createAudioModel() {
  if (model) return Result::kOk;
  try {
    model.reset(new (std::nothrow) CAudioInfoDecorator());
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
  return model ? Result::kOk : Result::fail(2);
}

void styMngr::clearError() {
  errorText.clear();
  exceptFlag = 0;
}

std::uint8_t styMngr::getAudioSectionNumber(std::uint8_t slot) const {
  return slot < 15 ? kAudioSectionNumber[slot] : 0;
}

std::uint8_t styMngr::getStyleSectionId(std::uint8_t slot) const { return slot < 15 ? kStyleSectionId[slot] : 0; }

int styMngr::styleIdNameInText(std::uint8_t id, const QString& text) {
  if (id >= 20 || !kStyleIdNames[id]) return 1;
  return text.contains(QLatin1String(kStyleIdNames[id]), Qt::CaseSensitive) ? 0 : 1;
}

ResultCode styMngr::resetStyle() {
  if (model) model->Reset();
  return Result::kOk;
}

ResultCode styMngr::setSectionAudio(const std::uint8_t* text, std::uint64_t textLength, const std::uint8_t* name,
                                    std::uint64_t nameLength, const std::uint8_t* wavePath,
                                    std::uint64_t wavePathLength, std::int64_t audioSectionNumber,
                                    std::uint8_t* volume, std::uint8_t* pan, std::uint8_t* reverbSend) {
  if (!model) return Result::fail(1);
  return model->SetSectionAudio(text, textLength, name, nameLength, wavePath, wavePathLength, audioSectionNumber,
                                volume, pan, reverbSend);
}

ResultCode styMngr::setSectionFormats(const ExportSectionInfo& info) {
  tempo = info.tempo;
  numerator = info.numerator;
  denominator = info.denominator;
  for (int i = 0; i < 15; ++i) {
    lengths[i] = info.length[i];
    bars[i] = info.bars[i];
  }
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    const std::uint8_t id = getStyleSectionId(slot);
    ResultCode rc = setBarsForStyleId(id, static_cast<std::uint16_t>(bars[slot] & 0xFFFF));
    if (Result::failed(rc)) return Result::nest(1, rc);
    // A tempo of 0 would divide by zero; the model never holds one, but the
    // record comes from outside.
    if (tempo == 0) return Result::fail(2);
    rc = setTempoForStyleId(id, 60000000 / tempo);
    if (Result::failed(rc)) return Result::nest(2, rc);
    int power = -1;
    switch (denominator) {
      case 1: power = 0; break;
      case 2: power = 1; break;
      case 4: power = 2; break;
      case 8: power = 3; break;
      case 16: power = 4; break;
      default: return Result::fail(7);
    }
    const std::uint32_t payload = static_cast<std::uint32_t>(numerator) << 24 | static_cast<std::uint32_t>(power) << 16 |
                                  24u << 8 | 8u;
    rc = setTimeSigForStyleId(id, payload);
    if (Result::failed(rc)) return Result::nest(3, rc);
  }
  return Result::kOk;
}

namespace {

// Walks the model's recordings to the first whose section names hold the
// style id's name and applies `apply` to its style wave format. Codes by
// failing stage: null entry, no wave form, no style format, no section,
// names text (with its inner code only for the getter, `nestNames`), the
// text buffer (exception flag set), the operation itself. `base` is 1 for
// the bar setter (whose codes start one higher) and 0 for the others.
template <typename Apply>
ResultCode withRecordingOf(CAudioInfoDecorator* model, std::uint8_t id, unsigned base, bool nestNames,
                           std::atomic<std::uint8_t>& exceptFlag, Apply apply) {
  if (!model) return Result::fail(1);
  for (CAudioFile* file : model->GetFileList()) {
    if (!file) return Result::fail(1 + base);
    CAudioWaveForm* wave = file->GetWaveForm();
    if (!wave) return Result::fail(2 + base);
    CAudioStyleWaveFormat* format = wave->GetStyleWaveFormat();
    if (!format) return Result::fail(3 + base);
    CSection* section = format->GetSection();
    if (!section) return Result::fail(4 + base);
    QString text;
    try {
      std::vector<std::uint8_t> names;
      const ResultCode rc = section->GetNamesText(names);
      if (Result::failed(rc)) return nestNames ? Result::nest(5 + base, rc) : Result::fail(5 + base);
      text = QString::fromUtf8(reinterpret_cast<const char*>(names.data()), static_cast<int>(names.size()));
    } catch (const std::bad_alloc&) {
      exceptFlag = 1;
      return Result::fail(6 + base);
    }
    if (styMngr::styleIdNameInText(id, text) != 0) continue;
    const ResultCode applied = apply(*format);
    return Result::failed(applied) ? Result::nest(7 + base, applied) : Result::kOk;
  }
  return Result::kOk;
}

}  // namespace

ResultCode styMngr::setBarsForStyleId(std::uint8_t id, std::uint16_t count) {
  return withRecordingOf(model.get(), id, 1, false, exceptFlag,
                         [&](CAudioStyleWaveFormat& f) { return f.SetNumberOfBars(count); });
}

ResultCode styMngr::setTempoForStyleId(std::uint8_t id, std::uint64_t value) {
  const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                                 static_cast<std::uint8_t>(value)};
  return withRecordingOf(model.get(), id, 0, false, exceptFlag,
                         [&](CAudioStyleWaveFormat& f) { return f.SetOriginalTempo(bytes, 3); });
}

ResultCode styMngr::setTimeSigForStyleId(std::uint8_t id, std::uint32_t payload) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(payload >> 24), static_cast<std::uint8_t>(payload >> 16),
                                 static_cast<std::uint8_t>(payload >> 8), static_cast<std::uint8_t>(payload)};
  return withRecordingOf(model.get(), id, 0, false, exceptFlag,
                         [&](CAudioStyleWaveFormat& f) { return f.SetOriginalTimeSignature(bytes, 4); });
}

ResultCode styMngr::getBarsForStyleId(std::uint8_t id, std::uint16_t& count) {
  count = 0;
  return withRecordingOf(model.get(), id, 0, true, exceptFlag,
                         [&](CAudioStyleWaveFormat& f) { return f.GetNumberOfBars(count); });
}

ResultCode styMngr::getFirstTimeSignature(std::uint32_t& payload) {
  payload = 0x04021808;
  if (!model) return Result::fail(1);
  if (model->GetFileList().empty()) return Result::kOk;
  CAudioFile* file = model->GetFileList().front();
  if (!file) return Result::fail(2);
  CAudioWaveForm* wave = file->GetWaveForm();
  if (!wave) return Result::fail(3);
  CAudioStyleWaveFormat* format = wave->GetStyleWaveFormat();
  if (!format) return Result::fail(4);
  std::uint8_t bytes[4] = {};
  std::uint64_t n = 4;
  const ResultCode rc = format->GetOriginalTimeSignature(bytes, n);
  if (Result::failed(rc)) return Result::nest(5, rc);
  payload = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
            static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
  return Result::kOk;
}
