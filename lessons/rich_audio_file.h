#pragma once
// The expression audio record (<name>.raf) and the files sharing its name.
#include <optional>
#include <string>

#include "lessons/process_copy_file.h"
#include "sound/sound_stream.h"

enum : int { kAudioTypeWav = 0, kAudioTypeMp3 = 1, kAudioTypeVok = 2 };

class LRichAudioFile {
 public:
  static constexpr int kMaxNameNumber = 400;
  static bool New(std::string& outPath, const std::string& folder, const std::string& baseName);
  static bool Delete(std::string& path);
  static bool IsNameAvailable(const std::string& folder, const std::string& name);
  static void GetAudioFileName(const std::string& path, std::string& out);
  // progress null: a plain copy.
  static bool LoadAudioFile(const std::string& path, int type, const std::string& sourceFile, LCopyProgress* progress);
  static bool ImportAudioFile(const std::string& path, const std::string& sourceFile, LCopyProgress* progress);
  static LSoundSourceRef OpenSource(const std::string& path);
  // The explanation as UTF-8 (Windows-1252 text is converted); nullopt when
  // there is none.
  static std::optional<std::string> ReadExplanation(const std::string& path);
  // R plus the extension the record names for its image (".bmp" when none);
  // "" when that is not a plain extension.
  static std::string GetImageFileName(const std::string& path);
  // Replaces the explanation in one step, so a crash never leaves half of it;
  // false when it cannot be written (read-only file or folder, full disk).
  static bool WriteExplanation(const std::string& path, const std::string& text);
  // Windows-1252 to UTF-8 unless text already is valid UTF-8.
  static std::string ToUtf8(const std::string& text);
};
