#pragma once
// What the console audio tools share: Ctrl+C turned into a call on the event
// loop, and the printing of device lists and level records.
#include <functional>
#include <string>
#include <vector>

#include "sound/level_record.h"

// Runs onStop on the event loop's thread when SIGINT or SIGTERM arrives.
// Call once, after the QCoreApplication exists.
void ConsoleStopOnSignal(std::function<void()> onStop);
void ConsolePrintList(const char* title, const std::vector<std::string>& list);
void ConsolePrintLevels(const LLevelRecord& levels);
