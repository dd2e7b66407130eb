#pragma once
// A set of sparse linear filters over one input vector of a common length:
// each filter keeps only the run between its first and last positive
// weight, so a filter that covers a few spectrum bins costs a few
// multiply-adds.

#include <cstdint>
#include <vector>

namespace MzMir {

class FilterBank {
 public:
  struct Descriptor {
    std::int32_t start = 0;   // first input index read
    std::int32_t length = 0;  // weights stored
    std::int32_t offset = 0;  // first stored weight in `weights`
  };

  virtual ~FilterBank() = default;

  // Defines or replaces filter `index` from its dense weights. The first
  // filter fixes the input length; a later one of another length throws
  // std::invalid_argument and changes nothing. A negative index throws
  // std::domain_error. Filters below `index` not yet set read nothing.
  void setWindow(int index, const std::vector<float>& weights);

  // Every filter's output for `input` (at least inputSize values), summed
  // in single precision. Returns the bank.
  FilterBank& apply(const float* input);

  const std::vector<double>& output() const { return outputs; }
  std::int64_t inputLength() const { return inputSize; }
  std::size_t size() const { return filters.size(); }

 protected:
  std::int64_t inputSize = -1;
  std::vector<Descriptor> filters;
  std::vector<float> weights;
  std::vector<double> outputs;
};

}  // namespace MzMir
