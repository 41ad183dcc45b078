#include "lessons/process_copy_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "framework/lfile.h"
#include "platform/debug_log.h"
#include "platform/file_handle.h"

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

class Unwatched : public LCopyProgress {
 public:
  void SetText(const std::string&, int) override {}
  void SetProgress(double) override {}
  bool Cancelled() override { return false; }
};

}  // namespace

LProcessCopyFile::Result LProcessCopyFile::Process() {
  Unwatched nobody;
  return Process(nobody);
}

LProcessCopyFile::Result LProcessCopyFile::Process(LCopyProgress& progress) {
  std::string name;
  LFile::_GetFileFromPath(name, target_);
  progress.SetText("Copy File", 0);
  progress.SetText(name, 1);
  progress.SetProgress(0);

  PlatformFile source = PlatformFile::OpenRead(source_);
  if (!source.IsOpen()) {
    LDebugLog("Process<LProcessCopyFile> unable to open read file");
    return kFailed;
  }
  // Opening the target anew would empty the source first.
  if (SameFile(source_, target_)) {
    LDebugLog("Process<LProcessCopyFile> unable to open write file");
    return kFailed;
  }
  const std::string partial = target_ + ".part";
  PlatformFile target = PlatformFile::Create(partial);
  if (!target.IsOpen()) {
    LDebugLog("Process<LProcessCopyFile> unable to open write file");
    return kFailed;
  }

  int64_t size = std::max<int64_t>(source.Size(), 0);
  int64_t remaining = size;
  double done = 0;
  const double step = static_cast<double>(kStepBytes) / static_cast<double>(std::max<int64_t>(size, kStepBytes));
  std::vector<char> buffer(kStepBytes);
  Result result = kDone;
  while (remaining > 0) {
    if (progress.Cancelled()) {
      result = kCancelled;
      break;
    }
    size_t want = static_cast<size_t>(std::min<int64_t>(remaining, kStepBytes));
    size_t got = source.Read(buffer.data(), want);
    // A file that shrank or a failed write must not loop or pass as copied.
    if (got == 0 || target.Write(buffer.data(), got) != got) {
      LDebugLog("Process<LProcessCopyFile> copy failed");
      result = kFailed;
      break;
    }
    remaining -= static_cast<int64_t>(got);
    done = std::min(1.0, done + step);
    progress.SetProgress(done);
  }
  bool flushed = result == kDone && target.Flush();
  target.Close();
  source.Close();
  if (result == kDone && (!flushed || std::rename(partial.c_str(), target_.c_str()) != 0)) result = kFailed;
  if (result != kDone) unlink(partial.c_str());
  return result;
}
