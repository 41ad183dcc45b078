#include "tests/support/test_support.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/wave_format.h"
#include "tests/support/riff.h"

namespace testsupport {

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  const char* home = std::getenv("ORATIVO_HOME");
  std::string base = home ? home : "/tmp";
  path_ = base + "/t" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (old) old_ = old;
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    setenv(name_.c_str(), old_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

int RunCommand(const std::string& commandLine) {
  int status = std::system(commandLine.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string CommandOutput(const std::string& commandLine) {
  std::string output;
  FILE* pipe = popen(commandLine.c_str(), "r");
  if (!pipe) return output;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
  pclose(pipe);
  return output;
}

bool InCI() {
  const char* ci = std::getenv("ORATIVO_CI");
  return ci && std::string(ci) == "1";
}

bool HaveCommand(const std::string& name) { return RunCommand("command -v '" + name + "' >/dev/null 2>&1") == 0; }

std::string ToolPath(const std::string& name) {
  const char* folder = std::getenv("ORATIVO_TEST_TOOLS");
  if (folder) return std::string(folder) + "/" + name;
  // Run by hand: the test program lives in build/tests/..., the tools in build/tools.
  std::error_code error;
  std::filesystem::path at = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
  for (; !at.empty() && at != at.root_path(); at = at.parent_path())
    if (std::filesystem::exists(at / "tools" / name, error)) return (at / "tools" / name).string();
  return "./" + name;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

bool WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return bool(out);
}

bool WriteWav16(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples) {
  return WriteFileBytes(
      path, Riff({Chunk("fmt ", Fmt(1, uint16_t(channels), uint32_t(rate), 16)), Chunk("data", Samples16(samples))}));
}

bool ReadWav16(const std::string& path, int* rate, int* channels, std::vector<int16_t>* samples) {
  WavParts parts;
  LWaveFormat format;
  if (!ParseWav(ReadFileBytes(path), &parts) || !LWaveFormat::Parse(parts.format.data(), parts.format.size(), &format))
    return false;
  bool extensiblePcm = format.formatTag == kWaveFormatExtensible && format.extra.size() >= 8 && format.extra[6] == 1 &&
                       format.extra[7] == 0;
  if ((format.formatTag != kWaveFormatPcm && !extensiblePcm) || format.bitsPerSample != 16) return false;
  *rate = int(format.sampleRate);
  *channels = format.channels;
  samples->resize(parts.data.size() / 2);
  for (size_t i = 0; i < samples->size(); ++i) (*samples)[i] = int16_t(LeGet16(&parts.data[2 * i]));
  return true;
}

std::vector<int16_t> Tone(int rate, int channels, int frames, double hz, double amplitude) {
  std::vector<int16_t> samples(size_t(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    auto v = int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
    for (int c = 0; c < channels; ++c) samples[size_t(i) * channels + c] = v;
  }
  return samples;
}

}  // namespace testsupport
