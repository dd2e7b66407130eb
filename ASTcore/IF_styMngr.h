#pragma once
// Builds the audio model of an export and writes the style file.

#include <QString>

#include <cstdint>
#include <string>

#include "ResultCode.h"

struct ExportSectionInfo {
  std::uint64_t tempo = 120;
  std::uint8_t numerator = 4;
  std::uint8_t denominator = 4;
  std::uint64_t length[15] = {};  // frames of each slot's rendered wave
  std::uint64_t bars[15] = {};    // bars of each slot
};

class IF_styMngr {
 public:
  virtual ~IF_styMngr() = default;

  // Writes the whole style file; `written` receives the bytes written. The
  // masks are OR-ed into (bit N = slot N): the caller zeroes them first.
  virtual ResultCode writeStyleFile(const std::wstring& path, std::uint64_t* written,
                                    std::uint16_t* attackMask, std::uint16_t* beatMask,
                                    std::uint16_t* syncMask) = 0;
  virtual ResultCode setSectionFormats(const ExportSectionInfo& info) = 0;
  // Hands one section's working wave with its analysis text to the model.
  virtual ResultCode setSectionAudio(const std::uint8_t* text, std::uint64_t textLength,
                                     const std::uint8_t* name, std::uint64_t nameLength,
                                     const std::uint8_t* wavePath, std::uint64_t wavePathLength,
                                     std::int64_t audioSectionNumber, std::uint8_t* volume,
                                     std::uint8_t* pan, std::uint8_t* reverbSend) = 0;
  virtual ResultCode resetStyle() = 0;
  virtual std::uint8_t getAudioSectionNumber(std::uint8_t slot) const = 0;
  virtual std::uint8_t getStyleSectionId(std::uint8_t slot) const = 0;
  virtual QString lastError() const = 0;
  virtual void clearError() = 0;
  virtual bool hasException() const = 0;
  virtual void setTemplatePath(const QString& path) = 0;
  virtual void setMaxAttackPoints(std::uint64_t limit) = 0;
  virtual std::uint64_t maxAttackPoints() const = 0;
  virtual void setMaxBeatPoints(std::uint64_t limit) = 0;
  virtual std::uint64_t maxBeatPoints() const = 0;
  virtual void setMaxSyncPoints(std::uint64_t limit) = 0;
  virtual std::uint64_t maxSyncPoints() const = 0;
};
