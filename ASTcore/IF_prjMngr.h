#pragma once
// Reads and writes the project file (".qmproj") and the analysed-wave file
// (".awi") of the core that owns the manager.

#include <QString>

#include <cstdint>
#include <string>

#include "ResultCode.h"

class IF_prjMngr {
 public:
  virtual ~IF_prjMngr() = default;

  // Reads a project file into the owning core. On failure the caller
  // restores its model; the reader may have changed it partially.
  virtual ResultCode readProject(const std::wstring& path) = 0;

  // Writes the owning core's whole model; an earlier file at `path` is
  // replaced only when the new one is complete.
  virtual ResultCode writeProject(const std::wstring& path) = 0;

  // Reads an analysed-wave file into wave `wavNo` of the owning core (and,
  // for wave 0, its sections and common record).
  virtual ResultCode readAwi(const std::wstring& path, std::uint8_t wavNo) = 0;

  // Writes wave `wavNo`, the 15 sections and the common record.
  virtual ResultCode writeAwi(const std::wstring& path, std::uint8_t wavNo) = 0;

  virtual QString lastError() const = 0;
  // Empties the last-error text and clears the exception flag.
  virtual void clearError() = 0;
  // True when a catch-all handler inside the manager fired.
  virtual bool hasException() const = 0;
};
