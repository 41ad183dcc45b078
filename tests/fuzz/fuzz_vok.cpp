// Opens arbitrary bytes as a VOK file, reads blocks of assorted sizes, seeks
// and reads again. The work per input is bounded whatever the header claims.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sound/files/vok_file.h"

namespace {

std::string TempPath() {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder && *folder ? folder : "/tmp") + "/fuzz_vok_" + std::to_string(getpid()) + ".vok";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = TempPath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);

  LSRCVOKFile source(path);
  const int channels = source.channels;
  std::vector<int32_t> buffer(size_t(1200) * channels);
  // Read sizes and seek targets come from the data's tail so the fuzzer steers them.
  auto pick = [&](size_t i) { return size > i ? data[size - 1 - i] : uint8_t(i * 37); };
  for (size_t i = 0; i < 6; ++i) source.Read(buffer.data(), 1 + pick(i) * 4);
  const int targets[] = {
      pick(6) - 128,        pick(7) * 16 + pick(8) % 16, source.GetLength() - pick(9), source.GetLength() + pick(10),
      INT32_MAX - pick(11), INT32_MIN + pick(12)};
  for (int target : targets) {
    source.Seek(target);
    source.Read(buffer.data(), 1 + pick(13) * 4);
    source.Read(buffer.data(), 16);
  }
  std::remove(path.c_str());
  return 0;
}
