#pragma once
// The install file: the program itself, then the payload files in table
// order, then one 32-bit little-endian size per file, a checksum and the
// install marker. The checksum is the byte sum (mod 2^32) of everything before
// the sizes, so no damaged byte anywhere installs.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct LPayloadEntry {
  std::string folder;  // below the program folder; "" for the folder itself
  std::string name;
  std::string Path() const { return folder.empty() ? name : folder + "/" + name; }
};

constexpr size_t kMaxPayloadFiles = 128;

// The files this program carries; entry 0 is the program.
const std::vector<LPayloadEntry>& PayloadTable();

struct LInstallFileLayout {
  std::vector<uint64_t> offsets;
  std::vector<uint64_t> sizes;
  uint64_t payloadBytes = 0;  // the bytes before the size table
  uint32_t checksum = 0;
};

// The byte sum the checksum is made of.
uint32_t InstallByteSum(const char* data, size_t n);

enum class LInstallFileCheck { kOk, kCorrupt, kCannotRead, kCancelled };

// Reads the size table of an install file carrying `entries` files and checks
// it whole: the sizes fill the file exactly up to the table, and the checksum
// matches. progress(done, total) returns false to cancel.
LInstallFileCheck CheckInstallFile(const std::string& path, size_t entries, LInstallFileLayout* layout,
                                   const std::function<bool(uint64_t, uint64_t)>& progress = nullptr);

// Writes an install file from the files in table order; false with a reason on failure.
bool WriteInstallFile(const std::string& outPath, const std::vector<std::string>& files, std::string* error);
