// Damaged MP3 files: opening, reading and seeking must never crash, hang,
// allocate without bound or read outside a buffer.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "sound/files/mp3_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder ? folder : "/tmp") + "/fuzz_mp3_" + std::to_string(getpid()) + ".mp3";
  }();
  {
    PlatformFile file = PlatformFile::Create(path);
    if (file.Write(data, size) != size) return 0;
  }
  LMP3Source source(path);
  std::vector<int32_t> buffer(size_t(3000) * source.channels);
  // Whole frames straight into the buffer, and pieces through the frame buffer.
  const int sizes[] = {1, 1152, 3000, 7, 576, 2000};
  for (int frames : sizes) source.Read(buffer.data(), frames);
  const int length = source.GetLength();
  for (int at : {length / 2, -100, length - 3, 1152 * 5 + 1, 0x7FFFFFF0}) {
    source.Seek(at);
    source.Read(buffer.data(), 2500);
  }
  return 0;
}
