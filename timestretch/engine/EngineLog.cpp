#include "EngineLog.h"

#include <cstdarg>
#include <cstdio>

void EngineLog::Print(const char* format, ...) {
  if (!format) return;
  char text[kMaxLength];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::fputs(text, stderr);
  std::fflush(stderr);
}
