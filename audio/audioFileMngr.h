#pragma once
// The audio-file service over libsndfile.

#include <QString>

#include <atomic>

#include "IF_audioFileMngr.h"

class audioFileMngr : public IF_audioFileMngr {
 public:
  // A new service object, owned by the caller; null when it cannot be made.
  static IF_audioFileMngr* create();

  ResultCode checkFile(const std::wstring& path, std::uint64_t& frames) override;
  ResultCode readFloatBuffer(const std::wstring& path, float*& samples, std::uint64_t& count) override;
  ResultCode readShortBytes(const std::wstring& path, std::vector<std::uint8_t>& bytes) override;
  ResultCode readFloatSamples(const std::wstring& path, std::vector<float>& samples) override;
  ResultCode readShortBytesRange(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::uint64_t start,
                                 std::uint64_t end) override;
  ResultCode writeWaveFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) override;
  ResultCode copyFile(const std::wstring& source, const QString& target) override;
  ResultCode fingerprint(const std::wstring& path, RecordingFingerprint& out) override;
  QString lastError() const override { return errorText; }
  void clearError() override;
  bool exceptionFlag() const override { return exceptFlag != 0; }

 private:
  audioFileMngr() = default;

  QString errorText;
  std::atomic<std::uint8_t> exceptFlag{0};
};
