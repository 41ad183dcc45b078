#pragma once
// An owned operating-system file handle (the sound files keep theirs open
// while a source or sink lives). Move-only; closes on destruction.
#include <cstddef>
#include <cstdint>
#include <string>

class PlatformFile {
 public:
  PlatformFile() = default;
  ~PlatformFile();
  PlatformFile(PlatformFile&& other) noexcept;
  PlatformFile& operator=(PlatformFile&& other) noexcept;
  PlatformFile(const PlatformFile&) = delete;
  PlatformFile& operator=(const PlatformFile&) = delete;

  // An existing file, for reading.
  static PlatformFile OpenRead(const std::string& path);
  // For reading and writing, created when missing, kept when present.
  static PlatformFile OpenReadWrite(const std::string& path);
  // Created or truncated, for writing.
  static PlatformFile Create(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }
  void Close();

  // Both return the bytes moved (short at the end of the file or on error, never negative).
  size_t Read(void* buffer, size_t bytes);
  size_t Write(const void* buffer, size_t bytes);
  // At an absolute offset, leaving the current offset alone (short like Read/Write).
  size_t ReadAt(int64_t offset, void* buffer, size_t bytes);
  size_t WriteAt(int64_t offset, const void* buffer, size_t bytes);
  bool Seek(int64_t offset);  // absolute
  bool Skip(int64_t bytes);   // relative to the current offset
  int64_t Tell() const;       // -1 on error
  int64_t Size() const;       // -1 on error
  bool Truncate();            // at the current offset
  bool Flush();

 private:
  explicit PlatformFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};
