#pragma once
// The process-wide mode word, set once at start-up from the argument after
// "-x": "Tutor" in any letter case is tutor mode, anything else student mode.
#include <string>

constexpr size_t kModeWordMax = 32;

const std::string& ModeWord();
void SetModeWord(const std::string& word);  // keeps at most kModeWordMax characters
bool IsTutorMode();
bool IsTutorModeWord(const std::string& word);
