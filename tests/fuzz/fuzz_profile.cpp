// Reads every section and key of an arbitrary file as a profile file, then
// writes to it and checks that the write reads back and disturbed nothing else.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "framework/settings.h"
#include "platform/private_profile.h"

namespace {

std::string ScratchFile() {
  static std::string path = [] {
    // Memory-backed when possible: every write syncs, which is slow on disk.
    char shm[] = "/dev/shm/fuzz_profile-XXXXXX";
    char tmp[] = "/tmp/fuzz_profile-XXXXXX";
    char* folder = mkdtemp(shm);
    if (!folder) folder = mkdtemp(tmp);
    if (!folder) std::abort();
    static std::string made = folder;
    std::atexit([] { std::system(("rm -rf '" + made + "'").c_str()); });
    return made + "/lesson.ini";
  }();
  return path;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz_profile: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = ScratchFile();
  FILE* out = std::fopen(file.c_str(), "wb");
  if (!out) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);

  // Every first-match value, as read before any write.
  std::vector<std::pair<std::pair<std::string, std::string>, std::string>> seen;
  for (const std::string& section : PrivateProfileSectionNames(file)) {
    for (const std::string& key : PrivateProfileKeys(file, section)) {
      std::string value;
      Check(PrivateProfileFind(file, section, key, &value), "a listed key cannot be found");
      Check(PrivateProfileGetString(file, section, key, "", 16).size() <= 15, "read longer than its buffer");
      if (seen.size() < 64) seen.push_back({{section, key}, value});
    }
  }
  ProfileReadInt(file, "Lesson", "Mode", 0);
  ProfileReadBool(file, "Lesson", "Protected", true);
  ProfileReadDateTime(file, "Lesson", "Created", LDateTime());

  // A new key in a section of its own, then a change of an existing key.
  const std::string fresh = "FuzzSectionZ9", key = "FuzzKeyQ7";
  bool freshExisted = !PrivateProfileKeys(file, fresh).empty();
  bool written = PrivateProfileWriteString(file, fresh, key, " value=1 ");
  if (written && !freshExisted) {
    std::string value;
    Check(PrivateProfileFind(file, fresh, key, &value) && value == "value=1", "written value does not read back");
    for (const auto& [where, before] : seen) {
      if (where.first == fresh) continue;
      std::string after;
      Check(PrivateProfileFind(file, where.first, where.second, &after) && after == before,
            "a write changed another value");
    }
  }
  if (!seen.empty() && written) {
    const auto& [section, name] = seen.front().first;
    if (PrivateProfileWriteString(file, section, name, "changed")) {
      std::string value;
      Check(PrivateProfileFind(file, section, name, &value) && value == "changed", "changed value does not read back");
      Check(PrivateProfileDeleteKey(file, section, name), "delete failed");
      Check(!PrivateProfileFind(file, section, name, &value), "deleted key still reads");
    }
  }
  return 0;
}
