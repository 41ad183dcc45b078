#include "analysis/fft.h"

#include <cmath>
#include <numbers>
#include <utility>

void FftInPlace(std::vector<std::complex<float>>& data) {
  const size_t n = data.size();
  if (n < 2 || (n & (n - 1)) != 0) return;
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(data[i], data[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double angle = -2 * std::numbers::pi / double(len);
    const std::complex<float> step(float(std::cos(angle)), float(std::sin(angle)));
    for (size_t i = 0; i < n; i += len) {
      // Products written out: std::complex's operator* checks for NaN
      // and infinity through a library call on every multiply.
      float wr = 1, wi = 0;
      for (size_t k = 0; k < len / 2; ++k) {
        std::complex<float>& a = data[i + k];
        std::complex<float>& b = data[i + k + len / 2];
        const float vr = b.real() * wr - b.imag() * wi, vi = b.real() * wi + b.imag() * wr;
        const float ur = a.real(), ui = a.imag();
        a = {ur + vr, ui + vi};
        b = {ur - vr, ui - vi};
        const float next = wr * step.real() - wi * step.imag();
        wi = wr * step.imag() + wi * step.real();
        wr = next;
      }
    }
  }
}
