#include "analysis/fft.h"

#include <cmath>
#include <numbers>
#include <utility>

LFft::LFft(size_t size) : size_(size >= 2 && (size & (size - 1)) == 0 ? size : 0) {
  twiddles_.resize(size_ / 2);
  for (size_t k = 0; k < size_ / 2; ++k) {
    double angle = -2 * std::numbers::pi * double(k) / double(size_);
    twiddles_[k] = {float(std::cos(angle)), float(std::sin(angle))};
  }
}

void LFft::Transform(std::complex<float>* data) const {
  const size_t n = size_;
  if (n == 0) return;
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(data[i], data[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const size_t stride = n / len, half = len / 2;
    for (size_t i = 0; i < n; i += len) {
      std::complex<float>* a = data + i;
      std::complex<float>* b = a + half;
      // Products written out: std::complex's operator* checks for NaN and
      // infinity through a library call on every multiply.
      for (size_t k = 0; k < half; ++k) {
        const std::complex<float> w = twiddles_[k * stride];
        const float vr = b[k].real() * w.real() - b[k].imag() * w.imag();
        const float vi = b[k].real() * w.imag() + b[k].imag() * w.real();
        const float ur = a[k].real(), ui = a[k].imag();
        a[k] = {ur + vr, ui + vi};
        b[k] = {ur - vr, ui - vi};
      }
    }
  }
}
