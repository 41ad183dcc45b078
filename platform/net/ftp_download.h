#pragma once
// One anonymous, passive FTP download with time-outs, a low-speed limit and a
// maximum size. The transfer runs on the calling thread; the progress
// callback is called often and can cancel it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

enum LDownloadResult : int { kDownloadDone = 0, kDownloadCancelled = 1, kDownloadFailed = 2 };

struct LDownloadLimits {
  long timeoutMs = 15000;  // connecting, and each wait for the server's answer
  long lowSpeedBytesPerSecond = 256;
  long lowSpeedSeconds = 30;  // slower than that for this long: failed
  uint64_t maxBytes = 512ull << 20;
};

// done and total bytes (total 0 when the server tells no size); false cancels.
using LDownloadProgress = std::function<bool(uint64_t done, uint64_t total)>;
// Takes each received block; false fails the download.
using LDownloadWrite = std::function<bool(const uint8_t* data, size_t size)>;

// server is "host" or "host:port"; path is the file's path on the server.
LDownloadResult FtpDownload(const std::string& server, const std::string& path, const LDownloadWrite& write,
                            const LDownloadProgress& progress, const LDownloadLimits& limits);

// SHA-256, fed in pieces.
class LSha256 {
 public:
  LSha256();
  ~LSha256();
  LSha256(const LSha256&) = delete;
  LSha256& operator=(const LSha256&) = delete;
  void Add(const uint8_t* data, size_t size);
  std::string HexDigest();  // 64 lower-case hex digits; ends the hash

 private:
  void* context_;
};

// True when signature (64 bytes) is publicKey's (32 raw bytes) Ed25519 signature of message.
bool VerifyEd25519(const std::string& publicKey, const std::string& message, const std::string& signature);
