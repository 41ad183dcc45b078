#pragma once
// The program's debug log. Every class writes its trace and error texts here
// ("Class::Method text"); nothing written here is ever shown to the user.
//
// Where lines go: ORATIVO_LOG=stderr, ORATIVO_LOG=off, or ORATIVO_LOG=<file>;
// otherwise "orativo.log" in the log folder, capped near 1 MiB with one
// previous file kept as "orativo.log.1".
#include <string>
#include <string_view>
#include <vector>

void LDebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Collects every line logged (from any thread) while it lives, for tests that
// can only observe a diagnostic. Captures nest; lines still go to the log.
class LDebugLogCapture {
 public:
  LDebugLogCapture();
  ~LDebugLogCapture();
  LDebugLogCapture(const LDebugLogCapture&) = delete;
  LDebugLogCapture& operator=(const LDebugLogCapture&) = delete;

  std::vector<std::string> Lines() const;
  bool Contains(std::string_view text) const;  // some line contains text
  void Clear();

 private:
  std::vector<std::string> lines_;  // guarded by the log's lock
};
