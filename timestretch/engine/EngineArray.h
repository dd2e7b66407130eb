#pragma once
// Array allocation the way the spectral engine reports it: a failed
// allocation is thrown as the integer -1 instead of std::bad_alloc, so the
// engine entry can turn it into its out-of-memory code.

#include <cstddef>
#include <memory>
#include <new>

namespace EngineArray {

constexpr int kOutOfMemory = -1;

// A value-initialised (zeroed) array of n elements; throws -1 on failure.
template <typename T>
std::unique_ptr<T[]> Make(std::size_t n) {
  std::unique_ptr<T[]> a(new (std::nothrow) T[n == 0 ? 1 : n]());
  if (!a) throw kOutOfMemory;
  return a;
}

// Runs `grow` (a container operation that may throw std::bad_alloc) and
// reports a failure as -1.
template <typename F>
void Guard(F&& grow) {
  try {
    grow();
  } catch (const std::bad_alloc&) {
    throw kOutOfMemory;
  }
}

}  // namespace EngineArray
