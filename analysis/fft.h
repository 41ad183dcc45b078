#pragma once
// A small in-place radix-2 FFT, enough for short-time spectra.
#include <complex>
#include <vector>

class LFft {
 public:
  explicit LFft(size_t size);  // a power of two; others transform nothing
  size_t Size() const { return size_; }
  // Forward (e^-i) transform of Size() values in place.
  void Transform(std::complex<float>* data) const;

 private:
  size_t size_;
  std::vector<std::complex<float>> twiddles_;  // e^(-2 pi i k / size), k < size / 2
};
