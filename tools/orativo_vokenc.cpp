// orativo-vokenc IN.wav OUT.vok : encodes an 8- or 16-bit PCM WAV file as a
// compact VOK voice file. Exit status 0 on success, 1 on a usage error, 2
// when the input is not a usable WAV file, 3 when the output cannot be written.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "sound/files/vok_encoder.h"
#include "sound/sound_stream.h"

namespace {

uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

struct PcmWave {
  uint32_t rate = 0;
  unsigned channels = 0;
  std::vector<int32_t> samples;  // internal scale
};

// Walks the RIFF chunks for "fmt " and "data"; the data may be cut short.
bool ReadPcmWave(const std::string& path, PcmWave* wave, std::string* why) {
  PlatformFile file = PlatformFile::OpenRead(path);
  if (!file.IsOpen()) {
    *why = "cannot open " + path;
    return false;
  }
  uint8_t riff[12];
  if (file.Read(riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
    *why = "not a RIFF WAVE file";
    return false;
  }
  unsigned bits = 0;
  bool haveFormat = false;
  for (;;) {
    uint8_t chunk[8];
    if (file.Read(chunk, 8) != 8) {
      *why = "no data chunk";
      return false;
    }
    const uint32_t size = Get32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t format[16];
      if (size < 16 || file.Read(format, 16) != 16 || !file.Skip(int64_t(size - 16) + (size & 1))) {
        *why = "damaged fmt chunk";
        return false;
      }
      const unsigned tag = Get16(format);
      wave->channels = Get16(format + 2);
      wave->rate = Get32(format + 4);
      bits = Get16(format + 14);
      if (tag != 1 || (bits != 8 && bits != 16) || wave->channels < 1 || wave->channels > 255 || wave->rate < 1 ||
          wave->rate > 0xFFFFFF) {
        *why = "only 8- and 16-bit PCM with 1 to 255 channels can be encoded";
        return false;
      }
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) {
        *why = "data before fmt";
        return false;
      }
      const int64_t left = file.Size() - file.Tell();
      const int64_t bytes = std::min<int64_t>(size, std::max<int64_t>(left, 0));
      std::vector<uint8_t> data(size_t(bytes > 0 ? bytes : 0));
      data.resize(file.Read(data.data(), data.size()));
      const size_t frameBytes = bits / 8 * wave->channels;
      const size_t frames = data.size() / frameBytes;
      wave->samples.resize(frames * wave->channels);
      for (size_t i = 0; i < wave->samples.size(); ++i)
        wave->samples[i] = bits == 16 ? SampleFrom16(int16_t(Get16(&data[2 * i]))) : SampleFrom8(data[i]);
      return true;
    } else if (!file.Skip(int64_t(size) + (size & 1))) {
      *why = "damaged chunk";
      return false;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: orativo-vokenc IN.wav OUT.vok\n");
    return 1;
  }
  PcmWave wave;
  std::string why;
  if (!ReadPcmWave(argv[1], &wave, &why)) {
    std::fprintf(stderr, "orativo-vokenc: %s: %s\n", argv[1], why.c_str());
    return 2;
  }
  if (!WriteVOKFile(argv[2], wave.samples, wave.rate, wave.channels)) {
    std::fprintf(stderr, "orativo-vokenc: cannot write %s\n", argv[2]);
    return 3;
  }
  return 0;
}
