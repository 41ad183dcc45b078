#include "tests/support/test_support.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

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

static void Put16(std::vector<uint8_t>& b, unsigned v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
static void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
static uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
static unsigned Get16(const uint8_t* p) { return p[0] | p[1] << 8; }

bool WriteWav16(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples) {
  std::vector<uint8_t> b;
  uint32_t dataSize = uint32_t(samples.size() * 2);
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  Put32(b, 36 + dataSize);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, unsigned(channels));
  Put32(b, uint32_t(rate));
  Put32(b, uint32_t(rate * channels * 2));
  Put16(b, unsigned(channels * 2));
  Put16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  Put32(b, dataSize);
  for (int16_t s : samples) Put16(b, uint16_t(s));
  return WriteFileBytes(path, b);
}

bool ReadWav16(const std::string& path, int* rate, int* channels, std::vector<int16_t>* samples) {
  std::vector<uint8_t> b = ReadFileBytes(path);
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) return false;
  size_t at = 12;
  bool haveFormat = false;
  while (at + 8 <= b.size()) {
    uint32_t size = Get32(&b[at + 4]);
    const uint8_t* body = &b[at + 8];
    size_t available = b.size() - at - 8;
    if (std::memcmp(&b[at], "fmt ", 4) == 0 && available >= 16) {
      unsigned tag = Get16(body);
      *channels = int(Get16(body + 2));
      *rate = int(Get32(body + 4));
      unsigned bits = Get16(body + 14);
      bool extensiblePcm = tag == 0xFFFE && available >= 26 && Get16(body + 24) == 1;
      if ((tag != 1 && !extensiblePcm) || bits != 16) return false;
      haveFormat = true;
    } else if (std::memcmp(&b[at], "data", 4) == 0 && haveFormat) {
      size_t bytes = std::min<size_t>(size, available) & ~size_t(1);
      samples->resize(bytes / 2);
      for (size_t i = 0; i < bytes / 2; ++i) (*samples)[i] = int16_t(Get16(body + 2 * i));
      return true;
    }
    at += 8 + size + (size & 1);
  }
  return false;
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
