#include "platform/net/ftp_download.h"

#include <curl/curl.h>
#include <openssl/evp.h>

#include <mutex>

#include "platform/debug_log.h"

namespace {

struct Transfer {
  const LDownloadWrite* write;
  const LDownloadProgress* progress;
  uint64_t maxBytes;
  uint64_t received = 0;
  bool cancelled = false;
  bool tooLarge = false;
  bool writeFailed = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t bytes = size * count;
  if (t->received + bytes > t->maxBytes) {
    t->tooLarge = true;
    return 0;
  }
  t->received += bytes;
  if (!(*t->write)(reinterpret_cast<const uint8_t*>(data), bytes)) {
    t->writeFailed = true;
    return 0;
  }
  return bytes;
}

int OnProgress(void* user, curl_off_t total, curl_off_t done, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (!(*t->progress)(uint64_t(done), uint64_t(total))) {
    t->cancelled = true;
    return 1;
  }
  return 0;
}

}  // namespace

LDownloadResult FtpDownload(const std::string& server, const std::string& path, const LDownloadWrite& write,
                            const LDownloadProgress& progress, const LDownloadLimits& limits) {
  static std::once_flag init;
  std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (!progress(0, 0)) return kDownloadCancelled;
  CURL* curl = curl_easy_init();
  if (!curl) return kDownloadFailed;
  Transfer t{&write, &progress, limits.maxBytes};
  std::string url = "ftp://" + server + "/" + path;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(curl, CURLOPT_FTP_USE_EPSV, 1L);
  curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.timeoutMs);
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, std::max(1L, (limits.timeoutMs + 999) / 1000));
  curl_easy_setopt(curl, CURLOPT_ACCEPTTIMEOUT_MS, limits.timeoutMs);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits.maxBytes));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
  CURLcode code = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  if (t.cancelled) return kDownloadCancelled;
  if (code != CURLE_OK) {
    LDebugLog("FtpDownload %s: %s%s", url.c_str(), curl_easy_strerror(code), t.tooLarge ? " (too large)" : "");
    return kDownloadFailed;
  }
  return kDownloadDone;
}

LSha256::LSha256() : context_(EVP_MD_CTX_new()) {
  EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(context_), EVP_sha256(), nullptr);
}

LSha256::~LSha256() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(context_)); }

void LSha256::Add(const uint8_t* data, size_t size) {
  EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(context_), data, size);
}

std::string LSha256::HexDigest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(context_), digest, &size);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

bool VerifyEd25519(const std::string& publicKey, const std::string& message, const std::string& signature) {
  if (publicKey.size() != 32 || signature.size() != 64) return false;
  EVP_PKEY* key = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                              reinterpret_cast<const unsigned char*>(publicKey.data()), 32);
  if (!key) return false;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  bool ok = ctx && EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, key) == 1 &&
            EVP_DigestVerify(ctx, reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                             reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
  EVP_MD_CTX_free(ctx);
  EVP_PKEY_free(key);
  return ok;
}
