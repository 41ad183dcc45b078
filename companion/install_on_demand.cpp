#include "companion/install_on_demand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "companion/launcher.h"
#include "framework/settings.h"
#include "platform/app_paths.h"
#include "platform/debug_log.h"
#include "platform/net/ftp_download.h"
#include "platform/program_start.h"

namespace {

// The maker's Ed25519 public key (32 raw bytes) is put here when releases are
// signed. Until then there is none, and no key of another length ever
// verifies, so nothing downloaded can run.
constexpr char kMakerKey[] = "";
std::string testKey;
long testTimeoutMs = 0;
constexpr size_t kMaxListBytes = 65536;

LDownloadLimits Limits(uint64_t maxBytes) {
  LDownloadLimits limits;
  if (testTimeoutMs > 0) limits.timeoutMs = testTimeoutMs;
  limits.maxBytes = maxBytes;
  return limits;
}

// Progress between from and to of the bar; the user's cancel stops the transfer.
LDownloadProgress Reporter(LCopyProgress& progress, double from, double to) {
  return [&progress, from, to](uint64_t done, uint64_t total) {
    if (total > 0) progress.SetProgress(from + (to - from) * double(std::min(done, total)) / double(total));
    return !progress.Cancelled();
  };
}

int FetchText(LCopyProgress& progress, const std::string& server, const std::string& path, std::string& text) {
  text.clear();
  return FtpDownload(
      server, path,
      [&text](const uint8_t* data, size_t size) {
        text.append(reinterpret_cast<const char*>(data), size);
        return true;
      },
      Reporter(progress, 0.05, 0.1), Limits(kMaxListBytes));
}

// The size and hash the signed list names for name; false when it names none.
bool ListedFile(const std::string& list, const std::string& name, uint64_t& size, std::string& hash) {
  std::istringstream lines(list);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string h, n;
    uint64_t s = 0;
    if (words >> h >> s >> n && n == name && h.size() == 64) {
      size = s;
      hash = h;
      return true;
    }
  }
  return false;
}

}  // namespace

std::string CompanionDownloadServer(int index) {
  static const char* const kServers[] = {"ftp.kestrelon.com:21", "ftp2.kestrelon.com:21"};
  return RegGetSetting("Settings", index == 0 ? "DownloadServer1" : "DownloadServer2", kServers[index ? 1 : 0]);
}

void CompanionSetSigningKeyForTests(const std::string& publicKey) { testKey = publicKey; }
void CompanionSetTimeoutForTests(long milliseconds) { testTimeoutMs = milliseconds; }

int ProcessDownloadComponent(LCopyProgress& progress, const std::string& server, const std::string& setupName,
                             const std::string& localPath) {
  if (progress.Cancelled()) return kCompanionCancelled;
  std::string list, signature;
  if (int r = FetchText(progress, server, "components/checksums.txt", list); r != kDownloadDone) return r;
  if (int r = FetchText(progress, server, "components/checksums.txt.sig", signature); r != kDownloadDone) return r;
  const std::string key = testKey.empty() ? std::string(kMakerKey, sizeof kMakerKey - 1) : testKey;
  uint64_t size = 0;
  std::string hash;
  if (!VerifyEd25519(key, list, signature) || !ListedFile(list, setupName, size, hash)) {
    LDebugLog("ProcessDownloadComponent: the checksum list of %s is not signed or names no %s", server.c_str(),
              setupName.c_str());
    return kCompanionFailed;
  }
  progress.SetText("Downloading", 0);
  progress.SetText(setupName, 1);
  int fd = open(localPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return kCompanionFailed;
  LSha256 sha;
  uint64_t written = 0;
  int result = FtpDownload(
      server, "components/" + setupName,
      [&](const uint8_t* data, size_t bytes) {
        sha.Add(data, bytes);
        written += bytes;
        for (size_t done = 0; done < bytes;) {
          ssize_t n = write(fd, data + done, bytes - done);
          if (n <= 0) return false;
          done += size_t(n);
        }
        return true;
      },
      Reporter(progress, 0.1, 1.0), Limits(size));
  bool closed = close(fd) == 0;
  if (result == kDownloadDone && (!closed || written != size || sha.HexDigest() != hash)) {
    LDebugLog("ProcessDownloadComponent: %s from %s does not match its checksum", setupName.c_str(), server.c_str());
    result = kCompanionFailed;
  }
  if (result != kDownloadDone) unlink(localPath.c_str());
  return result;
}

int ProcessInstallProgram(LCopyProgress& progress, const std::string& setupName) {
  // Under a unique name in a folder only this user can enter.
  std::string folder = PlatformPrivateTempFolder();
  if (folder.empty()) return kCompanionFailed;
  std::string localPath = folder + "/" + setupName + "-XXXXXX";
  int fd = mkstemp(localPath.data());
  if (fd < 0) return kCompanionFailed;
  close(fd);
  unlink(localPath.c_str());  // made again exclusively by the download
  progress.SetText("Download install-on-demand", 0);
  progress.SetText(setupName, 1);
  int result = ProcessDownloadComponent(progress, CompanionDownloadServer(0), setupName, localPath);
  if (result == kCompanionFailed)
    result = ProcessDownloadComponent(progress, CompanionDownloadServer(1), setupName, localPath);
  if (result == kCompanionDone && progress.Cancelled()) result = kCompanionCancelled;
  if (result == kCompanionDone) {
    progress.SetText("Running install-on-demand", 0);
    chmod(localPath.c_str(), 0700);
    LChildProcess setup;
    if (!setup.Start({localPath})) {
      result = kCompanionFailed;
    } else {
      // Only a setup that ran to its end and said so has installed anything.
      auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
      int status = -1;
      for (;;) {
        if (setup.Wait(50, &status)) {
          result = status == 0 ? kCompanionDone : kCompanionFailed;
          break;
        }
        if (progress.Cancelled()) {
          result = kCompanionCancelled;
          break;
        }
        if (std::chrono::steady_clock::now() >= until) {
          result = kCompanionFailed;
          break;
        }
      }
    }
  }
  unlink(localPath.c_str());
  return result;
}
