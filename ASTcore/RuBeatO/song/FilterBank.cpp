#include "FilterBank.h"

#include <stdexcept>

namespace MzMir {

void FilterBank::setWindow(int index, const std::vector<float>& w) {
  if (index < 0) throw std::domain_error("FilterBank::setWindow - index must be positive");
  const auto n = static_cast<std::int64_t>(w.size());
  if (inputSize != -1 && n != inputSize)
    throw std::invalid_argument("FilterBank::setWindow - data size must be consistent across filter indices!");
  inputSize = n;
  if (filters.size() < static_cast<std::size_t>(index) + 1) filters.resize(static_cast<std::size_t>(index) + 1);

  std::int64_t start = 0;
  while (start < n && !(w[static_cast<std::size_t>(start)] > 0.0f)) ++start;
  std::int64_t end = n;
  while (end > start && !(w[static_cast<std::size_t>(end - 1)] > 0.0f)) --end;

  Descriptor& d = filters[static_cast<std::size_t>(index)];
  d.start = static_cast<std::int32_t>(start);
  d.length = static_cast<std::int32_t>(end - start);
  d.offset = static_cast<std::int32_t>(weights.size());
  weights.insert(weights.end(), w.begin() + start, w.begin() + end);
  if (outputs.size() != filters.size()) outputs.assign(filters.size(), 0.0);
}

FilterBank& FilterBank::apply(const float* input) {
  for (std::size_t k = 0; k < filters.size(); ++k) {
    const Descriptor& d = filters[k];
    if (static_cast<std::size_t>(d.offset) >= weights.size()) {
      outputs[k] = 0.0;
      continue;
    }
    float sum = 0.0f;
    const float* x = input + d.start;
    const float* wk = weights.data() + d.offset;
    for (std::int32_t i = 0; i < d.length; ++i) sum += x[i] * wk[i];
    outputs[k] = static_cast<double>(sum);
  }
  return *this;
}

}  // namespace MzMir
