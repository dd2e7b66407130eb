#pragma once
// Records where a sample stream changes sign, for the zero-crossing scan.
//
// Mode 0 records the index of every rising crossing through zero. Any other
// mode records the index of the sample before each change of sign; a run of
// zeros counts as a change for the next non-zero sample, and a change within
// 10 samples of the previous record replaces that record, so a signal that
// hovers around zero leaves one mark rather than a cluster.

#include <cstdint>
#include <vector>

class SignChangeSegmenter {
 public:
  // Binds the caller's list (which must outlive this object) and clears it.
  SignChangeSegmenter(std::vector<std::uint64_t>& out, std::uint8_t mode);

  // Feeds the next sample; its index is the number of samples pushed before.
  void push(float x);

 private:
  static constexpr std::uint64_t kMergeDistance = 9;

  std::uint8_t mode;
  std::vector<std::uint64_t>& out;
  float last = 0.0f;
  bool changePending = false;
  bool zeroSeen = false;
  std::uint64_t lastIndex = 0;
  std::uint64_t counter = 0;
};
