// Builds a wave-format record and its data from the input, opens them through
// the codec-layer source and pulls it: reads to the end, seeks and reads
// again. The record's fields are steered towards the formats the codec knows
// so that the block structure checks and the decoders both get exercised.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sound/files/acm_wave.h"

namespace {

std::string TempPath() {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder && *folder ? folder : "/tmp") + "/fuzz_codec_" + std::to_string(getpid()) + ".dat";
}

void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = uint8_t(x);
  v[at + 1] = uint8_t(x >> 8);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  Put16(v, at, x);
  Put16(v, at + 2, x >> 16);
}

const uint16_t kTags[] = {0x0001, 0x0002, 0x0003, 0x0006, 0x0007, 0x0011, 0x0031, 0xFFFE};
const uint8_t kGuidTail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  const uint8_t* p = data;
  uint16_t tag = p[0] < 240 ? kTags[p[0] % 8] : uint16_t(p[0] | p[1] << 8);
  unsigned channels = p[1] < 250 ? 1 + p[1] % 4 : p[1];
  uint32_t blockAlign = uint32_t(p[2] | p[3] << 8);
  unsigned bits = p[4];
  size_t extraSize = std::min<size_t>(p[5], size - 10);
  uint8_t mode = p[6];
  uint32_t rate = 1 + (uint32_t(p[7] | p[8] << 8) * 3) % 196000;
  uint32_t average = p[9] & 1 ? 0 : rate * (1 + p[9] % 8);
  p += 10;
  size -= 10;

  std::vector<uint8_t> record(18 + extraSize);
  Put16(record, 0, tag);
  Put16(record, 2, channels);
  Put32(record, 4, rate);
  Put32(record, 8, average);
  Put16(record, 12, blockAlign);
  Put16(record, 14, bits);
  Put16(record, 16, uint32_t(extraSize) + (mode & 0x80 ? 7 : 0));  // sometimes more than there is
  std::copy(p, p + extraSize, record.begin() + 18);
  if (tag == 0xFFFE && extraSize >= 22) std::copy(kGuidTail, kGuidTail + 14, record.begin() + 18 + 8);
  p += extraSize;
  size -= extraSize;

  static const std::string path = TempPath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  const size_t lead = mode & 0x40 ? 12 : 0;  // the data need not start the file
  std::vector<uint8_t> padding(lead, 0x55);
  std::fwrite(padding.data(), 1, lead, file);
  if (size) std::fwrite(p, 1, size, file);
  std::fclose(file);

  uint32_t dataSize = uint32_t(size);
  switch (mode & 3) {
    case 1:
      dataSize = 0xFFFFFFFF;
      break;
    case 2:
      dataSize = uint32_t(size) + 100000;  // more than the file holds
      break;
    case 3:
      dataSize = uint32_t(size / 2);
      break;
  }
  PlatformFile handle = PlatformFile::OpenRead(path);
  handle.Seek(int64_t(lead));
  LSoundSourceRef source = OpenACMWaveSource(std::move(handle), record, dataSize);

  std::vector<int32_t> buffer(size_t(8192) * source->channels);
  int piece = 1 + (mode >> 2) % 16 * 512;
  int64_t total = 0;
  while (source->GetPosition() < source->GetLength() && total < (1 << 21)) {
    source->Read(buffer.data(), piece);
    total += piece;
  }
  const int length = source->GetLength();
  const int targets[] = {length / 2, length / 3 + 7, -100, length + 10, 1, INT32_MAX - 5000};
  for (int target : targets) {
    source->Seek(target);
    source->Read(buffer.data(), 8192);
    source->Read(buffer.data(), 3);
    source->GetLength();
  }
  std::remove(path.c_str());
  return 0;
}
