#pragma once
// The settings behind the settings dialogs, kept apart from their windows:
// system folders (section "SystemFolders", per-user store), the silence gaps
// of the study runner and the launch of the desktop's sound settings.
#include <string>
#include <vector>

// "TutorLessons", "StudentLessons", "TutorRecordings" or "StudentRecordings".
std::string SystemFolderKey(bool lessons, bool tutorMode);
// The folder the key names now: the stored text, or the default folder
// (which is created).
std::string ReadSystemFolder(const std::string& key);

// A folder field's text for key is usable when it is empty (the setting goes
// back to its default), still names the folder in use (so a folder that went
// missing never blocks OK), or names an absolute folder that exists or can be
// made and can be written. On refusal *message says why.
bool CheckFolderField(const std::string& key, const std::string& text, std::string* message);

enum class FolderStore { kUnchanged, kStored, kRemoved };
// Stores a checked folder field: nothing when it equals the current folder
// exactly (letter case counts), the setting removed when it is empty, else
// the text. *foldersChanged is set when the folder in use changes.
FolderStore StoreSystemFolder(const std::string& key, const std::string& text, bool* foldersChanged);

// Silence gaps between expressions, in whole seconds.
constexpr int kMaxSilenceGap = 600;
constexpr int kDefaultSilenceGap = 2;
// A gap field's text (digits only; anything else counts as 0), clamped.
int SilenceGapFromText(const std::string& text);
// "PlaySilenceGaps" or "RecordSilenceGaps" as stored, clamped to 0..600.
int ReadSilenceGap(const std::string& key);
