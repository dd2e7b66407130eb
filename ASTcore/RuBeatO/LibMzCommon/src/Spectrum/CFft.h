// Magnitude spectra of mono float frames: the spectral front end under the
// semitone power, the chord engine's meter and spectrum features, the beat
// trackers and the song-structure features.
//
// One object owns its frame, window and FFT tables and serves one thread at a
// time; distinct objects may run in parallel. No allocation happens per
// frame. Spectra are twice the unscaled DFT of the (windowed) frame.

#pragma once

#include <cstdint>
#include <vector>

class CFftImpl;

class CFft {
 public:
  // Window codes accepted by MakeWindow.
  enum WindowType : std::uint32_t { Hamming = 0, Hann = 1, Blackman = 2, BartlettHann = 3 };

  // n: transform size, a power of two of at least 2 (std::invalid_argument
  // otherwise). hop: frame advance of Spectrogram. The window starts
  // rectangular (all ones).
  CFft(std::uint64_t n, std::uint64_t hop);
  virtual ~CFft();

  CFft(const CFft&) = delete;
  CFft& operator=(const CFft&) = delete;

  // Fills the first `length` window values with the window of `type` (codes
  // above). Returns 0, or -1 for an unknown type, leaving the window as it
  // was. A length of 0 writes nothing; a length of 1 is a single 1.0. Throws
  // std::out_of_range when length exceeds twice the transform size.
  std::int32_t MakeWindow(std::uint64_t length, std::uint32_t type);

  // Takes n samples in[0], in[stride], in[2*stride], ... (only those with an
  // index below len; the rest of the frame is zero), optionally applies the
  // window, doubles the frame and runs the real transform: forward when
  // direction is -1, backward for any other value. The packed spectrum stays
  // inside the object for GetMagnitude. Throws std::invalid_argument for a
  // stride below 1 or a null `in` with a non-zero len.
  void Transform(const float* in, std::uint64_t len, std::int32_t direction, bool applyWindow,
                 std::int32_t stride);

  // Writes the n/2 magnitudes of the last spectrum (DC first, the Nyquist
  // term left out). A null out writes nothing.
  void GetMagnitude(float* out) const;

  // Transform followed by GetMagnitude.
  void ComputeMagnitude(float* out, const float* in, std::uint64_t len, std::int32_t direction,
                        bool applyWindow, std::int32_t stride);

  // Appends one vector of n/2 magnitudes per frame of `hop` samples to out
  // (which is not cleared), with a Hamming window that replaces the window
  // set before. Frames reaching beyond len are zero-padded; an input shorter
  // than one frame gives one frame, an empty input none. Throws
  // std::invalid_argument when the hop is 0.
  void Spectrogram(std::vector<std::vector<float>>& out, const float* in, std::uint64_t len);

  std::uint64_t GetSize() const;
  std::uint64_t GetHop() const;

  // Always 0.0; kept for the interface of derived analysers.
  float GetFloatValue() const;

 private:
  CFftImpl* impl_;
};
