#pragma once
// The spectral engine's console log: progress and timing lines written to
// the standard error stream. Engines only print through it when their
// verbose switch is on.

class EngineLog {
 public:
  static constexpr int kMaxLength = 1023;

  // Formats like printf (text beyond kMaxLength - 1 characters is cut),
  // writes the text to stderr and flushes it.
  void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
};
