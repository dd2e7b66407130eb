#include "LinAlg.h"

#include <cmath>
#include <stdexcept>

namespace Numeric {
namespace LinAlg {

namespace ublas = boost::numeric::ublas;

template <typename T>
void cholesky(ublas::matrix<T>& L, const ublas::matrix<T>& A) {
  const std::size_t n = A.size1();
  if (A.size2() != n) throw std::invalid_argument("cholesky needs a square matrix");
  L.resize(n, n, false);
  L.clear();
  for (std::size_t j = 0; j < n; ++j) {
    T diagonal = A(j, j);
    for (std::size_t k = 0; k < n; ++k) diagonal -= L(j, k) * L(j, k);
    L(j, j) = std::sqrt(diagonal);
    for (std::size_t i = j + 1; i < n; ++i) {
      T v = A(i, j);
      for (std::size_t k = 0; k < n; ++k) v -= L(i, k) * L(j, k);
      L(i, j) = v / L(j, j);
    }
  }
}

template <typename T>
void forward_solve(ublas::vector<T>& x, const ublas::vector<T>& b, const ublas::matrix<T>& L) {
  const std::size_t n = x.size();
  if (n == 0) return;
  if (b.size() < n || L.size1() < n || L.size2() < n) {
    throw std::invalid_argument("forward_solve: right-hand side or matrix smaller than the solution");
  }
  x(0) = b(0) / L(0, 0);
  for (std::size_t i = 1; i < n; ++i) {
    T v = b(i);
    for (std::size_t j = 0; j < i; ++j) v -= L(i, j) * x(j);
    x(i) = v / L(i, i);
  }
}

template void cholesky<float>(ublas::matrix<float>&, const ublas::matrix<float>&);
template void cholesky<double>(ublas::matrix<double>&, const ublas::matrix<double>&);
template void forward_solve<float>(ublas::vector<float>&, const ublas::vector<float>&,
                                   const ublas::matrix<float>&);
template void forward_solve<double>(ublas::vector<double>&, const ublas::vector<double>&,
                                    const ublas::matrix<double>&);

}  // namespace LinAlg
}  // namespace Numeric
