#include "tests/support/test_support.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

ScopedEnv::ScopedEnv(const char* name, const char* value)
    : name_(name), had_(std::getenv(name)), old_(had_ ? std::getenv(name) : "") {
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

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    // A short sleep in an event loop: events at once, no busy loop on a loaded machine.
    QEventLoop pause;
    QTimer::singleShot(2, &pause, &QEventLoop::quit);
    pause.exec();
  }
  return true;
}

void Pump(int ms) {
  WaitFor([] { return false; }, ms);
}

int RunCommand(const std::string& commandLine) {
  int status = std::system(commandLine.c_str());
  return status == -1 || !WIFEXITED(status) ? -1 : WEXITSTATUS(status);
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

bool InCI() { return std::getenv("ORATIVO_CI") && std::string(std::getenv("ORATIVO_CI")) == "1"; }

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

int RunTool(const std::string& name, const std::vector<std::string>& arguments, std::string* output) {
  QStringList words;
  for (const std::string& a : arguments) words << QString::fromStdString(a);
  QProcess tool;
  tool.setStandardErrorFile(QProcess::nullDevice());
  tool.start(QString::fromStdString(ToolPath(name)), words);
  if (!tool.waitForFinished(120000)) return -1;
  if (output) *output = tool.readAllStandardOutput().toStdString();
  return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::vector<uint8_t>> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error); it != fs::recursive_directory_iterator();
       it.increment(error))
    if (it->is_symlink() || it->is_regular_file())
      files[it->path().string()] = ReadFileBytes(it->path().string());
    else if (it->is_directory())
      files[it->path().string() + "/"] = {};  // an empty folder counts too
  return files;
}

XDisplay::XDisplay() {
  auto exists = [](const std::string& path) { return access(path.c_str(), F_OK) == 0; };
  // Test programs run side by side: each starts its search elsewhere.
  for (int n = 100 + getpid() % 200, tries = 0; tries < 40; ++n, ++tries) {
    std::string number = std::to_string(n), socket = "/tmp/.X11-unix/X" + number;
    if (exists("/tmp/.X" + number + "-lock") || exists(socket)) continue;
    std::string name = ":" + number;
    const char* argv[] = {"Xvfb", name.c_str(), "-screen", "0", "1280x900x24", "-nolisten", "tcp", nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return;
    for (int i = 0; i < 100 && !exists(socket) && waitpid(pid, nullptr, WNOHANG) == 0; ++i) usleep(50000);
    if (exists(socket) && waitpid(pid, nullptr, WNOHANG) == 0) {
      name_ = name;
      pid_ = pid;
      return;
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

XDisplay::~XDisplay() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

std::string XDisplay::Xdo(const std::string& arguments) const {
  std::string out = CommandOutput("DISPLAY=" + name_ + " timeout 60 xdotool " + arguments + " 2>/dev/null");
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

std::string XDisplay::Search(const std::string& nameRegex) const {
  std::string found = Xdo("search --sync --onlyvisible --name '" + nameRegex + "'");
  return found.substr(0, found.find('\n'));
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
  return WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
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
