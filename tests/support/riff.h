#pragma once
// RIFF WAVE files for tests: building them chunk by chunk, picking them
// apart, and sox as the oracle that makes compressed files and decodes them.
#include <algorithm>
#include <cstring>

#include "platform/little_endian.h"
#include "tests/support/test_support.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// A chunk: id, size (the body's unless given), body and its pad byte.
inline Bytes Chunk(const char* id, const Bytes& body, uint32_t size) {
  Bytes b(id, id + 4);
  LeAppend32(b, size);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
  return b;
}
inline Bytes Chunk(const char* id, const Bytes& body) { return Chunk(id, body, uint32_t(body.size())); }
// A "RIFF" form of type WAVE around the chunks.
inline Bytes Riff(const std::vector<Bytes>& chunks) {
  Bytes body{'W', 'A', 'V', 'E'};
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body);
}
// A "fmt " body of the fixed fields and extra bytes.
inline Bytes FormatRecord(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t average, uint16_t blockAlign,
                          uint16_t bits, const Bytes& extra = {}) {
  Bytes f;
  for (uint32_t v : {uint32_t(tag), uint32_t(channels)}) LeAppend16(f, v);
  for (uint32_t v : {rate, average}) LeAppend32(f, v);
  for (uint32_t v : {uint32_t(blockAlign), uint32_t(bits), uint32_t(extra.size())}) LeAppend16(f, v);
  f.insert(f.end(), extra.begin(), extra.end());
  return f;
}
// A PCM "fmt " body; extra >= 0 adds the extra size and that many zero bytes.
inline Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int extra = -1) {
  const uint16_t align = uint16_t(channels * ((bits + 7) / 8));
  Bytes f = FormatRecord(tag, channels, rate, rate * align, align, bits, Bytes(size_t(std::max(extra, 0)), 0));
  if (extra < 0) f.resize(16);
  return f;
}
inline Bytes Samples16(const std::vector<int16_t>& samples) {
  Bytes b;
  for (int16_t s : samples) LeAppend16(b, uint16_t(s));
  return b;
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
    uint32_t size = LeGet32(file.data() + at + 4);
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
  Bytes dataChunk = Chunk("data", data, declaredDataSize ? declaredDataSize : uint32_t(data.size()));
  if (data.size() & 1) dataChunk.pop_back();  // the data runs to the end of the file
  return Riff({Chunk("fmt ", format), dataChunk});
}

// sox's own decode of a file to 16-bit samples, without dither.
inline std::vector<int16_t> SoxDecode16(const std::string& path) {
  std::string raw = CommandOutput("sox -D '" + path + "' -t raw -e signed-integer -b 16 -L - 2>/dev/null");
  std::vector<int16_t> samples(raw.size() / 2);
  for (size_t i = 0; i < samples.size(); i++) samples[i] = int16_t(LeGet16(reinterpret_cast<uint8_t*>(&raw[2 * i])));
  return samples;
}

// A test signal with some of everything: a sweep, a second tone, loud peaks.
inline bool MakeSoxFile(const std::string& path, int rate, int channels, const std::string& encoding,
                        double seconds = 1.0) {
  std::string synth = "synth " + std::to_string(seconds) + " sine 200-5000 sine 330" +
                      (channels == 1  ? " vol 0.95"
                       : channels > 2 ? " sine 1000"
                                      : "");
  return RunCommand("sox -D -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " " + encoding + " '" +
                    path + "' " + synth + " 2>/dev/null") == 0;
}

}  // namespace testsupport
