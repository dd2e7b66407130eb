#pragma once
// The file a fuzz target hands its input to readers that only take a path:
// one file per fuzzing process, rewritten for every input and removed when
// the process ends.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzinput {

struct InputFile {
  std::string path;
  explicit InputFile(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) std::abort();
    close(fd);
    path = pattern;
  }
  ~InputFile() { std::remove(path.c_str()); }
};

// The path of this process's input file; `prefix` names the file the first
// time and is ignored afterwards.
inline const std::string& inputPath(const char* prefix) {
  static const InputFile file(prefix);
  return file.path;
}

// Replaces the input file's content by `data`; aborts when it cannot.
inline const std::string& writeInput(const char* prefix, const std::uint8_t* data, std::size_t size) {
  const std::string& path = inputPath(prefix);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) std::abort();
  return path;
}

}  // namespace fuzzinput
