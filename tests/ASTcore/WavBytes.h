#pragma once
// Raw file access for the WAV tests: the bytes exactly as they are on disk,
// so tests can inspect, corrupt or truncate what the program wrote.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace WavBytes {

inline QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline void putLE(QByteArray& b, int offset, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) b[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::uint32_t getLE(const QByteArray& b, int offset, int size) {
  std::uint32_t v = 0;
  for (int i = 0; i < size; ++i) v |= std::uint32_t(static_cast<std::uint8_t>(b[offset + i])) << (8 * i);
  return v;
}

// Interleaved 16-bit samples as the little-endian bytes of a data chunk.
inline std::vector<std::uint8_t> toBytes(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> out;
  out.reserve(samples.size() * 2);
  for (std::int16_t s : samples) {
    const auto u = static_cast<std::uint16_t>(s);
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return out;
}

inline std::wstring wide(const QString& s) { return s.toStdWString(); }

}  // namespace WavBytes
