#include "platform/debug_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/app_paths.h"

namespace {

constexpr long kLogCapBytes = 1 << 20;

struct LogState {
  std::mutex lock;
  bool opened = false;
  FILE* file = nullptr;  // null: nowhere
  bool ownsFile = false;
  bool rotates = false;
  std::string path;
  std::vector<std::vector<std::string>*> captures;
};

LogState& State() {
  static LogState* state = new LogState;  // never destroyed: logging works during static destruction
  return *state;
}

void OpenDestination(LogState& s) {
  s.opened = true;
  const char* env = std::getenv("ORATIVO_LOG");
  std::string where = env ? env : "";
  if (where == "off") return;
  if (where == "stderr") {
    s.file = stderr;
    return;
  }
  if (where.empty()) {
    std::string folder = PlatformLogFolder();
    if (folder.empty()) return;
    where = folder + "/orativo.log";
    s.rotates = true;
  }
  s.path = where;
  s.file = std::fopen(where.c_str(), "a");
  s.ownsFile = s.file != nullptr;
}

void RotateIfFull(LogState& s) {
  if (!s.rotates || !s.file) return;
  if (std::ftell(s.file) < kLogCapBytes) return;
  std::fclose(s.file);
  std::string previous = s.path + ".1";
  std::rename(s.path.c_str(), previous.c_str());
  s.file = std::fopen(s.path.c_str(), "a");
}

}  // namespace

void LDebugLog(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);

  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  for (auto* capture : s.captures) capture->emplace_back(text);
  if (!s.opened) OpenDestination(s);
  if (!s.file) return;
  std::fputs(text, s.file);
  std::fputc('\n', s.file);
  std::fflush(s.file);
  RotateIfFull(s);
}

LDebugLogCapture::LDebugLogCapture() {
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.captures.push_back(&lines_);
}

LDebugLogCapture::~LDebugLogCapture() {
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.captures.erase(std::remove(s.captures.begin(), s.captures.end(), &lines_), s.captures.end());
}

std::vector<std::string> LDebugLogCapture::Lines() const {
  std::lock_guard<std::mutex> guard(State().lock);
  return lines_;
}

bool LDebugLogCapture::Contains(std::string_view text) const {
  for (const std::string& line : Lines())
    if (line.find(text) != std::string::npos) return true;
  return false;
}

void LDebugLogCapture::Clear() {
  std::lock_guard<std::mutex> guard(State().lock);
  lines_.clear();
}
