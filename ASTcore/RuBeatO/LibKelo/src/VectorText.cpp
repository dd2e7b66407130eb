#include "VectorText.h"

#include <vector>

namespace kelo {

namespace {

// Reads the next non-blank character; on a mismatch puts it back and fails
// the stream.
bool expect(std::istream& in, char wanted) {
  char ch = 0;
  if (!(in >> ch)) return false;
  if (ch != wanted) {
    in.putback(ch);
    in.setstate(std::ios_base::failbit);
    return false;
  }
  return true;
}

}  // namespace

std::istream& readVectorText(std::istream& in,
                             boost::numeric::ublas::vector<double>& v) {
  if (!expect(in, '[')) return in;
  long long count = 0;
  if (!(in >> count)) return in;
  if (count < 0) {
    in.setstate(std::ios_base::failbit);
    return in;
  }
  if (!expect(in, ']') || !expect(in, '(')) return in;

  std::vector<double> values;
  for (long long i = 0; i < count; ++i) {
    if (i > 0 && !expect(in, ',')) return in;
    double x = 0.0;
    if (!(in >> x)) return in;
    values.push_back(x);
  }
  if (!expect(in, ')')) return in;

  boost::numeric::ublas::vector<double> result(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) result(i) = values[i];
  v.swap(result);
  return in;
}

}  // namespace kelo
