#pragma once
// The expression audio record (<name>.raf) and the files sharing its name.
#include <optional>
#include <string>

#include "sound/sound_stream.h"

// What a long operation needs from the window that shows its progress.
class LProgressSink {
 public:
  virtual ~LProgressSink() = default;
  virtual void SetText(const std::string& line1, const std::string& line2) = 0;
  virtual void SetPosition(double fraction) = 0;  // 0 .. 1
  virtual bool IsCancelled() = 0;
};

// Copies one file in 32768-byte steps. Result 0 done, 1 cancelled (the
// target is removed), 2 a file could not be opened or written.
class LProcessCopyFile {
 public:
  static constexpr size_t kStepBytes = 32768;
  LProcessCopyFile(std::string source, std::string target) : source_(std::move(source)), target_(std::move(target)) {}
  int Process(LProgressSink& progress);

 private:
  std::string source_;
  std::string target_;
};

enum : int { kAudioTypeWav = 0, kAudioTypeMp3 = 1, kAudioTypeVok = 2 };

class LRichAudioFile {
 public:
  static constexpr int kMaxNameNumber = 400;
  static bool New(std::string& outPath, const std::string& folder, const std::string& baseName);
  static bool Delete(std::string& path);
  static bool IsNameAvailable(const std::string& folder, const std::string& name);
  static void GetAudioFileName(const std::string& path, std::string& out);
  // progress null: a plain copy.
  static bool LoadAudioFile(const std::string& path, int type, const std::string& sourceFile, LProgressSink* progress);
  static bool ImportAudioFile(const std::string& path, const std::string& sourceFile, LProgressSink* progress);
  static LSoundSourceRef OpenSource(const std::string& path);
  // The explanation as UTF-8 (Windows-1252 text is converted); nullopt when
  // there is none.
  static std::optional<std::string> ReadExplanation(const std::string& path);
  static void WriteExplanation(const std::string& path, const std::string& text);
  // Windows-1252 to UTF-8 unless text already is valid UTF-8.
  static std::string ToUtf8(const std::string& text);
};
