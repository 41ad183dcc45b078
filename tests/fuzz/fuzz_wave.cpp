// Damaged WAV files: opening, reading and seeking must never crash, hang,
// allocate without bound or read outside a buffer.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "sound/files/wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder ? folder : "/tmp") + "/fuzz_wave_" + std::to_string(getpid()) + ".wav";
  }();
  {
    PlatformFile file = PlatformFile::Create(path);
    if (file.Write(data, size) != size) return 0;
  }
  LSoundSourceRef source = LWaveFile::OpenSource(path);
  static std::vector<int32_t> buffer(size_t(kWaveFramesPerBlock + 100) * 255);
  const int sizes[] = {1, 1000, kWaveFramesPerBlock + 100, 3};
  for (int frames : sizes) source->Read(buffer.data(), frames);
  int length = source->GetLength();
  for (int at : {-50, length - 2, length / 2, 0x7FFFFFF0}) {
    source->Seek(at);
    source->Read(buffer.data(), 200);
  }
  // A sink continuing the same file must cope with whatever it holds.
  LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 8000, source->channels, 16, 100);
  if (sink.Get()) sink->Write(buffer.data(), 10);
  return 0;
}
