#include "framework/lfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/app_paths.h"
#include "platform/debug_log.h"
#include "platform/file_handle.h"
#include "platform/registry_store.h"

namespace {

size_t LastSeparator(std::string_view path) { return path.find_last_of("\\/"); }

}  // namespace

void LFile::TruncateUtf8(std::string& text, size_t max) {
  if (text.size() <= max) return;
  size_t end = max;
  // Step back over continuation bytes so the cut lands before a lead byte.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

void LFile::FilePathCat(std::string& path, std::string_view name) { FilePathCat(path, name, {}); }

size_t LFile::FilePathCat(std::string& path, std::string_view name, std::string_view extension) {
  if (path.size() >= kMaxPathChars) {
    LDebugLog("LFile::FilePathCat szFolderPath too long");
    return path.size();
  }
  if (!path.empty() && !IsSeparator(path.back())) path += kSeparator;
  path.append(name);
  path.append(extension);
  TruncateUtf8(path, kMaxPathChars);
  return path.size();
}

void LFile::GetFolderFromPath(std::string& out, std::string_view path) {
  out.assign(path);
  if (out.size() > kMaxPathChars) {
    LDebugLog("LFile::_GetFolderFromPath szPath is too long");
    TruncateUtf8(out, kMaxPathChars);
  }
  size_t separator = LastSeparator(out);
  if (separator == std::string::npos) {
    out.clear();
  } else if (separator == 0 && out[0] == '/') {
    out.resize(1);  // the root keeps its separator, or it would read as the current folder
  } else {
    out.resize(separator);
  }
}

void LFile::GetFileFromPath(std::string& out, std::string_view path) {
  size_t separator = LastSeparator(path);
  out.assign(separator == std::string_view::npos ? path : path.substr(separator + 1));
  if (out.size() > kMaxPathChars) {
    LDebugLog("LFile::_GetFileFromPath szPath is too long");
    TruncateUtf8(out, kMaxPathChars);
  }
}

void LFile::GetFileTitleFromPath(std::string& out, std::string_view path) {
  GetFileFromPath(out, path);
  size_t dot = out.rfind('.');
  if (dot != std::string::npos && dot > 0) out.resize(dot);
}

void LFile::GetFileExtFromPath(std::string& out, std::string_view path) {
  size_t separator = LastSeparator(path);
  size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < nameStart)
    out.clear();
  else
    out.assign(path.substr(dot));
}

void LFile::ApplyNewFileExtension(std::string& out, std::string_view path, std::string_view ext) {
  out.assign(path);
  if (out.size() > kMaxPathChars) {
    LDebugLog("LFile::_ApplyNewFileExtension path too long");
    TruncateUtf8(out, kMaxPathChars);
  }
  size_t separator = LastSeparator(out);
  size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  size_t dot = out.rfind('.');
  if (dot == std::string::npos || dot < nameStart || dot == 0) return;
  out.resize(dot);
  out.append(ext);
  if (out.size() > kMaxPathChars) {
    LDebugLog("LFile::_ApplyNewFileExtension path too long");
    TruncateUtf8(out, kMaxPathChars);
  }
}

bool LFile::GetValidFileName(std::string& out, std::string_view text) {
  static constexpr std::string_view kForbidden = "\"*./:<>?\\|";
  out.clear();
  for (char c : text) {
    unsigned char code = static_cast<unsigned char>(c);
    if (code < 32 || code >= 128 || kForbidden.find(c) != std::string_view::npos) continue;
    if (out.size() >= kMaxPathChars) break;
    out += c;
  }
  return !out.empty();
}

void LFile::GetUserDataFolder(std::string& out) {
  out = PlatformUserDataFolder();
  if (out.empty()) GetSharedDataFolder(out);
}

void LFile::GetSharedDataFolder(std::string& out) {
  out = PlatformSharedDataFolder();
  if (out.empty()) out = "/";
}

namespace {

// Creates folder when missing; true only when this call created it.
bool MakeFolder(const std::string& folder) { return mkdir(folder.c_str(), 0755) == 0; }

bool ProgramDataFolderBelow(std::string& out) {
  LFile::FilePathCat(out, "Kestrelon");
  MakeFolder(out);
  LFile::FilePathCat(out, "Orativo");
  return MakeFolder(out);
}

}  // namespace

bool LFile::GetUserProgramDataFolder(std::string& out) {
  GetUserDataFolder(out);
  return ProgramDataFolderBelow(out);
}

bool LFile::GetSharedProgramDataFolder(std::string& out) {
  GetSharedDataFolder(out);
  return ProgramDataFolderBelow(out);
}

bool LFile::DeleteFolderAndFiles(const std::string& folder) {
  struct stat info;
  if (lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    // Going through the link would empty a folder somewhere else.
    LDebugLog("LFile::DeleteFolderAndFiles unable to DeleteFolder: %s", folder.c_str());
    return false;
  }
  int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folderFd >= 0) {
    std::vector<std::string> names;
    if (DIR* listing = fdopendir(folderFd)) {
      while (dirent* entry = readdir(listing))
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
      // Entries are removed relative to the folder we opened, so a folder
      // swapped for a link meanwhile cannot redirect them.
      for (const std::string& name : names)
        if (unlinkat(dirfd(listing), name.c_str(), 0) != 0)
          LDebugLog("LFile::DeleteFolderAndFiles unable to DeleteFile: %s", name.c_str());
      closedir(listing);
    } else {
      close(folderFd);
    }
  }
  if (rmdir(folder.c_str()) != 0) {
    LDebugLog("LFile::DeleteFolderAndFiles unable to DeleteFolder: %s", folder.c_str());
    return false;
  }
  return true;
}

namespace {

RegistryScope ScopeOf(LRegistryRoot root) {
  return root == LRegistryRoot::LocalMachine ? RegistryScope::Machine : RegistryScope::User;
}

}  // namespace

bool LFile::RegGetString(LRegistryRoot root, const std::string& subKey, const std::string& valueName,
                         const std::string& defaultValue, std::string& out) {
  out = defaultValue;
  std::string value;
  if (!RegistryGetValue(ScopeOf(root), subKey, valueName, &value)) return false;
  // The value is read into a path-sized buffer.
  TruncateUtf8(value, kMaxPathChars);
  out = value;
  return true;
}

void LFile::RegSetString(LRegistryRoot root, const std::string& subKey, const std::string& valueName,
                         const std::string& value) {
  RegistrySetValue(ScopeOf(root), subKey, valueName, value);
}

void LFile::RegDeleteString(LRegistryRoot root, const std::string& subKey, const std::string& valueName) {
  RegistryDeleteValue(ScopeOf(root), subKey, valueName);
}

std::string LFile::ReadTextFile(const std::string& fileName) {
  PlatformFile file = PlatformFile::OpenRead(fileName);
  if (!file.IsOpen()) return {};
  std::string text(kMaxTextFileBytes, '\0');
  size_t got = file.Read(text.data(), text.size());
  text.resize(got);
  // The text ends at a zero byte, as a zero-terminated buffer would.
  size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

bool LFile::WriteTextFile(const std::string& fileName, std::string_view text) {
  PlatformFile file = PlatformFile::Create(fileName);
  if (!file.IsOpen()) return false;
  return file.Write(text.data(), text.size()) == text.size();
}
