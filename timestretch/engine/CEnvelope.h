#pragma once
// A tunable value of the spectral engine that may change over the course of a
// recording. It holds either a sampled array (one value per index) or a list
// of breakpoints over normalised time 0..1 (the first at 0.0, the last at
// 1.0), together with a range, a default, a value type and an interpolation
// rule. A constant is simply two equal breakpoints; the time kAllTimes given
// to SetValue makes the envelope that constant.
//
// Errors are thrown as integers, like everywhere inside the engine: -1 when
// an array cannot be allocated (the array is then left null), -2 for refused
// input (a time, value or range that is not a number).

#include <cstdint>
#include <memory>

class CEnvelope {
public:
  // Kinds.
  static constexpr std::uint8_t kUndefined = 0;
  static constexpr std::uint8_t kSampled = 2;
  static constexpr std::uint8_t kBreakpoints = 3;
  // Value types.
  static constexpr std::uint8_t kFloat = 1;
  static constexpr std::uint8_t kInteger = 2;
  // Interpolation between breakpoints.
  static constexpr std::uint8_t kLinear = 1;
  static constexpr std::uint8_t kStep = 2;

  // The time that stands for every time.
  static constexpr double kAllTimes = 123456.0;
  // Storage grows in steps of this many entries.
  static constexpr std::int32_t kGrowthStep = 25;

  struct Breakpoint {
    double time;
    float value;
  };

  // An undefined envelope: no kind, no entries, no storage.
  CEnvelope();
  virtual ~CEnvelope();
  CEnvelope(const CEnvelope&) = delete;
  CEnvelope& operator=(const CEnvelope&) = delete;

  // (Re)defines the envelope and fills it with the default: a sampled array
  // of max(1, count) samples, or max(2, count) breakpoints spread evenly
  // over 0..1. The maximum is raised to the minimum when below it and the
  // default is clamped into the range. Other kinds only store the settings.
  // Returns 0; throws -1 when storage cannot be had and -2 when the minimum,
  // maximum or default is not a number.
  virtual int Set(std::uint8_t kind, std::uint8_t valueType, std::uint8_t interpolation, std::int64_t count,
                  int equalSpacing, std::uint32_t offAtMinimum, float minimum, float maximum, float defaultValue);

  // Stores `value` (clamped into the range, truncated for integer envelopes)
  // at `time`: a normalised time for breakpoints, an index for a sampled
  // array (which grows when the index lies past its end). kAllTimes sets
  // every time. An undefined envelope stores nothing. Returns 0; throws -1
  // when storage cannot grow and -2 when the time or the value is not a
  // number.
  int SetValue(double time, float value);

  // The value at `time`: the nearest sample of a sampled array (the default
  // past its end), or the linear or step interpolation between the
  // breakpoints around `time`. An envelope without entries reads as 0; a
  // time that is not a number reads the default.
  float GetValue(double time) const;

  // Back to the default everywhere: two breakpoints (the default rounded to
  // a whole number for integer envelopes), or every sample. Throws -1 when
  // storage cannot be had.
  void Reset();

  // Removes every entry; the storage is kept when keepStorage is non-zero.
  void Clear(int keepStorage);

  // Makes this envelope an exact copy of `other`. Throws -1 when storage
  // cannot be had.
  void CopyFrom(const CEnvelope& other);

  std::uint8_t Kind() const { return m_kind; }
  std::uint8_t ValueType() const { return m_valueType; }
  std::uint8_t Interpolation() const { return m_interpolation; }
  float Minimum() const { return m_minimum; }
  float Default() const { return m_default; }
  float Maximum() const { return m_maximum; }
  // True from Set until the first SetValue.
  bool IsPristine() const { return m_pristine != 0; }
  std::uint32_t OffAtMinimum() const { return m_offAtMinimum; }
  bool HasEqualSpacing() const { return m_equalSpacing != 0; }

  std::int64_t BreakpointCount() const { return m_breakpointCount; }
  // Breakpoint `index`, which must be below BreakpointCount().
  const Breakpoint& BreakpointAt(std::int64_t index) const { return m_breakpoints[index]; }
  std::int64_t SampleCount() const { return m_sampleCount; }
  // Sample `index`, which must be below SampleCount().
  float SampleAt(std::int64_t index) const { return m_samples[index]; }

private:
  float clampValue(float value) const;
  float resetValue() const;
  void reserveBreakpoints(std::int64_t needed);
  void reserveSamples(std::int64_t needed);
  void setBreakpointValue(double time, float value);
  void setSampleValue(double time, float value);
  void insertBreakpoint(std::int64_t at, double time, float value);
  std::int64_t segmentBefore(double time) const;
  float interpolate(std::int64_t index, double time) const;

  std::uint8_t m_kind = kUndefined;
  std::uint8_t m_valueType = 0;
  std::uint8_t m_interpolation = 0;
  float m_minimum = 0.0f;
  float m_default = 0.0f;
  float m_maximum = 0.0f;
  std::int32_t m_pristine = 0;
  std::uint32_t m_offAtMinimum = 0;
  std::int32_t m_equalSpacing = 0;
  std::int64_t m_breakpointCount = 0;
  std::int32_t m_breakpointCapacity = 0;
  std::int32_t m_growthStep = kGrowthStep;
  std::unique_ptr<Breakpoint[]> m_breakpoints;
  std::int32_t m_sampleCapacity = 0;
  std::int64_t m_sampleCount = 0;
  std::unique_ptr<float[]> m_samples;
};
