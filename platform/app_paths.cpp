#include "platform/app_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  return home.empty() ? "/tmp" : home;
}

std::string XdgFolder(const char* variable, const char* fallbackBelowHome) {
  std::string value = Env(variable);
  // XDG says relative values are invalid and must be ignored.
  if (value.empty() || value[0] != '/') value = HomeFolder() + "/" + fallbackBelowHome;
  return value;
}

std::string Ensure(const std::string& folder, unsigned mode = 0755) {
  return PlatformMakeFolders(folder, mode) ? folder : std::string();
}

// A private folder must be a real directory of ours that nobody else can enter.
bool IsPrivateFolder(const std::string& folder) {
  struct stat info;
  if (lstat(folder.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) == 0;
}

std::string EnsurePrivate(const std::string& folder) {
  if (!PlatformMakeFolders(folder, 0700)) return "";
  if (!IsPrivateFolder(folder)) {
    // Ours but too open: tighten it; someone else's: refuse it.
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return "";
    if (chmod(folder.c_str(), 0700) != 0) return "";
  }
  return folder;
}

}  // namespace

bool PlatformMakeFolders(const std::string& folder, unsigned mode) {
  if (folder.empty()) return false;
  std::error_code error;
  std::filesystem::path path(folder);
  std::filesystem::path partial;
  for (const auto& part : path) {
    partial /= part;
    if (std::filesystem::is_directory(partial, error)) continue;
    if (mkdir(partial.c_str(), mode) != 0 && errno != EEXIST) return false;
  }
  return std::filesystem::is_directory(path, error);
}

std::string PlatformHomeOverride() { return Env("ORATIVO_HOME"); }

std::string PlatformConfigFolder() {
  std::string home = PlatformHomeOverride();
  return Ensure(home.empty() ? XdgFolder("XDG_CONFIG_HOME", ".config") + "/orativo" : home + "/config");
}

std::string PlatformUserDataFolder() {
  std::string home = PlatformHomeOverride();
  return Ensure(home.empty() ? XdgFolder("XDG_DATA_HOME", ".local/share") : home + "/data");
}

std::string PlatformSharedDataFolder() {
  std::string home = PlatformHomeOverride();
  if (!home.empty()) return Ensure(home + "/shared");
  if (access("/var/lib", W_OK) == 0) return "/var/lib";
  return PlatformUserDataFolder();
}

std::string PlatformLogFolder() {
  std::string home = PlatformHomeOverride();
  return Ensure(home.empty() ? XdgFolder("XDG_STATE_HOME", ".local/state") + "/orativo" : home + "/log");
}

std::string PlatformPrivateTempFolder() {
  std::string home = PlatformHomeOverride();
  if (!home.empty()) return EnsurePrivate(home + "/tmp");
  std::string runtime = Env("XDG_RUNTIME_DIR");
  if (!runtime.empty() && runtime[0] == '/' && IsPrivateFolder(runtime)) {
    std::string folder = EnsurePrivate(runtime + "/orativo");
    if (!folder.empty()) return folder;
  }
  return EnsurePrivate("/tmp/orativo-" + std::to_string(getuid()));
}

std::string PlatformProgramFolder() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "";
  return exe.parent_path().string();
}
