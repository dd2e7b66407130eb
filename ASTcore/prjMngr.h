#pragma once
// Reads and writes the core's project file (".qmproj") and analysed-wave
// files (".awi"). A file is parsed and checked completely before the core's
// model is touched, and written through a temporary file that replaces the
// old one only when it is complete.

#include <QString>

#include <atomic>

#include "IF_prjMngr.h"
#include "ProjectFileCodec.h"

class CASTcore;

class prjMngr : public IF_prjMngr {
 public:
  // A manager bound to `core` (not owned).
  static IF_prjMngr* create(CASTcore* core);

  ResultCode readProject(const std::wstring& path) override;
  ResultCode writeProject(const std::wstring& path) override;
  ResultCode readAwi(const std::wstring& path, std::uint8_t wavNo) override;
  ResultCode writeAwi(const std::wstring& path, std::uint8_t wavNo) override;
  QString lastError() const override { return errorText; }
  void clearError() override;
  bool hasException() const override { return exceptFlag != 0; }

 private:
  explicit prjMngr(CASTcore* core) : core(core) {}

  // Reads and parses the whole file; the model is not touched.
  ResultCode loadFile(const QString& path, ProjectFileCodec::Kind kind, ProjectFileCodec::Content& content);
  ResultCode buildSectionsBlock(bool forAwi, ProjectFileCodec::Bytes& out);
  ResultCode applySectionsAndCommon(const ProjectFileCodec::Content& content);
  ResultCode saveFile(const QString& path, const ProjectFileCodec::Bytes& bytes);

  CASTcore* core;
  QString errorText;
  std::atomic<std::uint8_t> exceptFlag{0};
};
