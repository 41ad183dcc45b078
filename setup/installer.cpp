#include "setup/installer.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "platform/app_paths.h"
#include "platform/debug_log.h"
#include "setup/desktop_entries.h"

namespace fs = std::filesystem;

namespace {

constexpr char kUninstallMarkerBytes[4] = {0x0F, 0x0F, char(0xF0), char(0xF0)};
constexpr int kIconSizes[] = {48, 64, 128, 256};
constexpr char kLinkHash[] = "link";
constexpr fs::perms kProgramPerms = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec;
constexpr fs::perms kFilePerms =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;

std::string Sha256(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return "";
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&file)) return "";
  return hash.result().toHex().toStdString();
}

void MakeFolders(const fs::path& folder);

bool WriteFile(const std::string& path, const std::string& text, fs::perms perms) {
  std::error_code ec;
  MakeFolders(fs::path(path).parent_path());
  const std::string work = path + ".part";
  {
    std::ofstream out(work, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return false;
  }
  fs::permissions(work, perms, ec);
  fs::rename(work, path, ec);
  return !ec;
}

bool AppendBytes(const std::string& path, const char* bytes, size_t n) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(bytes, std::streamsize(n));
  return bool(out.flush());
}

bool IsHash(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool Below(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

// Only what an install of ours can have made: a changed manifest must not
// turn the uninstaller against other files.
bool InstallMayOwn(const LInstallPaths& paths, const std::string& path) {
  if (fs::path(path).lexically_normal().string() != path) return false;
  return Below(path, paths.programFolder) || path == paths.binFolder + "/orativo" ||
         (Below(path, paths.applicationsFolder) && path.find("/orativo") != std::string::npos) ||
         (Below(path, paths.desktopFolder) && path.find("/orativo") != std::string::npos) ||
         (Below(path, paths.iconsFolder) && fs::path(path).stem() == "orativo");
}

// Manifest lines: "<sha-256 or link> <path>".
std::vector<std::pair<std::string, std::string>> ReadManifest(const LInstallPaths& paths) {
  std::vector<std::pair<std::string, std::string>> rows;
  std::ifstream in(paths.Manifest());
  for (std::string line; std::getline(in, line);) {
    size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    std::string hash = line.substr(0, blank), path = line.substr(blank + 1);
    if ((IsHash(hash) || hash == kLinkHash) && InstallMayOwn(paths, path)) rows.emplace_back(hash, path);
  }
  return rows;
}

bool SameTarget(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// Folders made for the install: readable by all, written by the owner only,
// whatever the umask says.
void MakeFolders(const fs::path& folder) {
  std::error_code ec;
  if (folder.empty() || fs::is_directory(folder, ec)) return;
  MakeFolders(folder.parent_path());
  if (fs::create_directory(folder, ec)) fs::permissions(folder, kProgramPerms, ec);
}

// A listed file goes only while it is what the installer wrote.
bool RemoveIfUnchanged(const std::string& hash, const std::string& path, const std::string& linkTarget) {
  std::error_code ec;
  if (hash == kLinkHash) {
    if (!fs::is_symlink(path, ec)) return !fs::exists(fs::symlink_status(path, ec));
    if (!SameTarget(fs::read_symlink(path, ec), linkTarget)) return false;
    return fs::remove(path, ec);
  }
  if (!fs::exists(fs::symlink_status(path, ec))) return true;
  if (fs::is_symlink(path, ec) || Sha256(path) != hash) return false;
  return fs::remove(path, ec);
}

void RemoveEmptyFolders(const std::string& top) {
  std::error_code ec;
  if (!fs::is_directory(top, ec)) return;
  std::vector<fs::path> folders;
  for (auto it = fs::recursive_directory_iterator(top, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_directory(ec) && !it->is_symlink(ec)) folders.push_back(it->path());
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) fs::remove(*it, ec);  // only empty ones go
  fs::remove(top, ec);
}

}  // namespace

LInstallPaths LInstallPaths::ForUser() {
  const char* homeVar = std::getenv("HOME");
  const std::string home = homeVar ? homeVar : "";
  const char* dataVar = std::getenv("XDG_DATA_HOME");
  const std::string data = dataVar && *dataVar == '/' ? dataVar : home + "/.local/share";
  LInstallPaths p;
  p.programFolder = home + "/.local/lib/kestrelon/orativo";
  p.binFolder = home + "/.local/bin";
  p.applicationsFolder = data + "/applications";
  p.iconsFolder = data + "/icons/hicolor";
  p.desktopFolder = UserDesktopFolder();
  return p;
}

bool PackagedCopyExists() {
  std::error_code ec;
  return fs::exists("/usr/lib/orativo/orativo", ec);
}

LInstaller::LInstaller(std::string installFile, LInstallPaths paths)
    : installFile_(std::move(installFile)), paths_(std::move(paths)) {}

LInstaller::~LInstaller() { Discard(); }

void LInstaller::Discard() {
  if (staging_.empty()) return;
  std::error_code ec;
  fs::remove_all(staging_, ec);
  staging_.clear();
}

LInstallResult LInstaller::Stage(const Progress& progress) {
  Discard();
  const std::vector<LPayloadEntry>& table = PayloadTable();
  LInstallFileLayout layout;
  // The check reads the whole file: a third of the bar, the copy the rest.
  auto checking = [&](uint64_t done, uint64_t total) {
    return !progress || progress("Checking", 0.3 * double(done) / double(total));
  };
  switch (CheckInstallFile(installFile_, table.size(), &layout, checking)) {
    case LInstallFileCheck::kOk:
      break;
    case LInstallFileCheck::kCancelled:
      return LInstallResult::kCancelled;
    case LInstallFileCheck::kCorrupt:
      return LInstallResult::kCorrupt;
    case LInstallFileCheck::kCannotRead:
      return LInstallResult::kFailed;
  }

  std::error_code ec;
  const fs::path parent = fs::path(paths_.programFolder).parent_path();
  MakeFolders(parent);
  staging_ = (parent / (".orativo-staging-" + std::to_string(getpid()))).string();
  fs::remove_all(staging_, ec);
  if (!fs::create_directory(staging_, ec)) {
    LDebugLog("LInstaller::Stage cannot make %s", staging_.c_str());
    staging_.clear();
    return LInstallResult::kFailed;
  }
  fs::permissions(staging_, kProgramPerms, ec);

  // The copy sums what it reads again: the file may have changed since the check.
  std::ifstream in(installFile_, std::ios::binary);
  std::array<char, 1 << 16> block;
  uint64_t done = 0;
  uint32_t sum = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    if (layout.sizes[i] == 0) continue;
    const fs::path target = fs::path(staging_) / table[i].Path();
    MakeFolders(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    in.seekg(std::streamoff(layout.offsets[i]));
    for (uint64_t left = layout.sizes[i]; left > 0;) {
      size_t n = size_t(std::min<uint64_t>(block.size(), left));
      if (!in.read(block.data(), std::streamsize(n)) || !out.write(block.data(), std::streamsize(n))) {
        Discard();
        return LInstallResult::kFailed;
      }
      sum += InstallByteSum(block.data(), n);
      left -= n;
      done += n;
      if (progress && !progress(table[i].Path(), 0.3 + 0.7 * double(done) / double(layout.payloadBytes))) {
        Discard();
        return LInstallResult::kCancelled;
      }
    }
    out.close();
    if (!out) {
      Discard();
      return LInstallResult::kFailed;
    }
    fs::permissions(target, i == 0 ? kProgramPerms : kFilePerms, ec);
  }
  if (sum != layout.checksum) {
    Discard();
    return LInstallResult::kCorrupt;
  }
  return LInstallResult::kDone;
}

bool LInstaller::Commit(const std::string& mode, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    LDebugLog("LInstaller::Commit %s", why.c_str());
    return false;
  };
  if (staging_.empty()) return fail("nothing staged");
  std::error_code ec;
  const std::string staged = staging_ + "/orativo";
  // The uninstaller is the program with the uninstall marker; the program
  // itself ends with four zero bytes, a trailer that starts it normally.
  fs::copy_file(staged, staging_ + "/uninstall", fs::copy_options::overwrite_existing, ec);
  if (ec || !AppendBytes(staging_ + "/uninstall", kUninstallMarkerBytes, 4) || !AppendBytes(staged, "\0\0\0\0", 4))
    return fail("cannot write the uninstaller");
  fs::permissions(staging_ + "/uninstall", kProgramPerms, ec);

  // The earlier install stays until the new one is in place.
  const auto previous = ReadManifest(paths_);
  const std::string old = paths_.programFolder + ".old-" + std::to_string(getpid());
  const bool hadOld = fs::exists(paths_.programFolder, ec);
  if (hadOld) {
    fs::rename(paths_.programFolder, old, ec);
    if (ec) return fail("cannot move the earlier install aside: " + ec.message());
  }
  fs::rename(staging_, paths_.programFolder, ec);
  if (ec) {
    if (hadOld) fs::rename(old, paths_.programFolder, ec);
    return fail("cannot put the new install in place");
  }
  staging_.clear();
  // Until the manifest is written the earlier install can come back.
  auto rollBack = [&](const std::string& why) {
    fs::remove_all(paths_.programFolder, ec);
    if (hadOld) {
      fs::rename(old, paths_.programFolder, ec);
      if (ec) return fail(why + "; the earlier install is still in " + old);
    }
    return fail(why);
  };

  std::vector<std::pair<std::string, std::string>> manifest;
  for (auto it = fs::recursive_directory_iterator(paths_.programFolder, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file(ec)) manifest.emplace_back(Sha256(it->path().string()), it->path().string());
  }
  auto place = [&](const std::string& path, const std::string& text, fs::perms perms) {
    if (WriteFile(path, text, perms)) manifest.emplace_back(Sha256(path), path);
  };
  const std::string help = paths_.programFolder + "/help/index.html";
  place(paths_.applicationsFolder + "/" + ModeDesktopFileName(mode), ModeDesktopEntry(paths_.Program(), mode, help),
        kFilePerms);
  place(paths_.applicationsFolder + "/orativo-uninstall.desktop", UninstallDesktopEntry(paths_.Uninstaller()),
        kFilePerms);
  if (!paths_.desktopFolder.empty())  // desktops launch only entries marked executable
    place(paths_.desktopFolder + "/" + ModeDesktopFileName(mode), ModeDesktopEntry(paths_.Program(), mode, help),
          kProgramPerms);
  auto copyIcon = [&](const std::string& from, const std::string& to) {
    MakeFolders(fs::path(to).parent_path());
    if (fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) manifest.emplace_back(Sha256(to), to);
  };
  copyIcon(paths_.programFolder + "/icons/orativo.svg", paths_.iconsFolder + "/scalable/apps/orativo.svg");
  for (int size : kIconSizes) {
    const std::string n = std::to_string(size);
    copyIcon(paths_.programFolder + "/icons/orativo-" + n + ".png",
             paths_.iconsFolder + "/" + n + "x" + n + "/apps/orativo.png");
  }
  const std::string link = paths_.binFolder + "/orativo";
  MakeFolders(paths_.binFolder);
  // A link of the user's own (to a build, say) stays.
  if (fs::is_symlink(link, ec) && (!fs::exists(link, ec) || SameTarget(fs::read_symlink(link, ec), paths_.Program())))
    fs::remove(link, ec);
  if (!fs::exists(fs::symlink_status(link, ec))) {
    fs::create_symlink(paths_.Program(), link, ec);
    if (!ec) manifest.emplace_back(kLinkHash, link);
  }

  std::ostringstream text;
  for (const auto& [hash, path] : manifest) text << hash << ' ' << path << '\n';
  if (!WriteFile(paths_.Manifest(), text.str(), kFilePerms)) return rollBack("cannot write the manifest");
  fs::remove_all(old, ec);

  // What the earlier install made and this one did not replace (the other
  // mode's entries) goes when it is unchanged.
  std::set<std::string> now;
  for (const auto& row : manifest) now.insert(row.second);
  for (const auto& [hash, path] : previous)
    if (!now.count(path) && !Below(path, paths_.programFolder)) RemoveIfUnchanged(hash, path, paths_.Program());
  return true;
}

bool UninstallForUser(const LInstallPaths& paths, std::vector<std::string>* kept) {
  const auto manifest = ReadManifest(paths);
  if (manifest.empty()) return false;
  for (const auto& [hash, path] : manifest)
    if (!RemoveIfUnchanged(hash, path, paths.Program()) && kept) kept->push_back(path);
  std::error_code ec;
  fs::remove(paths.Manifest(), ec);
  RemoveEmptyFolders(paths.programFolder);
  fs::remove(fs::path(paths.programFolder).parent_path(), ec);  // "kestrelon", when empty
  // The settings stores; lessons and recordings live elsewhere and stay.
  const std::string config = PlatformConfigFolder();
  if (!config.empty()) {
    for (const char* store : {"/machine.ini", "/user.ini"}) fs::remove(config + store, ec);
    fs::remove(config, ec);
  }
  return true;
}
