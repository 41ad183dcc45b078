#include "setup/install_file.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/debug_log.h"

namespace {

constexpr uint32_t kInstallMarkerValue = 0x0F0FF0F0;  // bytes F0 F0 0F 0F

uint32_t Get32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}

}  // namespace

uint32_t InstallByteSum(const char* data, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += static_cast<unsigned char>(data[i]);
  return sum;
}

const std::vector<LPayloadEntry>& PayloadTable() {
  static const std::vector<LPayloadEntry> table = [] {
    std::vector<LPayloadEntry> t{{"", "orativo"}};
    static const char* const kFiles[][2] = {
#include "setup/payload_files.inc"
    };
    for (const auto& f : kFiles) t.push_back({f[0], f[1]});
    return t;
  }();
  return table;
}

LInstallFileCheck CheckInstallFile(const std::string& path, size_t entries, LInstallFileLayout* layout,
                                   const std::function<bool(uint64_t, uint64_t)>& progress) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return LInstallFileCheck::kCannotRead;
  if (entries == 0 || entries > kMaxPayloadFiles) return LInstallFileCheck::kCorrupt;
  file.seekg(0, std::ios::end);
  const uint64_t fileSize = uint64_t(file.tellg());
  const uint64_t tableBytes = 4 * (uint64_t(entries) + 2);
  if (fileSize < tableBytes) return LInstallFileCheck::kCorrupt;
  std::vector<unsigned char> table(tableBytes);
  file.seekg(std::streamoff(fileSize - tableBytes));
  if (!file.read(reinterpret_cast<char*>(table.data()), std::streamsize(tableBytes)))
    return LInstallFileCheck::kCannotRead;
  if (Get32(&table[tableBytes - 4]) != kInstallMarkerValue) return LInstallFileCheck::kCorrupt;
  const uint32_t checksum = Get32(&table[tableBytes - 8]);

  LInstallFileLayout out;
  out.payloadBytes = fileSize - tableBytes;
  out.checksum = checksum;
  uint64_t offset = 0;  // 64-bit: 128 sizes of up to 4 GiB cannot wrap
  for (size_t i = 0; i < entries; ++i) {
    uint64_t size = Get32(&table[4 * i]);
    out.offsets.push_back(offset);
    out.sizes.push_back(size);
    offset += size;
  }
  if (offset != out.payloadBytes || out.sizes[0] == 0) {
    LDebugLog("CheckInstallFile sizes cover %llu of %llu bytes", (unsigned long long)offset,
              (unsigned long long)out.payloadBytes);
    return LInstallFileCheck::kCorrupt;
  }

  file.seekg(0);
  std::array<char, 1 << 16> block;
  uint32_t sum = 0;
  for (uint64_t done = 0; done < out.payloadBytes;) {
    size_t n = size_t(std::min<uint64_t>(block.size(), out.payloadBytes - done));
    if (!file.read(block.data(), std::streamsize(n))) return LInstallFileCheck::kCannotRead;
    sum += InstallByteSum(block.data(), n);
    done += n;
    if (progress && !progress(done, out.payloadBytes)) return LInstallFileCheck::kCancelled;
  }
  if (sum != checksum) return LInstallFileCheck::kCorrupt;
  if (layout) *layout = std::move(out);
  return LInstallFileCheck::kOk;
}

bool WriteInstallFile(const std::string& outPath, const std::vector<std::string>& files, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    std::error_code ec;
    std::filesystem::remove(outPath, ec);
    return false;
  };
  if (files.empty() || files.size() > kMaxPayloadFiles) return fail("wrong number of files");
  std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
  if (!out) return fail("cannot write " + outPath);
  uint32_t sum = 0;
  std::string trailer;
  for (const std::string& path : files) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot read " + path);
    uint64_t size = 0;
    std::array<char, 1 << 16> block;
    while (in) {
      in.read(block.data(), block.size());
      std::streamsize n = in.gcount();
      if (n <= 0) break;
      out.write(block.data(), n);
      sum += InstallByteSum(block.data(), size_t(n));
      size += uint64_t(n);
    }
    if (size > 0xFFFFFFFFu) return fail(path + " is larger than 4 GiB");
    Put32(trailer, uint32_t(size));
  }
  Put32(trailer, sum);
  Put32(trailer, kInstallMarkerValue);
  out.write(trailer.data(), std::streamsize(trailer.size()));
  out.close();
  if (!out) return fail("cannot write " + outPath);
  return true;
}
