#include "framework/widgets/run_mode.h"

#include <strings.h>

namespace {
std::string& Word() {
  static std::string word;
  return word;
}
}  // namespace

const std::string& ModeWord() { return Word(); }

void SetModeWord(const std::string& word) { Word() = word.substr(0, kModeWordMax); }

bool IsTutorModeWord(const std::string& word) { return strcasecmp(word.c_str(), "Tutor") == 0; }

bool IsTutorMode() { return IsTutorModeWord(Word()); }
