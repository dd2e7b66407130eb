#pragma once
// Big-endian byte building and bounded reading for the program's binary
// files. A reader never steps past the end it was given: every read checks
// what is left first, so sizes and counts taken from a file can be checked
// against the bytes really there before anything is allocated.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class BigEndianWriter {
 public:
  explicit BigEndianWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void u8(std::uint8_t v) { out_.push_back(v); }
  void u16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
    out_.push_back(static_cast<std::uint8_t>(v));
  }
  void u32(std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out_.push_back(static_cast<std::uint8_t>(v >> shift));
  }
  void f32(float v) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    u32(bits);
  }
  void bytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    out_.insert(out_.end(), p, p + n);
  }
  void bytes(const std::vector<std::uint8_t>& data) { out_.insert(out_.end(), data.begin(), data.end()); }
  void text(const char* s) { bytes(s, std::strlen(s)); }
  std::size_t size() const { return out_.size(); }

 private:
  std::vector<std::uint8_t>& out_;
};

class BigEndianReader {
 public:
  BigEndianReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit BigEndianReader(const std::vector<std::uint8_t>& v) : BigEndianReader(v.data(), v.size()) {}

  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  bool has(std::size_t n) const { return n <= remaining(); }
  const std::uint8_t* here() const { return data_ + pos_; }

  // Each read returns false, and consumes nothing, when the bytes are not there.
  bool u8(std::uint8_t& v) {
    if (!has(1)) return false;
    v = data_[pos_++];
    return true;
  }
  bool u16(std::uint16_t& v) {
    if (!has(2)) return false;
    v = static_cast<std::uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
    pos_ += 2;
    return true;
  }
  bool u32(std::uint32_t& v) {
    if (!has(4)) return false;
    v = (std::uint32_t{data_[pos_]} << 24) | (std::uint32_t{data_[pos_ + 1]} << 16) |
        (std::uint32_t{data_[pos_ + 2]} << 8) | std::uint32_t{data_[pos_ + 3]};
    pos_ += 4;
    return true;
  }
  bool i32(std::int32_t& v) {
    std::uint32_t u = 0;
    if (!u32(u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
  }
  bool f32(float& v) {
    std::uint32_t bits = 0;
    if (!u32(bits)) return false;
    std::memcpy(&v, &bits, sizeof v);
    return true;
  }
  bool skip(std::size_t n) {
    if (!has(n)) return false;
    pos_ += n;
    return true;
  }
  bool tag(const char* expected) {
    const std::size_t n = std::strlen(expected);
    if (!has(n) || std::memcmp(here(), expected, n) != 0) return false;
    pos_ += n;
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};
