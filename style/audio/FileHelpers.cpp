#include "FileHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <boost/uuid/uuid.hpp>
#include <boost/uuid/uuid_generators.hpp>
#include <boost/uuid/uuid_io.hpp>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

QString ToQString(const std::string& path) { return QString::fromUtf8(path.data(), static_cast<int>(path.size())); }

// Opens the file in `mode` and moves n bytes with `transfer`, which returns
// the number of bytes moved.
template <typename Transfer>
ResultCode WithFile(const std::string& path, std::ios_base::openmode mode, std::uint64_t n, Transfer transfer) {
  try {
    std::filebuf file;
    if (!file.open(path, mode | std::ios_base::binary)) return Result::fail(3);
    const std::uint64_t moved = transfer(file);
    const bool closed = file.close() != nullptr;
    if (moved != n || !closed) return Result::fail(4);
    return Result::kOk;
  } catch (...) {
    return Result::fail(2);
  }
}

ResultCode WriteOrAppend(const std::string& path, const std::uint8_t* buffer, std::uint64_t n,
                         std::ios_base::openmode mode) {
  if (path.empty() || !buffer || n == 0) return Result::fail(1);
  return WithFile(path, mode, n, [&](std::filebuf& f) {
    return static_cast<std::uint64_t>(f.sputn(reinterpret_cast<const char*>(buffer), static_cast<std::streamsize>(n)));
  });
}

QString ApplicationFolder() {
  QString dir = QCoreApplication::applicationDirPath();
  while (dir.size() > 1 && (dir.endsWith(QDir::separator()) || dir.endsWith('/'))) dir.chop(1);
  return dir;
}

}  // namespace

ResultCode MakeUniqueTempFilePath(const std::string* suffix, std::string* path) {
  if (!suffix || !path) return Result::fail(1);
  std::ostringstream uuidText;
  uuidText << boost::uuids::random_generator()();
  const QString result = QDir::tempPath() + "/" + QString::fromStdString(uuidText.str()) + ToQString(*suffix);
  *path = result.toStdString();
  return Result::kOk;
}

std::uint64_t GetFileSize(const std::string& path) {
  const QFileInfo info(ToQString(path));
  return info.exists() ? static_cast<std::uint64_t>(info.size()) : 0;
}

ResultCode RemoveFile(const std::string& path) {
  if (path.empty()) return Result::fail(1);
  const QString p = ToQString(path);
  if (QDir().remove(p)) return Result::kOk;
  const QFileInfo info(p);
  return (info.exists() || info.isSymLink()) ? Result::fail(2) : Result::kOk;
}

ResultCode CopyFile(const std::string& destination, const std::string& source) {
  if (destination.empty() || source.empty()) return Result::fail(1);
  const std::uint64_t size = GetFileSize(source);
  if (size == 0) return Result::kOk;
  try {
    std::filebuf in, out;
    if (!in.open(source, std::ios_base::in | std::ios_base::binary)) return Result::fail(3);
    if (!out.open(destination, std::ios_base::out | std::ios_base::trunc | std::ios_base::binary)) {
      return Result::fail(4);
    }
    std::vector<char> block(64 * 1024);
    std::uint64_t left = size;
    while (left > 0) {
      const auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(left, block.size()));
      if (in.sgetn(block.data(), want) != want || out.sputn(block.data(), want) != want) return Result::fail(5);
      left -= static_cast<std::uint64_t>(want);
    }
    if (!out.close()) return Result::fail(5);
    return Result::kOk;
  } catch (...) {
    return Result::fail(2);
  }
}

ResultCode ReadWholeFile(const std::string& path, std::uint8_t* buffer, std::uint64_t n) {
  if (path.empty() || !buffer || n == 0) return Result::fail(1);
  return WithFile(path, std::ios_base::in, n, [&](std::filebuf& f) {
    return static_cast<std::uint64_t>(f.sgetn(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(n)));
  });
}

ResultCode WriteWholeFile(const std::string& path, const std::uint8_t* buffer, std::uint64_t n) {
  return WriteOrAppend(path, buffer, n, std::ios_base::out | std::ios_base::trunc);
}

ResultCode AppendWholeFile(const std::string& path, const std::uint8_t* buffer, std::uint64_t n) {
  return WriteOrAppend(path, buffer, n, std::ios_base::out | std::ios_base::app);
}

void GetAuditionTempDir(QString* out) {
  if (out) *out = QDir::tempPath() + "/" + "BrevanA" + ".Audition";
}

void GetConvertTempDir(QString* out) {
  if (out) *out = QDir::tempPath() + "/" + "BrevanA" + ".Convert";
}

void GetNewProjectPath(QString* out) {
  if (out) *out = ApplicationFolder() + "/../Resources/new.prj";
}

void GetInitStylePath(QString* out) {
  if (out) *out = ApplicationFolder() + "/../Resources/Init.sty";
}

void GetHelpPaths(QString* folder, QString* file) {
  if (!folder || !file) return;
  *folder = ApplicationFolder() + "/../Resources/Help";
  *file = "/Quillmere Help.pdf";
}

void MakeUnusedNumberedPath(const QVariant& folder, const std::string& suffix, QVariant* out) {
  if (!out) return;
  const QString base = folder.toString() + "/temp";
  const QString tail = ToQString(suffix);
  for (int n = 1; n <= 99999; ++n) {
    const QString candidate = base + QString::number(n) + tail;
    if (!QFile::exists(candidate)) {
      *out = candidate;
      return;
    }
  }
}

void SetFinderTypeCreator(const std::string& path, std::uint32_t type, std::uint32_t creator) {
  (void)path;
  (void)type;
  (void)creator;
}
