#pragma once
// A small in-place radix-2 FFT, enough for short-time spectra.
#include <complex>
#include <vector>

// Transforms data (its size a power of two) in place, forward (e^-i).
void FftInPlace(std::vector<std::complex<float>>& data);
