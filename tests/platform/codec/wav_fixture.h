#pragma once
// WAV fixtures for the codec tests: sox makes the compressed files and the
// reference decodes; these helpers pick the chunks apart and put them back.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace codectest {

inline uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
  v[at] = uint8_t(x);
  v[at + 1] = uint8_t(x >> 8);
}
inline void Append32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; i++) v.push_back(uint8_t(x >> (8 * i)));
}

struct WavParts {
  std::vector<uint8_t> format;  // the "fmt " body
  std::vector<uint8_t> data;    // the "data" body as far as the file holds it
  uint32_t dataOffset = 0;
  uint32_t dataSize = 0;  // as declared
};

// Finds "fmt " and "data" in a RIFF WAVE file; false when either is missing.
inline bool ParseWav(const std::vector<uint8_t>& file, WavParts* parts) {
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0)
    return false;
  bool haveFormat = false;
  for (size_t at = 12; at + 8 <= file.size();) {
    uint32_t size = Le32(file.data() + at + 4);
    size_t body = at + 8;
    size_t present = std::min<size_t>(size, file.size() - body);
    if (std::memcmp(file.data() + at, "fmt ", 4) == 0) {
      parts->format.assign(file.begin() + body, file.begin() + body + present);
      haveFormat = true;
    } else if (std::memcmp(file.data() + at, "data", 4) == 0) {
      parts->dataOffset = uint32_t(body);
      parts->dataSize = size;
      parts->data.assign(file.begin() + body, file.begin() + body + present);
      return haveFormat;
    }
    at = body + size + (size & 1);
  }
  return false;
}

// A RIFF WAVE of a "fmt " body and data bytes; declaredDataSize overrides the
// data chunk's size field when it is not 0.
inline std::vector<uint8_t> MakeWav(const std::vector<uint8_t>& format, const std::vector<uint8_t>& data,
                                    uint32_t declaredDataSize = 0) {
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
  Append32(file, uint32_t(4 + 8 + format.size() + (format.size() & 1) + 8 + data.size()));
  for (char c : std::string("WAVEfmt ")) file.push_back(uint8_t(c));
  Append32(file, uint32_t(format.size()));
  file.insert(file.end(), format.begin(), format.end());
  if (format.size() & 1) file.push_back(0);
  for (char c : std::string("data")) file.push_back(uint8_t(c));
  Append32(file, declaredDataSize ? declaredDataSize : uint32_t(data.size()));
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

// A "fmt " body of the fixed fields and extra bytes.
inline std::vector<uint8_t> FormatRecord(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t average,
                                         uint16_t blockAlign, uint16_t bits, const std::vector<uint8_t>& extra = {}) {
  std::vector<uint8_t> f(18);
  Put16(f, 0, tag);
  Put16(f, 2, channels);
  for (int i = 0; i < 4; i++) f[4 + i] = uint8_t(rate >> (8 * i)), f[8 + i] = uint8_t(average >> (8 * i));
  Put16(f, 12, blockAlign);
  Put16(f, 14, bits);
  Put16(f, 16, uint16_t(extra.size()));
  f.insert(f.end(), extra.begin(), extra.end());
  return f;
}

// sox's own decode of a file to 16-bit samples, without dither.
inline std::vector<int16_t> SoxDecode16(const std::string& path) {
  std::string raw = testsupport::CommandOutput("sox -D '" + path + "' -t raw -e signed-integer -b 16 -L - 2>/dev/null");
  std::vector<int16_t> samples(raw.size() / 2);
  for (size_t i = 0; i < samples.size(); i++)
    samples[i] = int16_t(uint16_t(uint8_t(raw[2 * i]) | uint8_t(raw[2 * i + 1]) << 8));
  return samples;
}

// A test signal with some of everything: a sweep, a second tone, loud peaks.
inline bool MakeSoxFile(const std::string& path, int rate, int channels, const std::string& encoding,
                        double seconds = 1.0) {
  std::string synth = channels == 1 ? "synth " + std::to_string(seconds) + " sine 200-5000 sine 330 vol 0.95"
                                    : "synth " + std::to_string(seconds) + " sine 200-5000 sine 330";
  if (channels > 2) synth += " sine 1000";
  std::string cmd = "sox -D -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " " + encoding + " '" +
                    path + "' " + synth + " 2>/dev/null";
  return testsupport::RunCommand(cmd) == 0;
}

}  // namespace codectest
