#pragma once
// Reading of vectors in the ublas stream syntax "[n](v0,v1,...)" without
// trusting the count: elements are collected as they arrive, so a text that
// announces a huge (or negative) count cannot make us allocate for it.

#include <istream>

#include <boost/numeric/ublas/vector.hpp>

namespace kelo {

// Reads one vector from `in`. On success `v` holds exactly the announced
// number of elements. On any mismatch (missing "[", "]", "(", "," or ")",
// a negative count, fewer elements than announced) the stream's fail state
// is set, the offending character is put back and `v` is left unchanged.
// A failed stream reads nothing.
std::istream& readVectorText(std::istream& in,
                             boost::numeric::ublas::vector<double>& v);

}  // namespace kelo
