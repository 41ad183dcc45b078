#pragma once
// The file copy behind "Load File": runs in steps under a progress window,
// which it reports to and asks about a cancel through LCopyProgress.
#include <string>

class LCopyProgress {
 public:
  virtual ~LCopyProgress() = default;
  virtual void SetText(const std::string& text, int line) = 0;
  virtual void SetProgress(double fraction) = 0;  // 0..1
  virtual bool Cancelled() = 0;                   // also keeps the window alive
};

class LProcessCopyFile {
 public:
  enum Result { kDone = 0, kCancelled = 1, kFailed = 2 };
  static constexpr size_t kStepBytes = 32768;

  LProcessCopyFile(std::string source, std::string target) : source_(std::move(source)), target_(std::move(target)) {}

  // Copies into a temporary file beside the target and puts it in place only
  // when complete, so a cancel or failure leaves no partial file and keeps a
  // target that existed before.
  Result Process(LCopyProgress& progress);

 private:
  std::string source_;
  std::string target_;
};
