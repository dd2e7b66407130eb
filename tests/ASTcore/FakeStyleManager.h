#pragma once
// A style manager that records what the core hands it, for tests of the
// section hand-over. It changes the three mix bytes the way the real one
// does (the volume takes the analysis text's value).

#include <string>

#include "IF_styMngr.h"

class FakeStyleManager : public IF_styMngr {
 public:
  ResultCode writeStyleFile(const std::wstring&, std::uint64_t*, std::uint16_t*, std::uint16_t*,
                            std::uint16_t*) override {
    return 0;
  }
  ResultCode setSectionFormats(const ExportSectionInfo&) override { return 0; }
  ResultCode setSectionAudio(const std::uint8_t* text, std::uint64_t textLength, const std::uint8_t* name,
                             std::uint64_t nameLength, const std::uint8_t* wavePath, std::uint64_t wavePathLength,
                             std::int64_t audioSectionNumber, std::uint8_t* volume, std::uint8_t* pan,
                             std::uint8_t* reverbSend) override {
    lastText.assign(reinterpret_cast<const char*>(text), textLength);
    lastName.assign(reinterpret_cast<const char*>(name), nameLength);
    lastPath.assign(reinterpret_cast<const char*>(wavePath), wavePathLength);
    lastSection = audioSectionNumber;
    *volume = 80;
    *pan = 1;
    *reverbSend = 2;
    ++calls;
    return result;
  }
  ResultCode resetStyle() override { return 0; }
  std::uint8_t getAudioSectionNumber(std::uint8_t slot) const override {
    return static_cast<std::uint8_t>(slot + 100);
  }
  std::uint8_t getStyleSectionId(std::uint8_t) const override { return 0; }
  QString lastError() const override { return QString(); }
  void clearError() override {}
  bool hasException() const override { return false; }
  void setTemplatePath(const QString&) override {}
  void setMaxAttackPoints(std::uint64_t) override {}
  std::uint64_t maxAttackPoints() const override { return 1024; }
  void setMaxBeatPoints(std::uint64_t) override {}
  std::uint64_t maxBeatPoints() const override { return 256; }
  void setMaxSyncPoints(std::uint64_t) override {}
  std::uint64_t maxSyncPoints() const override { return 256; }

  std::string lastText, lastName, lastPath;
  std::int64_t lastSection = -1;
  int calls = 0;
  ResultCode result = 0;
};
