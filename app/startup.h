#pragma once
// Start-up: the mode word, the program's folder as current directory, the
// four-byte trailer, the set-up name check, the running copy and the run-mode
// dispatch. Every road ends with exit code 0.
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kInstallMarker = 0x0F0FF0F0;    // file ends F0 F0 0F 0F
constexpr uint32_t kUninstallMarker = 0xF0F00F0F;  // file ends 0F 0F F0 F0
constexpr size_t kFolderMax = 260;

enum class RunRole { kCorruptSetup, kInstall, kUninstall, kBringToFront, kTutor, kStudent };

// The argument after the first "-x" (at most 32 characters), else "".
std::string StartupModeWord(const std::vector<std::string>& arguments);
// The lesson named on the command line: the first argument that is neither
// "-x", its mode word nor "/install"; "" when there is none.
std::string StartupLessonArgument(const std::vector<std::string>& arguments);
// The program path cut at its last "\" or "/" (at most 260 characters).
std::string StartupFolder(const std::string& programPath);
// The last four bytes as a little-endian value; 0 when unreadable.
uint32_t ReadTrailer(const std::string& programPath);
// True when the file name without folder and extension contains "SETUP" in any case.
bool IsSetupName(const std::string& programPath);
// The role, from the trailer, the name and whether a copy runs.
RunRole ChooseRole(const std::string& programPath, uint32_t trailer, bool copyRunning, const std::string& modeWord);

extern const char kCorruptSetupText[];
extern const char kCannotInstallText[];

// The whole start-up; arguments[0] is the program path as started,
// programFile the executable actually running. Needs a QApplication.
int RunStartup(const std::vector<std::string>& arguments, const std::string& programFile);
