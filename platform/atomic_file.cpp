#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <random>

#include "platform/debug_log.h"

namespace {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a write must change. Symbolic links are followed, so a linked file
// is written through to its target rather than replaced by a plain file.
std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    char target[PATH_MAX];
    ssize_t length = readlink(current.c_str(), target, sizeof target);
    if (length < 0 || size_t(length) >= sizeof target) return current;  // not a link
    std::string next(target, size_t(length));
    current = next[0] == '/' ? next : FolderOf(current) + "/" + next;
  }
  return current;  // a loop of links: opening it fails later
}

// A rename would replace a read-only file as easily as any other, since only
// the folder's permission counts: the file's own must be asked.
bool RefusesWrites(const std::string& path, const struct stat& info) {
  if ((info.st_mode & 0222) != 0 && access(path.c_str(), W_OK) == 0) return false;
  LDebugLog("PlatformReplaceFile %s is read-only; left unchanged", path.c_str());
  return true;
}

// Reads up to maxBytes from offset 0; *truncated when more follows.
bool ReadCapped(int fd, size_t maxBytes, std::string* content, bool* truncated) {
  content->clear();
  *truncated = false;
  char chunk[65536];
  off_t offset = 0;
  for (;;) {
    size_t room = maxBytes - content->size();
    size_t want = room < sizeof chunk ? room + 1 : sizeof chunk;  // one byte more tells "longer"
    ssize_t got = pread(fd, chunk, want, offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    if (size_t(got) > room) {
      content->append(chunk, room);
      *truncated = true;
      return true;
    }
    content->append(chunk, size_t(got));
    offset += got;
  }
}

bool WriteAll(int fd, const std::string& content) {
  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    ssize_t put = write(fd, data, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += put;
    left -= size_t(put);
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  Fd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) fsync(dir.get());
}

// Writes content to a fresh hidden file next to path; returns its name or "".
// mode < 0: the default mode less the umask.
std::string WriteTemporary(const std::string& path, const std::string& content, int mode, unsigned newFileMode) {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 random{std::random_device{}()};
  std::string folder = FolderOf(path);
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::string temp = folder + "/." + BaseName(path) + ".~" + std::to_string(getpid()) + "-" +
                       std::to_string(counter++) + "-" + std::to_string(random() % 100000);
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      LDebugLog("PlatformReplaceFile cannot create a file in %s (errno %d)", folder.c_str(), errno);
      return "";
    }
    Fd owned(fd);
    bool written = (mode < 0 || fchmod(fd, mode_t(mode)) == 0) && WriteAll(fd, content) && fsync(fd) == 0;
    if (!written) {
      LDebugLog("PlatformReplaceFile cannot write %s (errno %d)", temp.c_str(), errno);
      unlink(temp.c_str());
      return "";
    }
    return temp;
  }
  return "";
}

bool MoveIntoPlace(const std::string& temp, const std::string& path) {
  if (rename(temp.c_str(), path.c_str()) != 0) {
    LDebugLog("PlatformReplaceFile cannot rename onto %s (errno %d)", path.c_str(), errno);
    unlink(temp.c_str());
    return false;
  }
  SyncFolder(FolderOf(path));
  return true;
}

}  // namespace

bool PlatformReadFileCapped(const std::string& path, size_t maxBytes, std::string* content, bool* truncated) {
  content->clear();
  bool cut = false;
  if (truncated) *truncated = false;
  // Non-blocking so that a FIFO in place of the file cannot hang the open.
  Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return false;
  struct stat info;
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (!ReadCapped(fd.get(), maxBytes, content, &cut)) return false;
  if (truncated) *truncated = cut;
  return true;
}

bool PlatformReplaceFile(const std::string& named, const std::string& content, unsigned newFileMode) {
  const std::string path = FollowLinks(named);
  struct stat info;
  bool exists = stat(path.c_str(), &info) == 0;
  if (exists && RefusesWrites(path, info)) return false;
  int mode = exists ? int(info.st_mode & 07777) : -1;
  std::string temp = WriteTemporary(path, content, mode, newFileMode);
  return !temp.empty() && MoveIntoPlace(temp, path);
}

bool PlatformUpdateFile(const std::string& named, size_t maxBytes, bool createWhenMissing,
                        const std::function<bool(std::string& content, bool exists)>& change, unsigned newFileMode) {
  const std::string path = FollowLinks(named);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
      if (errno != ENOENT || !createWhenMissing) return false;
      std::string content;
      if (!change(content, false)) return false;
      std::string temp = WriteTemporary(path, content, -1, newFileMode);
      if (temp.empty()) return false;
      // link() fails when another writer created the file meanwhile: then start over under its lock.
      if (link(temp.c_str(), path.c_str()) == 0) {
        unlink(temp.c_str());
        SyncFolder(FolderOf(path));
        return true;
      }
      int error = errno;
      if (error == EEXIST) {
        unlink(temp.c_str());
        continue;
      }
      // File systems without hard links: a plain rename (a creation race could lose one write there).
      if (error == EPERM || error == ENOTSUP || error == EOPNOTSUPP) return MoveIntoPlace(temp, path);
      unlink(temp.c_str());
      LDebugLog("PlatformUpdateFile cannot create %s (errno %d)", path.c_str(), error);
      return false;
    }
    struct stat locked;
    if (fstat(fd.get(), &locked) != 0 || !S_ISREG(locked.st_mode)) return false;
    while (flock(fd.get(), LOCK_EX) != 0) {
      if (errno != EINTR) return false;
    }
    // The file may have been replaced while we waited: lock the current one instead.
    struct stat current;
    if (stat(path.c_str(), &current) != 0 || current.st_ino != locked.st_ino || current.st_dev != locked.st_dev)
      continue;
    std::string content;
    bool truncated = false;
    if (!ReadCapped(fd.get(), maxBytes, &content, &truncated)) return false;
    if (truncated) {
      LDebugLog("PlatformUpdateFile %s is larger than %zu bytes; left unchanged", path.c_str(), maxBytes);
      return false;
    }
    if (!change(content, true) || RefusesWrites(path, current)) return false;
    std::string temp = WriteTemporary(path, content, int(current.st_mode & 07777), newFileMode);
    return !temp.empty() && MoveIntoPlace(temp, path);  // the lock goes with fd
  }
  LDebugLog("PlatformUpdateFile %s keeps changing; gave up", path.c_str());
  return false;
}
