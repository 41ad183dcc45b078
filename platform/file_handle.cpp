#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

PlatformFile::~PlatformFile() { Close(); }

PlatformFile::PlatformFile(PlatformFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

PlatformFile& PlatformFile::operator=(PlatformFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

static int OpenFile(const std::string& path, int flags) {
  int fd;
  do fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {  // a folder is not a file to read
    ::close(fd);
    return -1;
  }
  return fd;
}

PlatformFile PlatformFile::OpenRead(const std::string& path) { return PlatformFile(OpenFile(path, O_RDONLY)); }
PlatformFile PlatformFile::OpenReadWrite(const std::string& path) {
  return PlatformFile(OpenFile(path, O_RDWR | O_CREAT));
}
PlatformFile PlatformFile::Create(const std::string& path) {
  return PlatformFile(OpenFile(path, O_WRONLY | O_CREAT | O_TRUNC));
}

void PlatformFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

size_t PlatformFile::Read(void* buffer, size_t bytes) {
  size_t done = 0;
  while (fd_ >= 0 && done < bytes) {
    ssize_t got = ::read(fd_, static_cast<char*>(buffer) + done, bytes - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += size_t(got);
  }
  return done;
}

size_t PlatformFile::Write(const void* buffer, size_t bytes) {
  size_t done = 0;
  while (fd_ >= 0 && done < bytes) {
    ssize_t put = ::write(fd_, static_cast<const char*>(buffer) + done, bytes - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += size_t(put);
  }
  return done;
}

size_t PlatformFile::ReadAt(int64_t offset, void* buffer, size_t bytes) {
  size_t done = 0;
  while (fd_ >= 0 && offset >= 0 && done < bytes) {
    ssize_t got = ::pread(fd_, static_cast<char*>(buffer) + done, bytes - done, off_t(offset + int64_t(done)));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += size_t(got);
  }
  return done;
}

size_t PlatformFile::WriteAt(int64_t offset, const void* buffer, size_t bytes) {
  size_t done = 0;
  while (fd_ >= 0 && offset >= 0 && done < bytes) {
    ssize_t put = ::pwrite(fd_, static_cast<const char*>(buffer) + done, bytes - done, off_t(offset + int64_t(done)));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += size_t(put);
  }
  return done;
}

bool PlatformFile::Seek(int64_t offset) { return fd_ >= 0 && offset >= 0 && ::lseek(fd_, offset, SEEK_SET) >= 0; }
bool PlatformFile::Skip(int64_t bytes) { return fd_ >= 0 && ::lseek(fd_, bytes, SEEK_CUR) >= 0; }
int64_t PlatformFile::Tell() const { return fd_ >= 0 ? ::lseek(fd_, 0, SEEK_CUR) : -1; }

int64_t PlatformFile::Size() const {
  struct stat info;
  if (fd_ < 0 || fstat(fd_, &info) != 0) return -1;
  return info.st_size;
}

bool PlatformFile::Truncate() {
  int64_t at = Tell();
  return at >= 0 && ::ftruncate(fd_, at) == 0;
}

bool PlatformFile::Flush() { return fd_ >= 0 && ::fsync(fd_) == 0; }
