#pragma once
// The style manager: builds the audio model of an export from the rendered
// sections (one recording per style section, with its bars, tempo, time
// signature and attack, beat and sync points), adapts the template style
// "Empty.sty" and writes the style file: MThd, MTrk and CASM, then AASM and
// AFil. The file appears complete or not at all: it is written beside the
// target under a temporary name and renamed over it at the end.

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IF_styMngr.h"

class CAudioInfoDecorator;
class CAudioWaveForm;

class styMngr : public IF_styMngr {
 public:
  static IF_styMngr* create();
  ~styMngr() override;

  ResultCode writeStyleFile(const std::wstring& path, std::uint64_t* written, std::uint16_t* attackMask,
                            std::uint16_t* beatMask, std::uint16_t* syncMask) override;
  ResultCode setSectionFormats(const ExportSectionInfo& info) override;
  ResultCode setSectionAudio(const std::uint8_t* text, std::uint64_t textLength, const std::uint8_t* name,
                             std::uint64_t nameLength, const std::uint8_t* wavePath, std::uint64_t wavePathLength,
                             std::int64_t audioSectionNumber, std::uint8_t* volume, std::uint8_t* pan,
                             std::uint8_t* reverbSend) override;
  ResultCode resetStyle() override;
  std::uint8_t getAudioSectionNumber(std::uint8_t slot) const override;
  std::uint8_t getStyleSectionId(std::uint8_t slot) const override;
  QString lastError() const override { return errorText; }
  void clearError() override;
  bool hasException() const override { return exceptFlag != 0; }
  void setTemplatePath(const QString& path) override { templatePath = path; }
  void setMaxAttackPoints(std::uint64_t limit) override { maxAttack = limit; }
  std::uint64_t maxAttackPoints() const override { return maxAttack; }
  void setMaxBeatPoints(std::uint64_t limit) override { maxBeat = limit; }
  std::uint64_t maxBeatPoints() const override { return maxBeat; }
  void setMaxSyncPoints(std::uint64_t limit) override { maxSync = limit; }
  std::uint64_t maxSyncPoints() const override { return maxSync; }

  // 0 when the name of style section `id` occurs in `text`; 1 when it does
  // not or the id has no name.
  static int styleIdNameInText(std::uint8_t id, const QString& text);

  // The style slot order in which the template's section markers follow
  // each other on the time line.
  static const std::uint8_t kMarkerOrder[15];

  // Onset frames of a recording, found by the block onset detector.
  ResultCode detectAttacks(const std::int16_t* left, const std::int16_t* right, std::uint64_t frames,
                           std::vector<std::uint64_t>& out);
  // The template adapted to the project, as MThd, MTrk and CASM bytes.
  ResultCode buildTemplateSmf(std::vector<std::uint8_t>& bytes);

 private:
  styMngr();

  ResultCode createAudioModel();
  // The recording whose section names hold the style id's name.
  ResultCode setBarsForStyleId(std::uint8_t id, std::uint16_t bars);
  ResultCode setTempoForStyleId(std::uint8_t id, std::uint64_t microsecondsPerQuarter);
  ResultCode setTimeSigForStyleId(std::uint8_t id, std::uint32_t payload);
  ResultCode getBarsForStyleId(std::uint8_t id, std::uint16_t& bars);
  ResultCode getFirstTimeSignature(std::uint32_t& payload);

  // The onsets of a recording and what finding them ran into.
  struct AttackSearch {
    ResultCode code = 0;
    bool noMemory = false;  // the exception flag is to be set
    std::vector<std::uint64_t> onsets;
  };
  // The sync positions of a recording; `retried` when the analysis had to
  // be split after an exception.
  struct SyncSearch {
    ResultCode code = 0;
    bool retried = false;
    std::vector<std::uint64_t> positions;
  };

  ResultCode buildPointLists(std::uint16_t* attackMask, std::uint16_t* beatMask, std::uint16_t* syncMask);
  ResultCode readRecordingBytes(CAudioWaveForm* waveForm, const std::string& path, std::vector<std::uint8_t>& bytes,
                                unsigned sizeStep, unsigned readStep);
  // The searches read only the recording's bytes (and the section formats),
  // so several may run at once; the make functions put their results into
  // the model.
  static ResultCode detectAttacksOf(const std::int16_t* left, const std::int16_t* right, std::uint64_t frames,
                                    std::vector<std::uint64_t>& out, bool& noMemory);
  static ResultCode detectAttacksInMono(const std::vector<std::int16_t>& mono, std::vector<std::uint64_t>& out,
                                        bool& noMemory);
  // The mono mix of a recording's 16-bit stereo frames, made once for both
  // searches. Throws std::bad_alloc.
  static std::vector<std::int16_t> monoSamples(const std::vector<std::uint8_t>& bytes);
  static AttackSearch findAttacks(const std::vector<std::int16_t>& mono);
  // `byteCount`: the size of the recording's bytes that `mono` was made of.
  SyncSearch findSyncPositions(std::uint8_t slot, std::uint64_t byteCount, const std::vector<std::int16_t>& mono) const;
  ResultCode makeAttackPoints(std::uint8_t slot, CAudioWaveForm* waveForm, const AttackSearch& search,
                              std::uint16_t* attackMask);
  ResultCode makeBeatPoints(std::uint8_t slot, CAudioWaveForm* waveForm, std::uint16_t* beatMask);
  ResultCode makeSyncPoints(std::uint8_t slot, CAudioWaveForm* waveForm, const std::vector<std::uint8_t>& bytes,
                            const SyncSearch& search, std::uint16_t* syncMask);
  ResultCode runSyncAnalysis(std::uint8_t slot, std::uint64_t byteCount, const std::vector<std::int16_t>& mono,
                             std::vector<std::uint64_t>& out, std::uint64_t parts, std::uint64_t part) const;
  ResultCode buildAudioChunks(std::vector<std::uint8_t>& bytes);
  double samplesPerBeat(std::uint8_t slot) const;

  std::unique_ptr<CAudioInfoDecorator> model;
  std::uint64_t tempo = 120;
  std::uint8_t numerator = 4;
  std::uint8_t denominator = 4;
  std::uint64_t lengths[15] = {};
  std::uint64_t bars[15] = {};
  QString templatePath;
  std::uint64_t maxAttack = 1024;
  std::uint64_t maxBeat = 256;
  std::uint64_t maxSync = 256;
  QString errorText;
  std::atomic<std::uint8_t> exceptFlag{0};
};
