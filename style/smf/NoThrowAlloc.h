#pragma once
// Non-throwing allocation for the style container's events, tracks, sections
// and tables. Allocation failure is a reported step failure everywhere in this
// library, so every such object is made through TryNew, which also lets the
// tests make a chosen allocation fail.

#include <cstddef>
#include <new>

namespace NoThrowAlloc {

// Makes the n-th following allocation through TryNew/TryNewBytes (counting
// from 1) fail, and every one after it too while `sticky` is set; 0 turns
// failure injection off. Meant for tests; state is per thread.
void FailAfter(unsigned n, bool sticky = false);

// True when the injected failure is due for the allocation about to be made.
bool InjectedFailure();

template <typename T>
T* TryNew() {
  if (InjectedFailure()) return nullptr;
  return new (std::nothrow) T();
}

// An array of n bytes (uninitialised), or null.
inline unsigned char* TryNewBytes(std::size_t n) {
  if (InjectedFailure()) return nullptr;
  return new (std::nothrow) unsigned char[n];
}

}  // namespace NoThrowAlloc
