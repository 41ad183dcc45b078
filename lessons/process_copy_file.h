#pragma once
// The program's one file copy. Behind "Load File" it runs in steps under a
// progress window, which it reports to and asks about a cancel through
// LCopyProgress; without a window it runs to the end.
#include <string>

#include "framework/lprogress.h"

class LProcessCopyFile {
 public:
  enum Result { kDone = 0, kCancelled = 1, kFailed = 2 };
  static constexpr size_t kStepBytes = 32768;

  LProcessCopyFile(std::string source, std::string target) : source_(std::move(source)), target_(std::move(target)) {}

  // Copies into a temporary file beside the target and puts it in place only
  // when complete, so a cancel or failure leaves no partial file and keeps a
  // target that existed before.
  Result Process(LCopyProgress& progress);
  // The same copy with nobody watching.
  Result Process();

 private:
  std::string source_;
  std::string target_;
};
