#pragma once
// The status value returned by the core, the style container, the audio style
// model and the audio-file service.
//
// 0 is success. A failing operation returns 0x80000000 + step (step 1..15).
// When it fails because a callee failed, it ORs in the callee's whole code
// shifted left by 4 bits, so one value records the path of failing steps and
// may grow beyond 32 bits. Failure is tested on the low 32 bits read as a
// signed integer.

#include <cstdint>

using ResultCode = std::uint64_t;

namespace Result {

constexpr ResultCode kOk = 0;
constexpr ResultCode kFailBase = 0x80000000ull;

// The code of an operation's own failing step.
constexpr ResultCode fail(unsigned step) { return kFailBase + step; }

// The code of an operation whose step failed because a callee returned `inner`.
constexpr ResultCode nest(unsigned step, ResultCode inner) {
  return fail(step) | (inner << 4);
}

constexpr bool failed(ResultCode code) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(code & 0xFFFFFFFFull)) < 0;
}

constexpr bool succeeded(ResultCode code) { return !failed(code); }

}  // namespace Result
